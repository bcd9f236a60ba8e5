#include "exchange/LampDisplays.h"

namespace {

constexpr LampStep lampsOff[] = {{Lamp::Busy, false}, {Lamp::Work, false}, {Lamp::Ok, false}, {Lamp::NoLine, false}};
constexpr LampStep sending[] = {{Lamp::Busy, false}, {Lamp::Work, true}, {Lamp::Ok, false}, {Lamp::NoLine, false}};
constexpr LampStep ok[] = {{Lamp::Work, false}, {Lamp::Ok, true}};
constexpr LampStep busy[] = {{Lamp::Busy, true}, {Lamp::Work, false}};
constexpr LampStep noLine[] = {{Lamp::Work, false}, {Lamp::NoLine, true}};

} // namespace

std::span<const LampStep> lampSteps(LampDisplay display) {
    switch (display) {
    case LampDisplay::LampsOff:
        return lampsOff;
    case LampDisplay::ShowSending:
        return sending;
    case LampDisplay::ShowOk:
        return ok;
    case LampDisplay::ShowBusy:
        return busy;
    case LampDisplay::ShowNoLine:
        return noLine;
    }
    return {};
}
