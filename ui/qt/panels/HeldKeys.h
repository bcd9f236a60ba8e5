#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <optional>

class PanelImage;

// The panel's keys held down, turning the keyboard's presses and releases into presses and releases
// of buttons: one press per physical press, whatever the keyboard repeats meanwhile. Some platforms
// (X11 without detectable auto-repeat) report a repeat as a plain release and press with the same
// time stamp, and the press may come a little after the release: a release therefore waits a moment
// for such a press before it counts.
class HeldKeys : public QObject {
public:
    using ButtonHandler = std::function<void(PanelImage& button)>;

    HeldKeys(ButtonHandler pressed, ButtonHandler released, QObject* parent = nullptr);

    // A press of a key not held yet presses the button it works (none: the key is not the panel's);
    // a press of a held key is the keyboard repeating. False when the key is none of the panel's.
    bool press(int key, quint64 timestamp, bool autoRepeat, PanelImage* button);
    // False when the key holds no button.
    bool release(int key, quint64 timestamp, bool autoRepeat);
    // The buttons come up without acting: their releases will not come.
    void letGo(const ButtonHandler& shownReleased);

private:
    struct Hold {
        PanelImage* button;
        std::optional<quint64> releasedAt;
    };

    void completeReleases();
    void complete(int key);

    ButtonHandler pressed_;
    ButtonHandler released_;
    std::map<int, Hold> held_;
    QTimer releaseWait_;
};
