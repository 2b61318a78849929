#include "common/utilities.h"

#include <chrono>
#include <ctime>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

#include "common/code_page.h"
#include "common/numbers.h"
#include "common/text.h"

namespace korvelin {
namespace {

std::mutex& HookMutex() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<const DelayHook>& HookSlot() {
  static std::shared_ptr<const DelayHook> hook;
  return hook;
}

std::shared_ptr<const DelayHook> CurrentHook() {
  std::lock_guard lock(HookMutex());
  return HookSlot();
}

}  // namespace

std::string MillisTextOf(const DateTime& local, int milliseconds) {
  using namespace std::chrono;
  // Whole seconds from the local date-time 1970-01-01 08:00:00 to `local`, counted on the
  // calendar (no time zone rules involved, so the difference is exact).
  const sys_days day = year_month_day{year{local.year}, month{static_cast<unsigned>(local.month)},
                                      std::chrono::day{static_cast<unsigned>(local.day)}};
  const long long seconds = static_cast<long long>(day.time_since_epoch().count()) * 86400 +
                            local.hour * 3600LL + local.minute * 60LL + local.second - 8 * 3600LL;
  std::string digits = IntToText(milliseconds);
  while (digits.size() < 3) digits.insert(digits.begin(), '0');
  return RealToText(static_cast<double>(seconds)) + digits;
}

std::string NowMillisText() {
  using namespace std::chrono;
  // One reading of the clock gives both the local date-time and its millisecond field.
  const auto now = system_clock::now();
  const auto sinceEpoch = duration_cast<milliseconds>(now.time_since_epoch()).count();
  std::time_t seconds = static_cast<std::time_t>(sinceEpoch / 1000);
  int millis = static_cast<int>(sinceEpoch % 1000);
  if (millis < 0) {
    millis += 1000;
    --seconds;
  }
  std::tm tm{};
  localtime_r(&seconds, &tm);
  DateTime local{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  return MillisTextOf(local, millis);
}

long long PumpedDelayMilliseconds(long long amount, DelayUnit unit) {
  static constexpr long long kUnitMilliseconds[] = {1, 1000, 60000, 3600000};
  // An unknown unit counts as milliseconds, like no unit.
  const int index = static_cast<int>(unit);
  const long long step = index >= 0 && index <= 3 ? kUnitMilliseconds[index] : 1;
  if (amount <= 0) return 0;
  // Longer waits than about 292 million years are cut to that.
  constexpr long long kMax = std::numeric_limits<long long>::max() / 3600000;
  return (amount > kMax ? kMax : amount) * step;
}

bool PumpedDelay(long long amount, DelayUnit unit) {
  const long long milliseconds = PumpedDelayMilliseconds(amount, unit);
  if (milliseconds <= 0) return true;
  if (auto hook = CurrentHook(); hook && *hook && (*hook)(milliseconds)) return true;
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  return true;
}

void SetPumpedDelayHook(DelayHook hook) {
  auto shared = hook ? std::make_shared<const DelayHook>(std::move(hook)) : nullptr;
  std::lock_guard lock(HookMutex());
  HookSlot() = std::move(shared);
}

std::string TextBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker, std::optional<int> start, bool ignoreCase) {
  static const std::string kQuoteWord = Ansi("#引号");
  const std::string startText = ReplaceText(startMarker, kQuoteWord, "\"");
  const std::string endText = ReplaceText(endMarker, kQuoteWord, "\"");
  int c = FindText(text, startText, start, ignoreCase);
  if (c == -1) return {};
  c += static_cast<int>(startText.size());
  const int e = FindText(text, endText, c, ignoreCase);
  if (e == -1) return {};
  return MidText(text, c, e - c);
}

std::string TextAfterLast(std::string_view text, std::string_view marker, std::optional<int> start,
                          bool ignoreCase) {
  const int p = FindTextBackward(text, marker, start, ignoreCase);
  if (p == -1) return {};
  return RightText(text, static_cast<int>(text.size()) - static_cast<int>(marker.size()) - p + 1);
}

void EnterComponentRuntime() {}
void LeaveComponentRuntime() {}

}  // namespace korvelin
