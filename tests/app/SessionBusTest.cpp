#include "app/SessionBus.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/SpawnedProcess.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using SessionBus::Probe;

// A socket that takes connections into its queue and never says a word, as a hung bus does.
class SilentSocket {
public:
    // A path, or with a leading '@' an abstract name.
    explicit SilentSocket(const std::string& name) : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un where{};
        where.sun_family = AF_UNIX;
        const bool abstract = name[0] == '@';
        std::memcpy(where.sun_path + (abstract ? 1 : 0), name.data() + (abstract ? 1 : 0),
                    name.size() - (abstract ? 1 : 0));
        // An abstract name's '@' stands for its leading NUL; a path ends in one.
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + (abstract ? 0 : 1));
        listening_ =
            ::bind(fd_.get(), reinterpret_cast<const sockaddr*>(&where), length) == 0 && ::listen(fd_.get(), 16) == 0;
    }
    bool listening() const { return listening_; }

private:
    UniqueFd fd_;
    bool listening_ = false;
};

// A real session bus of the test's own.
class BusDaemon {
public:
    explicit BusDaemon(const std::string& path)
        : daemon_("/usr/bin/dbus-daemon", {"--session", "--nofork", "--address=unix:path=" + path, "--print-address=1"},
                  SpawnedProcess::Output::Stdout) {}
    bool ready() { return waitReadable(daemon_.output(), Clock::now() + 10s); }

private:
    SpawnedProcess daemon_;
};

TEST(SessionBus, EachKindOfBusIsToldApartWithinTheTimeGiven) {
    QTemporaryDir folder;
    const std::string dir = folder.path().toStdString();
    const SilentSocket silent(dir + "/silent");
    const std::string abstractName = "lumevanta-test-" + std::to_string(getpid());
    const SilentSocket silentAbstract("@" + abstractName);
    BusDaemon daemon(dir + "/bus");
    ASSERT_TRUE(silent.listening() && silentAbstract.listening());
    ASSERT_TRUE(daemon.ready()) << "dbus-daemon did not start";

    struct Row {
        const char* why;
        std::string addresses;
        Probe expected;
    } rows[] = {
        {"a bus that answers", "unix:path=" + dir + "/bus,guid=0123456789abcdef0123456789abcdef", Probe::Answers},
        {"a bus that takes the connection and says nothing", "unix:path=" + dir + "/silent", Probe::Silent},
        {"the same under an abstract name", "unix:abstract=" + abstractName, Probe::Silent},
        {"an escaped path", "unix:path=" + dir + "%2fsilent", Probe::Silent},
        {"nothing at the path", "unix:path=" + dir + "/none", Probe::Absent},
        {"an unreachable first address: the next one counts", "unix:path=/proc/none;unix:path=" + dir + "/silent",
         Probe::Silent},
        {"an answering first address: the next one is never tried", "unix:path=" + dir + "/bus;unix:path=/proc/none",
         Probe::Answers},
        {"a transport not probed", "tcp:host=127.0.0.1,port=9", Probe::Unknown},
        {"a unix address without a socket", "unix:tmpdir=/tmp", Probe::Unknown},
        {"a bad escape", "unix:path=/run/bus%zz", Probe::Unknown},
        {"not an address", "garbage", Probe::Unknown},
        {"an empty list", "", Probe::Absent},
    };
    constexpr auto patience = 700ms;
    for (const Row& row : rows) {
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(SessionBus::probe(row.addresses, patience), row.expected) << row.why;
        const auto took = Clock::now() - start;
        EXPECT_LT(took, patience + 1s) << row.why;
        if (row.expected == Probe::Answers) {
            EXPECT_LT(took, patience) << row.why << ": without waiting for the bound";
        }
    }
}

TEST(SessionBus, OnlyASilentBusIsHiddenFromTheProgram) {
    QTemporaryDir folder, silentRuntime, answeringRuntime, emptyRuntime;
    const std::string dir = folder.path().toStdString();
    const SilentSocket silent(dir + "/silent");
    // Runtime folders with a space in their names, which an address must escape.
    const std::string silentRun = silentRuntime.path().toStdString() + "/my run";
    mkdir(silentRun.c_str(), 0700);
    const SilentSocket silentInRuntime(silentRun + "/bus");
    BusDaemon daemon(dir + "/bus"), runtimeDaemon(answeringRuntime.path().toStdString() + "/bus");
    ASSERT_TRUE(daemon.ready() && runtimeDaemon.ready());
    const std::optional<QByteArray> unset;
    struct Row {
        const char* why;
        std::optional<QByteArray> address;
        std::string runtime;
        std::optional<QByteArray> left;
    } rows[] = {
        {"silent", "unix:path=" + QByteArray::fromStdString(dir) + "/silent", "", SessionBus::NoBus},
        {"answers", "unix:path=" + QByteArray::fromStdString(dir) + "/bus", "",
         "unix:path=" + QByteArray::fromStdString(dir) + "/bus"},
        {"absent: the library says so at once by itself", "unix:path=" + QByteArray::fromStdString(dir) + "/none", "",
         "unix:path=" + QByteArray::fromStdString(dir) + "/none"},
        {"no address: the runtime folder's bus, silent", unset, silentRun, SessionBus::NoBus},
        {"no address: the runtime folder's bus, answering", unset, answeringRuntime.path().toStdString(), unset},
        {"no address and no bus in the runtime folder", unset, emptyRuntime.path().toStdString(), unset},
    };
    for (const Row& row : rows) {
        const ScopedEnv env(
            {{"DBUS_SESSION_BUS_ADDRESS", row.address},
             {"XDG_RUNTIME_DIR", row.runtime.empty() ? unset : QByteArray::fromStdString(row.runtime)}});
        SessionBus::keepAwayIfSilent(500ms);
        EXPECT_EQ(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")
                      ? std::optional(qgetenv("DBUS_SESSION_BUS_ADDRESS"))
                      : std::nullopt,
                  row.left)
            << row.why;
    }
}

} // namespace
