#include "pref_unit.h"

#include "Messages.h"
#include "WindowOwner.h"

#include "model/DeviceTypes.h"
#include "settings/PackLines.h"
#include "win32/WideText.h"

#include <commctrl.h>
#include <windowsx.h>

#include <iterator>

namespace {

constexpr wchar_t ClassName[] = L"Tpref_frm";
constexpr int ClientWidth = 598, ClientHeight = 200;
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
// OK is the default button, so Enter on any other kind of control presses it.
constexpr int OkId = IDOK;
constexpr int CancelId = 100, DeviceTypeId = 101, PortId = 102;
// How far an editable combo box's list opens below its field.
constexpr int ListHeight = 200;

constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
constexpr DWORD EditableCombo = Child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;

RECT within(RECT group, int left, int top, int width, int height) {
    return {group.left + left, group.top + top, group.left + left + width, group.top + top + height};
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring itemText(HWND combo, LRESULT item) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(item), 0);
    if (length == CB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

void addItem(HWND combo, const std::wstring& text) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// A combo box's text as the user leaves it; in the middle of a choice from the list the field still
// shows the one before.
std::wstring comboText(HWND combo, bool choosing) {
    const LRESULT chosen = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return choosing && chosen != CB_ERR ? itemText(combo, chosen) : windowText(combo);
}

} // namespace

Tpref_frm::Tpref_frm(PreferencesHost& host) : host_(host) {
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);
    createWindow();
    createControls();
    createVendorLabels();
    createHints();
    scaleTo(GetDpiForWindow(window_));
}

Tpref_frm::~Tpref_frm() {
    WindowStorage1.formDestroying(window_);
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

void Tpref_frm::createWindow() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Tpref_frm::windowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = ClassName;
    RegisterClassExW(&windowClass);
    window_ = CreateWindowExW(WS_EX_CONTROLPARENT, ClassName, L"Настройки", WindowStyle, 155, 211, ClientWidth,
                              ClientHeight, nullptr, nullptr, windowClass.hInstance, this);
}

