// The user's text for a job file that would not load.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

class JsonDocument;
class LanguageTable;

// Why `document` could not load `path` (`error`, its result), naming the
// file: for bad JSON the byte where it broke, else the reason.
std::wstring LoadProblemText(const JsonDocument& document, uint32_t error, const std::wstring& path,
                             const LanguageTable& texts);

// "load_backup_failed" and LoadProblemText.
std::wstring LoadFailureText(const JsonDocument& document, uint32_t error, const std::wstring& path,
                             const LanguageTable& texts);

}  // namespace kelvane
