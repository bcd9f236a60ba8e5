#include "link/SerialLink.h"

#include "link/NetworkLineOpener.h"
#include "posix/PosixSerialDevice.h"

DeviceOpener TSerialLink::defaultOpener() {
    return withNetworkLines(&PosixSerialDevice::open);
}
