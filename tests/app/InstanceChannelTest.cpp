#include "app/InstanceChannel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <memory>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <vector>

namespace {

const QString Program = "/opt/lumevanta/lumevanta";

// A later launch asks from a thread of its own, as from a process of its own: the running copy
// answers from its event loop, which the test keeps turning meanwhile.
bool askWhileRunning(const QString& folder, const QString& program) {
    auto answer =
        std::async(std::launch::async, [=] { return InstanceChannel::askToComeForward(folder, program, 3000); });
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 5000));
    return answer.get();
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    return stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

TEST(InstanceChannel, ALaterLaunchReachesTheRunningCopy) {
    QTemporaryDir folder;
    InstanceChannel running(folder.path(), Program);
    ASSERT_TRUE(running.listening());
    int requests = 0;
    running.onComeForward = [&](const QString&) { ++requests; };
    EXPECT_TRUE(askWhileRunning(folder.path(), Program));
    EXPECT_EQ(requests, 1);
    EXPECT_TRUE(askWhileRunning(folder.path(), Program)) << "and the next one too";
    EXPECT_EQ(requests, 2);
    EXPECT_FALSE(askWhileRunning(folder.path(), "/home/op/lumevanta/lumevanta"))
        << "a copy in another folder is another program";
    EXPECT_EQ(requests, 2);
}

TEST(InstanceChannel, WithNoCopyRunningNobodyAnswers) {
    QTemporaryDir folder;
    EXPECT_FALSE(InstanceChannel::askToComeForward(folder.path(), Program, 500));
    EXPECT_FALSE(InstanceChannel::askToComeForward("/proc/no-such-folder", Program, 500));
}

TEST(InstanceChannel, TheSocketIsTheUsersAlone) {
    QTemporaryDir folder;
    ASSERT_TRUE(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                         QFile::ExeOther));
    InstanceChannel running(folder.path(), Program);
    ASSERT_TRUE(running.listening());
    EXPECT_EQ(modeOf(folder.path()), 0700u) << "the folder is closed to others first";
    EXPECT_EQ(modeOf(InstanceChannel::socketPath(folder.path(), Program)) & 077, 0u);
    EXPECT_LT(InstanceChannel::socketPath(QString(40, 'f'), QString(4000, 'p')).size(), 40 + 40)
        << "however long the program's path, the socket's fits an address";
}

TEST(InstanceChannel, ASocketLeftByAKilledCopyDoesNotStopTheNext) {
    QTemporaryDir folder;
    QFile stale(InstanceChannel::socketPath(folder.path(), Program));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    InstanceChannel running(folder.path(), Program);
    EXPECT_TRUE(running.listening());
}

