#pragma once

#include <string>
#include <string_view>

namespace dwi {

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates
// or code points above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Text from a .dwi file as UTF-8: kept as it is when it already is UTF-8,
// otherwise read as Latin-1, so no file is refused or garbled for its
// encoding (older tools wrote their code page).
std::string TextFromFileBytes(std::string_view bytes);

} // namespace dwi
