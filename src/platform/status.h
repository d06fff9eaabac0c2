// How a call reports that it failed: a code (an errno value or one of
// system_error.h) and, once, what it was doing, as leveldb's
// PosixError(context, errno). A Status that is ok carries neither. It is
// [[nodiscard]]: a failure is never dropped without a word.
#pragma once

#include <string>
#include <utility>

namespace kelvane::platform {

class [[nodiscard]] Status {
 public:
  Status() = default;  // success
  static Status Error(int code, std::wstring context) { return Status(code, std::move(context)); }

  bool ok() const { return code_ == 0; }
  int code() const { return code_; }
  // What failed: a path, or what was being done to it.
  const std::wstring& context() const { return context_; }

 private:
  Status(int code, std::wstring context) : code_(code), context_(std::move(context)) {}

  int code_ = 0;
  std::wstring context_;
};

}  // namespace kelvane::platform
