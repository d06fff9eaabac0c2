// The JSON text parser behind JsonDocument::Parse (internal to the job library).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "json/json_document.h"

namespace kelvane::json_internal {

struct ParseOutcome {
  uint32_t code = 0;  // 0, kResultInvalidData or kResultTooManyLevels
  size_t offset = 0;  // where parsing stopped on failure
};

// Parses the first JSON value of `text` (after an optional UTF-8 byte order
// mark and leading white space) into `root`. Text after the value is ignored.
// Never reads outside `text`.
ParseOutcome ParseValueInto(std::string_view text, JsonNode* root);

}  // namespace kelvane::json_internal
