#pragma once

#include "link/KeyExchange.h"
#include "link/SerialLink.h"
#include "panels/DeviceTypes.h"
#include "settings/LoadResult.h"
#include "settings/Settings.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

class QLabel;

// The program's main form: never seen after its first moment (a small loading window), it holds
// the settings, the serial port, the key exchange and the timers, and runs the start-up.
class Tbasic : public QWidget {
public:
    explicit Tbasic(DeviceOpener opener = TSerialLink::defaultOpener(), QWidget* parent = nullptr);

    Settings settings;
    TSerialLink port1;
    KeyExchange exchange;
    QTimer start_timer;
    QTimer basichide_timer;

    // The panel form of the current device type, or none.
    LampPanel* ActivePanel() const;
    void registerPanel(PanelLayout layout, LampPanel* panel);

    void StartUp();
    LoadResult LoadOptions();
    // Writes the current settings to options.ini; says so in a message box when it cannot.
    bool WriteOptions();
    void ExitProgram();
    bool exited() const { return exited_; }

    // Steps of the start-up that belong to forms built on top of this one.
    std::function<void()> loadPanelBitmaps;
    std::function<void()> showPanel;
    std::function<void()> applyShowHints;
    std::function<void(LoadResult)> openPreferences;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void applyStoredPortSettings();
    void start_timerTimer();
    void basichide_timerTimer();

    QLabel* Label1 = nullptr;
    std::array<LampPanel*, 5> panels_{};
    bool exited_ = false;
};
