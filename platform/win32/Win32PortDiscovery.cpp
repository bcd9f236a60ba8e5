#include "link/PortDiscovery.h"

#include "win32/WideText.h"

#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <map>
#include <memory>
#include <type_traits>

namespace {

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct DeviceListCloser {
    void operator()(HDEVINFO list) const { SetupDiDestroyDeviceInfoList(list); }
};
using UniqueDeviceList = std::unique_ptr<std::remove_pointer_t<HDEVINFO>, DeviceListCloser>;

// A registry string as stored, without the terminator it may or may not have.
std::wstring stringValue(HKEY key, const wchar_t* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
        return {};
    text.resize(wcsnlen(text.c_str(), size / sizeof(wchar_t)));
    return text;
}

// The device map lists every serial port a driver has started: its values' data are the names.
std::vector<std::string> mappedPorts() {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &raw) !=
        ERROR_SUCCESS)
        return {};
    const UniqueKey key(raw);
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[256];
        DWORD valueNameLength = static_cast<DWORD>(std::size(valueName));
        if (RegEnumValueW(key.get(), index, valueName, &valueNameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        const std::string name = narrowed(stringValue(key.get(), valueName));
        if (!name.empty()) names.push_back(name);
    }
    return names;
}

// What the device manager calls each port it knows ("USB Serial Port (COM3)"), by port name.
std::map<std::string, std::string> friendlyNames() {
    std::map<std::string, std::string> names;
    const HDEVINFO rawList = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (rawList == INVALID_HANDLE_VALUE) return names;
    const UniqueDeviceList list(rawList);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(list.get(), index, &device); ++index) {
        const HKEY rawKey = SetupDiOpenDevRegKey(list.get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (rawKey == INVALID_HANDLE_VALUE) continue;
        const UniqueKey key(rawKey);
        const std::string port = narrowed(stringValue(key.get(), L"PortName"));
        wchar_t friendly[256];
        if (port.empty() ||
            !SetupDiGetDeviceRegistryPropertyW(list.get(), &device, SPDRP_FRIENDLYNAME, nullptr,
                                               reinterpret_cast<BYTE*>(friendly), sizeof(friendly), nullptr))
            continue;
        names[port] = narrowed(friendly);
    }
    return names;
}

// COM2 before COM10.
bool portLess(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

} // namespace

// Windows names its ports itself; the folders are the POSIX side's.
std::vector<DiscoveredPort> discoverPorts(const std::string&, const std::string&) {
    std::vector<std::string> names = mappedPorts();
    std::sort(names.begin(), names.end(), portLess);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    const std::map<std::string, std::string> friendly = friendlyNames();
    std::vector<DiscoveredPort> ports;
    for (const std::string& name : names) {
        const auto it = friendly.find(name);
        ports.push_back({name, it == friendly.end() ? std::string() : it->second});
    }
    return ports;
}
