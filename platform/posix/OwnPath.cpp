#include "posix/OwnPath.h"

#include <cerrno>
#include <climits>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace OwnPath {
namespace {

constexpr int MaxLinkHops = 40;

std::string linkTarget(const std::string& link) {
    std::string target(PATH_MAX, '\0');
    const ssize_t n = readlink(link.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return {};
    target.resize(static_cast<std::size_t>(n));
    // A relative target is relative to the link's own folder.
    if (target.front() != '/') {
        const auto slash = link.rfind('/');
        target.insert(0, slash == std::string::npos ? std::string() : link.substr(0, slash + 1));
    }
    return target;
}

} // namespace

Resolved resolve(const std::string& name) {
    Resolved r;
    r.path = name;
    for (int hop = 0; hop < MaxLinkHops; ++hop) {
        struct stat st {};
        if (lstat(r.path.c_str(), &st) != 0) {
            if (errno != ENOENT) r.error = errno;
            return r;
        }
        if (st.st_uid != geteuid()) {
            r.foreignOwner = st.st_uid;
            r.exists = !S_ISLNK(st.st_mode);
            return r;
        }
        if (!S_ISLNK(st.st_mode)) {
            r.exists = true;
            return r;
        }
        std::string target = linkTarget(r.path);
        if (target.empty()) {
            r.error = errno ? errno : EINVAL;
            return r;
        }
        r.path = std::move(target);
        r.throughLink = true;
    }
    r.error = ELOOP;
    return r;
}

std::string userName(uid_t uid) {
    std::vector<char> buffer(16 * 1024);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->pw_name;
    return std::to_string(uid);
}

} // namespace OwnPath
