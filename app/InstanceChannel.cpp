#include "app/InstanceChannel.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLocalSocket>

#include <algorithm>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Request = "come forward";
const QByteArray Taken = "ok\n";
// Nothing longer is a request; a peer that sends more is not one of ours.
constexpr qint64 MaxRequest = 160;
// Compositors make tokens of a few dozen printable characters; a longer or odder one is not passed on.
constexpr qsizetype MaxToken = 128;

bool plausibleToken(const QByteArray& token) {
    return token.size() <= MaxToken &&
           std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

// "come forward", then from a launch on Wayland a space and its activation token; nothing when the
// line is no request.
std::optional<QString> tokenOfRequest(const QByteArray& line) {
    if (!line.endsWith('\n')) return std::nullopt;
    const QByteArray body = line.chopped(1);
    if (body == Request) return QString();
    if (!body.startsWith(Request + ' ')) return std::nullopt;
    const QByteArray token = body.mid(Request.size() + 1);
    return plausibleToken(token) ? QString::fromLatin1(token) : QString();
}

// The folder must be the user's own and closed to everyone else, or the socket could be another's.
bool privateFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    struct stat st {};
    if (lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
    return (st.st_mode & 077) == 0 || chmod(path.constData(), 0700) == 0;
}

} // namespace

QString InstanceChannel::socketPath(const QString& folder, const QString& programName) {
    // A short digest keeps the path within what a local socket's address can hold.
    const QByteArray digest = QCryptographicHash::hash(programName.toUtf8(), QCryptographicHash::Sha256).toHex();
    return folder + QLatin1Char('/') + QString::fromLatin1(digest.left(32)) + QStringLiteral(".sock");
}

InstanceChannel::InstanceChannel(const QString& folder, const QString& programName, QObject* parent) : QObject(parent) {
    if (!privateFolder(folder)) return;
    const QString path = socketPath(folder, programName);
    // The lock is ours, so a socket left there belongs to a copy that was killed.
    QLocalServer::removeServer(path);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &InstanceChannel::takeConnection);
    server_.listen(path);
}

void InstanceChannel::takeConnection() {
    while (QLocalSocket* peer = server_.nextPendingConnection()) {
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
            if (!peer->canReadLine() && peer->bytesAvailable() < MaxRequest) return;
            const QByteArray line = peer->readLine(MaxRequest);
            if (const auto token = tokenOfRequest(line)) {
                if (onComeForward) onComeForward(*token);
                peer->write(Taken);
            }
            peer->disconnectFromServer();
        });
    }
}

bool InstanceChannel::askToComeForward(const QString& folder, const QString& programName, int timeoutMs,
                                       const QString& activationToken) {
    if (!privateFolder(folder)) return false;
    QLocalSocket socket;
    socket.connectToServer(socketPath(folder, programName));
    if (!socket.waitForConnected(timeoutMs)) return false;
    const QByteArray token = activationToken.toLatin1();
    socket.write(Request + (plausibleToken(token) && !token.isEmpty() ? ' ' + token : QByteArray()) + '\n');
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(timeoutMs)) return false;
    return socket.readLine(MaxRequest) == Taken;
}
