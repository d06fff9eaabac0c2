// Any name and pattern (split at the first NUL): matching, list splitting
// and the saved form of a list never crash, and every entry of a saved list
// is one of the list's own pieces.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "job/job_lists.h"
#include "platform/list_split.h"
#include "platform/text_codec.h"
#include "platform/wildcard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t split = bytes.find('\0');
  const std::wstring text = kelvane::platform::FromNative(bytes.substr(0, split));
  const std::wstring pattern = split == std::string_view::npos
                                   ? L"*"
                                   : kelvane::platform::FromNative(bytes.substr(split + 1));
  (void)kelvane::platform::MatchesPattern(text, pattern);
  (void)kelvane::platform::MatchesAnyPattern(text, pattern);
  (void)kelvane::platform::SplitList(pattern, L";|");
  for (const std::wstring& entry : kelvane::ListEntriesForSaving(pattern)) {
    if (entry.find_first_of(L"\n|") != std::wstring::npos) __builtin_trap();
  }
  return 0;
}
