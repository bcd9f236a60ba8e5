#include "exchange/KeyFrame.h"
#include "posix/UniqueFd.h"
#include "tests/support/RecorderProcess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto Patience = 2s;
constexpr auto Silence = 300ms;

UniqueFd openSlave(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
}

bool sendFrame(const UniqueFd& slave, std::uint8_t id, std::uint8_t key) {
    const KeyFrame::Bytes frame = KeyFrame::make(id, key);
    return ::write(slave.get(), frame.data(), frame.size()) == static_cast<ssize_t>(frame.size());
}

std::optional<char> readReply(const UniqueFd& slave, std::chrono::milliseconds within) {
    char reply = 0;
    if (!waitReadable(slave.get(), Clock::now() + within) || ::read(slave.get(), &reply, 1) != 1) return std::nullopt;
    return reply;
}

struct AnswerCase {
    std::string name;
    std::vector<std::string> args;
    std::uint8_t frameId;
    std::string logged;
    std::optional<char> reply;
};

TEST(VirtualRecorder, AnswersAsConfigured) {
    const std::vector<AnswerCase> cases = {
        {"default answers ok", {}, 0x03, "frame id=03 key=31 answer=X", 'X'},
        {"busy", {"--answer", "y"}, 0x03, "answer=Y", 'Y'},
        {"silent", {"--answer", "none"}, 0x03, "answer=none", std::nullopt},
        {"own id", {"--id", "3"}, 0x03, "answer=X", 'X'},
        {"other id", {"--id", "3"}, 0x04, "frame id=04 key=31 answer=ignored(other id)", std::nullopt},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        RecorderProcess recorder(c.args);
        const UniqueFd slave = openSlave(recorder.devicePath());
        ASSERT_TRUE(slave.valid());
        ASSERT_TRUE(sendFrame(slave, c.frameId, 0x31));
        EXPECT_TRUE(recorder.logs(c.logged));
        EXPECT_EQ(readReply(slave, c.reply ? Patience : Silence), c.reply);
    }
}

// The remote control may let go of the line for a while; the recorder must not notice.
TEST(VirtualRecorder, KeepsAnsweringAcrossSlaveReopens) {
    RecorderProcess recorder({});
    const std::string device = recorder.devicePath();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        {
            const UniqueFd slave = openSlave(device);
            ASSERT_TRUE(slave.valid());
            ASSERT_TRUE(sendFrame(slave, 0x01, static_cast<std::uint8_t>(0x40 + round)));
            EXPECT_EQ(readReply(slave, Patience), 'X');
            EXPECT_TRUE(recorder.logs("key=4" + std::to_string(round)));
        }
        std::this_thread::sleep_for(50ms);
    }
    for (const std::string& line : recorder.history())
        EXPECT_EQ(line.find("hung up"), std::string::npos) << line;
}

// A recorder that blocked while waiting would log the second frame only after the first reply.
TEST(VirtualRecorder, ReadsOnWhileAReplyIsDelayed) {
    RecorderProcess recorder({"--delay", "700"});
    const UniqueFd slave = openSlave(recorder.devicePath());
    ASSERT_TRUE(slave.valid());
    ASSERT_TRUE(sendFrame(slave, 0x01, 0x01));
    ASSERT_TRUE(recorder.logs("key=01"));
    ASSERT_TRUE(sendFrame(slave, 0x01, 0x02));
    ASSERT_TRUE(recorder.logs("key=02"));
    EXPECT_EQ(readReply(slave, 0ms), std::nullopt);
    EXPECT_EQ(readReply(slave, Patience), 'X');
    EXPECT_EQ(readReply(slave, Patience), 'X');
}

TEST(VirtualRecorder, ReplacesStaleLinkAndRemovesItOnTerminate) {
    const std::string link = testing::TempDir() + "recorder-link-" + std::to_string(::getpid());
    ::unlink(link.c_str());
    ASSERT_EQ(::symlink("/nonexistent", link.c_str()), 0);

    RecorderProcess recorder({"--link", link});
    const std::string device = recorder.devicePath();
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(target, device);

    EXPECT_EQ(recorder.exitStatus(SIGTERM), 0);
    struct stat info {};
    EXPECT_NE(::lstat(link.c_str(), &info), 0) << "link left behind";
}

TEST(VirtualRecorder, ExitsWithTwoOnBadArguments) {
    RecorderProcess recorder({"--id", "300"});
    EXPECT_EQ(recorder.exitStatus(), 2);
}

TEST(VirtualRecorder, VanishesLikeAnUnpluggedAdapterAndComesBackAtItsLink) {
    const std::string link = ::testing::TempDir() + "vanishing-recorder";
    RecorderProcess recorder({"--link", link});
    const std::string first = recorder.devicePath();
    ASSERT_FALSE(first.empty());
    const UniqueFd before = openSlave(link);
    ASSERT_TRUE(before.valid());

    recorder.signal(SIGUSR1);
    ASSERT_TRUE(recorder.logs("vanished"));
    struct stat info {};
    EXPECT_NE(::lstat(link.c_str(), &info), 0) << "the link is gone";
    char byte = 0;
    EXPECT_EQ(::read(before.get(), &byte, 1), 0) << "the line is hung up";
    EXPECT_FALSE(sendFrame(before, 0, 0x31)) << "and takes nothing";

    recorder.signal(SIGUSR2);
    const std::string second = recorder.nextDevicePath();
    ASSERT_FALSE(second.empty());
    const UniqueFd after = openSlave(link);
    ASSERT_TRUE(after.valid()) << "the same link leads to the new line";
    ASSERT_TRUE(sendFrame(after, 0, 0x32));
    EXPECT_EQ(readReply(after, Patience), 'X');
    EXPECT_EQ(recorder.exitStatus(SIGTERM), 0);
}

} // namespace
