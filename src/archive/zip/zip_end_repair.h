// Mends the end of an archive that Debian's minizip 1.1 wrote, after zipClose.
//
// Two of its defects would damage our archives:
//  - With more than 65,535 entries below 4 GiB it writes the end record with
//    the count 0xFFFF but no Zip64 end record, so unzip and 7z reject the
//    archive. We add the Zip64 end record and its locator.
//  - For an entry of 4 GiB or more, or one whose local header lies past 4 GiB,
//    it records "made by MS-DOS" in the central directory, and unzip then
//    ignores the stored Unix permissions. We set the host to Unix in every
//    central record.
// Both mends rewrite only the central directory and the end records.
#pragma once

#include <cstdint>

#include "platform/file_system.h"

namespace kelvane {

// Mends the archive in `stream` that holds `entryCount` entries. Returns 0 or
// an errno value (EILSEQ when the archive's end is not as minizip writes it).
int RepairZipEnd(platform::FileStream& stream, uint64_t entryCount);

}  // namespace kelvane
