#include "Messages.h"

#include "win32/WideText.h"

namespace Messages {

void show(std::string_view text, std::string_view caption, Icon icon) {
    const UINT style = icon == Icon::Error ? MB_ICONERROR : icon == Icon::Information ? MB_ICONINFORMATION : 0;
    MessageBoxW(nullptr, widened(text).c_str(), widened(caption).c_str(), MB_OK | MB_TASKMODAL | style);
}

} // namespace Messages
