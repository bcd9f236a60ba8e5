#include "base/MainLoop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace {

class QtTimer final : public MainLoop::TimerHandle {
public:
    explicit QtTimer(std::function<void()> tick) { QObject::connect(&timer_, &QTimer::timeout, std::move(tick)); }
    void start(std::chrono::milliseconds interval, bool singleShot) override {
        timer_.setSingleShot(singleShot);
        timer_.start(interval);
    }
    void stop() override { timer_.stop(); }
    bool active() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

// Qt's event loop of the application object; work is queued to the application object's thread.
class QtMainLoop final : public MainLoop {
public:
    void post(std::function<void()> work) override {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
    }
    bool isLoopThread() const override { return QThread::currentThread() == QCoreApplication::instance()->thread(); }
    std::unique_ptr<TimerHandle> makeTimer(std::function<void()> tick) override {
        return std::make_unique<QtTimer>(std::move(tick));
    }
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) override {
        QDeadlineTimer deadline(limit);
        // Wakes the waiting loop now and then, so a condition that no event announces is seen too.
        QTimer wake;
        wake.start(5);
        while (!done()) {
            if (deadline.hasExpired()) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
};

} // namespace

MainLoop& mainLoop() {
    static QtMainLoop loop;
    return loop;
}
