#pragma once

#include <QGuiApplication>
#include <QString>

// Which window system the program runs on. On Wayland itself (not X11 through Xwayland) the
// compositor places the windows and reports no position, decides which windows stay on top, and
// raises a window only for an activation token.
namespace WindowSystem {

inline bool isWaylandItself() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace WindowSystem
