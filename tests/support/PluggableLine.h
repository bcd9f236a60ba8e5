#pragma once

#include "tests/support/PtyPair.h"

#include <QTemporaryDir>

#include <memory>
#include <string>
#include <unistd.h>

// A recorder's line under a name that stays, as /dev/serial/by-id gives a USB adapter and the
// virtual recorder's --link gives its pseudo-terminal: it can be pulled out and plugged in again.
class PluggableLine {
public:
    const std::string& name() const { return name_; }
    PtyPair& line() { return *pty_; }
    // A fresh pseudo-terminal behind the name; false when the name could not be made.
    bool plugIn() {
        pty_ = std::make_unique<PtyPair>();
        ::unlink(name_.c_str());
        return ::symlink(pty_->slavePath().c_str(), name_.c_str()) == 0;
    }
    void pullOut() {
        ::unlink(name_.c_str());
        pty_.reset(); // hangs the line up
    }

private:
    QTemporaryDir folder_;
    std::string name_ = folder_.filePath("recorder").toStdString();
    std::unique_ptr<PtyPair> pty_;
};
