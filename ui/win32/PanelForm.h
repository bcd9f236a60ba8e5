#pragma once

#include "PanelHost.h"
#include "VirtualKeys.h"
#include "WindowPlacement.h"

#include "exchange/LampDisplays.h"
#include "panels/HeldKeys.h"
#include "panels/PanelLayouts.h"
#include "panels/Pixels.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A front panel: a borderless window filled by its skin picture, with the layout's buttons and
// lamps painted over it in stacking order. Buttons act on the mouse as the layout says; a left
// press on the skin moves the window as its caption would. The keyboard works the same buttons
// through the PC keys of the table: a key press is a left press on its button and the key's release
// the button's release. Each button has its hint as a tooltip. The pictures keep their size in
// logical pixels: on a scaled screen the whole panel is stretched to the screen's scale.
class PanelForm final : public LampPanel {
public:
    PanelForm(const PanelLayoutTable& layout, PanelHost& host);
    ~PanelForm() override;
    PanelForm(const PanelForm&) = delete;
    PanelForm& operator=(const PanelForm&) = delete;

    const PanelLayoutTable& layout() const { return layout_; }
    HWND window() const { return window_; }

    // Loads the skin and every bitmap of the panel, once; gives the names of any that cannot be read
    // (the skin's among them), which are shown black. Until then the panel has its layout's size.
    std::vector<std::string> LoadPanelBitmaps();
    bool bitmapsLoaded() const { return loaded_; }

    void showLampDisplay(LampDisplay display) override;
    // A part's hint as the language pack words it; shown, with its PC keys, while hints are on.
    void setHint(std::size_t part, std::string hint);
    void setShowHint(bool show);
    // The picture a part shows now (its index in the layout's parts).
    int shownPicture(std::size_t part) const { return shown_[part]; }

    void show();
    void hide();
    bool visible() const;
    void setOnTop(bool on);
    // Back on top of the topmost band, shown if it was hidden, without taking the focus.
    void keepInFront();

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createWindow();
    void createKeyMap();
    void createTips();
    TTTOOLINFOW toolOf(std::size_t part) const;
    void placeTips();
    void showTip(std::size_t part);
    void FormCreate();
    void paint();
    void showPicture(std::size_t part, int id);
    void drawOnFrame(const RECT& area);
    void blit(const Pixels& picture, int left, int top, const RECT& area);

    void mousePressed(LPARAM position, bool leftHeld);
    void mouseReleased();
    void letGoOfPressed();
    void pressPart(std::size_t part);
    void releasePart(std::size_t part);
    bool keyPressed(WPARAM key, LPARAM flags);
    bool keyReleased(WPARAM key);
    void letGoOfKeys();
    int heldKey(WPARAM key) const;
    void imgMouseDown();
    POINT logicalPoint(LPARAM position) const;
    int physical(int logical) const { return MulDiv(logical, dpi_, USER_DEFAULT_SCREEN_DPI); }

    const PanelLayoutTable& layout_;
    PanelHost& host_;
    TWindowStorage WindowStorage1;
    HWND window_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    Pixels skin_;
    bool skinRead_ = false;
    bool loaded_ = false;
    std::map<int, Pixels> bitmaps_;
    std::vector<int> shown_;             // per part
    std::vector<std::uint32_t> frame_;   // the whole panel at its logical size, 0x00RRGGBB, rows from the top
    std::optional<std::size_t> pressed_; // the button that holds the mouse
    struct KeyBinding {
        UINT key;
        VirtualKeys::Modifiers modifiers;
        int held; // the key as held: the main keyboard's, for the keypad's too
        std::size_t part;
    };
    std::vector<KeyBinding> keyMap_;
    HeldKeys heldKeys_;
    HWND tips_ = nullptr;            // owned by the window, and destroyed with it
    std::vector<std::string> hints_; // per part
    bool showHint_ = false;
};
