#include "app/OneInstance.h"
#include "app/ProgramForms.h"
#include "app/ProgramIcon.h"
#include "app/SignalExit.h"
#include "base/Messages.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumevanta"));
    QApplication::setWindowIcon(programIcon());
    // The program lives on while its panel hides in the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    const OneInstance instance(QCoreApplication::applicationFilePath());
    if (instance.AlreadyRunning()) {
        Messages::show(QStringLiteral("Программа уже запущена"), instance.name(), Messages::Icon::Error);
        return 1;
    }

    ProgramForms forms;
    // A logout, kill or Ctrl+C ends the program as the close key does: placement saved, port released.
    const SignalExit exitOnSignal([&forms] { forms.basic->ExitProgram(); });
    forms.basic->show();
    return QApplication::exec();
}
