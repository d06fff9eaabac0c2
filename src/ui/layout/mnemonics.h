// Access keys for a row of controls in any language: each label gets a "&"
// before the first of its letters or digits that no label before it (nor
// `taken`) uses, so Alt and that letter presses it. A label without a free
// letter gets none. A "&" of the text itself is kept as one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvane::ui {

std::vector<std::wstring> WithMnemonics(const std::vector<std::wstring>& labels,
                                        std::wstring_view taken = L"");

}  // namespace kelvane::ui
