#include "basic_unit.h"

#include "Messages.h"

#include "exchange/KeyExchangePort.h"
#include "model/DeviceTypes.h"
#include "panels/PanelLayouts.h"
#include "panels/PanelParts.h"
#include "program/Preferences.h"
#include "program/StartOptions.h"
#include "settings/DesktopLanguage.h"
#include "settings/LanguagePack.h"
#include "settings/LinkTexts.h"
#include "settings/PackLines.h"

#include <windows.h>

Tbasic::Tbasic(DeviceOpener opener)
    : port1(std::move(opener)),
      exchange(
          port1, settings.IdByte, [this] { return ActivePanel(); },
          [this](LinkEvent event, const PortFailure& failure) { linkReported(event, failure); }),
      packFolder_(LanguagePack::packFolder()) {
    // Until the options are read the program speaks the stored language, else the desktop's.
    settings.Language = DesktopLanguage::startLanguage();
    texts = ProgramTexts::forLanguage(settings.Language, packFolder_);
    port1.setCommPort("COM2");
    prepareForKeyExchange(port1);
    always_on_top_timer.setInterval(100);
    panels_timer.setInterval(0);
    createMenu();
    createTray();
    start_timer.setInterval(1);
    start_timer.setSingleShot(true);
    start_timer.start();
}

void Tbasic::start_timerTimer() {
    start_timer.stop();
    StartUp();
}

PanelForm* Tbasic::ActivePanel() const {
    const auto layout = layoutForDeviceType(settings.DeviceType);
    return layout ? panels_[static_cast<std::size_t>(*layout)].get() : nullptr;
}

PanelForm* Tbasic::WantedPanel() {
    const auto layout = layoutForDeviceType(settings.DeviceType);
    return layout ? &panelOf(*layout) : nullptr;
}

// A panel made late is given the hints of the pack in force, as if it had been there all along.
PanelForm& Tbasic::panelOf(PanelLayout layout) {
    std::unique_ptr<PanelForm>& panel = panels_[static_cast<std::size_t>(layout)];
    if (!panel) {
        panel = std::make_unique<PanelForm>(panelLayout(layout), *this);
        applyPackHints(*panel);
        applyLinkState(*panel);
    }
    return *panel;
}

void Tbasic::applyPackHints(PanelForm& panel) const {
    const auto& parts = panel.layout().parts;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto line = packLines_.find(parts[i].packLine);
        if (line != packLines_.end()) panel.setHint(i, line->second);
    }
}

// The options come first: they say which panel is wanted, and only its pictures are read before it
// shows. The other panels' follow once it has been painted, a panel a tick, long before anyone could
// choose another device type; one wanted sooner is read when it is shown.
void Tbasic::StartUp() {
    panels_timer.start();
    const LoadResult result = LoadOptions();
    if (result != Loaded) {
        OpenPreferences(result);
        return;
    }
    exchange.OpenPort();
    ShowPanel();
}

// Timers come after the painting of what was shown, so the first tick finds the panel drawn.
void Tbasic::panels_timerTimer() {
    for (PanelLayout layout : creationOrder) {
        PanelForm& panel = panelOf(layout);
        if (panel.bitmapsLoaded()) continue;
        loadPanel(panel);
        return;
    }
    panels_timer.stop();
}

void Tbasic::loadPanel(PanelForm& panel) {
    std::string unreadable;
    for (const std::string& name : panel.LoadPanelBitmaps())
        unreadable += "\r\n" + name;
    if (!unreadable.empty())
        Messages::show(texts.text(TextId::PanelImagesMissing) + unreadable, texts.text(TextId::WriteErrorCaption));
}

LoadResult Tbasic::LoadOptions() {
    const StartOptions loaded = loadStartOptions(settings, port1);
    if (loaded.result != FirstStart) {
        refusedId_ = loaded.refusedId;
        ApplyShowHints();
    }
    preferenceValues_ = Preferences::inForce(settings, port1, refusedId_);
    if (pref_frm_) pref_frm_->fill(*preferenceValues_);
    LoadLanguagePack();
    return loaded.result;
}

// Only the panel of the device type just read takes the setting.
void Tbasic::ApplyShowHints() {
    if (PanelForm* active = WantedPanel()) active->setShowHint(settings.ShowHints);
}

// Made when it is first wanted, and told then what it would have been told so far: its fonts and
// controls took the panel 110 ms under wine.
Tpref_frm& Tbasic::preferences() {
    if (!pref_frm_) {
        pref_frm_ = std::make_unique<Tpref_frm>(*this);
        if (preferenceValues_) pref_frm_->fill(*preferenceValues_);
        for (const auto& [line, text] : packLines_)
            pref_frm_->applyPackLine(line, text);
    }
    return *pref_frm_;
}

