#pragma once

#include "link/LinkReport.h"
#include "link/MainThreadHandOff.h"
#include "link/PortFailure.h"
#include "link/RxCluster.h"
#include "link/SerialDevice.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class TWorkThread;

// The serial port component: opens one port by name with its line settings, sends without blocking
// the caller, and has a worker thread that reads received bytes into clusters and raises every
// notification on the thread that owns the component. Failures never throw; they go to
// OnProcessError. A port whose device goes away (unplugged, hung up) is closed by the link at once,
// and OnDeviceLost says so. All public calls belong to the owning (GUI) thread.
class TSerialLink {
public:
    enum Event {
        OnCommEvent,
        OnCommStat,
        OnTxQueueEmptyEvent,
        OnWriteDone,
        OnBreakEvent,
        OnCTSEvent,
        OnDSREvent,
        OnLineErrorEvent,
        OnRingEvent,
        OnRIEvent,
        OnRLSDEvent,
        OnRxClusterEvent,
        OnRxCharEvent,
        OnRxEventCharEvent,
        OnDeviceLost,
        EventCount
    };
    using NotifyEvent = std::function<void(TSerialLink&)>;
    using NotifyErrorEvent = std::function<void(TSerialLink&, std::uint32_t place, std::uint32_t code,
                                                const std::string& msg, std::uint8_t noise)>;
    // A millisecond counter that wraps at 32 bits.
    using TickSource = std::function<std::uint32_t()>;

    static constexpr std::uint32_t ClosedHandle = 0xFFFFFFFF;

    explicit TSerialLink(DeviceOpener opener = defaultOpener(), TickSource ticks = defaultTicks());
    ~TSerialLink();
    TSerialLink(const TSerialLink&) = delete;
    TSerialLink& operator=(const TSerialLink&) = delete;

    static DeviceOpener defaultOpener();
    static TickSource defaultTicks();

    bool Active() const { return active_; }
    void setActive(bool active);
    std::uint32_t ComHandle() const { return device_ ? device_->handle() : ClosedHandle; }
    const std::string& CommPort() const { return commPort_; }
    void setCommPort(const std::string& name);
    std::uint32_t BaudRate() const { return baudRate_; }
    void setBaudRate(std::uint32_t baud);
    std::uint8_t ParityType() const { return parityType_; }
    void setParityType(std::uint8_t parity) { applyIfChanged(parityType_, parity); }
    char ParityErrorChar() const { return parityErrorChar_; }
    void setParityErrorChar(char c) { applyIfChanged(parityErrorChar_, c); }
    bool ParityErrorReplacement() const { return parityErrorReplacement_; }
    void setParityErrorReplacement(bool on) { applyIfChanged(parityErrorReplacement_, on); }
    std::uint8_t StopBits() const { return stopBits_; }
    void setStopBits(std::uint8_t bits) { applyIfChanged(stopBits_, bits); }
    std::uint8_t DataBits() const { return dataBits_; }
    void setDataBits(std::uint8_t bits) { applyIfChanged(dataBits_, bits); }
    char XONChar() const { return xonChar_; }
    void setXONChar(char c) { applyIfChanged(xonChar_, c); }
    char XOFFChar() const { return xoffChar_; }
    void setXOFFChar(char c) { applyIfChanged(xoffChar_, c); }
    std::uint8_t XONLimDiv() const { return xonLimDiv_; }
    void setXONLimDiv(std::uint8_t percent);
    std::uint8_t XOFFLimDiv() const { return xoffLimDiv_; }
    void setXOFFLimDiv(std::uint8_t percent);
    std::int32_t FlowControl() const { return flowControl_; }
    void setFlowControl(std::int32_t bits) { applyIfChanged(flowControl_, bits); }
    bool StripNullChars() const { return stripNullChars_; }
    void setStripNullChars(bool on) { applyIfChanged(stripNullChars_, on); }
    char EventChar() const { return eventChar_; }
    void setEventChar(char c) { applyIfChanged(eventChar_, c); }
    std::uint32_t RTOCharDelayTime() const { return rtoCharDelayTime_; }
    void setRTOCharDelayTime(std::uint32_t us) { rtoCharDelayTime_ = us; }
    std::uint16_t RTOExtraDelayTime() const { return rtoExtraDelayTime_; }
    void setRTOExtraDelayTime(std::uint16_t ms) { rtoExtraDelayTime_ = ms; }
    std::uint16_t ClusterSize() const { return clusterSize_; }
    void setClusterSize(std::uint16_t bytes) { clusterSize_ = bytes; }
    std::uint16_t RxQueueSize() const { return rxQueueSize_; }
    void setRxQueueSize(std::uint16_t bytes);
    std::uint16_t TxQueueSize() const { return txQueueSize_; }
    void setTxQueueSize(std::uint16_t bytes);
    std::uint32_t WTOCharDelayTime() const { return wtoCharDelayTime_; }
    void setWTOCharDelayTime(std::uint32_t us) { applyIfChanged(wtoCharDelayTime_, us); }
    std::uint16_t WTOExtraDelayTime() const { return wtoExtraDelayTime_; }
    void setWTOExtraDelayTime(std::uint16_t ms) { applyIfChanged(wtoExtraDelayTime_, ms); }
    bool XTOAuto() const { return xtoAuto_; }
    void setXTOAuto(bool on);
    bool RTSState() const { return rtsState_; }
    void setRTSState(bool raised);
    bool DTRState() const { return dtrState_; }
    void setDTRState(bool raised);
    bool BREAKState() const { return breakState_; }
    void setBREAKState(bool on);
    bool CTSState() const { return ctsState_; }
    bool DSRState() const { return dsrState_; }
    bool RLSDState() const { return rlsdState_; }
    bool RingState() const { return ringState_; }
    std::uint8_t ErrorNoise() const { return errorNoise_; }
    void setErrorNoise(std::uint8_t noise) { errorNoise_ = noise; }
    bool ReadRequest() const { return readRequest_; }
    void setReadRequest(bool on) { readRequest_ = on; }
    bool SendInProgress() const { return sendInProgress_; }
    std::uint32_t CommError() const { return commError_; }
    std::uint8_t CommStateFlags() const { return commStateFlags_; }
    std::uint32_t CommStateInQueue() const { return commStateInQueue_; }
    std::uint32_t CommStateOutQueue() const { return commStateOutQueue_; }
    std::uint32_t ModemState() const { return modemState_; }
    std::uint32_t CommEvent() const { return commEvent_; }
    std::uint32_t WrittenBytes() const { return writtenBytes_; }
    bool ThreadQuietMode() const { return threadQuietMode_; }
    void setThreadQuietMode(bool quiet) { threadQuietMode_ = quiet; }

