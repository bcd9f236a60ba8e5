#include "PanelResources.h"

#include "panels/Bmp24.h"
#include "panels/PanelLayouts.h"
#include "win32/WideText.h"

#include <windows.h>

#include <cstdint>
#include <span>

namespace {

// The resources are stored in the language the pictures were first made for.
constexpr WORD ResourceLanguage = MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA);

std::span<const std::uint8_t> resourceBytes(const wchar_t* name) {
    const HMODULE program = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceExW(program, RT_RCDATA, name, ResourceLanguage);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(program, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return {};
    return {static_cast<const std::uint8_t*>(bytes), SizeofResource(program, found)};
}

} // namespace

namespace PanelResources {

std::optional<Pixels> bitmap(int id) {
    const auto bytes = resourceBytes(MAKEINTRESOURCEW(id));
    if (bytes.empty()) return std::nullopt;
    return Bmp24::decode(bytes);
}

std::optional<Pixels> skin(PanelLayout layout) {
    const auto bytes = resourceBytes(widened(skinName(layout)).c_str());
    if (bytes.empty()) return std::nullopt;
    return Bmp24::decode(bytes);
}

std::string bitmapName(int id) {
    return "RCDATA " + std::to_string(id);
}

std::string skinName(PanelLayout layout) {
    return std::string("SKIN_") + panelLayout(layout).caption;
}

} // namespace PanelResources
