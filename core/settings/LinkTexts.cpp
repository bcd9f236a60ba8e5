#include "settings/LinkTexts.h"

#include <cstring>

namespace LinkTexts {
namespace {

QString named(const std::string& portName, const PortFailure& failure) {
    const QString name = QString::fromStdString(portName);
    if (failure.devicePath.empty() || failure.devicePath == portName) return name;
    return QStringLiteral("%1 (%2)").arg(name, QString::fromStdString(failure.devicePath));
}

QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString reason(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure) {
    const QString name = named(portName, failure);
    switch (failure.fault) {
    case PortFault::None:
        return {};
    case PortFault::NoDevice:
        return texts.text(TextId::ReasonNoDevice).arg(name);
    case PortFault::PermissionDenied:
        // No group that would help (root's, or one without read and write): joining one is no advice.
        if (failure.group.empty()) return texts.text(TextId::ReasonOwnerOnly).arg(name);
        return texts.text(TextId::ReasonPermission)
            .arg(name, QString::fromStdString(failure.group), QString::fromStdString(failure.user));
    case PortFault::InUse:
        return texts.text(TextId::ReasonInUse).arg(name);
    case PortFault::NotSerial:
        return texts.text(TextId::ReasonNotSerial).arg(name);
    case PortFault::BadSpeed:
        return texts.text(TextId::ReasonBadSpeed).arg(name).arg(failure.speed);
    case PortFault::Other:
        break;
    }
    return texts.text(TextId::ReasonOther).arg(name, systemText(failure.error));
}

QString shortReason(const ProgramTexts& texts, const PortFailure& failure) {
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
        return texts.text(TextId::ReasonBadSpeedShort).arg(failure.speed);
    case PortFault::Other:
        break;
    }
    return systemText(failure.error);
}

QString connectError(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure) {
    return texts.text(TextId::ConnectError) + QLatin1Char('\n') + reason(texts, portName, failure);
}

QString connectionLost(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure) {
    return texts.text(TextId::ConnectionLost).arg(QString::fromStdString(portName), shortReason(texts, failure));
}

QString state(const ProgramTexts& texts, const std::string& portName, const PortFailure& failure) {
    const QString name = QString::fromStdString(portName);
    if (!failure.failed()) return texts.text(TextId::TrayConnected).arg(name);
    return texts.text(TextId::TrayDisconnected).arg(name, shortReason(texts, failure));
}

} // namespace LinkTexts
