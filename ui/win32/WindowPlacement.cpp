#include "WindowPlacement.h"

#include "OneInstance.h"

#include "settings/ConfigFolder.h"
#include "win32/WideText.h"

#include <vector>

namespace {

StoredPlacement::Desktop primaryDesktop() {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), static_cast<int>(GetDpiForSystem())};
}

StoredPlacement::Rect rectOf(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

BOOL CALLBACK addScreen(HMONITOR, HDC, LPRECT area, LPARAM screens) {
    reinterpret_cast<std::vector<StoredPlacement::Rect>*>(screens)->push_back(rectOf(*area));
    return TRUE;
}

std::vector<StoredPlacement::Rect> screens() {
    std::vector<StoredPlacement::Rect> all;
    EnumDisplayMonitors(nullptr, nullptr, &addScreen, reinterpret_cast<LPARAM>(&all));
    return all;
}

// The placement's normal rectangle is in the coordinates of its screen's work area; the file keeps
// screen pixels.
RECT normalOnScreen(HWND window, const WINDOWPLACEMENT& placement) {
    RECT normal = placement.rcNormalPosition;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) &&
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor))
        OffsetRect(&normal, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
    return normal;
}

} // namespace

std::wstring defaultPlacementFile() {
    return widened(ConfigFolder::path() + '\\' + StoredPlacement::fileName(narrowed(OneInstance::programPath())));
}

TWindowStorage::TWindowStorage(std::string section, bool keepsState, bool preventResize, std::wstring filePath)
    : section_(std::move(section)), keepsState_(keepsState), preventResize_(preventResize),
      filePath_(filePath.empty() ? defaultPlacementFile() : std::move(filePath)) {}

std::string TWindowStorage::read(const std::string& key) const {
    // Far more than any value of ours; a longer one is cut and then read as a bad number.
    wchar_t value[256] = {};
    GetPrivateProfileStringW(widened(section_).c_str(), widened(key).c_str(), L"", value, 256, filePath_.c_str());
    return narrowed(value);
}

StoredPlacement::ShowState TWindowStorage::restore(HWND window) {
    saved_ = false;
    const StoredPlacement::Lookup lookup = [this](const std::string& key) { return read(key); };
    RECT current{};
    GetWindowRect(window, &current);
    if (const auto corner = StoredPlacement::storedCorner(lookup, primaryDesktop(), rectOf(current), screens()))
        SetWindowPos(window, nullptr, static_cast<int>(corner->x), static_cast<int>(corner->y), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(window, &current);
    storedPlace_ = {current.left, current.top};
    restored_ = true;
    return keepsState_ ? StoredPlacement::storedState(lookup, preventResize_) : StoredPlacement::ShowState::Normal;
}

void TWindowStorage::formClosing(HWND window) {
    save(window, false);
}

void TWindowStorage::formDestroying(HWND window) {
    if (!saved_) save(window, true);
}

// Not a save in the sense of the form's end: the end still writes "Visible" as it would have.
void TWindowStorage::moveEnded(HWND window) {
    RECT current{};
    if (restored_ && GetWindowRect(window, &current) &&
        (current.left != storedPlace_.x || current.top != storedPlace_.y))
        writePlacement(window, false);
}

void TWindowStorage::save(HWND window, bool visible) {
    if (!restored_) return;
    writePlacement(window, visible);
    saved_ = true;
}

void TWindowStorage::writePlacement(HWND window, bool visible) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement)) return;
    StoredPlacement::Saved saved;
    saved.flags = static_cast<int>(placement.flags);
    saved.state = IsIconic(window)   ? StoredPlacement::ShowState::Minimized
                  : IsZoomed(window) ? StoredPlacement::ShowState::Maximized
                                     : StoredPlacement::ShowState::Normal;
    saved.minMax = {placement.ptMinPosition.x, placement.ptMinPosition.y, placement.ptMaxPosition.x,
                    placement.ptMaxPosition.y};
    RECT normal{};
    // Minimized or maximized, the window's own rectangle is not the one to come back to.
    if (saved.state != StoredPlacement::ShowState::Normal || !GetWindowRect(window, &normal))
        normal = normalOnScreen(window, placement);
    saved.normal = rectOf(normal);
    saved.visible = visible;
    storedPlace_ = {normal.left, normal.top};
    // A failed write only loses this one placement; the window goes on as usual.
    if (!ConfigFolder::makeFolderFor(narrowed(filePath_))) return;
    const std::wstring section = widened(section_);
    for (const auto& [key, value] : StoredPlacement::savedValues(saved, primaryDesktop()))
        WritePrivateProfileStringW(section.c_str(), widened(key).c_str(), widened(value).c_str(), filePath_.c_str());
}
