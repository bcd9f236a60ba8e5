#include "link/SerialLink.h"

#include "link/NetworkLineOpener.h"
#include "win32/Win32SerialDevice.h"

DeviceOpener TSerialLink::defaultOpener() {
    return withNetworkLines(&Win32SerialDevice::open);
}
