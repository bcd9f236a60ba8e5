#include "InstanceWindow.h"
#include "Messages.h"
#include "OneInstance.h"
#include "basic_unit.h"

#include "base/MainLoop.h"
#include "settings/DesktopLanguage.h"
#include "settings/LanguagePack.h"
#include "settings/ProgramTexts.h"
#include "win32/WideText.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before any window: a second copy of the same program file says so and ends.
    const OneInstance instance(OneInstance::programPath());
    if (instance.AlreadyRunning()) {
        // The running copy's panel (or its dialog) comes to the front, then this one says why it ends.
        InstanceWindow::askToComeForward(instance.name());
        // Said in the language the running copy speaks.
        const ProgramTexts texts =
            ProgramTexts::forLanguage(DesktopLanguage::startLanguage(), LanguagePack::packFolder());
        Messages::show(texts.text(TextId::AlreadyRunning), narrowed(instance.name()), Messages::Icon::Error);
        return 1;
    }
    // The loop's posted work and timers come as messages of this thread, so it belongs to it.
    mainLoop();
    Tbasic basic;
    const InstanceWindow listener(instance.name(), [&basic] { basic.BringForward(); });
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (basic.preferencesMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
