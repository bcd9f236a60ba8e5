#include "link/SerialLink.h"
#include "posix/PosixSerialDevice.h"
#include "tests/link/FakePort.h"
#include "tests/support/PtyPair.h"
#include "tests/support/UserProcess.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <netdb.h>
#include <pwd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Opens name through the link as the program does and gives what the link says of the failure.
PortFailure openFailure(const std::string& name, std::uint32_t speed = 9600) {
    TSerialLink link;
    link.setCommPort(name);
    link.setBaudRate(speed);
    link.setActive(true);
    EXPECT_FALSE(link.Active()) << name;
    return link.LastFailure();
}

TEST(OpenFailure, SaysWhyForEachKindOfName) {
    QTemporaryDir folder;
    const std::string dir = folder.path().toStdString();
    const std::string file = dir + "/recorder.txt", fifo = dir + "/fifo";
    std::ofstream(file) << "keep me";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    PtyPair taken;
    TSerialLink holder;
    holder.setCommPort(taken.slavePath());
    holder.setActive(true);
    ASSERT_TRUE(holder.Active());
    PtyPair hungUp;
    const std::string hungUpPath = hungUp.slavePath();
    hungUp.closeMaster();

    struct Row {
        const char* why;
        std::string name;
        PortFault fault;
        int error;
    } rows[] = {
        {"a name with nothing behind it", "/dev/no-such-adapter", PortFault::NoDevice, ENOENT},
        {"a pseudo-terminal whose far end is gone", hungUpPath, PortFault::NoDevice, ENOENT},
        {"a port another program holds", taken.slavePath(), PortFault::InUse, EBUSY},
        {"a regular file", file, PortFault::NotSerial, ENOTTY},
        {"a folder", dir, PortFault::NotSerial, ENOTTY},
        {"a pipe", fifo, PortFault::NotSerial, ENOTTY},
        {"a null device", "/dev/null", PortFault::NotSerial, ENOTTY},
        {"a device of zeros", "/dev/zero", PortFault::NotSerial, ENOTTY},
        {"the program's own terminal", "/dev/tty", PortFault::NotSerial, ENOTTY},
        {"a name under /dev", "no-such-adapter0", PortFault::NoDevice, ENOENT},
    };
    for (const auto& row : rows) {
        const PortFailure failure = openFailure(row.name);
        EXPECT_EQ(failure.fault, row.fault) << row.why;
        EXPECT_EQ(failure.error, row.error) << row.why;
        EXPECT_EQ(failure.devicePath, row.name.front() == '/' ? row.name : "/dev/" + row.name) << row.why;
    }
    EXPECT_EQ(fileText(file), "keep me");
}

TEST(OpenFailure, AnUnusableSpeedFailsTheOpenAndLeavesTheLineAsItWas) {
    for (std::uint32_t speed : {0u, 4000001u, 4294967295u}) {
        PtyPair pty;
        termios before{};
        ASSERT_EQ(tcgetattr(pty.master(), &before), 0);
        const PortFailure failure = openFailure(pty.slavePath(), speed);
        EXPECT_EQ(failure, (PortFailure{PortFault::BadSpeed, EINVAL, pty.slavePath(), "", "", speed})) << speed;
        termios after{};
        ASSERT_EQ(tcgetattr(pty.master(), &after), 0);
        EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before)) << speed;
        EXPECT_EQ(after.c_lflag, before.c_lflag) << speed;
        int error = 0;
        EXPECT_NE(PosixSerialDevice::open(pty.slavePath(), error), nullptr) << "the refused open let the port go";
    }
}

TEST(OpenFailure, TheTerminalTheProgramRunsInIsRefused) {
    // The pseudo-terminal stands in for the terminal the program was started from.
    PtyPair terminal;
    const int ownInput = dup(STDIN_FILENO);
    const int terminalFd = open(terminal.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(dup2(terminalFd, STDIN_FILENO), STDIN_FILENO);
    close(terminalFd);
    const PortFailure failure = openFailure(terminal.slavePath());
    dup2(ownInput, STDIN_FILENO);
    close(ownInput);
    EXPECT_EQ(failure.fault, PortFault::NotSerial);
    EXPECT_TRUE(terminal.read(1, std::chrono::milliseconds(50)).empty()) << "nothing was written to it";
}

// Without access the user is told which group to join only where joining it would help: a group that
// may read and write the device, and not root's. Mode bits do not stop root, so the open is tried as
// nobody, who is in neither group.
TEST(OpenFailure, ADeviceWithoutAccessNamesAGroupOnlyWhenJoiningItHelps) {
    if (!UserProcess::canSwitchUsers()) GTEST_SKIP() << "needs root to give a device to root and dialout (chown)";
    const group* dialout = getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    struct Row {
        const char* why;
        gid_t gid;
        mode_t mode;
        std::string group;
    } rows[] = {
        {"open to its owner, root, only", 0, 0600, ""},
        {"open to the dialout group", dialout->gr_gid, 0660, "dialout"},
        {"dialout may read but not write", dialout->gr_gid, 0640, ""},
        {"root's group may use it", 0, 0660, ""},
    };
    for (const auto& row : rows) {
        PtyPair pty;
        ASSERT_EQ(chown(pty.slavePath().c_str(), 0, row.gid), 0);
        ASSERT_EQ(chmod(pty.slavePath().c_str(), row.mode), 0);
        UserProcess nobody(UserProcess::Nobody, [&] {
            int error = 0;
            const auto device = PosixSerialDevice::open(pty.slavePath(), error);
            const PortFailure seen = describePortFailure(pty.slavePath(), device ? 0 : error);
            return std::to_string(static_cast<int>(seen.fault)) + " " + std::to_string(seen.error) + " [" + seen.group +
                   "] " + seen.user;
        });
        const std::string expected = std::to_string(static_cast<int>(PortFault::PermissionDenied)) + " " +
                                     std::to_string(EACCES) + " [" + row.group + "] " +
                                     std::to_string(UserProcess::Nobody);
        const passwd* account = getpwuid(UserProcess::Nobody);
        const std::string expectedNamed =
            account ? expected.substr(0, expected.rfind(' ') + 1) + account->pw_name : expected;
        EXPECT_EQ(nobody.answer(), expectedNamed) << row.why;
    }
}

TEST(OpenFailure, ErrorsTurnIntoWhatTheUserCanDo) {
    struct Row {
        int error;
        PortFault fault;
        bool comesBack;
    } rows[] = {
        {ENOENT, PortFault::NoDevice, true},
        {ENODEV, PortFault::NoDevice, true},
        {ENXIO, PortFault::NoDevice, true},
        {EIO, PortFault::NoDevice, true},
        {EACCES, PortFault::PermissionDenied, false},
        {EPERM, PortFault::PermissionDenied, false},
        {EBUSY, PortFault::InUse, true},
        {ENOTTY, PortFault::NotSerial, false},
        {EISDIR, PortFault::NotSerial, false},
        {EPROTO, PortFault::Other, false},
        {EINPROGRESS, PortFault::Connecting, true},
        {EAI_NONAME, PortFault::Unresolved, true},
        {ECONNREFUSED, PortFault::Refused, true},
        {ETIMEDOUT, PortFault::Unreachable, true},
        {ECONNRESET, PortFault::Disconnected, true},
        {EDESTADDRREQ, PortFault::BadAddress, false},
        {ENOPROTOOPT, PortFault::OptionRefused, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(faultForError(row.error), row.fault) << row.error;
        EXPECT_EQ(mayComeBack(row.fault), row.comesBack) << row.error;
    }
}

} // namespace
