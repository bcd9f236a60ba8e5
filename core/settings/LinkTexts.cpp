#include "settings/LinkTexts.h"

namespace LinkTexts {
namespace {

std::string named(const std::string& portName, const PortFailure& failure) {
    if (failure.devicePath.empty() || failure.devicePath == portName) return portName;
    return portName + " (" + failure.devicePath + ")";
}

} // namespace

std::string reason(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure) {
    const std::string name = named(portName, failure);
    switch (failure.fault) {
    case PortFault::None:
        return {};
    case PortFault::NoDevice:
        return texts.text(TextId::ReasonNoDevice, {name});
    case PortFault::PermissionDenied:
        // No group that would help (root's, or one without read and write): joining one is no advice.
        if (failure.group.empty()) return texts.text(TextId::ReasonOwnerOnly, {name});
        return texts.text(TextId::ReasonPermission, {name, failure.group, failure.user});
    case PortFault::InUse:
        return texts.text(TextId::ReasonInUse, {name});
    case PortFault::NotSerial:
        return texts.text(TextId::ReasonNotSerial, {name});
    case PortFault::BadSpeed:
        return texts.text(TextId::ReasonBadSpeed, {name, std::to_string(failure.speed)});
    case PortFault::Connecting:
        return texts.text(TextId::ReasonConnecting, {name});
    case PortFault::BadAddress:
        return texts.text(TextId::ReasonBadAddress, {name});
    case PortFault::Unresolved:
        return texts.text(TextId::ReasonUnresolved, {name});
    case PortFault::Refused:
        return texts.text(TextId::ReasonRefused, {name});
    case PortFault::Unreachable:
        return texts.text(TextId::ReasonUnreachable, {name});
    case PortFault::Disconnected:
        return texts.text(TextId::ReasonDisconnected, {name});
    case PortFault::OptionRefused:
        return texts.text(TextId::ReasonOptionRefused, {name});
    case PortFault::Other:
        break;
    }
    return texts.text(TextId::ReasonOther, {name, systemErrorText(failure.error)});
}

std::string shortReason(const ProgramTexts& texts, const PortFailure& failure) {
    switch (failure.fault) {
    case PortFault::None:
        return {};
    case PortFault::NoDevice:
        return texts.text(TextId::ReasonNoDeviceShort);
    case PortFault::PermissionDenied:
        return texts.text(TextId::ReasonPermissionShort);
    case PortFault::InUse:
        return texts.text(TextId::ReasonInUseShort);
    case PortFault::NotSerial:
        return texts.text(TextId::ReasonNotSerialShort);
    case PortFault::BadSpeed:
        return texts.text(TextId::ReasonBadSpeedShort, {std::to_string(failure.speed)});
    case PortFault::Connecting:
        return texts.text(TextId::ReasonConnectingShort);
    case PortFault::BadAddress:
        return texts.text(TextId::ReasonBadAddressShort);
    case PortFault::Unresolved:
        return texts.text(TextId::ReasonUnresolvedShort);
    case PortFault::Refused:
        return texts.text(TextId::ReasonRefusedShort);
    case PortFault::Unreachable:
        return texts.text(TextId::ReasonUnreachableShort);
    case PortFault::Disconnected:
        return texts.text(TextId::ReasonDisconnectedShort);
    case PortFault::OptionRefused:
        return texts.text(TextId::ReasonOptionRefusedShort);
    case PortFault::Other:
        break;
    }
    return systemErrorText(failure.error);
}

std::string connectError(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure) {
    return texts.text(TextId::ConnectError) + '\n' + reason(texts, portName, failure);
}

std::string connectionLost(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure) {
    return texts.text(TextId::ConnectionLost, {portName, shortReason(texts, failure)});
}

std::string state(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure) {
    if (!failure.failed()) return texts.text(TextId::TrayConnected, {portName});
    return texts.text(TextId::TrayDisconnected, {portName, shortReason(texts, failure)});
}

std::string stateTip(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure) {
    return "Lumevanta — " + state(texts, portName, failure);
}

} // namespace LinkTexts
