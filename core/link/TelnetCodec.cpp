#include "link/TelnetCodec.h"

namespace {

// A subnegotiation longer than any COM-port answer is cut, so a server cannot make us hold its stream.
constexpr std::size_t MaxSubnegotiation = 64;

bool weEnable(std::uint8_t code) {
    return code == Telnet::Binary || code == Telnet::SuppressGoAhead || code == Telnet::ComPortOption;
}

// Echo is refused on purpose: our own frame coming back would read as the recorder's answer.
bool theyEnable(std::uint8_t code) {
    return code == Telnet::Binary || code == Telnet::SuppressGoAhead;
}

void command(std::vector<std::uint8_t>& out, std::uint8_t verb, std::uint8_t code) {
    out.insert(out.end(), {Telnet::Iac, verb, code});
}

} // namespace

std::vector<std::uint8_t> TelnetCodec::offerComPort() {
    if (comPort_ == ComPortState::NotAsked) comPort_ = ComPortState::Asked;
    return {Telnet::Iac, Telnet::Will, Telnet::ComPortOption};
}

void TelnetCodec::encodeData(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& wire) {
    for (const std::uint8_t byte : data) {
        wire.push_back(byte);
        if (byte == Telnet::Iac) wire.push_back(byte);
    }
}

std::vector<std::uint8_t> TelnetCodec::comPortRequest(std::uint8_t command, std::span<const std::uint8_t> value) {
    std::vector<std::uint8_t> wire{Telnet::Iac, Telnet::Sb, Telnet::ComPortOption, command};
    encodeData(value, wire);
    wire.insert(wire.end(), {Telnet::Iac, Telnet::Se});
    return wire;
}

void TelnetCodec::decode(std::span<const std::uint8_t> wire, std::vector<std::uint8_t>& data,
                         std::vector<std::uint8_t>& replies) {
    for (const std::uint8_t byte : wire) {
        switch (phase_) {
        case Phase::Data:
            if (byte == Telnet::Iac)
                phase_ = Phase::Command;
            else
                data.push_back(byte);
            break;
        case Phase::Command:
            phase_ = Phase::Data;
            if (byte == Telnet::Iac) {
                data.push_back(byte);
            } else if (byte >= Telnet::Will) {
                verb_ = byte;
                phase_ = Phase::Option;
            } else if (byte == Telnet::Sb) {
                sub_.clear();
                phase_ = Phase::Sub;
            } // NOP, go-ahead, data mark and the like mean nothing on a serial line
            break;
        case Phase::Option:
            option(verb_, byte, replies);
            phase_ = Phase::Data;
            break;
        case Phase::Sub:
            if (byte == Telnet::Iac)
                phase_ = Phase::SubIac;
            else if (sub_.size() < MaxSubnegotiation)
                sub_.push_back(byte);
            break;
        case Phase::SubIac:
            if (byte == Telnet::Iac) {
                if (sub_.size() < MaxSubnegotiation) sub_.push_back(byte);
                phase_ = Phase::Sub;
            } else {
                // IAC SE ends it; anything else after IAC is a broken one, dropped unread.
                if (byte == Telnet::Se) subnegotiation();
                phase_ = Phase::Data;
            }
            break;
        }
    }
}

void TelnetCodec::option(std::uint8_t verb, std::uint8_t code, std::vector<std::uint8_t>& replies) {
    const bool comPort = code == Telnet::ComPortOption;
    switch (verb) {
    case Telnet::Will:
        if (theirs_[code]) return;
        theirs_[code] = theyEnable(code);
        command(replies, theirs_[code] ? Telnet::Do : Telnet::Dont, code);
        break;
    case Telnet::Wont:
        if (!theirs_[code]) return;
        theirs_[code] = false;
        command(replies, Telnet::Dont, code);
        break;
    case Telnet::Do:
        if (ours_[code]) return;
        ours_[code] = weEnable(code);
        if (comPort) {
            // Our offer already said WILL; agreeing again would start a loop.
            if (comPort_ != ComPortState::Asked) command(replies, Telnet::Will, code);
            comPort_ = ComPortState::Accepted;
        } else {
            command(replies, ours_[code] ? Telnet::Will : Telnet::Wont, code);
        }
        break;
    case Telnet::Dont:
        if (comPort) comPort_ = ComPortState::Refused;
        if (!ours_[code]) return;
        ours_[code] = false;
        command(replies, Telnet::Wont, code);
        break;
    default:
        break;
    }
}

void TelnetCodec::subnegotiation() {
    if (sub_.size() < 2 || sub_[0] != Telnet::ComPortOption || sub_[1] < ComPort::ServerReply) return;
    const std::size_t command = sub_[1] - ComPort::ServerReply;
    if (command >= answers_.size()) return;
    std::vector<std::uint8_t> value(sub_.begin() + 2, sub_.end());
    if (command == ComPort::NotifyModemState && !value.empty()) modemState_ = value.front();
    answers_[command] = std::move(value);
}

const std::optional<std::vector<std::uint8_t>>& TelnetCodec::answer(std::uint8_t command) const {
    static const std::optional<std::vector<std::uint8_t>> none;
    return command < answers_.size() ? answers_[command] : none;
}

void TelnetCodec::forget(std::uint8_t command) {
    if (command < answers_.size()) answers_[command].reset();
}
