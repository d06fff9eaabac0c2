// Any bytes as a JSON document: parsing never crashes, and what parses
// prints into a text that parses again.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "json/json_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelvane::JsonDocument doc;
  if (!doc.Parse(std::string_view(reinterpret_cast<const char*>(data), size)).ok()) return 0;
  kelvane::JsonDocument again;
  if (!again.Parse(doc.Print()).ok()) __builtin_trap();
  return 0;
}
