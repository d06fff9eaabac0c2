#include "language/load_failure_text.h"

#include "json/json_document.h"
#include "language/language_table.h"
#include "util/format_text.h"
#include "util/result_codes.h"
#include "util/template_format.h"

namespace kelvane {

std::wstring LoadProblemText(const JsonDocument& document, const platform::Status& failure,
                             const std::wstring& path, const LanguageTable& texts) {
  const auto code = static_cast<uint32_t>(failure.code());
  // For bad JSON, where it broke is what a user needs.
  if (code == kResultInvalidData && !failure.context().starts_with(L"Read file")) {
    return PrintFEx(
        texts.GetText(L"console_job_not_json"),
        {path, FormatText(L"%llu", static_cast<unsigned long long>(document.errorOffset()))});
  }
  if (code == kResultEmptyFile) return PrintFEx(texts.GetText(L"console_job_empty"), {path});
  return PrintFEx(
      texts.GetText(L"console_job_error"),
      {path, failure.context().empty() ? FormatText(L"code %lu", code) : failure.context()});
}

std::wstring LoadFailureText(const JsonDocument& document, const platform::Status& failure,
                             const std::wstring& path, const LanguageTable& texts) {
  return texts.GetText(L"load_backup_failed") + L" (" +
         LoadProblemText(document, failure, path, texts) + L")";
}

}  // namespace kelvane
