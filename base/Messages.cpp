#include "base/Messages.h"

#include <QMessageBox>
#include <QPointer>

namespace Messages {
namespace {

void showBox(const QString& text, const QString& caption, Icon icon) {
    QMessageBox box(icon == Icon::Error ? QMessageBox::Critical : QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.exec();
}

void showNotice(const QString& text, const QString& caption, Icon icon) {
    static QPointer<QMessageBox> shown;
    if (!shown) {
        shown = new QMessageBox(icon == Icon::Error ? QMessageBox::Warning : QMessageBox::Information, caption, text,
                                QMessageBox::Ok);
        shown->setAttribute(Qt::WA_DeleteOnClose);
        shown->setWindowModality(Qt::NonModal);
    }
    shown->setWindowTitle(caption);
    shown->setText(text);
    shown->show();
}

Presenter& presenter() {
    static Presenter current = showBox;
    return current;
}

Presenter& noticePresenter() {
    static Presenter current = showNotice;
    return current;
}

} // namespace

void show(const QString& text, const QString& caption, Icon icon) {
    presenter()(text, caption, icon);
}

Presenter setPresenter(Presenter replacement) {
    return std::exchange(presenter(), std::move(replacement));
}

void notify(const QString& text, const QString& caption) {
    noticePresenter()(text, caption, Icon::Error);
}

Presenter setNoticePresenter(Presenter replacement) {
    return std::exchange(noticePresenter(), std::move(replacement));
}

} // namespace Messages
