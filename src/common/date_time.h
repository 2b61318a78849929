// Local date-time in whole seconds and its text form, e.g. 2014年11月17日13时5分9秒.
#pragma once

#include <cstdint>
#include <string>

namespace korvelin {

struct DateTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

DateTime CurrentDateTime();
// The local date-time, to the whole second, of a moment in Unix milliseconds.
DateTime LocalDateTimeAt(std::int64_t unixMillis);
// The date-time text, in code page 936.
std::string DateTimeText(const DateTime& value);
// DateTimeText(CurrentDateTime()): the stamp that starts every log entry.
std::string NowText();

}  // namespace korvelin
