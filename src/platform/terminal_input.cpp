#include "platform/terminal_input.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>

namespace kelvane::platform {

bool StandardInputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

bool ReadInputLine(bool hidden, const std::string& prompt, std::string* line) {
  line->clear();
  struct termios saved;
  const bool quiet = hidden && ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (quiet) {
    struct termios silent = saved;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    silent.c_lflag |= ECHONL;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
  }
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  bool any = false;
  // Byte by byte from the descriptor: nothing after the line is consumed.
  for (char c; ::read(STDIN_FILENO, &c, 1) == 1;) {
    any = true;
    if (c == '\n') break;
    line->push_back(c);
  }
  if (quiet) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return any;
}

}  // namespace kelvane::platform
