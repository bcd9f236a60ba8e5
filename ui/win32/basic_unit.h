#pragma once

#include "PanelForm.h"
#include "PanelHost.h"

#include "base/Timer.h"
#include "exchange/KeyExchange.h"
#include "link/SerialLink.h"
#include "model/LoadResult.h"
#include "model/Settings.h"
#include "settings/ProgramTexts.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

// The program's main part, without a window of its own: it holds the settings, the serial port,
// the key exchange and the timers, runs the start-up and decides which panel shows and how.
class Tbasic final : public PanelHost {
public:
    explicit Tbasic(DeviceOpener opener = TSerialLink::defaultOpener());

    Settings settings;
    TSerialLink port1;
    KeyExchange exchange;
    Timer start_timer{[this] { start_timerTimer(); }};
    Timer always_on_top_timer{[this] { always_on_top_timerTimer(); }};
    // The program's own messages, in the language of the pack last loaded.
    ProgramTexts texts;

    // The panel form of the current device type, or none.
    PanelForm* ActivePanel() const;

    void StartUp();
    LoadResult LoadOptions();
    void OpenPreferences(LoadResult reason);
    void ShowPanel();
    void SetPanelOnTop(bool on);
    void ApplyShowHints();
    void LoadLanguagePack();

    // What the panels ask for.
    void SendKey(std::uint8_t key) override { exchange.SendKey(key); }
    void optionsRequested() override;
    void HideToTray() override;
    void ExitProgram() override;

private:
    void start_timerTimer();
    void always_on_top_timerTimer();
    void linkReported(LinkEvent event, const PortFailure& failure);

    std::string packFolder_;
    std::array<std::unique_ptr<PanelForm>, 5> panels_;
};