    void setHandler(Event event, NotifyEvent handler);
    void setOnProcessError(NotifyErrorEvent handler);

    // Starts sending and returns at once; completion shows as SendInProgress going false and
    // OnWriteDone. The bytes are copied, so the caller's buffer is free as soon as this returns.
    void SendData(const std::uint8_t* buffer, std::uint32_t count);
    // The oldest queued cluster's bytes (empty when none), removed from the queue.
    std::string TakeNextCluster();
    std::size_t QueuedClusters() const;
    // Throws away what the line has received and nobody has taken yet, queued or still unread, so
    // the next cluster holds only bytes that arrive after this call.
    void discardInput();
    // Ends a pending send and throws away what is still queued for the line.
    void discardOutput();
    void ReportError(std::uint32_t place, std::uint32_t code, std::uint8_t noise, const std::string& msg);

    // An exchange went unanswered: a line that reconnects when unanswered (a network line) is closed
    // abortively, so that nothing still on its way is delivered once a stalled network wakes, and is
    // to be opened again. Says whether it was closed.
    bool dropUnansweredLine();

    // Why the last open failed, or why the open port went away; no fault once a port is open.
    const PortFailure& LastFailure() const { return lastFailure_; }

private:
    friend class TWorkThread;

    template <typename T> void applyIfChanged(T& field, T value) {
        if (field == value) return;
        field = value;
        if (active_) ApplyLineSettings();
    }
    void report(const LinkReport& r, std::uint32_t code = 0) { ReportError(r.place, code, r.noise, r.msg); }
    void open();
    void close();
    DeviceStatus ApplyLineSettings();
    void failOpen(int error, PortFault fault);
    std::string devicePathOrName() const;
    void noteIfGone(int error);
    void deviceGone(std::uint64_t generation, int error);
    void AutoCharDelays();
    void requestQueueSizes(const LinkReport& failure);
    void driveRts(bool raised);
    void driveDtr(bool raised);
    bool waitWorkerIdle(int slices);

