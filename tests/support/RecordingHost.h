#pragma once

#include "panels/PanelHost.h"

#include <string>
#include <vector>

// Remembers what a panel asked the program to do, without a program behind it.
class RecordingHost : public PanelHost {
public:
    void SendKey(std::uint8_t key) override { calls.push_back("key " + std::to_string(key)); }
    void optionsRequested() override { calls.push_back("options"); }
    void HideToTray() override { calls.push_back("tray"); }
    void ExitProgram() override { calls.push_back("exit"); }
    void showMenu(const QPoint&) override { calls.push_back("menu"); }

    std::vector<std::string> calls;
};
