#pragma once

#include <QString>

#include <functional>

// Modal message boxes with fixed texts. Tests put a recorder in place of the real boxes.
namespace Messages {

enum class Icon { None, Error };
using Presenter = std::function<void(const QString& text, const QString& caption, Icon icon)>;

void show(const QString& text, const QString& caption, Icon icon = Icon::None);

// Replaces how messages are shown and returns the previous presenter.
Presenter setPresenter(Presenter presenter);

} // namespace Messages
