// What one run of the driver holds, made fresh for each run and each dry run.
// Seen only by the driver's own files.
#pragma once

#include <optional>

#include "job/backup_job.h"
#include "manifest/manifest_line.h"
#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "run/backup_class.h"
#include "run/manifest_spool.h"
#include "run/output_names.h"
#include "run/run_driver.h"
#include "run/run_report.h"
#include "scan/change_catalog.h"
#include "scan/scan_context.h"

namespace kelvane {

// Everything one run holds, made fresh for each run.
struct RunDriver::RunState {
  RunState(RunHost& host, const LanguageTable& texts, RunLog& log)
      : scan(log), run(host, texts, log) {}

  BackupJob job;
  ScanContext scan;
  vxstl::BackupClass run;
  BackupTarget* target = nullptr;
  // The archive folder, open for the whole run, and the job's lock in it.
  platform::Folder archiveFolder;
  platform::FileLock lock;
  std::optional<OutputNames> outputs;
  // What earlier runs saved, for a run that takes only changed files.
  ChangeCatalog catalog;
  // The manifest's header, the lines of unchanged files an incremental run
  // takes from earlier manifests, and the text once the target asked for it.
  ManifestHeader manifestHeader;
  std::string keptLines;
  std::optional<ManifestSpool> manifest;  // after archiveFolder: goes first
  // The log of a run whose archive failed its check stays: it holds why.
  bool keepLog = false;
  uint32_t afterRunErrors = 0;  // of the step after a run that completed
  // A full backup the job's FullEvery asked for, in a job that takes only
  // changed files.
  bool fullByPolicy = false;
  RunReport report;
};

}  // namespace kelvane
