#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

// Names of files the program reads and writes as the user's own. Another user who may write in a
// folder (a shared /tmp folder, say) must not decide what the program reads or replaces, so a
// symbolic link is followed only when the user made it, and the file behind it must be the user's.
namespace OwnPath {

struct Resolved {
    std::string path;                  // where the name leads through the user's own links
    bool exists = false;               // something other than a link is there
    bool throughLink = false;          // at least one link was followed
    std::optional<uid_t> foreignOwner; // the other user owning a link on the way, or the file
    int error = 0;                     // a loop of links or one that cannot be read
};

Resolved resolve(const std::string& name);

// The user's login name, or the number where the system has no name for it.
std::string userName(uid_t uid);

} // namespace OwnPath
