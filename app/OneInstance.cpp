#include "app/OneInstance.h"

#include <QCryptographicHash>
#include <QDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString OneInstance::defaultLockFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) return runtime + "/lumevanta";
    return QDir::tempPath() + "/lumevanta-" + QString::number(getuid());
}

OneInstance::OneInstance(const QString& programPath, const QString& lockFolder)
    : name_(programPath), folder_(lockFolder) {
    name_.replace('\\', '/');
    QDir().mkpath(lockFolder);
    // A digest of the whole path names the lock, however long the path is.
    const QByteArray digest = QCryptographicHash::hash(name_.toUtf8(), QCryptographicHash::Sha256).toHex();
    const QByteArray lockPath = QFile::encodeName(lockFolder + "/" + QString::fromLatin1(digest) + ".lock");
    UniqueFd fd(::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    // Only a lock held by another copy refuses the start; one that cannot be set up at all (no
    // writable folder) must not claim that the program is already running.
    if (!fd.valid()) return;
    if (flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
        lock_ = std::move(fd);
    else
        alreadyRunning_ = errno == EWOULDBLOCK;
}
