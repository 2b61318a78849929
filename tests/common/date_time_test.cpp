#include "common/date_time.h"

#include <gtest/gtest.h>

#include <ctime>

#include "common/code_page.h"

namespace korvelin {
namespace {

TEST(DateTimeText, EndsWithTheLastTimePartThatIsNotZero) {
  const struct {
    DateTime value;
    const char* text;
  } cases[] = {
      {{2014, 11, 17, 1, 45, 0}, "2014年11月17日1时45分"},
      {{2014, 11, 17, 0, 0, 0}, "2014年11月17日"},
      {{2014, 11, 17, 13, 5, 9}, "2014年11月17日13时5分9秒"},
      {{2014, 11, 17, 10, 0, 5}, "2014年11月17日10时0分5秒"},
      {{2014, 11, 17, 9, 0, 0}, "2014年11月17日9时"},
      {{2014, 11, 17, 0, 0, 30}, "2014年11月17日0时0分30秒"},
      {{2015, 1, 2, 0, 30, 0}, "2015年1月2日0时30分"},
      {{2015, 1, 2, 0, 0, 1}, "2015年1月2日0时0分1秒"},
      {{2015, 12, 31, 23, 59, 59}, "2015年12月31日23时59分59秒"},
  };
  for (const auto& c : cases) EXPECT_EQ(DateTimeText(c.value), Ansi(c.text)) << c.text;
}

TEST(CurrentDateTime, IsTheLocalWallClock) {
  // Compare with the C library's own local time, read around the call.
  std::time_t before = std::time(nullptr);
  DateTime now = CurrentDateTime();
  std::time_t after = std::time(nullptr);
  bool matched = false;
  for (std::time_t t = before; t <= after && !matched; ++t) {
    std::tm local{};
    localtime_r(&t, &local);
    matched = local.tm_year + 1900 == now.year && local.tm_mon + 1 == now.month &&
              local.tm_mday == now.day && local.tm_hour == now.hour &&
              local.tm_min == now.minute && local.tm_sec == now.second;
  }
  EXPECT_TRUE(matched);
  const std::string text = NowText();
  EXPECT_EQ(text.rfind(std::to_string(now.year) + Ansi("年"), 0), 0u) << AnsiToUtf8(text);
}

}  // namespace
}  // namespace korvelin
