// Small routines shared by the subsystems.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/date_time.h"

namespace korvelin {

// Milliseconds since 1970-01-01 08:00:00 local time, as decimal digits (13 for today).
// Thread-safe; reads the clock once for both the date-time and the millisecond field.
std::string NowMillisText();
// The same text for a given local date-time and millisecond field (0..999): the seconds
// from 1970-01-01 08:00:00 local time, then the milliseconds as exactly three digits.
std::string MillisTextOf(const DateTime& local, int milliseconds);

// The length of one amount step of PumpedDelay; any other value counts as Milliseconds.
enum class DelayUnit { Milliseconds = 0, Seconds = 1, Minutes = 2, Hours = 3 };

// Waits amount x unit. On a thread with an event loop the hook installed by the app runs
// that loop while waiting; elsewhere it is a plain sleep.
bool PumpedDelay(long long amount, DelayUnit unit = DelayUnit::Milliseconds);
// The hook gets the wait in milliseconds and returns true when it waited (the calling
// thread had an event loop); false falls back to a plain sleep.
using DelayHook = std::function<bool(long long milliseconds)>;
// Installs (or, with an empty hook, removes) the hook for all threads.
void SetPumpedDelayHook(DelayHook hook);
// The wait of PumpedDelay in milliseconds: 0 for an amount of 0 or less; an unknown unit
// counts as milliseconds.
long long PumpedDelayMilliseconds(long long amount, DelayUnit unit = DelayUnit::Milliseconds);

// The text between the first start marker and the next end marker ("#引号" in a marker
// stands for a double quote); empty when either is missing.
std::string TextBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker, std::optional<int> start = std::nullopt,
                        bool ignoreCase = false);
// The text after the last occurrence of the marker; empty when there is none.
std::string TextAfterLast(std::string_view text, std::string_view marker,
                          std::optional<int> start = std::nullopt, bool ignoreCase = false);

// Per-thread start and end of a component runtime. The HTTP client needs no per-thread
// set-up here, so both do nothing; the checks still bracket their work with them.
void EnterComponentRuntime();
void LeaveComponentRuntime();

}  // namespace korvelin
