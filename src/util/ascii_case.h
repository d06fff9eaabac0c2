// Letter case the way the backup rules compare folder paths: only "A".."Z"
// and "a".."z" are letters, whatever the user's locale.
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// "A".."Z" become "a".."z"; everything else is unchanged.
std::wstring ToLowerAscii(std::wstring_view text);

}  // namespace kelvane
