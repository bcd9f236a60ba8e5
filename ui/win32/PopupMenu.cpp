#include "PopupMenu.h"

#include "win32/WideText.h"

namespace {

// Command 0 means no choice, so entry i is command i + 1.
UINT commandOf(std::size_t index) {
    return static_cast<UINT>(index + 1);
}

} // namespace

PopupMenu::PopupMenu() : menu_(CreatePopupMenu()) {}

std::size_t PopupMenu::addItem(const std::string& caption, const std::string& shortcut, std::function<void()> onClick) {
    items_.push_back({caption, shortcut, std::move(onClick)});
    const std::size_t index = items_.size() - 1;
    AppendMenuW(menu_.get(), MF_STRING, commandOf(index), L"");
    showCaption(index);
    return index;
}

void PopupMenu::showCaption(std::size_t index) {
    const Item& item = items_[index];
    const std::wstring text = widened(item.shortcut.empty() ? item.caption : item.caption + '\t' + item.shortcut);
    ModifyMenuW(menu_.get(), commandOf(index), MF_BYCOMMAND | MF_STRING, commandOf(index), text.c_str());
}

void PopupMenu::setCaption(std::size_t index, const std::string& caption) {
    if (index >= items_.size()) return;
    const bool wasEnabled = enabled(index);
    items_[index].caption = caption;
    showCaption(index);
    setEnabled(index, wasEnabled); // a modified entry is enabled again
}

void PopupMenu::setEnabled(std::size_t index, bool on) {
    if (index < items_.size())
        EnableMenuItem(menu_.get(), commandOf(index), MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

bool PopupMenu::enabled(std::size_t index) const {
    const UINT state = GetMenuState(menu_.get(), commandOf(index), MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

void PopupMenu::popup(POINT at, HWND owner) {
    // A menu whose owner is not in front closes at once, or never closes when clicked beside it; the
    // empty message afterwards lets it go when the owner is left.
    SetForegroundWindow(owner);
    // The choice comes back from the call: no command message has to find its way to a window.
    const UINT command = static_cast<UINT>(
        TrackPopupMenuEx(menu_.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, owner, nullptr));
    PostMessageW(owner, WM_NULL, 0, 0);
    if (command == 0 || command > items_.size()) return;
    // Copied: the handler may change the menu.
    const std::function<void()> onClick = items_[command - 1].onClick;
    if (onClick) onClick();
}
