#include "link/SerialLink.h"

#include "link/Win32SerialDevice.h"

DeviceOpener TSerialLink::defaultOpener() {
    return &Win32SerialDevice::open;
}
