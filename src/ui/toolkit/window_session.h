// The window toolkit for the life of the object: the display opened, wx
// initialised; closed again at the end. At most one at a time, on the thread
// that will run the windows.
#pragma once

#include <memory>

namespace kelvane::ui {

class WindowSession {
 public:
  // Null when the display cannot be opened.
  static std::unique_ptr<WindowSession> Open();
  ~WindowSession();
  WindowSession(const WindowSession&) = delete;
  WindowSession& operator=(const WindowSession&) = delete;

 private:
  WindowSession() = default;
};

}  // namespace kelvane::ui
