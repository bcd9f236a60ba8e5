#include "link/SerialLink.h"

#include "posix/PosixSerialDevice.h"

DeviceOpener TSerialLink::defaultOpener() {
    return &PosixSerialDevice::open;
}
