#pragma once

#include "link/KeyExchange.h"
#include "link/SerialLink.h"
#include "panels/DeviceTypes.h"
#include "panels/PanelHost.h"
#include "settings/LoadResult.h"
#include "settings/Settings.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

class QLabel;
class PanelForm;

// The program's main form: never seen after its first moment (a small loading window), it holds
// the settings, the serial port, the key exchange and the timers, runs the start-up and decides
// which panel shows and how.
class Tbasic : public QWidget, public PanelHost {
public:
    explicit Tbasic(DeviceOpener opener = TSerialLink::defaultOpener(), QWidget* parent = nullptr);

    Settings settings;
    TSerialLink port1;
    KeyExchange exchange;
    QTimer start_timer;
    QTimer basichide_timer;
    QTimer always_on_top_timer;

    // The panel form of the current device type, or none.
    PanelForm* ActivePanel() const;
    void registerPanel(PanelLayout layout, PanelForm* panel);

    void StartUp();
    LoadResult LoadOptions();
    // Writes the current settings to options.ini; says so in a message box when it cannot.
    bool WriteOptions();
    void OpenPreferences(LoadResult reason);

    void ShowPanel();
    void SetPanelOnTop(bool on);
    void EnablePanel();
    void DisablePanel();
    void ApplyShowHints();

    // What the panels ask for.
    void SendKey(std::uint8_t key) override { exchange.SendKey(key); }
    void optionsRequested() override;
    void HideToTray() override;
    void ExitProgram() override;
    void showMenu(const QPoint& globalPosition) override;
    bool exited() const { return exited_; }

    // Parts that belong to forms and components built on top of this one.
    std::function<void(LoadResult)> openPreferences;
    std::function<void()> hideToTray;
    std::function<void(const QPoint&)> popupMenu;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void applyStoredPortSettings();
    void start_timerTimer();
    void basichide_timerTimer();
    void always_on_top_timerTimer();

    QLabel* Label1 = nullptr;
    std::array<PanelForm*, 5> panels_{};
    bool exited_ = false;
};
