#include "PanelForm.h"

#include "PanelResources.h"
#include "WindowOwner.h"

#include "panels/PanelParts.h"
#include "win32/WideText.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

namespace {

// Black where a picture could not be read, so the panel keeps its shape.
constexpr std::uint32_t Missing = 0;

std::uint32_t bgrx(const std::uint8_t* rgb) {
    return (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | rgb[2];
}

bool intersect(const RECT& a, const RECT& b, RECT& both) {
    return IntersectRect(&both, &a, &b) != FALSE;
}

// Where the designed position is not used: the middle of the main screen's work area.
POINT centred(int width, int height) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return {work.left + (work.right - work.left - width) / 2, work.top + (work.bottom - work.top - height) / 2};
}

} // namespace

PanelForm::PanelForm(const PanelLayoutTable& layout, PanelHost& host)
    : layout_(layout), host_(host), WindowStorage1(layout.className, layout.keepsWindowState, layout.preventsResize),
      shown_(layout.parts.size(), 0),
      heldKeys_([this](std::size_t part) { pressPart(part); }, [this](std::size_t part) { releasePart(part); }),
      hints_(layout.parts.size()) {
    for (std::size_t i = 0; i < layout.parts.size(); ++i)
        if (layout.parts[i].hint) hints_[i] = layout.parts[i].hint;
    createWindow();
    createKeyMap();
    FormCreate();
}

PanelForm::~PanelForm() {
    WindowStorage1.formDestroying(window_);
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

void PanelForm::createWindow() {
    const std::wstring className = widened(layout_.className);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &PanelForm::windowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // The program's icon (version.rc.in), which the task bar and Alt+Tab show for the panel.
    constexpr WORD programIcon = 1;
    windowClass.hIcon = LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(programIcon));
    windowClass.hIconSm =
        static_cast<HICON>(LoadImageW(windowClass.hInstance, MAKEINTRESOURCEW(programIcon), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.lpszClassName = className.c_str();
    RegisterClassExW(&windowClass); // a class per layout, named after its form class
    const POINT place = layout_.windowSystemPlacesIt ? centred(layout_.width, layout_.height)
                                                     : POINT{layout_.designedLeft, layout_.designedTop};
    // The system menu and minimise box are never drawn on a popup; they let the task bar minimise
    // and restore the panel.
    constexpr DWORD style = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX;
    window_ = CreateWindowExW(WS_EX_APPWINDOW, className.c_str(), widened(layout_.caption).c_str(), style, place.x,
                              place.y, layout_.width, layout_.height, nullptr, nullptr, windowClass.hInstance, this);
    dpi_ = GetDpiForWindow(window_);
}

void PanelForm::createKeyMap() {
    for (std::size_t i = 0; i < layout_.parts.size(); ++i) {
        for (const char* text : layout_.parts[i].pcKeys) {
            if (!text) continue;
            const auto bindings = VirtualKeys::bindings(text);
            for (const VirtualKeys::Binding& binding : bindings)
                keyMap_.push_back({binding.key, binding.modifiers, static_cast<int>(bindings.front().key), i});
        }
    }
}

// A tool per button, over its place on the panel; the texts come with the hints.
void PanelForm::createTips() {
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // Hints are for finding one's way around the panel before using it, so before it is activated too.
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!tips_) return;
    // Wide enough for any hint on one line, and the packs' line breaks are kept.
    SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, physical(layout_.width));
    for (std::size_t i = 0; i < layout_.parts.size(); ++i) {
        if (!layout_.parts[i].isButton()) continue;
        TTTOOLINFOW tool = toolOf(i);
        tool.uFlags = TTF_SUBCLASS; // the tooltip sees the panel's mouse moves itself
        tool.lpszText = const_cast<wchar_t*>(L"");
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        showTip(i);
    }
    SendMessageW(tips_, TTM_ACTIVATE, showHint_, 0);
}

