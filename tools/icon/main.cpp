// Writes the program's icon into an icon-theme tree, one PNG per size:
//   program-icon OUTPUT_FOLDER NAME  ->  OUTPUT_FOLDER/<size>x<size>/apps/NAME.png
#include "app/ProgramIcon.h"

#include <QDir>
#include <QString>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fputs("Usage: program-icon OUTPUT_FOLDER NAME\n", stderr);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int size : ProgramIconSizes) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(folder, name);
        if (!QDir().mkpath(folder) || !paintProgramIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "program-icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
