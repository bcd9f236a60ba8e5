#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

// The program's own options, checked before the application object exists so that --help and
// --version work without a display. Qt's own options (-platform, -style, ...) are let through for
// QApplication to take.
namespace CommandLine {

enum class Outcome { Run, ShowHelp, ShowVersion, Invalid };

struct Parsed {
    Outcome outcome = Outcome::Run;
    std::string error{};        // one line, for Invalid
    bool platformGiven = false; // -platform NAME
};

// What the environment says of the desktop session, as far as the choice of Qt's platform goes.
struct Session {
    bool waylandDisplay = false;   // WAYLAND_DISPLAY
    bool x11Display = false;       // DISPLAY: on a Wayland session, Xwayland is offered
    bool platformVariable = false; // QT_QPA_PLATFORM
};
Session sessionFromEnvironment();

// The platform to ask Qt for when the user named none: X11 (Xwayland) on a Wayland session that
// offers it, as a Wayland client may not place its windows, keep one above others or raise one
// from another process; Wayland itself should Xwayland fail to come up. Empty: Qt chooses.
std::string defaultPlatform(const Parsed& parsed, const Session& session);

// Takes the arguments without the program name.
Parsed parse(std::span<const std::string_view> args);

std::string usage();
std::string versionLine();

// Prints what an outcome other than Run asks for and returns the process's exit status.
int report(const Parsed& parsed, std::ostream& out, std::ostream& err);

} // namespace CommandLine