// A part's tool lies over it in the window's pixels, which change with the screen's scale.
TTTOOLINFOW PanelForm::toolOf(std::size_t part) const {
    const PanelPart& p = layout_.parts[part];
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window_;
    tool.uId = part;
    tool.rect = {physical(p.left), physical(p.top), physical(p.left + p.width), physical(p.top + p.height)};
    return tool;
}

void PanelForm::placeTips() {
    for (std::size_t i = 0; i < layout_.parts.size(); ++i) {
        if (!layout_.parts[i].isButton()) continue;
        TTTOOLINFOW tool = toolOf(i);
        SendMessageW(tips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void PanelForm::showTip(std::size_t part) {
    if (!tips_ || !layout_.parts[part].isButton()) return;
    std::wstring text = widened(PanelParts::shownHint(layout_.parts[part], hints_[part]));
    TTTOOLINFOW tool = toolOf(part);
    tool.lpszText = text.data();
    SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void PanelForm::setHint(std::size_t part, std::string hint) {
    if (part >= hints_.size()) return;
    hints_[part] = std::move(hint);
    showTip(part);
}

// The tooltips are made when hints are first wanted: five panels' worth took the start 80 ms under
// wine, for hints that are off unless the user turns them on.
void PanelForm::setShowHint(bool show) {
    showHint_ = show;
    if (show && !tips_) createTips();
    if (tips_) SendMessageW(tips_, TTM_ACTIVATE, show, 0);
}

void PanelForm::FormCreate() {
    // The window is exactly as large as its skin, whatever the table says it was designed with.
    const int width = skin_.width > 0 ? skin_.width : layout_.width;
    const int height = skin_.height > 0 ? skin_.height : layout_.height;
    if (!skinRead_) skin_ = blankPixels(width, height);
    frame_.assign(static_cast<std::size_t>(width) * height, Missing);
    SetWindowPos(window_, nullptr, 0, 0, physical(width), physical(height), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    drawOnFrame({0, 0, width, height});
}

std::vector<std::string> PanelForm::LoadPanelBitmaps() {
    if (loaded_) return {};
    loaded_ = true;
    std::vector<std::string> unreadable;
    if (auto skin = PanelResources::skin(layout_.layout)) {
        skin_ = std::move(*skin);
        skinRead_ = true;
        FormCreate();
    } else {
        unreadable.push_back(PanelResources::skinName(layout_.layout));
    }
    for (int id : bitmapIds(layout_)) {
        if (auto picture = PanelResources::bitmap(id))
            bitmaps_[id] = std::move(*picture);
        else
            unreadable.push_back(PanelResources::bitmapName(id));
    }
    for (std::size_t i = 0; i < layout_.parts.size(); ++i)
        shown_[i] = layout_.parts[i].releasedId;
    drawOnFrame({0, 0, skin_.width, skin_.height});
    return unreadable;
}

void PanelForm::showLampDisplay(LampDisplay display) {
    for (const PanelParts::PartPicture& picture : PanelParts::lampPictures(layout_, display))
        showPicture(picture.part, picture.id);
}

void PanelForm::showPicture(std::size_t part, int id) {
    if (shown_[part] == id) return;
    shown_[part] = id;
    const PanelPart& p = layout_.parts[part];
    drawOnFrame({p.left, p.top, p.left + p.width, p.top + p.height});
}

// Draws an area of the panel anew: the skin, then every part over it in stacking order, so the
// few pixels where neighbours overlap come out as they lie.
void PanelForm::drawOnFrame(const RECT& area) {
    blit(skin_, 0, 0, area);
    for (std::size_t i = 0; i < layout_.parts.size(); ++i) {
        const PanelPart& part = layout_.parts[i];
        const auto picture = bitmaps_.find(shown_[i]);
        if (picture != bitmaps_.end()) blit(picture->second, part.left, part.top, area);
    }
    InvalidateRect(window_, nullptr, FALSE);
}

// A picture at its natural size from (left, top), clipped to the area and the panel.
void PanelForm::blit(const Pixels& picture, int left, int top, const RECT& area) {
    RECT clip{};
    const RECT panel{0, 0, skin_.width, skin_.height};
    const RECT placed{left, top, left + picture.width, top + picture.height};
    if (!intersect(area, panel, clip) || !intersect(clip, placed, clip)) return;
    for (int y = clip.top; y < clip.bottom; ++y) {
        const std::uint8_t* source = picture.row(y - top) + 3 * (clip.left - left);
        std::uint32_t* target = frame_.data() + static_cast<std::size_t>(y) * skin_.width;
        for (int x = clip.left; x < clip.right; ++x, source += 3)
            target[x] = bgrx(source);
    }
}

void PanelForm::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = skin_.width;
    info.bmiHeader.biHeight = -skin_.height; // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const bool scaled = dpi_ != USER_DEFAULT_SCREEN_DPI;
    SetStretchBltMode(dc, scaled ? HALFTONE : COLORONCOLOR);
    if (scaled) SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, 0, 0, physical(skin_.width), physical(skin_.height), 0, 0, skin_.width, skin_.height,
                  frame_.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    EndPaint(window_, &ps);
}

POINT PanelForm::logicalPoint(LPARAM position) const {
    return {MulDiv(GET_X_LPARAM(position), USER_DEFAULT_SCREEN_DPI, dpi_),
            MulDiv(GET_Y_LPARAM(position), USER_DEFAULT_SCREEN_DPI, dpi_)};
}

void PanelForm::mousePressed(LPARAM position, bool leftHeld) {
    // While a button holds the mouse, further presses are its own, wherever they are.
    std::optional<std::size_t> part = pressed_;
    if (!part) {
        const POINT point = logicalPoint(position);
        part = PanelParts::partAt(layout_, point.x, point.y);
    }
    if (!part) {
        if (leftHeld) imgMouseDown();
        return;
    }
    if (!PanelParts::answersPress(layout_.parts[*part], leftHeld)) return;
    pressed_ = part;
    SetCapture(window_);
    pressPart(*part);
}

void PanelForm::mouseReleased() {
    if (!pressed_) return;
    const PanelPart& part = layout_.parts[*pressed_];
    letGoOfPressed();
    PanelParts::actOnRelease(part, host_);
}

// A press by the mouse or the keyboard: the pressed picture, then a key button's key goes out.
void PanelForm::pressPart(std::size_t part) {
    const PanelPart& p = layout_.parts[part];
    showPicture(part, p.pressedId());
    if (p.kind == PartKind::Key) host_.SendKey(p.key);
}

void PanelForm::releasePart(std::size_t part) {
    showPicture(part, layout_.parts[part].releasedId);
    PanelParts::actOnRelease(layout_.parts[part], host_);
}

// False for a key that is none of the panel's, for the window system to have.
bool PanelForm::keyPressed(WPARAM key, LPARAM flags) {
    const VirtualKeys::Modifiers modifiers = VirtualKeys::held();
    std::optional<std::size_t> part;
    for (const KeyBinding& binding : keyMap_)
        if (binding.key == key && binding.modifiers == modifiers) part = binding.part;
    // Windows marks a repeat by the key having been down already.
    const bool repeat = (flags & (LPARAM{1} << 30)) != 0;
    return heldKeys_.press(heldKey(key), static_cast<std::uint64_t>(GetMessageTime()), repeat, part);
}

// The release goes to the button its press went to, even when Ctrl was let go of first. Windows
// reports no repeat as a release, so it counts at once.
bool PanelForm::keyReleased(WPARAM key) {
    if (!heldKeys_.release(heldKey(key), static_cast<std::uint64_t>(GetMessageTime()), false)) return false;
    heldKeys_.completeReleases();
    return true;
}

// The releases of keys held now will not come here: the buttons come up without acting.
void PanelForm::letGoOfKeys() {
    heldKeys_.letGo([this](std::size_t part) { showPicture(part, layout_.parts[part].releasedId); });
}

int PanelForm::heldKey(WPARAM key) const {
    for (const KeyBinding& binding : keyMap_)
        if (binding.key == key) return binding.held;
    return static_cast<int>(key);
}

// The held button comes up without acting.
void PanelForm::letGoOfPressed() {
    if (!pressed_) return;
    const std::size_t part = *pressed_;
    pressed_.reset();
    if (GetCapture() == window_) ReleaseCapture();
    showPicture(part, layout_.parts[part].releasedId);
}

// The window follows the mouse as if its caption had been taken, until the button is let go.
void PanelForm::imgMouseDown() {
    ReleaseCapture();
    SendMessageW(window_, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}

void PanelForm::show() {
    const bool first = !WindowStorage1.restored();
    ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOW);
    SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // The stored placement is where a panel first appears; shown again later (a restore from the
    // tray), it stays where the user last put it. Moved once shown: wine takes clicks at the old
    // place of a window moved before it was first mapped.
    if (!first) return;
    switch (WindowStorage1.restore(window_)) {
    case StoredPlacement::ShowState::Minimized:
        ShowWindow(window_, SW_SHOWMINNOACTIVE);
        break;
    case StoredPlacement::ShowState::Maximized:
        ShowWindow(window_, SW_SHOWMAXIMIZED);
        break;
    case StoredPlacement::ShowState::Normal:
        break;
    }
}

void PanelForm::hide() {
    ShowWindow(window_, SW_HIDE);
}

bool PanelForm::visible() const {
    return IsWindowVisible(window_) && !IsIconic(window_);
}

void PanelForm::setOnTop(bool on) {
    SetWindowPos(window_, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void PanelForm::keepInFront() {
    if (!IsWindowVisible(window_)) ShowWindow(window_, SW_SHOWNA);
    SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT CALLBACK PanelForm::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PanelForm* form = windowOwner<PanelForm>(window, message, lParam);
    if (!form) return DefWindowProcW(window, message, wParam, lParam);
    form->window_ = window; // already while CreateWindowExW runs
    return form->handle(message, wParam, lParam);
}

LRESULT PanelForm::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // the skin covers the whole window
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        mousePressed(lParam, wParam & MK_LBUTTON);
        return 0;
    case WM_RBUTTONUP:
        // A right click on a window button is that button's click; elsewhere it opens the menu.
        if (!pressed_) {
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(window_, &at);
            host_.showMenu(at);
            return 0;
        }
        mouseReleased();
        return 0;
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
        mouseReleased();
        return 0;
    case WM_EXITSIZEMOVE:
        WindowStorage1.moveEnded(window_);
        return 0;
    case WM_SIZE:
        // The task bar may minimise or restore a panel itself: the menu follows.
        if (wParam == SIZE_MINIMIZED || wParam == SIZE_RESTORED) host_.panelStateChanged();
        return 0;
    case WM_GETMINMAXINFO: {
        if (skin_.width <= 0) break; // not yet sized
        // Maximized, a panel keeps its size and goes to the screen's corner.
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMaxSize = {physical(skin_.width), physical(skin_.height)};
        limits->ptMaxPosition = {0, 0};
        limits->ptMinTrackSize = limits->ptMaxTrackSize = limits->ptMaxSize;
        return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (keyPressed(wParam, lParam)) return 0;
        return DefWindowProcW(window_, message, wParam, lParam);
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (keyReleased(wParam)) return 0;
        return DefWindowProcW(window_, message, wParam, lParam);
    case WM_KILLFOCUS:
        letGoOfKeys();
        return 0;
    case WM_ENABLE:
        if (!wParam) letGoOfKeys();
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != window_) letGoOfPressed();
        return 0;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, physical(skin_.width), physical(skin_.height),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (tips_) placeTips();
        InvalidateRect(window_, nullptr, FALSE);
        return 0;
    }
    case WM_CLOSE:
        host_.ExitProgram();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}
