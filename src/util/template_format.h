// Filling user-visible templates such as "Anzahl: [1] von [2] ([3]%)".
//
// A placeholder is "[" plus a digit 1..9 (argument 0..8; the character after the
// digit is consumed whatever it is) or "[" plus a letter a..z / A..Z plus "]"
// (argument 9..34). A placeholder without an argument shows as "?"; anything
// else, "[0]" or "[ab]" for example, is ordinary text. Inserted arguments are not
// expanded again.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace kelvane {

// `tmpl` filled with `args` ([1] is the first). Throws std::runtime_error
// ("PrintFEx bad template format") for 16 or more arguments.
std::wstring PrintFEx(std::wstring_view tmpl, std::initializer_list<std::wstring_view> args = {});

// `tmpl` filled with `args`; a default-constructed entry stands for a missing
// argument and inserts nothing.
std::wstring ExpandTemplate(std::wstring_view tmpl, std::span<const std::wstring_view> args);

}  // namespace kelvane
