#include "tests/support/UserProcess.h"

#include "tests/support/SpawnedProcess.h"

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;

bool UserProcess::canSwitchUsers() {
    return geteuid() == 0;
}

UserProcess::UserProcess(uid_t uid, std::function<std::string()> work) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return;
    answers_.reset(ends[0]);
    UniqueFd childEnd(ends[1]);
    pid_ = ::fork();
    if (pid_ != 0) return;
    answers_.reset();
    const std::string answer = setgroups(0, nullptr) == 0 && setgid(uid) == 0 && setuid(uid) == 0
                                   ? work()
                                   : std::string("could not become the other user");
    for (std::size_t done = 0; done < answer.size();) {
        const ssize_t n = ::write(childEnd.get(), answer.data() + done, answer.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    childEnd.reset();
    for (;;)
        ::pause();
}

UserProcess::~UserProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

std::string UserProcess::answer() {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (answers_.valid() && waitReadable(answers_.get(), deadline)) {
        char chunk[256];
        const ssize_t n = ::read(answers_.get(), chunk, sizeof chunk);
        if (n <= 0) break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    answers_.reset();
    return text;
}
