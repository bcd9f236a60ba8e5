#include "app/InstanceChannel.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

#include <future>
#include <sys/stat.h>
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

TEST(InstanceChannel, AnythingButTheRequestIsTurnedAway) {
    QTemporaryDir folder;
    InstanceChannel running(folder.path(), Program);
    int requests = 0;
    running.onComeForward = [&](const QString&) { ++requests; };
    for (const QByteArray& junk : {QByteArray("hello\n"), QByteArray(200, 'x')}) {
        QLocalSocket peer;
        peer.connectToServer(InstanceChannel::socketPath(folder.path(), Program));
        ASSERT_TRUE(peer.waitForConnected(1000));
        peer.write(junk);
        EXPECT_TRUE(QTest::qWaitFor([&] { return peer.state() == QLocalSocket::UnconnectedState; }, 2000))
            << junk.left(10).toStdString();
    }
    EXPECT_EQ(requests, 0);

    QLocalSocket slow;
    slow.connectToServer(InstanceChannel::socketPath(folder.path(), Program));
    ASSERT_TRUE(slow.waitForConnected(1000));
    slow.write("come ");
    slow.flush();
    EXPECT_FALSE(QTest::qWaitFor([&] { return requests > 0; }, 200)) << "half a request is not one yet";
    slow.write("forward\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return slow.canReadLine(); }, 2000)) << "a request in pieces is still one";
    EXPECT_EQ(slow.readLine(), "ok\n");
    EXPECT_EQ(requests, 1);
}

// On Wayland a later launch hands on its activation token; only a plausible one is passed on.
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
        QLocalSocket peer;
        peer.connectToServer(InstanceChannel::socketPath(folder.path(), Program));
        ASSERT_TRUE(peer.waitForConnected(1000));
        peer.write(row.request);
        EXPECT_TRUE(QTest::qWaitFor([&] { return peer.canReadLine(); }, 2000)) << row.why;
        EXPECT_EQ(peer.readLine(), "ok\n") << row.why << ": the request is taken all the same";
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
