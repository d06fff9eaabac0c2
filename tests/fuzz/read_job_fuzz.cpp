// Any JSON as a job: reading never crashes, and a job that reads writes a
// document that reads back to the same job.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "job/backup_job.h"
#include "json/json_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelvane::JsonDocument doc;
  if (!doc.Parse(std::string_view(reinterpret_cast<const char*>(data), size)).ok()) return 0;
  kelvane::BackupJob job;
  if (!job.ReadJob(doc)) return 0;
  (void)job.OptionsWord();
  kelvane::JsonDocument written;
  if (!kelvane::WriteJobToDocument(job, written)) __builtin_trap();
  kelvane::BackupJob back;
  if (!back.ReadJob(written)) __builtin_trap();
  return 0;
}
