#include "SerialLine.h"

#include "posix/TermiosLine.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <utility>

namespace {

// 8N1, no flow control of any kind, every byte delivered as it comes.
void makeRaw(termios& settings, speed_t speed) {
    ::cfmakeraw(&settings);
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
}

std::optional<SystemError> configureRaw(int fd, speed_t speed, std::string_view name) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) return errnoError("tcgetattr", name);
    makeRaw(settings, speed);
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) return errnoError("tcsetattr", name);
    return std::nullopt;
}

std::optional<SystemError> makeNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return errnoError("fcntl O_NONBLOCK");
    return std::nullopt;
}

} // namespace

std::optional<speed_t> termiosSpeed(long baud) {
    if (baud <= 0 || baud > UINT32_MAX) return std::nullopt;
    return TermiosLine::speedConstant(static_cast<std::uint32_t>(baud));
}

Result<SerialLine> openPseudoTerminal(speed_t speed) {
    int masterFd = -1;
    int slaveFd = -1;
    if (::openpty(&masterFd, &slaveFd, nullptr, nullptr, nullptr) != 0) return errnoError("openpty");
    SerialLine line{UniqueFd(masterFd), UniqueFd(slaveFd), {}};

    std::array<char, 128> name{};
    if (const int error = ::ttyname_r(slaveFd, name.data(), name.size()); error != 0)
        return SystemError{"ttyname_r", std::error_code(error, std::generic_category())};
    line.devicePath = name.data();

    // Done through the slave and only here: settings made on the master would land on the
    // slave too, behind the back of whoever has it open.
    if (auto error = configureRaw(slaveFd, speed, line.devicePath)) return *error;
    if (auto error = makeNonBlocking(masterFd)) return *error;
    return line;
}

Result<SerialLine> openSerialDevice(const std::string& path, speed_t speed) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid()) return errnoError("open", path);
    if (auto error = configureRaw(fd.get(), speed, path)) return *error;
    return SerialLine{std::move(fd), UniqueFd(), path};
}

Result<SymlinkGuard> SymlinkGuard::create(const std::string& linkPath, const std::string& target) {
    struct stat existing {};
    if (::lstat(linkPath.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode))
            return SystemError{"replace " + linkPath, std::make_error_code(std::errc::file_exists)};
        if (::unlink(linkPath.c_str()) != 0) return errnoError("remove old link", linkPath);
    }
    if (::symlink(target.c_str(), linkPath.c_str()) != 0) return errnoError("symlink", linkPath);
    return SymlinkGuard(linkPath, target);
}

SymlinkGuard::SymlinkGuard(std::string linkPath, std::string target)
    : linkPath_(std::move(linkPath)), target_(std::move(target)) {}

SymlinkGuard::SymlinkGuard(SymlinkGuard&& other) noexcept
    : linkPath_(std::exchange(other.linkPath_, {})), target_(std::move(other.target_)) {}

SymlinkGuard::~SymlinkGuard() {
    if (linkPath_.empty()) return;
    std::array<char, 4096> pointsTo{};
    const ssize_t length = ::readlink(linkPath_.c_str(), pointsTo.data(), pointsTo.size());
    if (length >= 0 && std::string_view(pointsTo.data(), static_cast<std::size_t>(length)) == target_)
        ::unlink(linkPath_.c_str());
}
