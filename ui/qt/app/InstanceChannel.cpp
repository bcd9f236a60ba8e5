#include "app/InstanceChannel.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The wire protocol: one line each way; from a launch on Wayland the request ends with a space and
// the launch's activation token.
constexpr std::string_view Request = "come forward";
constexpr std::string_view Taken = "ok";
// Compositors make tokens of a few dozen printable characters; a longer or odder one is not passed on.
constexpr std::size_t MaxToken = 128;
static_assert(Request.size() + 1 + MaxToken < RequestListener::MaxRequest);

bool plausibleToken(std::string_view token) {
    return token.size() <= MaxToken &&
           std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

// The token of a request (empty without one), or nothing when the line is no request.
std::optional<QString> tokenOfRequest(std::string_view line) {
    if (line == Request) return QString();
    if (!line.starts_with(Request) || line.size() <= Request.size() || line[Request.size()] != ' ') return std::nullopt;
    const std::string_view token = line.substr(Request.size() + 1);
    return plausibleToken(token) ? QString::fromLatin1(token.data(), static_cast<qsizetype>(token.size())) : QString();
}

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
            const auto token = tokenOfRequest(request);
            if (!token) return std::nullopt;
            if (onComeForward) onComeForward(*token);
            return std::string(Taken);
        },
        this);
}

bool InstanceChannel::askToComeForward(const QString& folder, const QString& programName, int timeoutMs,
                                       const QString& activationToken) {
    if (!privateFolder(folder)) return false;
    const std::string token = activationToken.toStdString();
    const std::string request =
        std::string(Request) + (!token.empty() && plausibleToken(token) ? " " + token : std::string());
    return sendRequest(localPath(folder, programName), request, std::chrono::milliseconds(timeoutMs)) == Taken;
}
