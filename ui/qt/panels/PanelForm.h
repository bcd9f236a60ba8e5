#pragma once

#include "exchange/LampDisplays.h"
#include "panels/HeldKeys.h"
#include "panels/PanelHost.h"
#include "panels/PanelImage.h"
#include "panels/PanelLayouts.h"
#include "panels/PanelPictures.h"
#include "settings/WindowPlacement.h"

#include <QPixmap>
#include <QPoint>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>
#include <vector>

// A front panel: a borderless window filled by its skin picture, with the layout's buttons and
// lamps laid over it. Buttons act on the mouse as the layout says; a left press on the skin moves
// the window. The keyboard works the same buttons through the PC keys of the table: a key press is a
// left press on its button and the key's release the button's release. Everything a layout differs
// in comes from its table.
class PanelForm : public QWidget, public LampPanel {
public:
    PanelForm(const PanelLayoutTable& layout, PanelHost& host);
    ~PanelForm() override;

    const PanelLayoutTable& layout() const { return layout_; }

    // Loads the skin and every bitmap of the panel into its store, once; names in a message any that
    // cannot be read. Until then the window has its layout's size and nothing drawn. Pictures decoded
    // beforehand are used when they are this panel's at its scale.
    void LoadPanelBitmaps(std::optional<PanelPictures> decoded = std::nullopt);
    bool bitmapsLoaded() const { return loaded_; }
    // Called once, from within the paint, when the skin has first been drawn on the screen.
    void whenFirstDrawn(std::function<void()> then) { firstDrawn_ = std::move(then); }

    void showLampDisplay(LampDisplay display) override;

    PanelImage* component(std::string_view name) const;
    PanelImage& skin() const { return *img_; }

    void setHint(std::string_view name, const QString& hint);
    void setShowHint(bool show);
    bool showHint() const { return showHint_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FormCreate();
    void createComponents();
    void loadSkin(PanelPictures& pictures);
    void createKeyMap();
    void applyHints();
    void reportUnreadable(const QStringList& paths) const;
    QString shownHint(const PanelImage& image) const;
    const QPixmap& bitmap(int id) const;
    void showBitmap(PanelImage& image, int id) { image.showPicture(id, bitmap(id)); }

    void buttonPressed(PanelImage& button, QMouseEvent& event);
    void pressButton(PanelImage& button);
    void buttonReleased(PanelImage& button);
    std::optional<std::size_t> partForKey(const QKeyEvent& event) const;
    void imgMouseDown(QMouseEvent& event);
    void imgMouseMove(QMouseEvent& event);

    const PanelLayoutTable& layout_;
    PanelHost& host_;
    // 1, or 2 where a screen scales by more than 1 (the pictures painted at twice the size).
    const int pictureScale_;
    PanelImage* img_ = nullptr;
    std::vector<PanelImage*> parts_;
    std::map<int, QPixmap> bitmaps_;
    bool loaded_ = false;
    std::function<void()> firstDrawn_;
    std::map<std::string, QString, std::less<>> hints_;
    bool showHint_ = false;
    struct KeyBinding {
        int key;
        Qt::KeyboardModifiers modifiers;
        std::size_t part;
    };
    std::vector<KeyBinding> keyMap_;
    HeldKeys heldKeys_;
    QTimer releaseWait_;
    // Where the mouse took hold of the window, while it follows the mouse without the platform's help.
    std::optional<QPoint> dragOffset_;
    TWindowStorage WindowStorage1;
};
