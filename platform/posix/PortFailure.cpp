#include "link/PortFailure.h"

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Joining the device's group helps only when that group may read and write it; root's group is
// never one to join.
std::string groupToJoin(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    if (info.st_gid == 0 || (info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) return {};
    if (const group* entry = ::getgrgid(info.st_gid)) return entry->gr_name;
    return std::to_string(info.st_gid);
}

std::string userName() {
    if (const passwd* entry = ::getpwuid(::geteuid())) return entry->pw_name;
    return std::to_string(::geteuid());
}

} // namespace

PortFault faultForError(int error) {
    if (error < 0) return PortFault::Unresolved; // the resolver's codes (EAI_...)
    switch (error) {
    case 0:
        return PortFault::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO: // a pseudo-terminal whose far end is gone, a USB adapter pulled out
        return PortFault::NoDevice;
    case EACCES:
    case EPERM:
        return PortFault::PermissionDenied;
    case EBUSY:
        return PortFault::InUse;
    case ENOTTY:
    case EISDIR:
        return PortFault::NotSerial;
    case EINPROGRESS:
        return PortFault::Connecting;
    case EDESTADDRREQ:
        return PortFault::BadAddress;
    case ECONNREFUSED:
        return PortFault::Refused;
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
    case EHOSTDOWN:
        return PortFault::Unreachable;
    case ECONNRESET:
    case ECONNABORTED:
    case EPIPE:
        return PortFault::Disconnected;
    case ENOPROTOOPT:
        return PortFault::OptionRefused;
    default:
        return PortFault::Other;
    }
}

PortFailure describePortFailure(const std::string& devicePath, int error, PortFault fault) {
    PortFailure failure{fault, error, devicePath, {}, {}, 0};
    if (fault == PortFault::PermissionDenied) {
        failure.group = groupToJoin(devicePath);
        failure.user = userName();
    }
    return failure;
}

std::string systemErrorText(int error) {
    return std::strerror(error);
}
