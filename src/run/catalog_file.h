// The job's change catalog in its archive folder (output_names.h names it):
// read before the scan, with every entry dropped that no kept backup holds,
// and written in one step after a run that completed.
#pragma once

#include <cstddef>
#include <string>

#include "scan/change_catalog.h"

namespace kelvane {

class OutputNames;
class RunLog;
namespace platform {
class Folder;
}

// Fills `catalog` from the archive folder. Entries of targets that are no
// longer there, or of `replacedTarget` (the archive this run writes over;
// empty for none), are dropped, each such target with a log line. A missing
// or damaged catalog leaves it empty, with one log line: every file then
// counts as changed. Returns how many targets were dropped.
size_t LoadCatalog(const platform::Folder& archiveFolder, const OutputNames& outputs,
                   const std::wstring& replacedTarget, ChangeCatalog* catalog, RunLog& log);

// Writes `catalog` under a temporary name and renames it over the old one, so
// a killed run leaves the old catalog whole. 0 or the error number.
int SaveCatalog(const platform::Folder& archiveFolder, const OutputNames& outputs,
                const ChangeCatalog& catalog);
// The same with the files a run saved into `target` recorded in it (see
// ChangeCatalog::WriteTextWith).
int SaveCatalog(const platform::Folder& archiveFolder, const OutputNames& outputs,
                ChangeCatalog& catalog, const ChangeCatalog::SavedFiles& saved,
                const std::wstring& target);

}  // namespace kelvane
