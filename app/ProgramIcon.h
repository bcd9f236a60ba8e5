#pragma once

#include <QIcon>

// The program's icon: a small dark recorder face with its four lamps, painted at the sizes trays use.
QIcon programIcon();
