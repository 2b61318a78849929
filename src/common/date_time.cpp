#include "common/date_time.h"

#include <chrono>
#include <ctime>
#include <string>

#include "common/code_page.h"
#include "common/numbers.h"

namespace korvelin {

namespace {

DateTime LocalDateTimeOf(std::time_t moment) {
  std::tm local{};
  localtime_r(&moment, &local);
  DateTime value;
  value.year = local.tm_year + 1900;
  value.month = local.tm_mon + 1;
  value.day = local.tm_mday;
  value.hour = local.tm_hour;
  value.minute = local.tm_min;
  value.second = local.tm_sec;
  return value;
}

}  // namespace

DateTime CurrentDateTime() {
  return LocalDateTimeOf(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
}

DateTime LocalDateTimeAt(std::int64_t unixMillis) {
  // Floor division, so a moment before 1970 falls in the second it belongs to.
  std::int64_t seconds = unixMillis / 1000;
  if (unixMillis % 1000 < 0) --seconds;
  return LocalDateTimeOf(static_cast<std::time_t>(seconds));
}

std::string DateTimeText(const DateTime& value) {
  static const std::string kYear = Ansi("年");
  static const std::string kMonth = Ansi("月");
  static const std::string kDay = Ansi("日");
  static const std::string kHour = Ansi("时");
  static const std::string kMinute = Ansi("分");
  static const std::string kSecond = Ansi("秒");
  std::string text =
      IntToText(value.year) + kYear + IntToText(value.month) + kMonth + IntToText(value.day) + kDay;
  // The time of day goes as far as its last part that is not zero.
  if (value.second != 0) {
    text += IntToText(value.hour) + kHour + IntToText(value.minute) + kMinute +
            IntToText(value.second) + kSecond;
  } else if (value.minute != 0) {
    text += IntToText(value.hour) + kHour + IntToText(value.minute) + kMinute;
  } else if (value.hour != 0) {
    text += IntToText(value.hour) + kHour;
  }
  return text;
}

std::string NowText() { return DateTimeText(CurrentDateTime()); }

}  // namespace korvelin
