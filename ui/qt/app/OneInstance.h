#pragma once

#include "posix/UniqueFd.h"

#include <QString>

// Lets one copy of a given program file run at a time: the first copy holds a lock named after the
// program's full path, which the system releases whenever the process ends, however it ends.
// Copies of the program in different folders have different locks and run side by side.
//
// The lock lives in a folder of the user's own that nobody else can write to: the session's
// runtime folder ($XDG_RUNTIME_DIR/lumevanta) when that is private to the user, else the user's
// cache folder ($XDG_CACHE_HOME or ~/.cache, then lumevanta/), never a shared folder where another
// user could take the lock, plant a link as the lock file or make the lock unusable.
class OneInstance {
public:
    explicit OneInstance(const QString& programPath);
    // The lock in the given folder, which must be the user's own and private as well.
    OneInstance(const QString& programPath, const QString& lockFolder);

    // Only a lock held by another copy counts; a lock that cannot be set up at all does not claim
    // that the program is already running.
    bool AlreadyRunning() const { return alreadyRunning_; }
    // The program path with forward slashes, as the refusal message shows it.
    const QString& name() const { return name_; }
    // The lock file in use, or empty when none could be set up.
    const QString& lockPath() const { return lockPath_; }
    // The user's own folder the lock lives in (empty when none could be set up); the channel to the
    // running copy lies beside it.
    const QString& folder() const { return folder_; }

private:
    void lockIn(const UniqueFd& folder, const QString& folderPath);

    QString name_;
    QString lockPath_;
    QString folder_;
    UniqueFd lock_;
    bool alreadyRunning_ = false;
};