HWND Tpref_frm::add(const wchar_t* className, const wchar_t* text, DWORD style, RECT logical, int id, Look look) {
    HWND control =
        CreateWindowExW(0, className, text, style, 0, 0, 0, 0, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    placed_.push_back({control, logical, look});
    return control;
}

HWND Tpref_frm::addLabel(const wchar_t* text, RECT group, int left, int top, DWORD style) {
    return add(WC_STATICW, text, Child | SS_NOPREFIX | style, within(group, left, top, 0, 0), 0, Look::FitsText);
}

HWND Tpref_frm::addGroup(const wchar_t* text, RECT logical) {
    return add(WC_BUTTONW, text, Child | BS_GROUPBOX, logical);
}

// The frames first, so they lie beneath what they hold; then the controls in their tab order, OK
// first, so it holds the focus when the dialog opens.
void Tpref_frm::createControls() {
    const RECT lang{16, 22, 16 + 233, 22 + 43}, hard{16, 69, 16 + 129, 69 + 119}, connect{155, 69, 155 + 94, 69 + 119},
        id{260, 22, 260 + 133, 22 + 166}, others{404, 23, 404 + 173, 23 + 126};
    Label1 = add(WC_STATICW, L"V1.063", Child, {256, 3, 256 + 48, 3 + 16}, 0, Look::FixedFont);
    grp_lang_type = addGroup(L"Язык", lang);
    grp_hard_type = addGroup(L"Тип устройства", hard);
    grp_connect_type = addGroup(L"Соединение", connect);
    grp_id = addGroup(L"ID", id);
    grp_others = addGroup(L"Другие настройки", others);
    lbl_port = addLabel(L"Порт", connect, 10, 20);
    lbl_baudrate = addLabel(L"Скорость", connect, 11, 69);
    lbl_id_help = addLabel(L"Введите десятичное\r\n\r\nзначение от 0 до 255", id, 8, 28);

    OK_b = add(WC_BUTTONW, L"OK", Child | WS_TABSTOP | BS_DEFPUSHBUTTON, {506, 163, 506 + 70, 163 + 20}, OkId);
    cancel_b = add(WC_BUTTONW, L"Отмена", Child | WS_TABSTOP | BS_PUSHBUTTON, {404, 164, 404 + 70, 164 + 20}, CancelId);
    dvr_type_cmb = add(WC_COMBOBOXW, L"", EditableCombo, within(hard, 12, 20, 109, 21 + ListHeight), DeviceTypeId);
    for (std::string_view type : offeredDeviceTypes())
        addItem(dvr_type_cmb, widened(type));
    port_cmb = add(WC_COMBOBOXW, L"", EditableCombo, within(connect, 10, 40, 69, 21 + ListHeight), PortId);
    refreshPortList();
    SetWindowTextW(port_cmb, L"COM1");
    baudrate_cmb = add(WC_COMBOBOXW, L"", EditableCombo, within(connect, 10, 89, 67, 21 + ListHeight));
    for (const wchar_t* speed : {L"1200", L"2400", L"4800", L"9600", L"19200", L"57600", L"115200"})
        addItem(baudrate_cmb, speed);
    SetWindowTextW(baudrate_cmb, L"9600");
    id_byte_ed = add(WC_EDITW, L"0", Child | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, within(id, 40, 80, 41, 24), 0,
                     Look::FixedFont);
    hints_enable_chk = add(WC_BUTTONW, L"Всплывающие подсказки", Child | WS_TABSTOP | BS_AUTOCHECKBOX,
                           within(others, 12, 24, 153, 17));
    always_ontop_chk =
        add(WC_BUTTONW, L"Поверх всех окон", Child | WS_TABSTOP | BS_AUTOCHECKBOX, within(others, 12, 46, 133, 17));
    lang_select_cmb = add(WC_COMBOBOXW, L"", EditableCombo, within(lang, 16, 16, 145, 21 + ListHeight));
    addItem(lang_select_cmb, L"Русский");
    addItem(lang_select_cmb, L"English");
    SendMessageW(lang_select_cmb, CB_SETCURSEL, 0, 0);
}

void Tpref_frm::createVendorLabels() {
    const RECT hard{16, 69, 16 + 129, 69 + 119};
    const std::pair<HWND*, const wchar_t*> labels[] = {{&frm_brw, L"Brimwell : BRW"},
                                                       {&frm_calvo, L"Calvessa : CALVO"},
                                                       {&frm_dm, L"Dunmora : DM"},
                                                       {&frm_fn, L"Fennick : FN"}};
    int top = 52;
    for (auto [label, text] : labels) {
        // SS_NOTIFY: a static without it lets the mouse through, and its hint would never show.
        *label = addLabel(text, hard, 12, top, SS_NOTIFY);
        top += 16;
    }
}

// The controls' own hints, shown whatever the panels' hint setting is.
void Tpref_frm::createHints() {
    hints_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    addHint(dvr_type_cmb, L"Тип устройства");
    addHint(port_cmb, L"Порт");
    addHint(baudrate_cmb, L"Скорость обмена");
    addHint(id_byte_ed, L"ID регистратора");
    for (HWND label : {frm_brw, frm_calvo, frm_dm, frm_fn})
        addHint(label, L"Соответствие моделей по производителям");
}

// An editable combo box is covered by its field, which gets the same hint.
void Tpref_frm::addHint(HWND control, const wchar_t* text) {
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof combo;
    HWND targets[] = {control, GetComboBoxInfo(control, &combo) ? combo.hwndItem : nullptr};
    for (HWND target : targets) {
        if (!target) continue;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(target);
        tool.lpszText = const_cast<wchar_t*>(text);
        SendMessageW(hints_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void Tpref_frm::makeFonts() {
    LOGFONTW look{};
    look.lfHeight = -MulDiv(8, static_cast<int>(dpi_), 72);
    look.lfWeight = FW_NORMAL;
    look.lfCharSet = RUSSIAN_CHARSET;
    look.lfQuality = CLEARTYPE_QUALITY;
    wcscpy_s(look.lfFaceName, LF_FACESIZE, L"Tahoma");
    font_.reset(CreateFontIndirectW(&look));
    look.lfWeight = FW_BOLD;
    boldFont_.reset(CreateFontIndirectW(&look));
    look.lfHeight = -MulDiv(9, static_cast<int>(dpi_), 72);
    look.lfWeight = FW_NORMAL;
    look.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    wcscpy_s(look.lfFaceName, LF_FACESIZE, L"Fixedsys");
    fixedFont_.reset(CreateFontIndirectW(&look));
}

// Sizes, places and fonts for a screen of this many dots per inch.
void Tpref_frm::scaleTo(UINT dpi) {
    dpi_ = dpi;
    makeFonts();
    RECT frame{0, 0, physical(ClientWidth), physical(ClientHeight)};
    AdjustWindowRectExForDpi(&frame, WindowStyle, FALSE, WS_EX_CONTROLPARENT, dpi_);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const Placed& p : placed_) {
        const HFONT font = p.look == Look::FixedFont ? fixedFont_.get() : font_.get();
        SendMessageW(p.control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        place(p);
    }
    HighlightVendor();
    InvalidateRect(window_, nullptr, TRUE);
}

void Tpref_frm::place(const Placed& p) {
    SIZE size{physical(p.logical.right - p.logical.left), physical(p.logical.bottom - p.logical.top)};
    if (p.look == Look::FitsText) size = textSize(p.control);
    SetWindowPos(p.control, nullptr, physical(p.logical.left), physical(p.logical.top), size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Measured in bold, so that a vendor label keeps its size when it is highlighted.
SIZE Tpref_frm::textSize(HWND control) const {
    const std::wstring text = windowText(control);
    RECT box{0, 0, 0, 0};
    HDC dc = GetDC(control);
    const HGDIOBJ before = SelectObject(dc, boldFont_.get());
    DrawTextW(dc, text.c_str(), -1, &box, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, before);
    ReleaseDC(control, dc);
    return {box.right, box.bottom};
}

bool Tpref_frm::IsDialogMessage(MSG& message) {
    return visible() && (message.hwnd == window_ || IsChild(window_, message.hwnd)) &&
           ::IsDialogMessageW(window_, &message);
}

LRESULT CALLBACK Tpref_frm::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Tpref_frm* form = windowOwner<Tpref_frm>(window, message, lParam);
    if (form && form->window_ == window) return form->handle(message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Tpref_frm::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(OkId, DC_HASDEFID);
    case WM_CLOSE:
        close();
        return 0;
    case WM_CONTEXTMENU:
        host_.showMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_ACTIVATE:
        // A modeless dialog keeps its own focus across a switch to another window.
        if (LOWORD(wParam) == WA_INACTIVE)
            lastFocus_ = GetFocus();
        else if (lastFocus_ && IsChild(window_, lastFocus_))
            SetFocus(lastFocus_);
        return 0;
    case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        scaleTo(HIWORD(wParam));
        return 0;
    }
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void Tpref_frm::command(int id, int code, HWND control) {
    if (id == OkId && (code == BN_CLICKED || !control)) return OK_bClick();
    if (id == IDCANCEL && !control) return escapePressed();
    if (id == CancelId && code == BN_CLICKED) return cancel_bClick();
    const bool choosing = code == CBN_SELCHANGE;
    if (id == DeviceTypeId && (choosing || code == CBN_EDITCHANGE)) {
        HighlightVendor();
        // The field shows the choice only after this notification.
        if (choosing) PostMessageW(window_, WM_COMMAND, MAKEWPARAM(DeviceTypeId, CBN_EDITCHANGE), 0);
    }
    if (id == PortId && (choosing || code == CBN_EDITCHANGE)) showPortHint(narrowed(comboText(port_cmb, choosing)));
}

// Escape closes the dialog only from OK and the device type; elsewhere it does nothing.
void Tpref_frm::escapePressed() {
    HWND focus = GetFocus();
    if (focus != OK_b && focus != dvr_type_cmb && !IsChild(dvr_type_cmb, focus)) return;
    host_.EnablePanel();
    close();
}

void Tpref_frm::HighlightVendor() {
    const std::string type = narrowed(windowText(dvr_type_cmb));
    if (!Preferences::IsValidDeviceType(type)) return;
    const auto family = vendorOf(type);
    const HWND labels[] = {frm_brw, frm_calvo, frm_dm, frm_fn};
    for (std::size_t i = 0; i < std::size(labels); ++i)
        SendMessageW(labels[i], WM_SETFONT, reinterpret_cast<WPARAM>(family == i ? boldFont_.get() : font_.get()),
                     TRUE);
}

// The COM names stay first, as stored files may name them; after them what the machine has now.
void Tpref_frm::refreshPortList() {
    const std::wstring text = windowText(port_cmb);
    ports_ = Preferences::portChoices(host_.discoveredPorts());
    SendMessageW(port_cmb, CB_RESETCONTENT, 0, 0);
    for (const DiscoveredPort& port : ports_)
        addItem(port_cmb, widened(port.path));
    SetWindowTextW(port_cmb, text.c_str());
}

// What the system says of the chosen port, where it says anything.
void Tpref_frm::showPortHint(const std::string& name) {
    portHint_ = L"Порт";
    for (const DiscoveredPort& port : ports_)
        if (port.path == name && !port.hint.empty()) portHint_ = widened(port.hint);
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof combo;
    GetComboBoxInfo(port_cmb, &combo);
    for (HWND target : {port_cmb, combo.hwndItem}) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(target);
        tool.lpszText = portHint_.data();
        SendMessageW(hints_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void Tpref_frm::OpenPreferences(LoadResult reason) {
    refreshPortList();
    host_.LoadOptions();
    if (const auto caption = Preferences::caption(reason, host_.currentSettings().Language))
        SetWindowTextW(window_, widened(*caption).c_str());
    host_.SetPanelOnTop(false);
    lastFocus_ = OK_b;
    ShowWindow(window_, SW_SHOW);
    // Where the user last left it, from the first opening on (moved once shown, as the panels are).
    if (!WindowStorage1.restored()) WindowStorage1.restore(window_);
    SetForegroundWindow(window_);
    SetFocus(OK_b);
    HighlightVendor();
    // Only a stored ID out of range can be in the field just filled: say so at once, not at OK.
    if (!Preferences::IsValidIdText(narrowed(windowText(id_byte_ed)))) refuse(TextId::WrongId);
}

void Tpref_frm::fill(const Preferences::Values& v) {
    SetWindowTextW(dvr_type_cmb, widened(v.deviceType).c_str());
    SetWindowTextW(port_cmb, widened(v.port).c_str());
    showPortHint(v.port);
    SetWindowTextW(baudrate_cmb, widened(v.baudRate).c_str());
    SetWindowTextW(id_byte_ed, widened(v.id).c_str());
    Button_SetCheck(hints_enable_chk, v.showHints ? BST_CHECKED : BST_UNCHECKED);
    Button_SetCheck(always_ontop_chk, v.alwaysOnTop ? BST_CHECKED : BST_UNCHECKED);
    const LRESULT items = SendMessageW(lang_select_cmb, CB_GETCOUNT, 0, 0);
    SendMessageW(lang_select_cmb, CB_SETCURSEL, v.language < items ? static_cast<WPARAM>(v.language) : WPARAM(-1), 0);
}

Preferences::Values Tpref_frm::values() const {
    // The language is the item whose text the field holds exactly.
    const std::wstring language = windowText(lang_select_cmb);
    int index = -1;
    const LRESULT items = SendMessageW(lang_select_cmb, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < items && index < 0; ++i)
        if (itemText(lang_select_cmb, i) == language) index = static_cast<int>(i);
    return {narrowed(windowText(dvr_type_cmb)),
            narrowed(windowText(port_cmb)),
            narrowed(windowText(baudrate_cmb)),
            narrowed(windowText(id_byte_ed)),
            Button_GetCheck(hints_enable_chk) == BST_CHECKED,
            Button_GetCheck(always_ontop_chk) == BST_CHECKED,
            index};
}

void Tpref_frm::applyPackLine(int line, const std::string& text) {
    const HWND targets[] = {window_,          grp_lang_type, grp_hard_type, grp_connect_type, grp_id,
                            grp_others,       lbl_port,      lbl_baudrate,  lbl_id_help,      hints_enable_chk,
                            always_ontop_chk, OK_b,          cancel_b};
    static_assert(std::size(targets) == static_cast<std::size_t>(PackLine::CancelButton));
    if (line < PackLine::PreferencesCaption || line > PackLine::CancelButton) return;
    const HWND target = targets[line - PackLine::PreferencesCaption];
    SetWindowTextW(target, widened(text).c_str());
    for (const Placed& p : placed_)
        if (p.control == target && p.look == Look::FitsText) place(p);
}

void Tpref_frm::OK_bClick() {
    if (const auto refusal = Preferences::entryRefusal(values())) {
        refuse(refusal->text);
        return;
    }
    if (host_.confirmPreferences()) close();
}

void Tpref_frm::refuse(TextId text) {
    Messages::show(host_.text(text), host_.text(TextId::RefusalCaption));
}

void Tpref_frm::cancel_bClick() {
    if (host_.cancelPreferences()) close();
}

void Tpref_frm::close() {
    WindowStorage1.formClosing(window_);
    ShowWindow(window_, SW_HIDE);
    FormClose();
}

// However the dialog closes, before any device type was confirmed the program ends with it.
void Tpref_frm::FormClose() {
    if (host_.currentSettings().DeviceType == Settings::NoDeviceType)
        host_.ExitProgram();
    else
        host_.EnablePanel();
}
