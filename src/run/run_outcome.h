// The lines that say how a run ended: what was saved and where, how many
// errors, how the check after the backup went, and how many older backups
// the keep policy deleted. The terminal prints them
// at the end of a run; the run window shows them. One text, so the two never
// tell a different story.
#pragma once

#include <string>
#include <vector>

#include "run/run_report.h"

namespace kelvane {

class LanguageTable;

std::vector<std::wstring> OutcomeLines(const RunReport& report, const LanguageTable& texts);

}  // namespace kelvane
