#include "program/StartOptions.h"

#include "model/DeviceTypes.h"
#include "settings/ConfigFolder.h"
#include "settings/OptionsFile.h"

StartOptions loadStartOptions(Settings& settings, TSerialLink& port) {
    StartOptions loaded;
    const auto text = OptionsFile::read(ConfigFolder::optionsFile());
    if (!text) return loaded;
    const StoredOptions stored = OptionsFile::parse(*text);
    settings.DeviceType = stored.deviceType;
    loaded.result = layoutForDeviceType(stored.deviceType) ? Loaded : BadDeviceType;
    settings.ShowHints = stored.showHints;
    settings.AlwaysOnTop = stored.alwaysOnTop;
    port.setCommPort(stored.port);
    port.setBaudRate(stored.baudRate);
    if (stored.refusedId) {
        loaded.refusedId = stored.refusedId;
        port.setActive(false);
        if (loaded.result == Loaded) loaded.result = BadId;
    } else {
        settings.IdByte = stored.id;
    }
    settings.Language = stored.language;
    return loaded;
}

SavedOptions saveStartOptions(const Settings& settings, const TSerialLink& port) {
    const StoredOptions stored{settings.DeviceType, settings.ShowHints, settings.AlwaysOnTop, port.CommPort(),
                               port.BaudRate(),     settings.IdByte,    settings.Language};
    SavedOptions saved{ConfigFolder::optionsFile(), {}};
    saved.failure = ConfigFolder::makeFolderFor(saved.path)
                        ? OptionsFile::write(saved.path, OptionsFile::format(stored))
                        : std::string("its folder cannot be made");
    return saved;
}
