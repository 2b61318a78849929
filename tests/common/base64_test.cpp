#include "common/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace korvelin {
namespace {

struct Base64Case {
  std::string bytes;
  std::string encoded;
};

TEST(Base64Encode, MatchesTheStandardAlphabetAndPadding) {
  const Base64Case cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string(1, '\0'), "AA=="},
      {"\xff\xfe\xfd", "//79"},  // the last two letters of the alphabet
      {"\xc4\xe3", "xOM="},      // a double-byte character of code page 936
  };
  for (const Base64Case& c : cases) {
    EXPECT_EQ(Base64Encode(c.bytes), c.encoded) << c.encoded;
  }
}

}  // namespace
}  // namespace korvelin
