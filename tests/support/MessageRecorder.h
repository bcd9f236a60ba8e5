#pragma once

#include "base/Messages.h"

#include <QString>

#include <functional>
#include <vector>

// Collects the message boxes and notices shown, and the lines logged, during its life instead of
// showing them.
class MessageRecorder {
public:
    struct Shown {
        QString text;
        QString caption;
        Messages::Icon icon;
    };

    MessageRecorder()
        : previous_(Messages::setPresenter([this](const QString& text, const QString& caption, Messages::Icon icon) {
              shown.push_back({text, caption, icon});
              if (onShow) onShow();
          })),
          previousNotices_(
              Messages::setNoticePresenter([this](const QString& text, const QString& caption, Messages::Icon icon) {
                  notices.push_back({text, caption, icon});
              })),
          previousLog_(Messages::setLog([this](const QString& line) { logged.push_back(line); })) {}
    ~MessageRecorder() {
        Messages::setPresenter(previous_);
        Messages::setNoticePresenter(previousNotices_);
        Messages::setLog(previousLog_);
    }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<Shown> shown;
    std::vector<Shown> notices;
    std::vector<QString> logged;
    std::function<void()> onShow;

private:
    Messages::Presenter previous_;
    Messages::Presenter previousNotices_;
    Messages::Log previousLog_;
};
