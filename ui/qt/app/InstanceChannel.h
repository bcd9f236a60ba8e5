#pragma once

#include "app/RequestListener.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// How a later launch of the program reaches the copy that runs: a local socket beside the
// single-instance lock, in the user's own folder and open to the user alone. The running copy
// listens; a later one asks it to bring its panel forward, then shows its message and ends.
class InstanceChannel : public QObject {
public:
    // Listens for later launches; only the copy that holds the lock may do this.
    InstanceChannel(const QString& folder, const QString& programName, QObject* parent = nullptr);

    bool listening() const { return listener_ && listener_->listening(); }
    // Runs for every request of a later launch, with the launch's activation token (empty without one).
    std::function<void(const QString& activationToken)> onComeForward;

    // Asks the running copy to come forward; true once it has taken the request. On Wayland the
    // launch's activation token lets the running copy raise its window.
    static bool askToComeForward(const QString& folder, const QString& programName, int timeoutMs = 2000,
                                 const QString& activationToken = {});

    static QString socketPath(const QString& folder, const QString& programName);

private:
    std::unique_ptr<RequestListener> listener_;
};
