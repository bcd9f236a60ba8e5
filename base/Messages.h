#pragma once

#include <QString>

#include <functional>

// Message boxes with fixed texts, modal unless they are notices. Tests put a recorder in place of the real boxes.
namespace Messages {

enum class Icon { None, Error };
using Presenter = std::function<void(const QString& text, const QString& caption, Icon icon)>;

void show(const QString& text, const QString& caption, Icon icon = Icon::None);

// Replaces how messages are shown and returns the previous presenter.
Presenter setPresenter(Presenter presenter);

// A notice that does not block: the program goes on while it is on screen, and a newer notice
// takes the place of one still shown.
void notify(const QString& text, const QString& caption);
Presenter setNoticePresenter(Presenter presenter);

} // namespace Messages
