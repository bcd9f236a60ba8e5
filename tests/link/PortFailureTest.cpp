#include "link/PosixSerialDevice.h"
#include "link/SerialLink.h"
#include "tests/link/FakePort.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

// Without access the user is told the device's group and their own name. Mode bits do not stop
// root, so as root the open is tried by a child that has become nobody.
TEST(OpenFailure, ADeviceWithoutAccessNamesItsGroupAndTheUser) {
    PtyPair pty;
    ASSERT_EQ(chmod(pty.slavePath().c_str(), 0), 0);
    struct stat info {};
    ASSERT_EQ(stat(pty.slavePath().c_str(), &info), 0);
    const group* owners = getgrgid(info.st_gid);
    ASSERT_NE(owners, nullptr);
    const std::string expectedGroup = owners->gr_name;

    auto tryOpen = [&] {
        int error = 0;
        const auto device = PosixSerialDevice::open(pty.slavePath(), error);
        PortFailure failure = describePortFailure(pty.slavePath(), device ? 0 : error);
        return failure;
    };
    PortFailure failure;
    std::string expectedUser;
    if (geteuid() != 0) {
        failure = tryOpen();
        expectedUser = getpwuid(geteuid())->pw_name;
    } else {
        const passwd* nobody = getpwnam("nobody");
        ASSERT_NE(nobody, nullptr);
        expectedUser = nobody->pw_name;
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = fork();
        if (child == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(2);
            const PortFailure seen = tryOpen();
            const std::string text = std::to_string(static_cast<int>(seen.fault)) + " " + std::to_string(seen.error) +
                                     " " + seen.group + " " + seen.user;
            _exit(write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 3);
        }
        close(fds[1]);
        char buffer[256] = {};
        const ssize_t n = read(fds[0], buffer, sizeof buffer - 1);
        close(fds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        int fault = 0, error = 0;
        char groupName[128] = {}, userName[128] = {};
        ASSERT_GT(n, 0);
        ASSERT_EQ(sscanf(buffer, "%d %d %127s %127s", &fault, &error, groupName, userName), 4) << buffer;
        failure = {static_cast<PortFault>(fault), error, pty.slavePath(), groupName, userName, 0};
    }
    EXPECT_EQ(failure.fault, PortFault::PermissionDenied);
    EXPECT_EQ(failure.error, EACCES);
    EXPECT_EQ(failure.group, expectedGroup);
    EXPECT_EQ(failure.user, expectedUser);
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
    };
    for (const auto& row : rows) {
        EXPECT_EQ(faultForError(row.error), row.fault) << row.error;
        EXPECT_EQ(mayComeBack(row.fault), row.comesBack) << row.error;
    }
}

} // namespace
