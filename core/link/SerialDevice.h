#pragma once

#include "link/PortFailure.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

// The operating system's side of a serial port, as the link needs it: line settings, modem lines,
// queue status, and reads, writes and line-event waits that may complete later. Every call
// reports success or the platform's error code; nothing throws. Calls may come from the GUI thread
// and the worker at once, so implementations guard their own state.

// A platform error code (errno on POSIX, GetLastError() on Windows); 0 is success. Where the failing
// step knows better than the code what went wrong for the user, it says so in fault.
struct DeviceStatus {
    int error = 0;
    PortFault fault = PortFault::None;
    bool ok() const { return error == 0; }
};

// The line-control record: what the link reads, changes and writes back as a whole.
struct LineSettings {
    std::uint32_t baudRate = 9600;
    std::uint32_t flags = 0x0001; // binary mode, plus the bits of LineFlag
    std::uint16_t xonLimit = 0;
    std::uint16_t xoffLimit = 0;
    std::uint8_t byteSize = 8;
    std::uint8_t parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t stopBits = 0; // 0 one, 1 one and a half, 2 two
    char xonChar = 17;
    char xoffChar = 19;
    char errorChar = 0;
    char eofChar = 0;
    char eventChar = 0;

    bool operator==(const LineSettings&) const = default;
};

namespace LineFlag {
inline constexpr std::uint32_t Binary = 0x0001;
inline constexpr std::uint32_t CheckParity = 0x0002;
inline constexpr std::uint32_t CtsOutputHandshake = 0x0004;
inline constexpr std::uint32_t DsrOutputHandshake = 0x0008;
inline constexpr std::uint32_t DtrControlMask = 0x0030;
inline constexpr std::uint32_t XonXoffOutput = 0x0100;
inline constexpr std::uint32_t XonXoffInput = 0x0200;
inline constexpr std::uint32_t ReplaceParityErrors = 0x0400;
inline constexpr std::uint32_t DiscardNulls = 0x0800;
inline constexpr std::uint32_t RtsControlMask = 0x3000;
inline constexpr std::uint32_t RtsHandshake = 0x2000;
} // namespace LineFlag

// Milliseconds; a read interval of all ones with the rest 0 makes reads return at once.
struct CommTimeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readMultiplier = 0;
    std::uint32_t readConstant = 0;
    std::uint32_t writeMultiplier = 0;
    std::uint32_t writeConstant = 0; // total write time-out; 0 means none
};

// Line events the port can be asked to watch.
namespace CommEventBit {
inline constexpr std::uint32_t RxChar = 0x0001;
inline constexpr std::uint32_t RxFlag = 0x0002;
inline constexpr std::uint32_t TxEmpty = 0x0004;
inline constexpr std::uint32_t Cts = 0x0008;
inline constexpr std::uint32_t Dsr = 0x0010;
inline constexpr std::uint32_t Rlsd = 0x0020;
inline constexpr std::uint32_t Break = 0x0040;
inline constexpr std::uint32_t LineError = 0x0080;
inline constexpr std::uint32_t Ring = 0x0100;
inline constexpr std::uint32_t All = 0x01FF;
} // namespace CommEventBit

// What a purge aborts and clears.
namespace PurgeBit {
inline constexpr std::uint32_t TxAbort = 0x0001;
inline constexpr std::uint32_t RxAbort = 0x0002;
inline constexpr std::uint32_t TxClear = 0x0004;
inline constexpr std::uint32_t RxClear = 0x0008;
inline constexpr std::uint32_t Input = RxAbort | RxClear;
inline constexpr std::uint32_t Output = TxAbort | TxClear;
inline constexpr std::uint32_t All = Input | Output;
} // namespace PurgeBit

namespace ModemBit {
inline constexpr std::uint32_t Cts = 0x10;
inline constexpr std::uint32_t Dsr = 0x20;
inline constexpr std::uint32_t Ring = 0x40;
inline constexpr std::uint32_t Rlsd = 0x80;
} // namespace ModemBit

