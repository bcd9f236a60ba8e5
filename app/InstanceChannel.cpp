#include "app/InstanceChannel.h"

#include <QCryptographicHash>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The wire protocol: one line each way.
constexpr std::string_view Request = "come forward";
constexpr std::string_view Taken = "ok";

// The folder must be the user's own and closed to everyone else, or the socket could be another's.
bool privateFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    struct stat st {};
    if (lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
    return (st.st_mode & 077) == 0 || chmod(path.constData(), 0700) == 0;
}

std::string localPath(const QString& folder, const QString& programName) {
    return QFile::encodeName(InstanceChannel::socketPath(folder, programName)).toStdString();
}

} // namespace

QString InstanceChannel::socketPath(const QString& folder, const QString& programName) {
    // A short digest keeps the path within what a local socket's address can hold.
    const QByteArray digest = QCryptographicHash::hash(programName.toUtf8(), QCryptographicHash::Sha256).toHex();
    return folder + QLatin1Char('/') + QString::fromLatin1(digest.left(32)) + QStringLiteral(".sock");
}

InstanceChannel::InstanceChannel(const QString& folder, const QString& programName, QObject* parent) : QObject(parent) {
    if (!privateFolder(folder)) return;
    // The lock is ours, so a socket left there belongs to a copy that was killed.
    listener_ = std::make_unique<RequestListener>(
        localPath(folder, programName),
        [this](std::string_view request) -> std::optional<std::string> {
            if (request != Request) return std::nullopt;
            if (onComeForward) onComeForward();
            return std::string(Taken);
        },
        this);
}

bool InstanceChannel::askToComeForward(const QString& folder, const QString& programName, int timeoutMs) {
    if (!privateFolder(folder)) return false;
    return sendRequest(localPath(folder, programName), Request, std::chrono::milliseconds(timeoutMs)) == Taken;
}
