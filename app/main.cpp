#include "app/InstanceChannel.h"
#include "app/OneInstance.h"
#include "app/ProgramForms.h"
#include "app/ProgramIcon.h"
#include "base/Messages.h"
#include "settings/DesktopLanguage.h"
#include "settings/LanguagePack.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumevanta"));
    QApplication::setWindowIcon(programIcon());
    // The program lives on while its panel hides in the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    const OneInstance instance(QCoreApplication::applicationFilePath());
    if (instance.AlreadyRunning()) {
        InstanceChannel::askToComeForward(instance.folder(), instance.name());
        // Said in the language the running copy speaks.
        const ProgramTexts texts = Tbasic::textsFor(DesktopLanguage::startLanguage(), LanguagePack::ProgramFolder());
        Messages::show(LanguagePack::forDisplay(texts.text(TextId::AlreadyRunning)), instance.name(),
                       Messages::Icon::Error);
        return 1;
    }

    ProgramForms forms;
    InstanceChannel channel(instance.folder(), instance.name());
    channel.onComeForward = [&forms] { forms.basic->BringForward(); };
    forms.basic->show();
    return QApplication::exec();
}
