#include "platform/local_clock.h"

#include <ctime>

#include "platform/text_codec.h"

namespace kelvane::platform {

std::wstring FormatLocalTime(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return {};
  char buffer[256];
  const size_t length = std::strftime(buffer, sizeof buffer, format, &local);
  return FromNative(std::string_view(buffer, length));
}

}  // namespace kelvane::platform
