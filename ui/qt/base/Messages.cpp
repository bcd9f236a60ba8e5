#include "base/Messages.h"

#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>

#include <cstdio>
#include <utility>

namespace Messages {
namespace {

QMessageBox::Icon boxIcon(Icon icon) {
    switch (icon) {
    case Icon::Error:
        return QMessageBox::Critical;
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void showBox(const QString& text, const QString& caption, Icon icon) {
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok);
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

void toStderr(const QString& line) {
    std::fputs(("lumevanta: " + line + '\n').toUtf8().constData(), stderr);
    std::fflush(stderr);
}

Presenter& presenter() {
    static Presenter current = showBox;
    return current;
}

Presenter& noticePresenter() {
    static Presenter current = showNotice;
    return current;
}

Log& logger() {
    static Log current = toStderr;
    return current;
}

} // namespace

void show(const QString& text, const QString& caption, Icon icon) {
    log(oneLine(text, caption));
    presenter()(text, caption, icon);
}

void log(const QString& line) {
    logger()(line);
}

QString oneLine(const QString& text, const QString& caption) {
    static const QRegularExpression breaks(QStringLiteral("\\s*(\r\n|\r|\n)+\\s*"));
    QString folded = text.trimmed();
    folded.replace(breaks, QStringLiteral(" / "));
    return caption.isEmpty() ? folded : caption + QStringLiteral(": ") + folded;
}

Presenter setPresenter(Presenter replacement) {
    return std::exchange(presenter(), std::move(replacement));
}

void notify(const QString& text, const QString& caption) {
    log(oneLine(text, caption));
    noticePresenter()(text, caption, Icon::Error);
}

Presenter setNoticePresenter(Presenter replacement) {
    return std::exchange(noticePresenter(), std::move(replacement));
}

Log setLog(Log replacement) {
    return std::exchange(logger(), std::move(replacement));
}

} // namespace Messages
