#pragma once

#include <QString>

#include <functional>

// Message boxes with fixed texts, modal unless they are notices. Each is also written as one line to
// the log (stderr), so a terminal or the journal has what the user was told. Tests put recorders in
// place of both.
namespace Messages {

enum class Icon { None, Error, Information };
using Presenter = std::function<void(const QString& text, const QString& caption, Icon icon)>;
using Log = std::function<void(const QString& line)>;

void show(const QString& text, const QString& caption, Icon icon = Icon::None);

// One line for the log, for what needs saying without a box.
void log(const QString& line);

// A box as one log line: the caption, then the text with its line breaks folded to " / ".
QString oneLine(const QString& text, const QString& caption);

// Replace how messages are shown and logged; each returns the previous one.
Presenter setPresenter(Presenter presenter);
Log setLog(Log log);

// A notice that does not block: the program goes on while it is on screen, and a newer notice
// takes the place of one still shown.
void notify(const QString& text, const QString& caption);
Presenter setNoticePresenter(Presenter presenter);

} // namespace Messages
