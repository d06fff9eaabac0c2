// What killed runs of a job leave behind, and its removal.
#pragma once

#include "platform/file_system.h"
#include "run/output_names.h"

namespace kelvane {

class RunLog;

// Removes what killed runs of this job left: temporary archives and staging
// folders (of new folder copies, of a storage location's points) in the
// archive folder, temporary copies in the
// top folders of folder targets, and in every folder of one whose update did
// not end. Only names of the program's own scheme, never through a link, and
// only while the job's lock is held; each removal is a line in `log`.
void SweepLeftovers(const platform::Folder& archiveFolder, const OutputNames& outputs, RunLog& log);

}  // namespace kelvane
