#include "sender/KeySender.h"

#include "exchange/KeyExchange.h"
#include "exchange/KeyExchangePort.h"
#include "model/DeviceTypes.h"
#include "settings/ConfigFolder.h"
#include "settings/DesktopLanguage.h"
#include "settings/LanguagePack.h"
#include "settings/LinkTexts.h"
#include "settings/OptionsFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iomanip>

namespace {

constexpr const char* Program = "lumevanta-send: ";
// What the serial port component uses when nothing is configured.
constexpr const char* DefaultPort = "COM2";
constexpr std::uint32_t DefaultSpeed = 9600;
// Beyond the network line's own bounds on connecting and negotiating.
constexpr auto ConnectPatience = std::chrono::seconds(5);

// The exchange shows its outcome on a panel's lamps; here the last display is the answer.
class AnswerLamps : public LampPanel {
public:
    void showLampDisplay(LampDisplay display) override { last = display; }
    LampDisplay last = LampDisplay::LampsOff;
};

enum class Answer { Ok, Busy, NoReply };

Answer answerShownBy(LampDisplay display) {
    switch (display) {
    case LampDisplay::ShowOk:
        return Answer::Ok;
    case LampDisplay::ShowBusy:
        return Answer::Busy;
    default:
        return Answer::NoReply;
    }
}

const char* wordsFor(Answer answer) {
    switch (answer) {
    case Answer::Ok:
        return "ok";
    case Answer::Busy:
        return "busy";
    case Answer::NoReply:
        return "no reply";
    }
    return "";
}

int statusFor(Answer answer) {
    switch (answer) {
    case Answer::Ok:
        return KeySender::AllOk;
    case Answer::Busy:
        return KeySender::SomeBusy;
    case Answer::NoReply:
        return KeySender::SomeNoReply;
    }
    return KeySender::SomeNoReply;
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// Models are typed by hand here, so any case will do.
std::optional<DeviceTypeRow> modelNamed(std::string_view text) {
    for (const DeviceTypeRow& row : deviceTypes)
        if (lowerCase(row.name) == lowerCase(text)) return row;
    return std::nullopt;
}

std::string modelNames() {
    std::string names;
    for (std::string_view name : offeredDeviceTypes())
        names += (names.empty() ? "" : ", ") + std::string(name);
    return names;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : ", ") + word;
    return text;
}

std::string hexCode(std::uint8_t code) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", code);
    return text;
}

} // namespace

KeySender::KeySender(std::ostream& out, std::ostream& err, DeviceOpener opener, std::string packFolder)
    : out_(out), err_(err), opener_(std::move(opener)), packFolder_(std::move(packFolder)) {}

int KeySender::run(const ParsedSendArguments& parsed) {
    if (!parsed.error.empty()) return badUsage(parsed.error);
    const SendRequest& request = parsed.request;
    if (request.help) {
        out_ << sendUsage();
        return AllOk;
    }
    const auto line = settle(request);
    if (!line) return BadUsage;
    if (request.list) return list(*line);
    if (!line->refusedId.empty())
        return badUsage("the ID '" + line->refusedId + "' of " + ConfigFolder::optionsFile() +
                        " names no recorder (0 to 255): give --id, or correct it in the program");
    const auto keys = resolve(*line, request.keys);
    if (!keys) return BadUsage;
    return send(*line, *keys, request.timeoutMs, request.quiet);
}

int KeySender::badUsage(const std::string& problem) {
    err_ << Program << problem << "\nTry 'lumevanta-send --help'.\n";
    return BadUsage;
}

