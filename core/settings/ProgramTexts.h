#pragma once

#include <QString>

#include <array>
#include <cstdint>
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
};

class ProgramTexts {
public:
    ProgramTexts();

    QString text(TextId id) const;
    // Lines as LanguagePack::read gives them; a line missing or empty there keeps the default.
    void applyPack(const std::vector<QString>& lines);
    // The texts of a language, from its pack in the folder; the defaults where it has none.
    static ProgramTexts forLanguage(std::uint8_t language, const QString& folder);

    static int packLine(TextId id);
    static QString defaultText(TextId id);
    static constexpr std::size_t Count = static_cast<std::size_t>(TextId::ForeignOptionsFile) + 1;
    // The last line a complete pack has.
    static int lastPackLine();

private:
    std::array<QString, Count> texts_;
};
