#include "settings/LanguagePack.h"

#include <filesystem>

namespace LanguagePack {

std::string ProgramFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    // Without /proc the working folder is the best guess; the packs' absence then says so.
    if (error) return "./";
    return (program.parent_path() / "").string();
}

} // namespace LanguagePack
