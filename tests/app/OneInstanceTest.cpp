#include "app/OneInstance.h"
#include "tests/support/UserProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Program = QStringLiteral("/opt/lumevanta/lumevanta");

TEST(OneInstance, ASecondCopyOfTheSameFileIsRefused) {
    QTemporaryDir locks;
    const OneInstance first(Program, locks.path());
    EXPECT_FALSE(first.AlreadyRunning());
    const OneInstance second(Program, locks.path());
    EXPECT_TRUE(second.AlreadyRunning());
    EXPECT_EQ(second.name(), Program);
    const OneInstance elsewhere("/home/op/lumevanta/lumevanta", locks.path());
    EXPECT_FALSE(elsewhere.AlreadyRunning()) << "copies in other folders run side by side";
}

TEST(OneInstance, AKilledCopyDoesNotBlockTheNext) {
    QTemporaryDir locks;
    const QString program = "/opt/" + QString(2000, 'p') + "/lumevanta"; // far longer than a file name may be
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        const OneInstance held(program, locks.path());
        const char ok = held.AlreadyRunning() ? 'n' : 'y';
        [[maybe_unused]] auto n = write(ready[1], &ok, 1);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, 'y');
    EXPECT_TRUE(OneInstance(program, locks.path()).AlreadyRunning());
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(OneInstance(program, locks.path()).AlreadyRunning());
    close(ready[0]);
    close(ready[1]);
}

TEST(OneInstance, ALockThatCannotBeSetUpDoesNotClaimAnotherCopy) {
    EXPECT_FALSE(OneInstance(Program, "/proc/no-locks-here").AlreadyRunning());
}

TEST(OneInstance, BackslashesBecomeForwardSlashes) {
    QTemporaryDir locks;
    EXPECT_EQ(OneInstance("C:\\Program Files\\Lumevanta\\lumevanta.exe", locks.path()).name(),
              "C:/Program Files/Lumevanta/lumevanta.exe");
}

// Sets the variables a test names (nullopt unsets one) and puts them back as they were afterwards.
class ScopedEnvironment {
public:
    using Values = std::vector<std::pair<const char*, std::optional<std::string>>>;
    explicit ScopedEnvironment(const Values& values) {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name);
            saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
            set(name, value);
        }
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved_)
            set(name, value);
    }
    static void set(const char* name, const std::optional<std::string>& value) {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }

private:
    Values saved_;
};

// The lock file's own name for Program, as the unit chooses it.
std::string lockName() {
    QTemporaryDir scratch;
    return QFileInfo(OneInstance(Program, scratch.path()).lockPath()).fileName().toStdString();
}

