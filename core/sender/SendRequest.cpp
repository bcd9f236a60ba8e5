#include "sender/SendRequest.h"

std::string sendUsage() {
    return "Usage: lumevanta-send [--port NAME] [--speed N] [--id N] [--model TYPE] [--timeout MS] [--quiet] KEY...\n"
           "       lumevanta-send --list [--model TYPE]\n"
           "\n"
           "Sends each KEY to the recorder as the panel would, waits for its answer and prints it.\n"
           "KEY is a key's name as --list shows it (play, ch01, menu; any case) or a key code\n"
           "(0x31 or 49). Settings not given come from the program's options.ini.\n"
           "\n"
           "  --port NAME    serial port: COM1, ttyUSB0, a device path, rfc2217://HOST:PORT or tcp://HOST:PORT\n"
           "  --speed N      line speed in baud\n"
           "  --id N         recorder ID, 0 to 255\n"
           "  --model TYPE   recorder model, which decides the key names (BRW721, CALVO942, ...)\n"
           "  --timeout MS   how long to wait for each answer; 1500 by default\n"
           "  --quiet        print nothing but errors\n"
           "  --list         print the model's keys: name, code and PC key\n"
           "\n"
           "Exit status: 0 every key answered ok, 1 some recorder busy, 2 some key got no answer,\n"
           "3 the port could not be opened, 4 bad usage.\n";
}
