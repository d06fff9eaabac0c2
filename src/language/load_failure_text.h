// The user's text for a job file that would not load.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

class JsonDocument;
class LanguageTable;

// "load_backup_failed" and why `document` could not load `path` (`error`,
// its result): for bad JSON the byte where it broke, else the reason.
std::wstring LoadFailureText(const JsonDocument& document, uint32_t error, const std::wstring& path,
                             const LanguageTable& texts);

}  // namespace kelvane
