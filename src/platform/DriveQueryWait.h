// SPDX-License-Identifier: MIT
#pragma once

// How long the thread that runs the system's drive query may wait for drives
// that answer slowly. Without a call, a query waits up to the deadline after
// which a drive counts as not answering (one second on Linux), as a command
// line tool wants. A window's thread sets a short wait instead: a drive
// whose answer comes later shows its last figures (none the first time) and
// its new ones at a later query; a drive that does not answer within the
// deadline shows none. Windows' WMI keeps its own timing: nothing to set there.

#include <chrono>

namespace platform {

// What the widget's window sets: a refresh never holds its thread longer.
inline constexpr std::chrono::milliseconds kWindowDriveQueryWait{50};

void SetDriveQueryWait(std::chrono::milliseconds wait);

// The deadline after which a drive counts as not answering; a remote source
// of drives (a Prometheus server) is given as long. Where the system's drive
// query is asked on worker threads (Linux).
std::chrono::milliseconds DriveQueryDeadline();

// The wait in force now: the one set, never more than the deadline. A remote
// source of drives answers within it or shows its last answer.
std::chrono::milliseconds DriveQueryWaitNow();

} // namespace platform
