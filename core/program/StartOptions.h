#pragma once

#include "link/SerialLink.h"
#include "model/LoadResult.h"
#include "model/Settings.h"

#include <optional>
#include <string>

// options.ini read into a desktop program's settings and its port, as its start and its
// preferences' OK both do it. Nothing changes when the file cannot be read (FirstStart).
struct StartOptions {
    LoadResult result = FirstStart;
    // The stored ID text when it names no recorder: the ID is not applied and the port is closed,
    // so no key reaches whichever recorder a wrapped ID would name.
    std::optional<std::string> refusedId;
};

StartOptions loadStartOptions(Settings& settings, TSerialLink& port);

// The settings and the port's name and speed written to the options file in use, its folder made
// if need be. The failure is empty when the file was written.
struct SavedOptions {
    std::string path;
    std::string failure;
};
SavedOptions saveStartOptions(const Settings& settings, const TSerialLink& port);
