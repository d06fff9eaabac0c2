// The user's text for a job file that would not load.
#pragma once

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace kelvane {

class JsonDocument;
class LanguageTable;

// Why `document` could not load `path` (`failure`, what LoadFile said),
// naming the file: for bad JSON the byte where it broke, else the reason.
std::wstring LoadProblemText(const JsonDocument& document, const platform::Status& failure,
                             const std::wstring& path, const LanguageTable& texts);

// "load_backup_failed" and LoadProblemText.
std::wstring LoadFailureText(const JsonDocument& document, const platform::Status& failure,
                             const std::wstring& path, const LanguageTable& texts);

}  // namespace kelvane
