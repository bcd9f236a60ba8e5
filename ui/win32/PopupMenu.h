#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

// A popup menu whose entries run a handler when chosen; an entry's index is its position. Captions
// are UTF-8, with the shortcut shown beside them.
class PopupMenu {
public:
    PopupMenu();

    std::size_t addItem(const std::string& caption, const std::string& shortcut, std::function<void()> onClick);
    void setEnabled(std::size_t index, bool on);
    bool enabled(std::size_t index) const;
    void setCaption(std::size_t index, const std::string& caption);
    std::size_t count() const { return items_.size(); }

    // Opens the menu at a screen point for a window of ours and runs the chosen entry's handler once
    // the menu has closed.
    void popup(POINT at, HWND owner);

private:
    struct Item {
        std::string caption;
        std::string shortcut;
        std::function<void()> onClick;
    };
    void showCaption(std::size_t index);

    struct Destroy {
        void operator()(HMENU menu) const { DestroyMenu(menu); }
    };
    std::unique_ptr<std::remove_pointer_t<HMENU>, Destroy> menu_;
    std::vector<Item> items_;
};
