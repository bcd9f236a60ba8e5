#pragma once

#include "link/SerialLink.h"

// How the key exchange wants its port set up, for every program that sends key frames: received
// bytes handed on as soon as they are there, and no write time-out of the link's own, since the
// exchange bounds the wait for every byte itself.
void prepareForKeyExchange(TSerialLink& port);
