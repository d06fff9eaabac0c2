// The version numbers the toolkit's drawing asks for. The controls were
// drawn for Windows and choose between the looks of its versions by these
// numbers; on this platform they get the answer of Windows 10, whose flat,
// themed look matches a GTK desktop best (no Windows 11 rounded corners, no
// pre-theme frames).
#pragma once

namespace kelvane::ui {

// 10 × major + minor of the system: 100 (Windows 10) here.
int GetWindowsVersionCode();
// 100 × major + minor of the system: 1000 (Windows 10) here.
int GetWindowsVersionNumber();

}  // namespace kelvane::ui
