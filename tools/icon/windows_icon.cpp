// Writes the program's icon as a Windows icon file, at the sizes Windows asks for at 100% to 250%
// scaling, for the Windows build's resources:
//   windows-icon FILE.ico
#include "IcoFile.h"
#include "app/ProgramIcon.h"

#include <QFile>
#include <QString>

#include <cstdio>

namespace {

constexpr int WindowsIconSizes[] = {16, 20, 24, 32, 40, 48, 64, 256};

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("Usage: windows-icon FILE.ico\n", stderr);
        return 2;
    }
    std::vector<QImage> images;
    for (int size : WindowsIconSizes)
        images.push_back(paintProgramIcon(size));
    QFile file(QString::fromLocal8Bit(argv[1]));
    const QByteArray bytes = icoFile(images);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "windows-icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