// A peer of the channel's socket at the level of bytes, as anything of the user's could be.
class RawPeer {
public:
    explicit RawPeer(const QString& path) : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un where{};
        where.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(where.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
        connected_ = ::connect(fd_.get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0;
    }
    bool connected() const { return connected_; }
    void send(const QByteArray& bytes) const { ::send(fd_.get(), bytes.constData(), bytes.size(), MSG_NOSIGNAL); }
    // What arrived so far; hungUp() once the far end has closed.
    const QByteArray& received() {
        char buffer[256];
        ssize_t got = 0;
        while ((got = ::recv(fd_.get(), buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
            received_.append(buffer, got);
        if (got == 0 || (got < 0 && errno != EAGAIN)) hungUp_ = true;
        return received_;
    }
    bool hungUp() {
        received();
        return hungUp_;
    }

private:
    UniqueFd fd_;
    bool connected_ = false;
    bool hungUp_ = false;
    QByteArray received_;
};

int openDescriptors() {
    return static_cast<int>(QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

TEST(InstanceChannel, AnythingButTheRequestIsTurnedAway) {
    QTemporaryDir folder;
    InstanceChannel running(folder.path(), Program);
    const QString path = InstanceChannel::socketPath(folder.path(), Program);
    int requests = 0;
    running.onComeForward = [&](const QString&) { ++requests; };
    for (const QByteArray& junk : {QByteArray("hello\n"), QByteArray(200, 'x'), QByteArray("come forward\r\n")}) {
        RawPeer peer(path);
        ASSERT_TRUE(peer.connected());
        peer.send(junk);
        EXPECT_TRUE(QTest::qWaitFor([&] { return peer.hungUp(); }, 2000)) << junk.left(10).toStdString();
        EXPECT_EQ(peer.received(), "") << junk.left(10).toStdString();
    }
    EXPECT_EQ(requests, 0);

    RawPeer slow(path);
    ASSERT_TRUE(slow.connected());
    slow.send("come ");
    EXPECT_FALSE(QTest::qWaitFor([&] { return requests > 0; }, 200)) << "half a request is not one yet";
    slow.send("forward\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return slow.hungUp(); }, 2000)) << "a request in pieces is still one";
    EXPECT_EQ(slow.received(), "ok\n");
    EXPECT_EQ(requests, 1);
}

TEST(InstanceChannel, IdlePeersAreDroppedAndCannotKeepALaterLaunchOut) {
    QTemporaryDir folder;
    InstanceChannel running(folder.path(), Program);
    int requests = 0;
    running.onComeForward = [&](const QString&) { ++requests; };
    const int before = openDescriptors();
    constexpr int idleCount = 300;
    std::vector<std::unique_ptr<RawPeer>> idle;
    for (int i = 0; i < idleCount; ++i)
        idle.push_back(std::make_unique<RawPeer>(InstanceChannel::socketPath(folder.path(), Program)));
    QTest::qWait(100);
    EXPECT_LE(openDescriptors(), before + idleCount + static_cast<int>(RequestListener::MaxPeers))
        << "the channel holds only a few of them open";
    EXPECT_TRUE(askWhileRunning(folder.path(), Program)) << "a later launch still gets through";
    EXPECT_EQ(requests, 1);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return std::all_of(idle.begin(), idle.end(), [](const auto& peer) { return peer->hungUp(); }); }, 3000))
        << "a silent peer is let go within a second or two";
}

TEST(InstanceChannel, ASocketFileThatWentIsMadeAgain) {
    QTemporaryDir folder;
    InstanceChannel running(folder.path(), Program);
    const QString path = InstanceChannel::socketPath(folder.path(), Program);
    auto isSocket = [&] {
        struct stat st {};
        return lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISSOCK(st.st_mode);
    };
    struct Row {
        const char* why;
        std::function<void()> damage;
    } rows[] = {
        {"removed", [&] { QFile::remove(path); }},
        {"replaced by a plain file",
         [&] {
             QFile::remove(path);
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
         }},
    };
    for (const Row& row : rows) {
        row.damage();
        EXPECT_TRUE(QTest::qWaitFor(isSocket, 5000)) << row.why;
        EXPECT_EQ(modeOf(path) & 077, 0u) << row.why;
        EXPECT_TRUE(askWhileRunning(folder.path(), Program)) << row.why;
    }
}

TEST(InstanceChannel, ListeningGoesOnWhenThereAreNoDescriptorsLeftForAPeer) {
    QTemporaryDir folder;
    InstanceChannel running(folder.path(), Program);
    // Served once before: the sanitizer's first look at a type needs descriptors of its own.
    ASSERT_TRUE(askWhileRunning(folder.path(), Program));
    RawPeer waiting(InstanceChannel::socketPath(folder.path(), Program));
    ASSERT_TRUE(waiting.connected());
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    {
        // Every descriptor taken, so the channel's accept fails for want of one.
        rlimit low = limit;
        low.rlim_cur = static_cast<rlim_t>(openDescriptors() + 16);
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
        std::vector<UniqueFd> filler;
        for (UniqueFd fd(open("/dev/null", O_RDONLY | O_CLOEXEC)); fd.valid();
             fd = UniqueFd(open("/dev/null", O_RDONLY | O_CLOEXEC)))
            filler.push_back(std::move(fd));
        QTest::qWait(3 * static_cast<int>(RequestListener::AcceptRetry.count()));
        filler.clear();
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    }
    EXPECT_TRUE(running.listening());
    EXPECT_TRUE(askWhileRunning(folder.path(), Program));
    EXPECT_TRUE(QTest::qWaitFor([&] { return waiting.hungUp(); }, 3000)) << "the peer that waited is taken at last";
}

TEST(InstanceChannel, ALaunchsActivationTokenReachesTheRunningCopy) {
    QTemporaryDir folder;
    InstanceChannel running(folder.path(), Program);
    std::vector<QString> tokens;
    running.onComeForward = [&](const QString& token) { tokens.push_back(token); };
    struct Row {
        const char* why;
        QByteArray request;
        QString token;
    } rows[] = {
        {"a compositor's token", "come forward gnome-shell/Lumevanta/2217-3-host_TIME81\n",
         "gnome-shell/Lumevanta/2217-3-host_TIME81"},
        {"no token", "come forward\n", ""},
        {"a control character",
         "come forward abc\x01"
         "def\n",
         ""},
        {"longer than any compositor makes", "come forward " + QByteArray(129, 't') + "\n", ""},
    };
    for (const auto& row : rows) {
        RawPeer peer(InstanceChannel::socketPath(folder.path(), Program));
        ASSERT_TRUE(peer.connected());
        peer.send(row.request);
        EXPECT_TRUE(QTest::qWaitFor([&] { return peer.hungUp(); }, 2000)) << row.why;
        EXPECT_EQ(peer.received(), "ok\n") << row.why << ": the request is taken all the same";
        ASSERT_FALSE(tokens.empty()) << row.why;
        EXPECT_EQ(tokens.back(), row.token) << row.why;
    }
    auto asked = std::async(std::launch::async, [&] {
        return InstanceChannel::askToComeForward(folder.path(), Program, 3000, QStringLiteral("kwin-7f3a"));
    });
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 5000));
    EXPECT_TRUE(asked.get());
    EXPECT_EQ(tokens.back(), "kwin-7f3a") << "the asking side sends it";
}

} // namespace