void Tbasic::OpenPreferences(LoadResult reason) {
    preferences().OpenPreferences(reason);
}

// The program's own messages fall back to their Russian texts without a pack; the dialog and the
// panels' hints keep whatever they showed.
void Tbasic::LoadLanguagePack() {
    texts.applyPack({});
    const auto name = LanguagePack::fileName(settings.Language);
    const auto lines = name ? LanguagePack::read(packFolder_ + *name) : std::nullopt;
    if (!lines) return;
    texts.applyPack(*lines);
    showLinkState();
    for (std::size_t i = 0; i < lines->size(); ++i) {
        packLines_[static_cast<int>(i) + 1] = (*lines)[i];
        if (pref_frm_) pref_frm_->applyPackLine(static_cast<int>(i) + 1, (*lines)[i]);
    }
    applyMenuCaptions(*lines);
    for (const auto& panel : panels_)
        if (panel) applyPackHints(*panel);
}

bool Tbasic::SaveOptions() {
    // Everything is checked before anything changes, so a refusal leaves the program as it was.
    const auto checked = Preferences::accepted(preferences().values());
    if (const auto* refusal = std::get_if<Preferences::Refusal>(&checked)) {
        Messages::show(texts.text(refusal->text, {refusal->argument}), "Lumevanta", Messages::Icon::Error);
        return false;
    }
    exchange.ClosePort();
    Preferences::apply(std::get<Preferences::Choice>(checked), settings, port1);
    // A file that cannot be written is said so; the settings stay in force all the same.
    const SavedOptions saved = saveStartOptions(settings, port1);
    if (!saved.failure.empty())
        Messages::show(texts.text(TextId::WriteError, {saved.path}), texts.text(TextId::WriteErrorCaption));
    return true;
}

void Tbasic::EnablePanel() {
    if (PanelForm* active = ActivePanel()) EnableWindow(active->window(), TRUE);
}

void Tbasic::DisablePanel() {
    if (settings.DeviceType == Settings::NoDeviceType) return;
    if (PanelForm* active = ActivePanel()) EnableWindow(active->window(), FALSE);
}

void Tbasic::ShowPanel() {
    PanelForm* active = WantedPanel();
    for (const auto& panel : panels_)
        if (panel && panel.get() != active) panel->hide();
    if (active) {
        if (!active->bitmapsLoaded()) loadPanel(*active);
        active->show();
    }
    SetPanelOnTop(settings.AlwaysOnTop);
    tray.ShowTaskbarButton();
    exchange.LampsOff();
}

void Tbasic::SetPanelOnTop(bool on) {
    if (PanelForm* active = ActivePanel()) active->setOnTop(on);
    if (on)
        always_on_top_timer.start();
    else
        always_on_top_timer.stop();
}

// Another program's topmost window may have come over the panel: it goes back on top, without
// taking the focus from whatever the user works in.
void Tbasic::always_on_top_timerTimer() {
    PanelForm* active = ActivePanel();
    if (!active || GetForegroundWindow() == active->window()) return;
    active->keepInFront();
}

void Tbasic::optionsRequested() {
    OpenPreferences(Loaded);
    DisablePanel();
}

void Tbasic::ExitProgram() {
    exchange.ClosePort();
    tray.setIconVisible(false);
    always_on_top_timer.stop();
    PostQuitMessage(0);
}

void Tbasic::linkReported(LinkEvent event, const PortFailure& failure) {
    lastLinkFailure_ = failure;
    showLinkState();
    if (event == LinkEvent::OpenFailed)
        Messages::show(LinkTexts::connectError(texts, port1.CommPort(), failure),
                       texts.text(TextId::ConnectErrorCaption));
    else if (event == LinkEvent::Lost)
        lostNotice_.show(LinkTexts::connectionLost(texts, port1.CommPort(), failure), "Lumevanta");
}

// The tray tip and the no-line lamp's hint say whether the line is there, and if not, why.
void Tbasic::showLinkState() {
    if (!lastLinkFailure_) return;
    const std::string state = LinkTexts::stateTip(texts, port1.CommPort(), *lastLinkFailure_);
    if (state == linkState_) return; // the quiet looks for a missing device say the same each second
    linkState_ = state;
    tray.setHint(linkState_);
    for (const auto& panel : panels_)
        if (panel) applyLinkState(*panel);
}

