// The wait behind PumpedDelay: on a thread with a Qt event loop (the UI thread) it runs a
// nested event loop until a timer ends it, so the window keeps working; on other threads it
// answers false and the caller sleeps.
#pragma once

namespace korvelin {

bool PumpedWait(long long milliseconds);

}  // namespace korvelin
