#include "program/PreferencesProgram.h"

bool PreferencesProgram::confirmPreferences() {
    if (!SaveOptions()) return false;
    LoadOptions();
    OpenPort();
    EnablePanel();
    if (!hiddenInTray()) ShowPanel();
    return true;
}

bool PreferencesProgram::cancelPreferences() {
    if (currentSettings().DeviceType == Settings::NoDeviceType) {
        ExitProgram();
        return false;
    }
    EnablePanel();
    return true;
}
