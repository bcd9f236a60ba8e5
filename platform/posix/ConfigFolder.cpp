#include "settings/ConfigFolder.h"

#include "posix/OwnPath.h"
#include "settings/OptionsFile.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace ConfigFolder {
namespace {

std::string workingFolderOptions() {
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    return (here / OptionsFile::FileName).string();
}

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string path() {
    std::string folder = variable("XDG_CONFIG_HOME");
    if (folder.empty() || folder.front() != '/') folder = variable("HOME") + "/.config";
    return folder + "/lumevanta";
}

std::string optionsFile() {
    const std::string here = workingFolderOptions();
    const OwnPath::Resolved resolved = OwnPath::resolve(here);
    // A dangling link of the user's counts as there too: saving goes through it rather than elsewhere.
    if (!resolved.foreignOwner && (resolved.exists || resolved.throughLink || resolved.error)) return here;
    return path() + '/' + OptionsFile::FileName;
}

std::optional<ForeignFile> foreignOptionsFile() {
    const std::string here = workingFolderOptions();
    const OwnPath::Resolved resolved = OwnPath::resolve(here);
    if (!resolved.foreignOwner) return std::nullopt;
    return ForeignFile{here, OwnPath::userName(*resolved.foreignOwner)};
}

bool makeFolderFor(const std::string& file) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(file, error).parent_path();
    if (std::filesystem::is_directory(folder, error)) return true;
    // The parents as any program makes them; the settings folder itself for the user alone.
    std::filesystem::create_directories(folder.parent_path(), error);
    return ::mkdir(folder.c_str(), 0700) == 0 || std::filesystem::is_directory(folder, error);
}

} // namespace ConfigFolder
