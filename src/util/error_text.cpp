#include "util/error_text.h"

#include "platform/system_error.h"
#include "util/format_text.h"
#include "util/trim.h"

namespace kelvane {

std::wstring ErrorText(uint32_t code) {
  if (code == 0) return {};
  const std::wstring message = platform::SystemErrorMessage(static_cast<int>(code));
  if (message.empty()) return {};
  // The platform's own failures have no number a user could look up.
  std::wstring text =
      platform::IsOwnError(static_cast<int>(code))
          ? L" " + message
          : TrimRight(FormatText(L" Code: %ld, %s", static_cast<long>(code), message));
  if (!text.ends_with(L'.')) text.push_back(L'.');
  return text;
}

std::wstring StatusText(const platform::Status& status) {
  std::wstring text = status.context();
  if (!text.empty() && text.back() != L'.') text += L'.';
  return text + ErrorText(static_cast<uint32_t>(status.code()));
}

}  // namespace kelvane
