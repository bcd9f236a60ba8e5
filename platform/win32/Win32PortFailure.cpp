#include "link/PortFailure.h"

#include "win32/WideText.h"

#include <windows.h>

PortFault faultForError(int error) {
    switch (static_cast<DWORD>(error)) {
    case ERROR_SUCCESS:
        return PortFault::None;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_NOT_READY:
    case ERROR_BAD_COMMAND: // what a USB adapter's driver answers once it has been pulled out
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
        return PortFault::NoDevice;
    // Windows' serial drivers refuse a second open of a port with "access denied"; a port held by
    // another program is by far the likeliest reason, and it may be let go again.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return PortFault::InUse;
    case ERROR_PRIVILEGE_NOT_HELD:
        return PortFault::PermissionDenied;
    case ERROR_INVALID_FUNCTION: // a device without the serial port's calls
        return PortFault::NotSerial;
    // A network line's, in Winsock's codes (the resolver's among them).
    case WSAEINPROGRESS:
        return PortFault::Connecting;
    case WSAEDESTADDRREQ:
        return PortFault::BadAddress;
    case WSAHOST_NOT_FOUND:
    case WSATRY_AGAIN:
    case WSANO_RECOVERY:
    case WSANO_DATA:
        return PortFault::Unresolved;
    case WSAECONNREFUSED:
        return PortFault::Refused;
    case WSAETIMEDOUT:
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
    case WSAENETDOWN:
    case WSAEHOSTDOWN:
        return PortFault::Unreachable;
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAENETRESET:
        return PortFault::Disconnected;
    case WSAENOPROTOOPT:
        return PortFault::OptionRefused;
    default:
        return PortFault::Other;
    }
}

PortFailure describePortFailure(const std::string& devicePath, int error, PortFault fault) {
    // Windows has no device group to name; what the user can do follows from the fault alone.
    return {fault, error, devicePath, {}, {}, 0};
}

std::string systemErrorText(int error) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0) return "error " + std::to_string(error);
    std::wstring_view message(text, length);
    // The system's messages end in a line break and often a full stop; ours supply their own.
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.remove_suffix(1);
    std::string utf8 = narrowed(message);
    LocalFree(text);
    return utf8;
}
