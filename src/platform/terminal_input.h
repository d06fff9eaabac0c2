// Reading a line from standard input, for secrets too: on a terminal the
// typed characters are not shown.
#pragma once

#include <string>

namespace kelvane::platform {

bool StandardInputIsTerminal();

// One line from standard input, without its line end (a CR before the LF
// goes too), after `prompt` on standard error. With `hidden` and a terminal,
// the terminal shows nothing while it is typed: the prompt comes only once
// it is quiet, so nothing typed after the prompt is shown or dropped. False
// at the end of the input before any character.
bool ReadInputLine(bool hidden, const std::string& prompt, std::string* line);

}  // namespace kelvane::platform
