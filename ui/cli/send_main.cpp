#include "cli/SendArguments.h"
#include "sender/KeySender.h"

#include <QCoreApplication>

#include <iostream>
#include <vector>

int main(int argc, char* argv[]) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    // For the exchange's timers; no window and no display.
    QCoreApplication app(argc, argv);
    return KeySender(std::cout, std::cerr).run(parseSendArguments(args));
}
