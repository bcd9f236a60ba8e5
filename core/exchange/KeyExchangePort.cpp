#include "exchange/KeyExchangePort.h"

void prepareForKeyExchange(TSerialLink& port) {
    port.setRTOCharDelayTime(0);
    port.setRTOExtraDelayTime(0);
    port.setWTOCharDelayTime(0);
    port.setWTOExtraDelayTime(0);
    port.setErrorNoise(255);
    port.setThreadQuietMode(false);
}
