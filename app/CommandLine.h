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
    std::string error{}; // one line, for Invalid
};

// Takes the arguments without the program name.
Parsed parse(std::span<const std::string_view> args);

std::string usage();
std::string versionLine();

// Prints what an outcome other than Run asks for and returns the process's exit status.
int report(const Parsed& parsed, std::ostream& out, std::ostream& err);

} // namespace CommandLine
