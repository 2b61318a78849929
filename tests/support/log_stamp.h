// Splits the date-time stamp off an activity-log entry, so tests can compare the rest of
// the entry byte for byte whatever the clock says.
#pragma once

#include <optional>
#include <regex>
#include <string>

#include "common/code_page.h"

namespace korvelin::testing {

// The entry (code page 936) after its leading stamp of the form 2014年11月17日13时5分9秒, with
// the time's trailing zero parts left out as the date-time text leaves them out
// (2014年11月17日13时5分, 2014年11月17日13时, 2014年11月17日); nullopt when it has none.
inline std::optional<std::string> TextAfterStamp(const std::string& entry) {
  static const std::regex stamp(
      "^[0-9]{4}年[0-9]{1,2}月[0-9]{1,2}日(?:[0-9]{1,2}时(?:[0-9]{1,2}分(?:[0-9]{1,2}秒)?)?)?");
  std::smatch match;
  const std::string text = AnsiToUtf8(entry);
  if (!std::regex_search(text, match, stamp)) return std::nullopt;
  return entry.substr(Ansi(match.str(0)).size());
}

}  // namespace korvelin::testing
