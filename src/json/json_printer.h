// The indented JSON printer behind JsonDocument (internal to the job library).
//
// The layout is fixed because job files written by earlier versions must stay
// byte-identical: members are "key" : value, an array starts on the line after
// its key with its brackets at the member's indentation, a non-empty array has
// an empty line before its closing bracket, and no line feed ends the text.
#pragma once

#include <functional>
#include <string_view>

#include "json/json_document.h"

namespace kelvane::json_internal {

using TextSink = std::function<void(std::string_view)>;

void PrintNode(const JsonNode& node, const TextSink& sink);

}  // namespace kelvane::json_internal
