#include "app/OneInstance.h"

#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* FolderName = "lumevanta";

struct Folder {
    UniqueFd fd;
    std::string path;
};

bool isOurs(const struct stat& st) {
    return st.st_uid == geteuid();
}

// Ours, and closed to everyone else (what a session's runtime folder is meant to be).
bool isPrivateFolder(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && isOurs(st) && (st.st_mode & 077) == 0;
}

// Where nobody else can rename our folder away or put theirs in its place: ours or the system's, and
// not writable by everyone. (A group-writable home folder is the user's private group's on many systems.)
bool isTrustedParent(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && (isOurs(st) || st.st_uid == 0) && (st.st_mode & S_IWOTH) == 0;
}

// Opens (creating it if missing) a folder that must be ours alone: a real folder, not a link, owned by
// us, and mode 0700. One we own that others could only read is closed to them; one that others could
// write to may hold anything of theirs and is refused.
UniqueFd openOwnFolder(int parent, const std::string& name) {
    if (mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST) return {};
    UniqueFd fd(openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISDIR(st.st_mode) || !isOurs(st)) return {};
    if ((st.st_mode & 07777) == 0700) return fd;
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 || fchmod(fd.get(), 0700) != 0) return {};
    return fd;
}

// Creates the missing folders of an absolute path, closed to others as a cache folder should be.
bool makeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    const passwd* user = getpwuid(geteuid());
    return user && user->pw_dir && user->pw_dir[0] == '/' ? user->pw_dir : "";
}

std::string cacheFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') return cache;
    const std::string home = homeFolder();
    return home.empty() ? home : home + "/.cache";
}

Folder runtimeLockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/') return {};
    const UniqueFd base(open(runtime, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!base.valid() || !isPrivateFolder(base.get())) return {};
    return {openOwnFolder(base.get(), FolderName), std::string(runtime) + "/" + FolderName};
}

Folder cacheLockFolder() {
    const std::string cache = cacheFolder();
    if (cache.empty() || !makeFolders(cache)) return {};
    const UniqueFd base(open(cache.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!base.valid() || !isTrustedParent(base.get())) return {};
    return {openOwnFolder(base.get(), FolderName), cache + "/" + FolderName};
}

Folder defaultLockFolder() {
    Folder folder = runtimeLockFolder();
    if (!folder.fd.valid()) folder = cacheLockFolder();
    return folder;
}

QString withForwardSlashes(QString path) {
    return path.replace('\\', '/');
}

} // namespace

OneInstance::OneInstance(const QString& programPath) : name_(withForwardSlashes(programPath)) {
    const Folder folder = defaultLockFolder();
    lockIn(folder.fd, QFile::decodeName(folder.path.c_str()));
}

OneInstance::OneInstance(const QString& programPath, const QString& lockFolder)
    : name_(withForwardSlashes(programPath)) {
    lockIn(openOwnFolder(AT_FDCWD, QFile::encodeName(lockFolder).toStdString()), lockFolder);
}

void OneInstance::lockIn(const UniqueFd& folder, const QString& folderPath) {
    if (!folder.valid()) return;
    folder_ = folderPath;
    // A digest of the whole path names the lock, however long the path is.
    const QByteArray digest = QCryptographicHash::hash(name_.toUtf8(), QCryptographicHash::Sha256).toHex();
    const QByteArray fileName = digest + ".lock";
    UniqueFd fd(
        openat(folder.get(), fileName.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat st {};
    if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || !isOurs(st)) return;
    if (flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
        lock_ = std::move(fd);
        lockPath_ = folderPath + "/" + QString::fromLatin1(fileName);
    } else {
        alreadyRunning_ = errno == EWOULDBLOCK;
    }
}