int modeOf(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// A fresh tree for each row: root/run is a private runtime folder, root/cache a cache home,
// root/home a home folder; the row arranges the rest.
struct Where {
    const char* why;
    std::optional<std::string> runtime; // relative to the tree unless it starts with '!'
    std::optional<std::string> cache;
    std::function<void(const std::string& root)> arrange;
    const char* lockFolder; // relative to the tree; empty: no lock can be set up
};

std::optional<std::string> inTree(const std::string& root, const std::optional<std::string>& value) {
    if (!value) return std::nullopt;
    return value->starts_with('!') ? value->substr(1) : root + "/" + *value;
}

void checkWhere(const Where& row) {
    QTemporaryDir tree;
    const std::string root = tree.path().toStdString();
    mkdir((root + "/run").c_str(), 0700);
    mkdir((root + "/cache").c_str(), 0700);
    mkdir((root + "/home").c_str(), 0700);
    if (row.arrange) row.arrange(root);
    const ScopedEnvironment environment({{"XDG_RUNTIME_DIR", inTree(root, row.runtime)},
                                         {"XDG_CACHE_HOME", inTree(root, row.cache)},
                                         {"HOME", root + "/home"},
                                         {"TMPDIR", root}});
    const OneInstance first(Program);
    EXPECT_FALSE(first.AlreadyRunning()) << row.why;
    if (*row.lockFolder == 0) {
        EXPECT_EQ(first.lockPath(), "") << row.why;
        return;
    }
    const std::string folder = root + "/" + row.lockFolder;
    EXPECT_EQ(first.lockPath().toStdString(), folder + "/" + lockName()) << row.why;
    EXPECT_EQ(modeOf(folder), 0700) << row.why;
    EXPECT_TRUE(OneInstance(Program).AlreadyRunning()) << row.why << ": the lock there works";
}

TEST(OneInstanceFolder, TheLockLivesInAFolderOfTheUsersOwn) {
    const Where rows[] = {
        {"a private runtime folder", "run", "cache", {}, "run/lumevanta"},
        {"no runtime folder: the cache folder", std::nullopt, "cache", {}, "cache/lumevanta"},
        {"a relative runtime folder is not used", "!run", "cache", {}, "cache/lumevanta"},
        {"a runtime folder that does not exist", "gone", "cache", {}, "cache/lumevanta"},
        {"a runtime folder others may look into", "run", "cache",
         [](const std::string& root) { chmod((root + "/run").c_str(), 0755); }, "cache/lumevanta"},
        {"a runtime folder that is a link", "runlink", "cache",
         [](const std::string& root) { symlink("run", (root + "/runlink").c_str()); }, "cache/lumevanta"},
        {"our folder in it a link", "run", "cache",
         [](const std::string& root) {
             mkdir((root + "/elsewhere").c_str(), 0700);
             symlink("../elsewhere", (root + "/run/lumevanta").c_str());
         },
         "cache/lumevanta"},
        {"our folder in it open to everyone", "run", "cache",
         [](const std::string& root) {
             mkdir((root + "/run/lumevanta").c_str(), 0700);
             chmod((root + "/run/lumevanta").c_str(), 0777);
         },
         "cache/lumevanta"},
        {"our folder in it readable by others is closed to them", "run", "cache",
         [](const std::string& root) {
             mkdir((root + "/run/lumevanta").c_str(), 0700);
             chmod((root + "/run/lumevanta").c_str(), 0755);
         },
         "run/lumevanta"},
        {"no cache home: the home's .cache, made for the user alone",
         std::nullopt,
         std::nullopt,
         {},
         "home/.cache/lumevanta"},
        {"a relative cache home is not used", std::nullopt, "!cache", {}, "home/.cache/lumevanta"},
        {"a cache folder everyone may write to", std::nullopt, "cache",
         [](const std::string& root) { chmod((root + "/cache").c_str(), 01777); }, ""},
        {"our cache folder a link", std::nullopt, "cache",
         [](const std::string& root) {
             mkdir((root + "/elsewhere").c_str(), 0700);
             symlink("../elsewhere", (root + "/cache/lumevanta").c_str());
         },
         ""},
        {"the lock file a link", std::nullopt, "cache",
         [](const std::string& root) {
             mkdir((root + "/cache/lumevanta").c_str(), 0700);
             symlink("../../planted", (root + "/cache/lumevanta/" + lockName()).c_str());
         },
         ""},
        {"the lock file a FIFO", std::nullopt, "cache",
         [](const std::string& root) {
             mkdir((root + "/cache/lumevanta").c_str(), 0700);
             mkfifo((root + "/cache/lumevanta/" + lockName()).c_str(), 0600);
         },
         ""},
    };
    for (const auto& row : rows)
        checkWhere(row);
}

TEST(OneInstanceFolder, FoldersAndFilesOfAnotherUserAreNotUsed) {
    if (!UserProcess::canSwitchUsers()) GTEST_SKIP() << "needs root to give folders to another user (chown)";
    auto giveAway = [](const std::string& path) { chown(path.c_str(), UserProcess::Nobody, UserProcess::Nobody); };
    const Where rows[] = {
        {"a runtime folder of another user", "run", "cache", [&](const std::string& root) { giveAway(root + "/run"); },
         "cache/lumevanta"},
        {"our folder in the runtime folder owned by another user", "run", "cache",
         [&](const std::string& root) {
             mkdir((root + "/run/lumevanta").c_str(), 0700);
             giveAway(root + "/run/lumevanta");
         },
         "cache/lumevanta"},
        {"our cache folder owned by another user", std::nullopt, "cache",
         [&](const std::string& root) {
             mkdir((root + "/cache/lumevanta").c_str(), 0700);
             giveAway(root + "/cache/lumevanta");
         },
         ""},
        {"a cache home of another user", std::nullopt, "cache",
         [&](const std::string& root) { giveAway(root + "/cache"); }, ""},
        {"a lock file of another user", std::nullopt, "cache",
         [&](const std::string& root) {
             mkdir((root + "/cache/lumevanta").c_str(), 0700);
             const std::string lock = root + "/cache/lumevanta/" + lockName();
             close(open(lock.c_str(), O_CREAT | O_WRONLY, 0600));
             giveAway(lock);
         },
         ""},
    };
    for (const auto& row : rows)
        checkWhere(row);
}

// Another local user prepares what they can in a folder everyone may write to, as /tmp is, and
// holds on to it; two copies of ours, run as a user who is not root, must still be one.
TEST(OneInstanceFolder, AnotherUserNeitherBlocksUsNorLetsTwoCopiesRun) {
    if (!UserProcess::canSwitchUsers()) GTEST_SKIP() << "needs root to act as two users (fork + setuid)";
    constexpr uid_t Us = 54321;
    const std::string name = lockName();
    struct Row {
        const char* why;
        bool runtimeIsShared; // else XDG_RUNTIME_DIR is unset, and the old fallback would be TMPDIR
        std::function<std::string(const std::string& shared)> attack;
    } rows[] = {
        {"no runtime folder; the old shared place taken and closed to us", false,
         [&](const std::string& shared) {
             const std::string theirs = shared + "/lumevanta-" + std::to_string(Us);
             return mkdir(theirs.c_str(), 0700) == 0 ? "ready" : "failed";
         }},
        {"a shared runtime folder with our lock taken", true,
         [&](const std::string& shared) {
             mkdir((shared + "/lumevanta").c_str(), 0777);
             chmod((shared + "/lumevanta").c_str(), 0777);
             const int held = open((shared + "/lumevanta/" + name).c_str(), O_CREAT | O_RDWR, 0666);
             return held >= 0 && fchmod(held, 0666) == 0 && flock(held, LOCK_EX | LOCK_NB) == 0 ? "ready" : "failed";
         }},
        {"a shared runtime folder with a link planted as our lock file", true,
         [&](const std::string& shared) {
             mkdir((shared + "/lumevanta").c_str(), 0777);
             chmod((shared + "/lumevanta").c_str(), 0777);
             return symlink((shared + "/made-by-the-victim").c_str(), (shared + "/lumevanta/" + name).c_str()) == 0
                        ? "ready"
                        : "failed";
         }},
        {"a runtime folder private to the other user", true,
         [&](const std::string& shared) {
             mkdir((shared + "/lumevanta").c_str(), 0700);
             return mkdir((shared + "/lumevanta/" + name).c_str(), 0700) == 0 ? "ready" : "failed";
         }},
    };
    for (const auto& row : rows) {
        QTemporaryDir tree;
        const std::string root = tree.path().toStdString();
        chmod(root.c_str(), 0755);
        const std::string shared = root + "/shared", cache = root + "/cache";
        mkdir(shared.c_str(), 0700);
        chmod(shared.c_str(), 01777);
        mkdir(cache.c_str(), 0700);
        chown(cache.c_str(), Us, Us);

        UserProcess attacker(UserProcess::Nobody, [&] { return row.attack(shared); });
        ASSERT_EQ(attacker.answer(), "ready") << row.why;
        auto copyOfOurs = [&] {
            ScopedEnvironment::set("XDG_RUNTIME_DIR", row.runtimeIsShared ? std::optional(shared) : std::nullopt);
            ScopedEnvironment::set("XDG_CACHE_HOME", cache);
            ScopedEnvironment::set("TMPDIR", shared);
            // Kept until the process is ended, as a running copy keeps its lock.
            static std::optional<OneInstance> instance;
            instance.emplace(Program);
            return instance->AlreadyRunning() ? std::string("refused")
                                              : "runs, locked at " + instance->lockPath().toStdString();
        };
        UserProcess first(Us, copyOfOurs);
        EXPECT_EQ(first.answer(), "runs, locked at " + cache + "/lumevanta/" + name) << row.why;
        UserProcess second(Us, copyOfOurs);
        EXPECT_EQ(second.answer(), "refused") << row.why << ": one copy at a time still";
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(shared + "/made-by-the-victim"))) << row.why;
    }
}

} // namespace
