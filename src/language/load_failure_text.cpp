#include "language/load_failure_text.h"

#include "json/json_document.h"
#include "language/language_table.h"
#include "util/format_text.h"
#include "util/result_codes.h"
#include "util/template_format.h"

namespace kelvane {

std::wstring LoadProblemText(const JsonDocument& document, uint32_t error, const std::wstring& path,
                             const LanguageTable& texts) {
  std::wstring why;
  // For bad JSON the document keeps the rest of the text; where it broke is
  // what a user needs.
  if (error == kResultInvalidData && document.errorText().rfind(L"Read file", 0) != 0) {
    why = PrintFEx(
        texts.GetText(L"console_job_not_json"),
        {path, FormatText(L"%llu", static_cast<unsigned long long>(document.errorOffset()))});
  } else if (error == kResultEmptyFile) {
    why = PrintFEx(texts.GetText(L"console_job_empty"), {path});
  } else {
    why = PrintFEx(texts.GetText(L"console_job_error"),
                   {path, document.errorText().empty() ? FormatText(L"code %lu", error)
                                                       : document.errorText()});
  }
  return why;
}

std::wstring LoadFailureText(const JsonDocument& document, uint32_t error, const std::wstring& path,
                             const LanguageTable& texts) {
  return texts.GetText(L"load_backup_failed") + L" (" +
         LoadProblemText(document, error, path, texts) + L")";
}

}  // namespace kelvane