std::optional<KeySender::Line> KeySender::settle(const SendRequest& request) {
    Line line{DefaultPort, DefaultSpeed, 0, {}, nullptr, {}, DesktopLanguage::fromEnvironment()};
    if (const auto foreign = ConfigFolder::foreignOptionsFile()) {
        const ProgramTexts texts = ProgramTexts::forLanguage(line.language, packFolder_);
        // One line, as every message of ours on stderr.
        std::string notice = texts.foreignOptionsNotice(*foreign);
        std::replace(notice.begin(), notice.end(), '\r', ' ');
        std::erase(notice, '\n');
        err_ << Program << notice << '\n';
    }
    if (const auto text = OptionsFile::read(ConfigFolder::optionsFile())) {
        const StoredOptions stored = OptionsFile::parse(*text);
        line.port = stored.port;
        if (stored.baudRate != 0) line.speed = stored.baudRate;
        line.id = stored.id;
        line.language = stored.language;
        line.refusedId = stored.refusedId.value_or("");
        if (const auto layout = layoutForDeviceType(stored.deviceType)) {
            line.model = stored.deviceType;
            line.panel = &panelLayout(*layout);
        }
    }
    if (request.port) line.port = *request.port;
    if (request.speed) line.speed = *request.speed;
    if (request.id) {
        line.id = *request.id;
        line.refusedId.clear();
    }
    if (request.model) {
        const auto model = modelNamed(*request.model);
        if (!model) {
            badUsage("no recorder model '" + *request.model + "'; the models are " + modelNames());
            return std::nullopt;
        }
        line.model = std::string(model->name);
        line.panel = &panelLayout(model->layout);
    }
    return line;
}

std::optional<std::vector<KeyNames::Key>> KeySender::resolve(const Line& line, const std::vector<std::string>& texts) {
    std::vector<KeyNames::Key> keys;
    for (const std::string& text : texts) {
        if (const auto key = KeyNames::find(line.panel, text)) {
            keys.push_back(*key);
            continue;
        }
        if (!line.panel) {
            badUsage("'" + text + "' is not a key code, and key names need a recorder model: give --model (" +
                     modelNames() + ") or choose one in the program");
            return std::nullopt;
        }
        const auto matches = KeyNames::closeMatches(*line.panel, text);
        const std::string hint = matches.empty() ? "; 'lumevanta-send --list --model " + line.model + "' shows them"
                                                 : "; did you mean " + joined(matches) + "?";
        badUsage("the " + line.model + " has no key '" + text + "'" + hint);
        return std::nullopt;
    }
    return keys;
}

int KeySender::list(const Line& line) {
    if (!line.panel)
        return badUsage("no recorder model to list the keys of: give --model (" + modelNames() +
                        ") or choose one in the program");
    out_ << std::left << std::setw(12) << "key" << std::setw(6) << "code"
         << "PC key\n";
    for (const PanelPart* part : KeyNames::keysOf(*line.panel)) {
        const std::string keys = pcKeyText(*part);
        out_ << std::setw(12) << KeyNames::nameOf(*part) << std::setw(6) << hexCode(part->key)
             << (keys.empty() ? "none" : keys) << '\n';
    }
    return AllOk;
}

int KeySender::send(const Line& line, const std::vector<KeyNames::Key>& keys, int timeoutMs, bool quiet) {
    TSerialLink port(opener_);
    prepareForKeyExchange(port);
    port.setCommPort(line.port);
    port.setBaudRate(line.speed);
    port.setActive(true);
    // A network line connects in the background, within its own time-out; here there is no panel to keep alive.
    mainLoop().runUntil(
        [&port] {
            if (port.LastFailure().fault == PortFault::Connecting) port.setActive(true);
            return port.LastFailure().fault != PortFault::Connecting;
        },
        ConnectPatience);
    if (!port.Active()) {
        const ProgramTexts texts = ProgramTexts::forLanguage(line.language, packFolder_);
        err_ << Program << LanguagePack::forDisplay(LinkTexts::reason(texts, line.port, port.LastFailure())) << '\n';
        return PortFailed;
    }

    AnswerLamps lamps;
    const std::uint8_t id = line.id;
    KeyExchange exchange(
        port, id, [&lamps] { return &lamps; }, [](LinkEvent, const PortFailure&) {});
    exchange.port_timeout_tmr.setInterval(timeoutMs);
    int status = AllOk;
    for (const KeyNames::Key& key : keys) {
        lamps.last = LampDisplay::LampsOff;
        exchange.SendKey(key.code);
        // The exchange's reply time-out ends the wait when nothing else does; the bound is a backstop.
        mainLoop().runUntil([&] { return exchange.Tag() != KeyExchange::AwaitingReply; },
                            std::chrono::milliseconds(timeoutMs) + std::chrono::seconds(5));
        const Answer answer = answerShownBy(lamps.last);
        status = std::max(status, statusFor(answer));
        if (!quiet) out_ << key.label << ": " << wordsFor(answer) << std::endl;
    }
    return status;
}
