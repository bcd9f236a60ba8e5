#include "settings/StoredPlacement.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace StoredPlacement {
namespace {

// The show commands a stored "ShowCmd" may hold.
constexpr int ShowNormal = 1;
constexpr int ShowMinimized = 2;
constexpr int ShowMaximized = 3;
constexpr int Minimize = 6;
constexpr int ShowMinNoActive = 7;

// The part of a window that must lie on a screen for the user to take hold of it and drag it.
constexpr std::int64_t GrabSize = 48;
// Coordinates this far out are off every screen; holding them there keeps the sums below in range.
constexpr std::int64_t FarOff = std::int64_t{1} << 40;

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n\v\f");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n\v\f") - first + 1);
}

// A whole decimal number and nothing else, or none.
template <typename Number> std::optional<Number> number(std::string_view text) {
    text = trimmed(text);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

int toInt(const std::string& text, int fallback) {
    return number<int>(text).value_or(fallback);
}

std::string sizedKey(const char* key, const Desktop& desktop) {
    return std::string(key) + "(" + std::to_string(desktop.width) + "x" + std::to_string(desktop.height) + ")";
}

// The value under the key for this desktop size, else the one saved for any size.
std::string readForDesktop(const Lookup& read, const char* key, const Desktop& desktop) {
    const std::string value = read(sizedKey(key, desktop));
    return value.empty() ? read(key) : value;
}

// "a,b,c,d"; a missing or malformed number takes its fallback.
Rect fourNumbers(std::string_view text, const Rect& fallback) {
    std::array<std::int64_t, 4> numbers = {fallback.left, fallback.top, fallback.right, fallback.bottom};
    for (std::int64_t& n : numbers) {
        const std::size_t comma = text.find(',');
        if (const auto value = number<std::int64_t>(text.substr(0, comma))) n = std::clamp(*value, -FarOff, FarOff);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return {numbers[0], numbers[1], numbers[2], numbers[3]};
}

std::int64_t overlap(std::int64_t start, std::int64_t length, std::int64_t screenStart, std::int64_t screenEnd) {
    return std::min(start + length, screenEnd) - std::max(start, screenStart);
}

// At least a grab-sized piece of the window (all of it, if it is smaller) is on one screen.
bool reachable(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height,
               const std::vector<Rect>& screens) {
    const std::int64_t wantedWidth = std::min(GrabSize, width);
    const std::int64_t wantedHeight = std::min(GrabSize, height);
    return std::any_of(screens.begin(), screens.end(), [&](const Rect& screen) {
        return overlap(left, width, screen.left, screen.right) >= wantedWidth &&
               overlap(top, height, screen.top, screen.bottom) >= wantedHeight;
    });
}

std::string joined(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d) {
    return std::to_string(a) + ',' + std::to_string(b) + ',' + std::to_string(c) + ',' + std::to_string(d);
}

} // namespace

std::string fileName(const std::string& programPath) {
    std::string name = programPath.substr(programPath.find_last_of("/\\") + 1);
    if (name.empty()) name = "lumevanta";
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name + ".INI";
}

ProfileFile::KeyValues savedValues(const Saved& saved, const Desktop& desktop) {
    ProfileFile::KeyValues values = {
        {"FormVersion", std::to_string(FormVersion)},
        {"Flags", std::to_string(saved.flags)},
        {"ShowCmd", std::to_string(showCmd(saved.state))},
        {"PixelsPerInch", std::to_string(desktop.pixelsPerInch)},
    };
    if (saved.minMax && saved.normal) {
        const auto& m = *saved.minMax;
        const std::string minMax = joined(m[0], m[1], m[2], m[3]);
        const Rect& n = *saved.normal;
        const std::string norm = joined(n.left, n.top, n.right, n.bottom);
        values.insert(values.end(), {{sizedKey("MinMaxPos", desktop), minMax},
                                     {"MinMaxPos", minMax},
                                     {sizedKey("NormPos", desktop), norm},
                                     {"NormPos", norm}});
    }
    values.emplace_back("Visible", saved.visible ? "1" : "0");
    return values;
}

std::optional<Corner> storedCorner(const Lookup& read, const Desktop& desktop, const Rect& current,
                                   const std::vector<Rect>& screens) {
    // The stored version is read for completeness; this is the first one, so every file is taken.
    (void)toInt(read("FormVersion"), FormVersion);
    (void)read("Flags");
    // Where the window would go minimized or maximized: the desktop decides that, so it is not used.
    (void)readForDesktop(read, "MinMaxPos", desktop);

    const std::string normal = readForDesktop(read, "NormPos", desktop);
    if (normal.empty()) return std::nullopt;
    // Positions saved at another resolution would put the window somewhere else than the user left it.
    if (toInt(read("PixelsPerInch"), desktop.pixelsPerInch) != desktop.pixelsPerInch) return std::nullopt;
    const Rect rect = fourNumbers(normal, current);
    if (rect.left >= rect.right) return std::nullopt;
    // Only the corner is taken: the forms' sizes are theirs, whatever the file says. A monitor that
    // is gone, or an edited file, must not leave the window out of reach.
    if (!reachable(rect.left, rect.top, current.width(), current.height(), screens)) return std::nullopt;
    return Corner{rect.left, rect.top};
}

ShowState storedState(const Lookup& read, bool preventResize) {
    switch (toInt(read("ShowCmd"), 0)) {
    case ShowMinimized:
    case Minimize:
    case ShowMinNoActive:
        return ShowState::Minimized;
    case ShowMaximized:
        return preventResize ? ShowState::Normal : ShowState::Maximized;
    default: // ShowNormal, "show" (5) and "restore" (9) are normal, and so is anything unknown
        return ShowState::Normal;
    }
}

int showCmd(ShowState state) {
    switch (state) {
    case ShowState::Minimized:
        return ShowMinimized;
    case ShowState::Maximized:
        return ShowMaximized;
    case ShowState::Normal:
        break;
    }
    return ShowNormal;
}

} // namespace StoredPlacement
