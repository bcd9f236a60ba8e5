#pragma once

#include "app/NotifyIcon.h"
#include "base/WindowSystem.h"
#include "exchange/KeyExchange.h"
#include "link/PortDiscovery.h"
#include "link/SerialLink.h"
#include "model/DeviceTypes.h"
#include "model/LoadResult.h"
#include "model/Settings.h"
#include "panels/PanelHost.h"
#include "panels/PanelPictures.h"
#include "settings/PreferencesHost.h"
#include "settings/ProgramTexts.h"

#include <QMenu>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

class QLabel;
class PanelForm;
class QAction;
class Tpref_frm;

// The program's main form: never seen (its small loading window would be hidden before it is drawn,
// so the program does not show it), it holds the settings, the serial port, the key exchange and the
// timers, runs the start-up and decides which panel shows and how.
class Tbasic : public QWidget, public PanelHost, public PreferencesHost {
public:
    explicit Tbasic(DeviceOpener opener = TSerialLink::defaultOpener(), std::unique_ptr<TrayHost> trayHost = {},
                    QWidget* parent = nullptr);

    Settings settings;
    TSerialLink port1;
    KeyExchange exchange;
    QTimer start_timer;
    QTimer basichide_timer;
    QTimer always_on_top_timer;
    // Reads the pictures of the panels not shown at start-up, one panel a tick.
    QTimer panels_timer;
    static constexpr int OtherPanelsAtTheLatest = 500; // ms after start-up
    // Without a parent: the main form takes no input, and a child menu would be disabled with it.
    QMenu menu_rightb;
    TNotifyIcon tray;
    QAction* goto_options_menu;
    QAction* restore_menu;
    QAction* hidetotray_menu;
    QAction* exit_menu;

    // The panel form of the current device type, or none.
    PanelForm* ActivePanel() const;
    void registerPanel(PanelLayout layout, PanelForm* panel);
    // The pictures decoded while the program started, for the first panel shown.
    void useEarlyPictures(EarlyPictures pictures) { earlyPictures_ = std::move(pictures); }
    // How the preferences dialog is made: when it is first wanted.
    void registerPreferences(std::function<Tpref_frm&()> make) { makePreferences_ = std::move(make); }
    // The dialog, made now if it has not been, and given what it would have been told so far; none
    // without a way to make one.
    Tpref_frm* preferences();

    void StartUp();
    LoadResult LoadOptions() override;
    bool SaveOptions() override;
    // Writes the current settings to options.ini; says so in a message box when it cannot.
    bool WriteOptions();
    void OpenPreferences(LoadResult reason);
    void LoadLanguagePack();
    // Where the language packs are looked for (LanguagePack::packFolder) unless a test says otherwise.
    std::string packFolder;
    // Where the serial ports are looked for, the same way.
    std::string devFolder = "/dev", sysFolder = "/sys";
    // On Wayland itself the compositor keeps the panel's place and order; tests set it.
    bool waylandItself = WindowSystem::isWaylandItself();

    // The program's own messages, in the language of the pack last loaded.
    ProgramTexts texts;
    QString text(TextId id) const override;

    void ShowPanel() override;
    void SetPanelOnTop(bool on) override;
    void EnablePanel() override;
    void DisablePanel();
    void ApplyShowHints();

    // What the preferences dialog asks for.
    const Settings& currentSettings() const override { return settings; }
    void OpenPort() override { exchange.OpenPort(); }
    std::vector<DiscoveredPort> discoveredPorts() const override { return discoverPorts(devFolder, sysFolder); }
    // What the tray tip and the noline lamp's hint say of the line.
    const QString& linkState() const { return linkState_; }
    bool hiddenInTray() const override { return tray.IconVisible(); }

    // What the panels ask for.
    void SendKey(std::uint8_t key) override { exchange.SendKey(key); }
    void optionsRequested() override;
    void HideToTray() override;
    void RestoreFromTray();
    // A later launch of the program asked for it: the panel (or the dialog) comes to the front. On
    // Wayland the launch's activation token lets the compositor raise it.
    void BringForward(const QString& activationToken = {});
    void ExitProgram() override;
    void showMenu(const QPoint& globalPosition) override;
    bool exited() const { return exited_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void applyStoredPortSettings();
    void start_timerTimer();
    void basichide_timerTimer();
    void always_on_top_timerTimer();
    void panels_timerTimer();
    void useProgramIcon();
    void createMenu();
    void createTray();
    void trayClick(TNotifyIcon&) { RestoreFromTray(); }
    void fillPreferences();
    void linkReported(LinkEvent event, const PortFailure& failure);
    void showLinkState();
    void reportPack(const std::string& path, const std::optional<std::vector<std::string>>& lines);
    void reportForeignOptions();
    void trayHostGone();
    void panelStateChanged();
    // What Wayland itself does not allow is shown so, in the dialog and in the minimise key's hint.
    void applyWindowSystemLimits();
    bool minimiseLosesThePanel() const { return waylandItself && !tray.hostAvailable(); }
    QWidget* menuOrigin() const;

    QLabel* Label1 = nullptr;
    std::array<PanelForm*, 5> panels_{};
    EarlyPictures earlyPictures_;
    std::function<Tpref_frm&()> makePreferences_;
    Tpref_frm* pref_ = nullptr; // once made
    // What the dialog has been told before it was made: the options read, the pack lines in force.
    bool preferencesFilled_ = false;
    std::map<int, QString> preferenceLines_;
    // The stored ID text while it is out of range, for the dialog to show as it stands.
    std::optional<std::string> refusedId_;
    bool exited_ = false;
    QString linkState_;
    // The state last shown; nothing before the first attempt to open the port.
    std::optional<PortFailure> lastLinkFailure_;
    // Packs already said to be missing or short, so each is said once.
    std::set<std::string> reportedPacks_;
    bool reportedForeignOptions_ = false;
};
