#include "app/BuildInfo.h"
#include "app/CommandLine.h"
#include "app/InstanceChannel.h"
#include "app/OneInstance.h"
#include "app/ProgramForms.h"
#include "app/ProgramIcon.h"
#include "app/SessionBus.h"
#include "app/SignalExit.h"
#include "base/Messages.h"
#include "settings/DesktopLanguage.h"
#include "settings/LanguagePack.h"
#include "settings/ProgramTexts.h"

#include <QApplication>

#include <iostream>
#include <vector>

int main(int argc, char* argv[]) {
    // Before the application object, which needs a display: --help and --version work anywhere.
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const CommandLine::Parsed parsed = CommandLine::parse(args);
    if (parsed.outcome != CommandLine::Outcome::Run) return CommandLine::report(parsed, std::cout, std::cerr);

    // Before the application object and its threads: a desktop bus that never answers must not keep
    // the panel from the screen. A second or so is what a busy desktop may take.
    SessionBus::keepAwayIfSilent(std::chrono::milliseconds(1000));
    QApplication app(argc, argv);
    // The X11 window class, which the desktop entry's StartupWMClass names.
    QApplication::setApplicationName(QStringLiteral("Lumevanta"));
    QApplication::setApplicationVersion(QString::fromLatin1(BuildInfo::Version));
    // Wayland ties the windows to the desktop entry by this name.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(BuildInfo::AppId));
    QApplication::setWindowIcon(programIcon());
    // The program lives on while its panel hides in the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    const OneInstance instance(QCoreApplication::applicationFilePath());
    if (instance.AlreadyRunning()) {
        InstanceChannel::askToComeForward(instance.folder(), instance.name());
        // Said in the language the running copy speaks.
        const ProgramTexts texts =
            ProgramTexts::forLanguage(DesktopLanguage::startLanguage(), LanguagePack::packFolder());
        Messages::show(LanguagePack::forDisplay(texts.text(TextId::AlreadyRunning)), instance.name(),
                       Messages::Icon::Error);
        return 1;
    }

    ProgramForms forms;
    // A logout, kill or Ctrl+C ends the program as the close key does: placement saved, port released.
    const SignalExit exitOnSignal([&forms] { forms.basic->ExitProgram(); });
    InstanceChannel channel(instance.folder(), instance.name());
    channel.onComeForward = [&forms] { forms.basic->BringForward(); };
    forms.basic->show();
    return QApplication::exec();
}
