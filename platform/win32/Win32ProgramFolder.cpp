#include "settings/LanguagePack.h"

#include "win32/WideText.h"

#include <windows.h>

namespace LanguagePack {

std::string ProgramFolder() {
    std::wstring program(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
        if (length == 0) return ".\\";
        if (length < program.size()) {
            program.resize(length);
            break;
        }
        program.resize(program.size() * 2);
    }
    return narrowed(program.substr(0, program.find_last_of(L'\\') + 1));
}

} // namespace LanguagePack
