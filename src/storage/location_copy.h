// The copy of a run's backup to the job's further storage locations, after
// the archive is in place (and passed its check where the job asks for one):
// at each location in turn the run's archive, then every archive its chain
// needs that the location lacks, each followed by its manifest; then the
// job's keep policy carried out there as it is here. One location's failure
// is an error of the run and leaves the others and the local archive as
// they are.
#pragma once

#include <string>

#include "run/run_driver.h"

namespace kelvane {

void CopyToLocations(const FinishedRun& run, const std::wstring& sevenZipLibrary);

// The whole step after a run: the copies, then the keep policy here.
AfterRunStep CopyAndKeepStep(const std::wstring& sevenZipLibrary);

}  // namespace kelvane