namespace LineErrorBit {
inline constexpr std::uint32_t RxOverrun = 0x01;
inline constexpr std::uint32_t HardwareOverrun = 0x02;
inline constexpr std::uint32_t Parity = 0x04;
inline constexpr std::uint32_t Framing = 0x08;
inline constexpr std::uint32_t Break = 0x10;
inline constexpr std::uint32_t AnyReceiveError = 0x1F;
} // namespace LineErrorBit

// Line-error bits (cleared by reading them) and the queue status.
struct LineStatus {
    std::uint32_t errors = 0;
    std::uint8_t flags = 0; // queue-status flag bits (hold states); only the low byte is kept
    std::uint32_t inQueue = 0;
    std::uint32_t outQueue = 0;
};

// How a read, write or event wait went: done at once or later, still going, or ended.
enum class IoState { Done, Pending, Incomplete, Aborted, Failed };

struct IoResult {
    IoResult(IoState s = IoState::Failed, int e = 0) : state(s), error(e) {}

    IoState state = IoState::Failed;
    int error = 0;                  // for Aborted and Failed
    std::uint32_t bytes = 0;        // written, for writes
    std::vector<std::uint8_t> data; // received, for reads
    std::uint32_t eventMask = 0;    // occurred, for event waits
};

// What a bounded wait on the pending read and the pending event wait ended with.
struct WaitOutcome {
    enum Kind { ReadSignalled, EventSignalled, TimedOut, Failed };
    WaitOutcome(Kind k = TimedOut, int e = 0, std::uint32_t mask = 0) : kind(k), error(e), eventMask(mask) {}

    Kind kind = TimedOut;
    int error = 0;               // for Failed
    std::uint32_t eventMask = 0; // for EventSignalled: what the event wait produced
};

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    virtual std::uint32_t handle() const = 0;
    // A line that went unanswered is connected afresh rather than kept, so that nothing still on its
    // way arrives once a stalled network wakes up (a network line; a local one stays open).
    virtual bool reconnectsWhenUnanswered() const { return false; }

    virtual DeviceStatus setBufferSizes(std::uint32_t input, std::uint32_t output) = 0;
    virtual DeviceStatus getLineSettings(LineSettings& settings) = 0;
    virtual DeviceStatus setLineSettings(const LineSettings& settings) = 0;
    virtual DeviceStatus getTimeouts(CommTimeouts& timeouts) = 0;
    virtual DeviceStatus setTimeouts(const CommTimeouts& timeouts) = 0;

    virtual DeviceStatus setRts(bool raised) = 0;
    virtual DeviceStatus setDtr(bool raised) = 0;
    virtual DeviceStatus setBreak(bool on) = 0;
    virtual DeviceStatus readModemStatus(std::uint32_t& modemBits) = 0;
    virtual DeviceStatus readLineStatus(LineStatus& status) = 0;

    // Mask 0 stops watching and ends a pending event wait with an empty mask.
    virtual DeviceStatus setEventMask(std::uint32_t mask) = 0;
    virtual IoResult startEventWait() = 0;
    virtual DeviceStatus signalEventWait() = 0;

    virtual IoResult startRead(std::uint32_t count) = 0;
    virtual IoResult readResult() = 0;
    virtual DeviceStatus signalRead() = 0;

    // The device keeps its own copy of the bytes.
    virtual IoResult startWrite(std::span<const std::uint8_t> bytes) = 0;
    virtual IoResult writeResult() = 0;
    virtual DeviceStatus resetWrite() = 0;

    // Aborts the pending read or write and clears the input or output queue, as the PurgeBits say.
    virtual DeviceStatus purge(std::uint32_t what) = 0;

    // Waits at most timeout for the pending read or event wait to be signalled. It may return
    // TimedOut early when another pass is due (a pending write can move on, a wake-up), and it never
    // returns at once over and over on a dead device.
    virtual WaitOutcome waitFor(bool readPending, bool eventWaitPending, std::chrono::milliseconds timeout) = 0;

    // Releases the port for other users. Later calls fail; the descriptor itself is let go only when
    // the last owner drops the device, so a worker still holding it never touches a reused number.
    virtual DeviceStatus close() = 0;
};

// Opens a port by its configured name; on failure returns null and sets error.
using DeviceOpener = std::function<std::shared_ptr<SerialDevice>(const std::string& portName, int& error)>;
