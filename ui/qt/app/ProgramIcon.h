#pragma once

#include <QIcon>
#include <QImage>

#include <array>

// The program's icon: a small dark recorder face with its four lamps. The same painting makes the
// icon the windows and the tray show and the files a desktop's icon theme gets at install time.
inline constexpr std::array<int, 8> ProgramIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

QImage paintProgramIcon(int size);
// Painted on the first call, and shared after.
QIcon programIcon();
