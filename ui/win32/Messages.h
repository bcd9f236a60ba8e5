#pragma once

#include <string_view>

// The program's modal message boxes, without an owner window. Texts are the core's UTF-8; a
// language pack's CR LF breaks lines as it stands.
namespace Messages {

enum class Icon { None, Information, Error };

void show(std::string_view text, std::string_view caption, Icon icon = Icon::None);

} // namespace Messages
