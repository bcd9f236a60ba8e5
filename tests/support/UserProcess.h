#pragma once

#include "posix/UniqueFd.h"

#include <functional>
#include <string>

#include <sys/types.h>

// A piece of a test run as another user in a forked child: whatever depends on permissions shows only
// for a user who is not root. The child sends back what the work returns and then stays (holding
// whatever it opened, a lock say) until the object goes. Switching users needs root.
class UserProcess {
public:
    // No account needs to exist for a uid; nobody is the usual stranger.
    static constexpr uid_t Nobody = 65534;
    static bool canSwitchUsers();

    UserProcess(uid_t uid, std::function<std::string()> work);
    UserProcess(const UserProcess&) = delete;
    UserProcess& operator=(const UserProcess&) = delete;
    ~UserProcess();

    // What the work returned; empty when the child gave no answer in time.
    std::string answer();

private:
    pid_t pid_ = -1;
    UniqueFd answers_;
};