    // For the worker.
    bool hasHandler(Event event) const { return (handlerMask_ & (1u << event)) != 0; }
    bool reportReaches(std::uint8_t noise) const { return hasErrorHandler_ && noise <= errorNoise_ && !destroying_; }
    void raise(Event event);
    std::shared_ptr<SerialDevice> deviceFor(std::uint64_t& generation);
    bool isCurrent(std::uint64_t generation) const {
        return active_ && generation_ == generation && lostGeneration_ != generation;
    }
    bool isLost(std::uint64_t generation) const { return lostGeneration_ == generation; }
    void setThreadRunning(bool running);
    void waitForWork(std::chrono::milliseconds idle);
    void wakeWorker();
    bool stopRequested() const { return stopWorker_; }
    // Bytes read by a read started before the last discardInput are dropped: they may be old.
    std::uint64_t inputEpoch() const { return inputEpoch_; }
    bool queueCluster(TRxCluster cluster, std::uint64_t readEpoch);

    DeviceOpener opener_;
    TickSource ticks_;

    std::atomic<bool> active_{false};
    std::string commPort_ = "COM2";
    std::uint32_t baudRate_ = 9600;
    std::uint8_t parityType_ = 0;
    char parityErrorChar_ = 0;
    bool parityErrorReplacement_ = false;
    std::uint8_t stopBits_ = 0;
    std::uint8_t dataBits_ = 8;
    char xonChar_ = 17;
    char xoffChar_ = 19;
    std::uint8_t xonLimDiv_ = 33;
    std::uint8_t xoffLimDiv_ = 33;
    std::int32_t flowControl_ = 0;
    bool stripNullChars_ = false;
    char eventChar_ = 0;
    std::atomic<std::uint32_t> rtoCharDelayTime_{1100};
    std::atomic<std::uint16_t> rtoExtraDelayTime_{250};
    std::atomic<std::uint16_t> clusterSize_{3072};
    std::uint16_t rxQueueSize_ = 4096;
    std::uint16_t txQueueSize_ = 4096;
    std::uint32_t wtoCharDelayTime_ = 1100;
    std::uint16_t wtoExtraDelayTime_ = 250;
    bool xtoAuto_ = true;
    bool rtsState_ = true;
    bool dtrState_ = true;
    bool breakState_ = false;
    std::atomic<bool> ctsState_{false};
    std::atomic<bool> dsrState_{false};
    std::atomic<bool> rlsdState_{false};
    std::atomic<bool> ringState_{false};
    std::atomic<std::uint8_t> errorNoise_{255};
    std::atomic<bool> readRequest_{false};
    std::atomic<bool> sendInProgress_{false};
    std::atomic<std::uint32_t> commError_{0};
    std::atomic<std::uint8_t> commStateFlags_{0};
    std::atomic<std::uint32_t> commStateInQueue_{0};
    std::atomic<std::uint32_t> commStateOutQueue_{0};
    std::atomic<std::uint32_t> modemState_{0};
    std::atomic<std::uint32_t> commEvent_{0};
    std::atomic<std::uint32_t> writtenBytes_{0};
    std::atomic<bool> threadQuietMode_{false};

    PortFailure lastFailure_;

    std::array<NotifyEvent, EventCount> handlers_;
    NotifyErrorEvent onProcessError_;
    std::atomic<std::uint32_t> handlerMask_{0};
    std::atomic<bool> hasErrorHandler_{false};

    // The open port. The worker holds its own reference while it works the port, so a close that
    // cannot wait for it never lets the descriptor go while the worker could still use it.
    std::shared_ptr<SerialDevice> device_;
    std::mutex deviceMutex_;
    std::atomic<std::uint64_t> generation_{0};
    // The port whose device went away: nobody works it any more, and it closes once the GUI thread gets to it.
    std::atomic<std::uint64_t> lostGeneration_{0};
    std::atomic<std::uint32_t> sendCount_{0};

    std::atomic<bool> destroying_{false};
    std::atomic<bool> threadRunning_{false};
    std::atomic<bool> stopWorker_{false};
    std::mutex workerMutex_;
    std::condition_variable workerWake_;
    std::condition_variable workerIdle_;

    mutable std::mutex queueMutex_;
    std::deque<TRxCluster> clusters_;
    std::atomic<std::uint64_t> inputEpoch_{0};
    // Held by the worker from a read's start to its bytes being queued, and by discardInput.
    std::mutex inputMutex_;

    MainThreadHandOff handOff_;
    // Work for this thread that must not outlive the link.
    LoopPoster poster_;
    std::unique_ptr<TWorkThread> worker_;
};
