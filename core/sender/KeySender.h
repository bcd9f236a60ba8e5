#pragma once

#include "link/SerialLink.h"
#include "panels/PanelLayouts.h"
#include "sender/KeyNames.h"
#include "sender/SendRequest.h"
#include "settings/LanguagePack.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// lumevanta-send: sends keys to the recorder through the same exchange as the panel, one key frame
// per key, and says how the recorder answered each. Settings come from the program's options file
// unless the command line gives them. Runs the main loop while it waits for the recorder.
class KeySender {
public:
    enum ExitStatus { AllOk = 0, SomeBusy = 1, SomeNoReply = 2, PortFailed = 3, BadUsage = 4 };

    // Port failures are worded by the language packs in packFolder, in the options file's language.
    KeySender(std::ostream& out, std::ostream& err, DeviceOpener opener = TSerialLink::defaultOpener(),
              std::string packFolder = LanguagePack::packFolder());

    // Takes the command line as the front end read it; returns the exit status.
    int run(const ParsedSendArguments& parsed);

private:
    struct Line {
        std::string port;
        std::uint32_t speed;
        std::uint8_t id;
        std::string model; // empty when none is known
        const PanelLayoutTable* panel;
        std::string refusedId; // the options file's ID when it names no recorder, unless --id replaced it
        std::uint8_t language; // of the options file, else the desktop's
    };

    std::optional<Line> settle(const SendRequest& request);
    std::optional<std::vector<KeyNames::Key>> resolve(const Line& line, const std::vector<std::string>& texts);
    int list(const Line& line);
    int send(const Line& line, const std::vector<KeyNames::Key>& keys, int timeoutMs, bool quiet);
    int badUsage(const std::string& problem);

    std::ostream& out_;
    std::ostream& err_;
    DeviceOpener opener_;
    std::string packFolder_;
};
