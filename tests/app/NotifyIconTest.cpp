#include "app/NotifyIcon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QStyleHints>
#include <QTest>

#include <string>
#include <vector>

namespace {

// A notification area that remembers what it was asked to do.
class FakeTrayHost : public TrayHost {
public:
    explicit FakeTrayHost(std::vector<std::string>& log) : log_(log) {}
    bool add(const IconData& data) override {
        log_.push_back("add " + data.tip.toStdString());
        const bool added = !shown_;
        shown_ = true;
        return added;
    }
    bool modify(const IconData& data) override {
        log_.push_back("modify " + data.tip.toStdString());
        return shown_;
    }
    bool remove() override {
        log_.push_back("remove");
        return std::exchange(shown_, false);
    }
    void setMenu(QMenu*) override {}
    void openMenu(QMenu*, const QPoint&) override { log_.push_back("menu"); }

private:
    std::vector<std::string>& log_;
    bool shown_ = false;
};

class Tray : public ::testing::Test {
protected:
    Tray() {
        auto fake = std::make_unique<FakeTrayHost>(log);
        host = fake.get();
        icon = std::make_unique<TNotifyIcon>(std::move(fake));
        icon->setPopupMenu(&menu);
        icon->OnClick = [this](TNotifyIcon&) { events.push_back("click"); };
        icon->OnMouseUp = [this](TNotifyIcon&, Qt::MouseButton b, const QPoint&) {
            events.push_back(b == Qt::RightButton ? "right up" : "up");
        };
        log.clear();
    }
    void feed(std::initializer_list<int> codes) {
        for (int code : codes)
            host->callback(code);
    }

    std::vector<std::string> log, events;
    QMenu menu;
    FakeTrayHost* host = nullptr;
    std::unique_ptr<TNotifyIcon> icon;
};

TEST_F(Tray, ALeftClickIsOneClickOnTheButtonUp) {
    feed({TNotifyIcon::LeftDown});
    EXPECT_TRUE(events.empty());
    feed({TNotifyIcon::LeftUp});
    EXPECT_EQ(events, (std::vector<std::string>{"click", "up"}));
    events.clear();
    feed({TNotifyIcon::LeftUp});
    EXPECT_EQ(events, std::vector<std::string>{"up"}) << "no click without a button-down on the icon";
}

TEST_F(Tray, TheRightButtonOpensTheMenuOnItsWayDown) {
    feed({TNotifyIcon::RightDown});
    EXPECT_EQ(log, std::vector<std::string>{"menu"});
    feed({TNotifyIcon::RightUp});
    EXPECT_EQ(events, std::vector<std::string>{"right up"}) << "and its release is only a button-up";
}

TEST_F(Tray, ADisabledIconIgnoresTheMouse) {
    icon->setEnabled(false);
    feed({TNotifyIcon::LeftDown, TNotifyIcon::LeftUp, TNotifyIcon::RightDown, TNotifyIcon::MouseMove});
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(log.empty());
}

TEST_F(Tray, WithADoubleClickHandlerTheClickWaitsForTheDelay) {
    int doubles = 0;
    icon->OnDblClick = [&](TNotifyIcon&) { ++doubles; };
    feed({TNotifyIcon::LeftDown, TNotifyIcon::LeftUp});
    EXPECT_EQ(events, std::vector<std::string>{"up"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return events.size() == 2; }, 3000));
    EXPECT_EQ(events.back(), "click");
    events.clear();
    feed({TNotifyIcon::LeftDown, TNotifyIcon::LeftUp, TNotifyIcon::LeftDoubleClick, TNotifyIcon::LeftUp});
    QTest::qWait(QApplication::styleHints()->mouseDoubleClickInterval() + 100);
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "click"), 0) << "a double click is no click";
}

TEST_F(Tray, TheTipIsCutTo127CharactersAndCanBeHidden) {
    icon->setHint(QString(200, 'h'));
    EXPECT_EQ(icon->PrepareIconData().tip, QString(127, 'h'));
    icon->setShowHint(false);
    EXPECT_EQ(icon->PrepareIconData().tip, "");
}

TEST_F(Tray, VisibilityAddsAndRemovesEvenTwice) {
    icon->setHint("Lumevanta");
    log.clear();
    EXPECT_FALSE(icon->IconVisible());
    icon->setIconVisible(true);
    icon->setIconVisible(true);
    EXPECT_TRUE(icon->IconVisible());
    icon->setIconVisible(false);
    icon->setIconVisible(false);
    EXPECT_FALSE(icon->IconVisible());
    EXPECT_EQ(log, (std::vector<std::string>{"add Lumevanta", "add Lumevanta", "remove", "remove"}));
}

TEST_F(Tray, ARestartedTrayGetsTheIconBackOnlyWhenItWasShown) {
    host->restarted();
    EXPECT_TRUE(log.empty());
    icon->setIconVisible(true);
    log.clear();
    host->restarted();
    EXPECT_EQ(log, std::vector<std::string>{"add "});
}

TEST_F(Tray, CyclingStepsThroughTheIconList) {
    QPixmap a(8, 8), b(8, 8);
    a.fill(Qt::red);
    b.fill(Qt::blue);
    icon->setIconList({QIcon(a), QIcon(b)});
    std::vector<int> seen;
    icon->OnCycle = [&](TNotifyIcon& i) { seen.push_back(i.IconIndex()); };
    icon->setCycleInterval(10);
    icon->setCycleIcons(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return seen.size() >= 3; }, 2000));
    icon->setCycleIcons(false);
    EXPECT_EQ(seen[0], 0);
    EXPECT_EQ(seen[1], 1);
    EXPECT_EQ(seen[2], 0);
}

} // namespace
