// Keeps the program's memory off the disk: the mail password (an authorization code) lives
// in memory while the program runs, and a core dump would write it into a file.
#pragma once

namespace korvelin {

// Marks the process as not dumpable and sets its core file limit to 0, as password
// managers do; call once at start-up, before any secret is read. True when both held.
bool DisableCoreDumps();

}  // namespace korvelin
