#pragma once

#include <windows.h>

#include <optional>
#include <string>

// Names of files the program reads and writes as the user's own, on Windows. As with OwnPath, a
// symbolic link is followed only when the user made it, and the file behind it must be the user's.
// Only the name's own link is looked at, not every link of a chain behind it: on Windows making a
// symbolic link takes a privilege ordinary users lack, and the file it ends in is checked anyway.
namespace Win32OwnPath {

struct Resolved {
    std::wstring path;                       // where the name leads through the user's own link
    bool exists = false;                     // a file is there
    bool throughLink = false;                // a link was followed
    std::optional<std::string> foreignOwner; // the other user owning the link or the file
    DWORD error = 0;                         // a link that leads nowhere, or a name that cannot be looked at
};

Resolved resolve(const std::wstring& name);

// Whether the file or link open at handle is the user's, and who owns it when not.
struct Owner {
    bool ours = false;
    std::string name; // for another user: their account name, or their SID where it has none
};
Owner ownerOf(HANDLE file);

// A device such as COM1 or NUL, which Windows finds under that name in every folder: opening one
// can change its state (a serial port's modem lines), so it is refused before any open.
bool namesADevice(const std::wstring& path);

} // namespace Win32OwnPath
