#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace Telnet {
inline constexpr std::uint8_t Se = 240, Sb = 250, Will = 251, Wont = 252, Do = 253, Dont = 254, Iac = 255;
inline constexpr std::uint8_t Binary = 0, SuppressGoAhead = 3, ComPortOption = 44;
} // namespace Telnet

// RFC 2217's commands; the server answers each with the command plus ServerReply.
namespace ComPort {
inline constexpr std::uint8_t SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5,
                              NotifyModemState = 7, ServerReply = 100, CommandCount = 13;
// SET-CONTROL values.
inline constexpr std::uint8_t NoFlowControl = 1, XonXoffFlowControl = 2, HardwareFlowControl = 3, BreakOn = 5,
                              BreakOff = 6, DtrOn = 8, DtrOff = 9, RtsOn = 11, RtsOff = 12;
} // namespace ComPort

// The client's side of a telnet connection with the COM-port control option: data bytes go out with
// every 0xFF doubled, and what comes in is split into data and telnet commands. Options are agreed
// to only where a serial line needs them (binary, suppress go-ahead, the COM-port option) and refused
// otherwise, answering only changes so that two sides never loop; the server's COM-port answers are
// kept for whoever asked. Other commands are dropped, so none reaches the recorder's data.
class TelnetCodec {
public:
    enum class ComPortState { NotAsked, Asked, Accepted, Refused };

    // IAC WILL COM-PORT-OPTION, which opens every connection.
    std::vector<std::uint8_t> offerComPort();
    static void encodeData(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& wire);
    // IAC SB COM-PORT-OPTION command value IAC SE, the value's 0xFF doubled.
    static std::vector<std::uint8_t> comPortRequest(std::uint8_t command, std::span<const std::uint8_t> value);

    // Takes what came from the server: data bytes are appended to data, what we answer to replies.
    void decode(std::span<const std::uint8_t> wire, std::vector<std::uint8_t>& data,
                std::vector<std::uint8_t>& replies);

    ComPortState comPortState() const { return comPort_; }
    // The value of the server's last answer to command since it was forgotten.
    const std::optional<std::vector<std::uint8_t>>& answer(std::uint8_t command) const;
    void forget(std::uint8_t command);
    std::uint8_t modemState() const { return modemState_; }

private:
    enum class Phase { Data, Command, Option, Sub, SubIac };

    void option(std::uint8_t verb, std::uint8_t code, std::vector<std::uint8_t>& replies);
    void subnegotiation();

    Phase phase_ = Phase::Data;
    std::uint8_t verb_ = 0;
    std::vector<std::uint8_t> sub_;
    std::array<bool, 256> ours_{};   // options we have enabled
    std::array<bool, 256> theirs_{}; // options the server has enabled
    ComPortState comPort_ = ComPortState::NotAsked;
    std::array<std::optional<std::vector<std::uint8_t>>, ComPort::CommandCount> answers_;
    std::uint8_t modemState_ = 0;
};
