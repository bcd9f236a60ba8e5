#include "cli/SendArguments.h"
#include "sender/KeySender.h"

#include "base/MainLoop.h"
#include "win32/WideText.h"

#include <windows.h>

#include <iostream>
#include <string>
#include <vector>

namespace {

// Our texts are UTF-8; the console shows them as such while we run and gets its own code page back.
class Utf8Console {
public:
    Utf8Console() : previous_(GetConsoleOutputCP()) {
        if (previous_ != 0) SetConsoleOutputCP(CP_UTF8);
    }
    ~Utf8Console() {
        if (previous_ != 0) SetConsoleOutputCP(previous_);
    }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    UINT previous_;
};

} // namespace

int wmain(int argc, wchar_t* argv[]) {
    // The wide command line, so that a port or key name outside the code page arrives as typed.
    std::vector<std::string> texts;
    for (int i = 1; i < argc; ++i)
        texts.push_back(narrowed(argv[i]));
    const std::vector<std::string_view> args(texts.begin(), texts.end());
    const Utf8Console console;
    // The exchange's timers and the link's hand-offs come as messages of this thread.
    mainLoop();
    return KeySender(std::cout, std::cerr).run(parseSendArguments(args));
}
