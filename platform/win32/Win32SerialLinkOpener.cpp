#include "link/SerialLink.h"

#include "win32/Win32SerialDevice.h"

DeviceOpener TSerialLink::defaultOpener() {
    return &Win32SerialDevice::open;
}
