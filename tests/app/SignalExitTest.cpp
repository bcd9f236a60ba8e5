#include "app/SignalExit.h"
#include "settings/ProfileFile.h"
#include "tests/support/OptionsText.h"
#include "tests/support/PtyPair.h"
#include "tests/support/UserProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

sighandler_t disposition(int signal) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler;
}

TEST(SignalExit, EachSignalRunsTheOrderlyExitOnceFromTheEventLoop) {
    for (const int signal : SignalExit::Signals) {
        // What was there before must come back afterwards.
        std::signal(signal, SIG_IGN);
        int exits = 0;
        {
            const SignalExit exitOnSignal([&] { ++exits; });
            std::raise(signal);
            EXPECT_EQ(exits, 0) << strsignal(signal) << ": not from the handler";
            EXPECT_TRUE(QTest::qWaitFor([&] { return exits > 0; }, 2000)) << strsignal(signal);
            for (const int other : SignalExit::Signals)
                EXPECT_EQ(disposition(other), SIG_DFL)
                    << strsignal(signal) << ": a second " << strsignal(other) << " would end the program at once";
            QTest::qWait(0);
            EXPECT_EQ(exits, 1) << strsignal(signal);
        }
        EXPECT_EQ(disposition(signal), SIG_IGN) << strsignal(signal);
        std::signal(signal, SIG_DFL);
    }
}

TEST(SignalExitDeathTest, ASecondSignalDuringTheOrderlyExitEndsTheProgramAtOnce) {
    // A fresh process of its own, with an event loop of its own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const SignalExit exitOnSignal([] { std::raise(SIGINT); });
            std::raise(SIGTERM);
            QTest::qWait(5000);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGINT), "");
}

// The built program in a working folder of its own, with its own settings folders.
class ProgramProcess {
public:
    ProgramProcess(const std::string& workFolder, const std::vector<std::pair<std::string, std::string>>& environment) {
        pid_ = fork();
        if (pid_ != 0) return;
        for (const auto& [name, value] : environment)
            setenv(name.c_str(), value.c_str(), 1);
        if (chdir(workFolder.c_str()) == 0) execl(LUMEVANTA_PATH, "lumevanta", nullptr);
        _exit(127);
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;
    ~ProgramProcess() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }

    void signal(int number) const { kill(pid_, number); }
    // The exit code, 128 + the signal that ended it, or -1 while it still runs.
    int endsWithin(std::chrono::milliseconds patience) {
        int status = 0;
        if (!QTest::qWaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; },
                             static_cast<int>(patience.count())))
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
};

bool exclusive(int ttyFd) {
    int on = 0;
    return ioctl(ttyFd, TIOCGEXCL, &on) == 0 && on != 0;
}

// Whether another program could take the port for itself now. Root passes any exclusive mode, so the
// try is made as a user who is not root where the test can switch.
bool othersCanTakeThePort(const std::string& path) {
    auto take = [path] {
        const UniqueFd fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        const bool taken = fd.valid() && flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && ioctl(fd.get(), TIOCEXCL) == 0;
        const std::string answer = taken ? "taken" : std::strerror(errno);
        if (fd.valid()) ioctl(fd.get(), TIOCNXCL);
        return answer;
    };
    if (!UserProcess::canSwitchUsers()) return take() == "taken";
    chown(path.c_str(), UserProcess::Nobody, static_cast<gid_t>(-1));
    UserProcess other(UserProcess::Nobody, take);
    return other.answer() == "taken";
}

TEST(SignalExitProgram, ASignalEndsTheProgramAsTheCloseKeyDoes) {
    for (const int signal : SignalExit::Signals) {
        QTemporaryDir tree;
        const std::string root = tree.path().toStdString();
        const std::string work = root + "/work", config = root + "/config", runtime = root + "/run";
        for (const std::string& folder : {work, config, config + "/lumevanta", runtime})
            mkdir(folder.c_str(), 0700);
        PtyPair recorder;
        const UniqueFd watch(open(recorder.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        ASSERT_TRUE(watch.valid());
        std::ofstream(work + "/options.ini", std::ios::binary) << optionsText("BRW721", recorder.slavePath());
        const std::string placement = config + "/lumevanta/lumevanta.INI";
        std::ofstream(placement, std::ios::binary) << "[Tbrw721_frm]\r\nNormPos=100,60,101,61\r\n";

        ProgramProcess program(
            work, {{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_CONFIG_HOME", config}, {"XDG_RUNTIME_DIR", runtime}});
        ASSERT_TRUE(QTest::qWaitFor([&] { return exclusive(watch.get()); }, 30000))
            << strsignal(signal) << ": the program took its port";
        program.signal(signal);
        EXPECT_EQ(program.endsWithin(10s), 0) << strsignal(signal) << ": an orderly end";

        EXPECT_FALSE(exclusive(watch.get())) << strsignal(signal) << ": the port is released";
        EXPECT_TRUE(othersCanTakeThePort(recorder.slavePath())) << strsignal(signal);
        const ProfileFile stored(placement);
        // Only a save writes the version; the seeded section has none.
        EXPECT_EQ(stored.readString("Tbrw721_frm", "FormVersion", "none"), "0")
            << strsignal(signal) << ": saved on the way out";
        EXPECT_TRUE(stored.readString("Tbrw721_frm", "NormPos").starts_with("100,60,")) << strsignal(signal);
    }
}

} // namespace
