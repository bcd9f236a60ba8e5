#include "link/PortDiscovery.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>

namespace fs = std::filesystem;

namespace {

// Device names that are serial lines whenever they exist.
constexpr std::string_view alwaysSerial[] = {"ttyUSB", "ttyACM", "ttyAMA", "rfcomm"};
// The kernel makes these whether or not a UART is there.
constexpr std::string_view maybeSerial = "ttyS";
// How far up from a tty's device the USB device with its product name may lie.
constexpr int UsbProductDepth = 4;

bool isNumbered(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || name.size() == prefix.size()) return false;
    return std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                       [](unsigned char c) { return std::isdigit(c); });
}

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

fs::path canonicalOrEmpty(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::canonical(path, error);
    return error ? fs::path() : resolved;
}

// A serial driver that knows its port names a port type; 0 means there is no UART at that address.
bool hasUart(const fs::path& ttyClass) {
    std::error_code error;
    const fs::path type = ttyClass / "type";
    if (fs::exists(type, error)) {
        const std::string text = firstLine(type);
        return !text.empty() && text != "0";
    }
    return fs::exists(ttyClass / "device", error);
}

std::string usbProduct(const fs::path& ttyClass, const fs::path& sysRoot) {
    fs::path dir = canonicalOrEmpty(ttyClass / "device");
    const std::string root = canonicalOrEmpty(sysRoot).string();
    std::error_code error;
    for (int depth = 0; depth < UsbProductDepth && !dir.empty() && dir.string().starts_with(root); ++depth) {
        if (fs::exists(dir / "product", error)) return firstLine(dir / "product");
        dir = dir.parent_path();
    }
    return {};
}

bool isSerialName(std::string_view name, const fs::path& sysRoot) {
    for (std::string_view prefix : alwaysSerial)
        if (isNumbered(name, prefix)) return true;
    return isNumbered(name, maybeSerial) && hasUart(sysRoot / "class" / "tty" / std::string(name));
}

// Compares runs of digits by value, so ttyS2 comes before ttyS10.
bool naturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
            const std::size_t startA = i, startB = j;
            while (i < a.size() && std::isdigit(static_cast<unsigned char>(a[i])))
                ++i;
            while (j < b.size() && std::isdigit(static_cast<unsigned char>(b[j])))
                ++j;
            const std::string_view numberA = a.substr(startA, i - startA), numberB = b.substr(startB, j - startB);
            if (numberA.size() != numberB.size()) return numberA.size() < numberB.size();
            if (numberA != numberB) return numberA < numberB;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

std::vector<DiscoveredPort> discoverPorts(const std::string& devRoot, const std::string& sysRoot) {
    std::vector<DiscoveredPort> ports;
    std::map<fs::path, std::string> byIdNameOf; // resolved device -> its stable name
    std::error_code error;

    const fs::path byId = fs::path(devRoot) / "serial" / "by-id";
    for (const auto& entry : fs::directory_iterator(byId, error)) {
        const fs::path target = canonicalOrEmpty(entry.path());
        if (!entry.is_symlink(error) || target.empty()) continue; // a link left behind by an adapter gone
        const std::string name = entry.path().filename().string();
        ports.push_back({entry.path().string(), name});
        byIdNameOf.emplace(target, name);
    }

    for (const auto& entry : fs::directory_iterator(devRoot, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_directory(error) || !isSerialName(name, sysRoot)) continue;
        std::string hint;
        if (const auto it = byIdNameOf.find(canonicalOrEmpty(entry.path())); it != byIdNameOf.end())
            hint = it->second;
        else
            hint = usbProduct(fs::path(sysRoot) / "class" / "tty" / name, sysRoot);
        ports.push_back({entry.path().string(), hint});
    }

    std::sort(ports.begin(), ports.end(),
              [](const DiscoveredPort& a, const DiscoveredPort& b) { return naturalLess(a.path, b.path); });
    ports.erase(std::unique(ports.begin(), ports.end(),
                            [](const DiscoveredPort& a, const DiscoveredPort& b) { return a.path == b.path; }),
                ports.end());
    return ports;
}
