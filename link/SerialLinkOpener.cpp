#include "link/SerialLink.h"

#include "link/PosixSerialDevice.h"

DeviceOpener TSerialLink::defaultOpener() {
    return &PosixSerialDevice::open;
}