void Tbasic::applyLinkState(PanelForm& panel) const {
    if (linkState_.empty()) return;
    const auto& parts = panel.layout().parts;
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (PanelParts::showsLinkState(parts[i])) panel.setHint(i, linkState_);
}

// The tray menu, hiding to the tray and coming back.

namespace {

// The program file's own icon when it carries one, else the system's for a program.
HICON programIcon() {
    HMODULE self = GetModuleHandleW(nullptr);
    LPWSTR first = nullptr;
    EnumResourceNamesW(
        self, RT_GROUP_ICON,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
            *reinterpret_cast<LPWSTR*>(found) = name;
            return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&first));
    HICON icon = first ? static_cast<HICON>(LoadImageW(self, first, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), LR_SHARED))
                       : nullptr;
    return icon ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

// A message box of the program's that is open.
HWND openMessageBox() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
            wchar_t className[16] = {};
            if (!IsWindowVisible(window) || !GetClassNameW(window, className, 16) ||
                std::wstring_view(className) != L"#32770")
                return TRUE;
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

void Tbasic::createMenu() {
    menu_rightb.addItem("Настройки", windowActionKey(WindowAction::Preferences), [this] { OpenPreferences(Loaded); });
    menu_rightb.addItem("Восстановить", "", [this] { RestoreFromTray(); });
    menu_rightb.setEnabled(restore_menu, false);
    menu_rightb.addItem("Свернуть", windowActionKey(WindowAction::HideToTray), [this] { HideToTray(); });
    menu_rightb.addItem("Выход", "", [this] { ExitProgram(); });
}

void Tbasic::createTray() {
    tray.setHint("Lumevanta");
    tray.setIcon(programIcon());
    tray.setPopupMenu(&menu_rightb);
    tray.OnClick = [this](TNotifyIcon& icon) { trayClick(icon); };
}

// The pack's lines for the menu entries, in entry order; without a pack the captions stay.
void Tbasic::applyMenuCaptions(const std::vector<std::string>& packLines) {
    for (std::size_t entry = 0; entry < PackLine::MenuEntryCount; ++entry) {
        const std::size_t line = PackLine::FirstMenuEntry - 1 + entry;
        if (line < packLines.size()) menu_rightb.setCaption(entry, packLines[line]);
    }
}

void Tbasic::HideToTray() {
    PanelForm* active = ActivePanel();
    tray.setIconVisible(true);
    SetPanelOnTop(false);
    if (tray.shownInTray()) {
        if (active) active->hide();
        tray.HideTaskbarButton();
    } else {
        // No notification area to come back from: the task bar keeps the panel.
        tray.setIconVisible(false);
        if (active) ShowWindow(active->window(), SW_MINIMIZE);
    }
    menu_rightb.setEnabled(restore_menu, true);
    menu_rightb.setEnabled(hidetotray_menu, false);
}

void Tbasic::RestoreFromTray() {
    ShowPanel();
    menu_rightb.setEnabled(restore_menu, false);
    menu_rightb.setEnabled(hidetotray_menu, true);
    tray.setIconVisible(false);
}

// Minimised from the task bar, the panel is put away as by the menu; restored from there, it is back.
void Tbasic::panelStateChanged() {
    PanelForm* active = ActivePanel();
    if (!active || !IsWindowVisible(active->window()) || tray.IconVisible()) return;
    const bool putAway = menu_rightb.enabled(restore_menu);
    const bool minimised = IsIconic(active->window());
    if (minimised && !putAway) {
        always_on_top_timer.stop();
        menu_rightb.setEnabled(restore_menu, true);
        menu_rightb.setEnabled(hidetotray_menu, false);
    } else if (!minimised && putAway) {
        RestoreFromTray();
    }
}

HWND Tbasic::openDialog() const {
    return pref_frm_ && pref_frm_->visible() ? pref_frm_->window() : openMessageBox();
}

void Tbasic::showMenu(POINT at) {
    PanelForm* active = ActivePanel();
    HWND owner = active ? active->window() : nullptr;
    if (HWND dialog = openDialog()) owner = dialog;
    if (owner) menu_rightb.popup(at, owner);
}

void Tbasic::BringForward() {
    HWND dialog = openDialog();
    if (PanelForm* active = ActivePanel()) {
        RestoreFromTray();
        SetForegroundWindow(active->window());
        // An open dialog stays in front of the panel, as it was opened to be.
        if (dialog) SetPanelOnTop(false);
    } else if (!dialog) {
        // Nothing on the screen at all (a wrong model, the dialog cancelled): the way back is the dialog.
        OpenPreferences(Loaded);
        dialog = openDialog();
    }
    if (dialog) SetForegroundWindow(dialog);
}
