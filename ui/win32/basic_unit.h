#pragma once

#include "NoticeBox.h"
#include "NotifyIcon.h"
#include "PanelForm.h"
#include "PanelHost.h"
#include "PopupMenu.h"
#include "PreferencesHost.h"
#include "pref_unit.h"

#include "base/Timer.h"
#include "exchange/KeyExchange.h"
#include "link/SerialLink.h"
#include "model/LoadResult.h"
#include "model/Settings.h"
#include "settings/ProgramTexts.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

// The program's main part, without a window of its own: it holds the settings, the serial port,
// the key exchange and the timers, runs the start-up and decides which panel shows and how.
class Tbasic final : public PanelHost, public PreferencesHost {
public:
    explicit Tbasic(DeviceOpener opener = TSerialLink::defaultOpener());

    Settings settings;
    TSerialLink port1;
    KeyExchange exchange;
    Timer start_timer{[this] { start_timerTimer(); }};
    Timer always_on_top_timer{[this] { always_on_top_timerTimer(); }};
    // Reads the hidden panels' pictures once the first panel is on the screen.
    Timer panels_timer{[this] { panels_timerTimer(); }};
    // The program's own messages, in the language of the pack last loaded.
    ProgramTexts texts;

    // The panel form of the current device type, or none; none too while that panel is not made.
    PanelForm* ActivePanel() const;
    // The same, made if it is not yet.
    PanelForm* WantedPanel();

    void StartUp();
    LoadResult LoadOptions() override;
    void OpenPreferences(LoadResult reason);
    void ShowPanel() override;
    void SetPanelOnTop(bool on) override;

    // The preferences dialog and what it asks for.
    Tpref_frm& preferences();
    // A key for the dialog's own keyboard handling (Tab, Enter, Escape), taken if the dialog is made.
    bool preferencesMessage(MSG& message) { return pref_frm_ && pref_frm_->IsDialogMessage(message); }
    bool SaveOptions() override;
    void LoadLanguagePack();
    void ApplyShowHints();
    const Settings& currentSettings() const override { return settings; }
    void OpenPort() override { exchange.OpenPort(); }
    void EnablePanel() override;
    void DisablePanel();
    bool hiddenInTray() const override { return tray.IconVisible(); }
    std::string text(TextId id) const override { return texts.text(id); }

    // What the panels ask for.
    void SendKey(std::uint8_t key) override { exchange.SendKey(key); }
    void optionsRequested() override;
    void HideToTray() override;
    void ExitProgram() override;

    // The tray: the menu of the icon, the panels and the dialog; the icon, shown while the panel is
    // hidden there.
    PopupMenu menu_rightb;
    static constexpr std::size_t goto_options_menu = 0, restore_menu = 1, hidetotray_menu = 2, exit_menu = 3;
    TNotifyIcon tray;
    void RestoreFromTray();
    // A later copy of the program asked for it: the panel (or the dialog) comes to the front.
    void BringForward();
    void showMenu(POINT at) override;
    // The preferences dialog or a message box of the program, whichever is open.
    HWND openDialog() const;
    void panelStateChanged() override;

private:
    void createMenu();
    void createTray();
    void trayClick(TNotifyIcon&) { RestoreFromTray(); }
    void applyMenuCaptions(const std::vector<std::string>& packLines);

    void start_timerTimer();
    void always_on_top_timerTimer();
    void panels_timerTimer();
    PanelForm& panelOf(PanelLayout layout);
    void applyPackHints(PanelForm& panel) const;
    void applyLinkState(PanelForm& panel) const;
    void showLinkState();
    void loadPanel(PanelForm& panel);
    void linkReported(LinkEvent event, const PortFailure& failure);

    std::string packFolder_;
    // Each made when first wanted: a window takes a few milliseconds under wine, and only the
    // active panel's is wanted before it shows.
    std::array<std::unique_ptr<PanelForm>, 5> panels_;
    std::unique_ptr<Tpref_frm> pref_frm_;
    // What the dialog has been told before it was made: the options read. The pack lines in force,
    // by their numbers, for the dialog and for the panels made later.
    std::optional<Preferences::Values> preferenceValues_;
    std::map<int, std::string> packLines_;
    // The stored ID text while it names no recorder, for the dialog to show as it stands.
    std::optional<std::string> refusedId_;
    // What the line last reported, and the tip that says it (the tray's, the no-line lamp's).
    std::optional<PortFailure> lastLinkFailure_;
    std::string linkState_;
    NoticeBox lostNotice_;
};
