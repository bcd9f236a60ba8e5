#include "base/Messages.h"

#include <QMessageBox>

namespace Messages {
namespace {

void showBox(const QString& text, const QString& caption, Icon icon) {
    QMessageBox box(icon == Icon::Error ? QMessageBox::Critical : QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.exec();
}

Presenter& presenter() {
    static Presenter current = showBox;
    return current;
}

} // namespace

void show(const QString& text, const QString& caption, Icon icon) {
    presenter()(text, caption, icon);
}

Presenter setPresenter(Presenter replacement) {
    return std::exchange(presenter(), std::move(replacement));
}

} // namespace Messages
