#pragma once

#include "settings/ConfigFolder.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// The program's own messages. Each has a numbered line in the language packs; where the loaded
// pack has no text on that line, the Russian text the program always had stands.
enum class TextId {
    ConnectError,
    ConnectErrorCaption,
    ReasonNoDevice,
    ReasonPermission,
    ReasonInUse,
    ReasonNotSerial,
    ReasonBadSpeed,
    ReasonOther,
    ConnectionLost,
    TrayConnected,
    TrayDisconnected,
    WriteError,
    WriteErrorCaption,
    AlreadyRunning,
    RefusalCaption,
    NotAnInteger,
    RangeCheck,
    PanelImagesMissing,
    ReasonNoDeviceShort,
    WrongDeviceType,
    WrongId,
    ReasonPermissionShort,
    ReasonInUseShort,
    ReasonNotSerialShort,
    ReasonBadSpeedShort,
    ReasonOwnerOnly,
    OnTopUnavailable,
    MinimiseUnavailable,
    ForeignOptionsFile,
    ReasonConnecting,
    ReasonConnectingShort,
    ReasonBadAddress,
    ReasonBadAddressShort,
    ReasonUnresolved,
    ReasonUnresolvedShort,
    ReasonRefused,
    ReasonRefusedShort,
    ReasonUnreachable,
    ReasonUnreachableShort,
    ReasonDisconnected,
    ReasonDisconnectedShort,
    ReasonOptionRefused,
    ReasonOptionRefusedShort,
};

class ProgramTexts {
public:
    ProgramTexts();

    const std::string& text(TextId id) const;
    // The text with %1, %2, ... filled in, in one pass: what an argument says is never filled in again.
    std::string text(TextId id, std::initializer_list<std::string_view> args) const;
    // That the working folder's options file is another user's and not used, and where the settings are.
    std::string foreignOptionsNotice(const ConfigFolder::ForeignFile& foreign) const;
    // Lines as LanguagePack::read gives them; a line missing or empty there keeps the default.
    void applyPack(const std::vector<std::string>& lines);
    // The texts of a language, from its pack in the folder; the defaults where it has none.
    static ProgramTexts forLanguage(std::uint8_t language, const std::string& folder);

    static int packLine(TextId id);
    static std::string defaultText(TextId id);
    static constexpr std::size_t Count = static_cast<std::size_t>(TextId::ReasonOptionRefusedShort) + 1;
    // The last line a complete pack has.
    static int lastPackLine();

private:
    std::array<std::string, Count> texts_;
};
