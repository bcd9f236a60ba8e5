#include "app/BuildInfo.h"
#include "app/CommandLine.h"
#include "app/InstanceChannel.h"
#include "app/OneInstance.h"
#include "app/ProgramForms.h"
#include "app/SessionBus.h"
#include "app/SignalExit.h"
#include "base/CoreText.h"
#include "base/Messages.h"
#include "model/DeviceTypes.h"
#include "panels/PanelPictures.h"
#include "settings/ConfigFolder.h"
#include "settings/DesktopLanguage.h"
#include "settings/LanguagePack.h"
#include "settings/OptionsFile.h"
#include "settings/ProgramTexts.h"

#include <QApplication>

#include <iostream>
#include <string>
#include <vector>

namespace {

// The panel the stored options ask for, if any.
std::optional<PanelLayout> storedPanelLayout() {
    const auto text = OptionsFile::read(ConfigFolder::optionsFile());
    return text ? layoutForDeviceType(OptionsFile::parse(*text).deviceType) : std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    // Before the application object, which needs a display: --help and --version work anywhere.
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const CommandLine::Parsed parsed = CommandLine::parse(args);
    if (parsed.outcome != CommandLine::Outcome::Run) return CommandLine::report(parsed, std::cout, std::cerr);

    // Before the application object and its threads: a desktop bus that never answers must not keep
    // the panel from the screen. A second or so is what a busy desktop may take.
    SessionBus::keepAwayIfSilent(std::chrono::milliseconds(1000));
    // The launcher's token for this start, taken before Qt's Wayland platform uses it up: a second
    // start hands it on so that the running copy may take the focus.
    const QString launchToken = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    // Qt reads the platform from its arguments; one is added there when the session calls for it.
    // Its pictures are decoded while Qt connects to the display, on the machine's other core.
    EarlyPictures earlyPictures(storedPanelLayout());
    std::vector<char*> qtArgs(argv, argv + argc);
    std::string platformOption = "-platform";
    std::string platform = CommandLine::defaultPlatform(parsed, CommandLine::sessionFromEnvironment());
    if (!platform.empty()) qtArgs.insert(qtArgs.begin() + 1, {platformOption.data(), platform.data()});
    int qtArgc = static_cast<int>(qtArgs.size());
    qtArgs.push_back(nullptr);
    QApplication app(qtArgc, qtArgs.data());
    // The X11 window class, which the desktop entry's StartupWMClass names.
    QApplication::setApplicationName(QStringLiteral("Lumevanta"));
    QApplication::setApplicationVersion(QString::fromLatin1(BuildInfo::Version));
    // Wayland ties the windows to the desktop entry by this name.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(BuildInfo::AppId));
    // The program lives on while its panel hides in the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    const OneInstance instance(QCoreApplication::applicationFilePath());
    if (instance.AlreadyRunning()) {
        InstanceChannel::askToComeForward(instance.folder(), instance.name(), 2000, launchToken);
        // Said in the language the running copy speaks.
        const ProgramTexts texts =
            ProgramTexts::forLanguage(DesktopLanguage::startLanguage(), LanguagePack::packFolder());
        Messages::show(shownText(texts.text(TextId::AlreadyRunning)), QGuiApplication::applicationDisplayName(),
                       Messages::Icon::Information);
        return 1;
    }

    ProgramForms forms;
    forms.basic->useEarlyPictures(std::move(earlyPictures));
    // A logout, kill or Ctrl+C ends the program as the close key does: placement saved, port released.
    const SignalExit exitOnSignal([&forms] { forms.basic->ExitProgram(); });
    InstanceChannel channel(instance.folder(), instance.name());
    channel.onComeForward = [&forms](const QString& token) { forms.basic->BringForward(token); };
    // The loading window is not shown: start-up, due at the same moment as its hiding, hides it before
    // it could be drawn, and a window made and mapped only to be unmapped costs the panel 3 ms.
    return QApplication::exec();
}
