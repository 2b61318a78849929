// --help and --version print and end; any other argument starts the program.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace korvelin {
namespace {

struct Answer {
  std::optional<int> code;
  std::string printed;
};

Answer RunWith(std::vector<const char*> args) {
  args.insert(args.begin(), "korvelin");
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  Answer answer;
  answer.code = AnswerInfoArguments(static_cast<int>(args.size()), args.data(), out);
  std::fclose(out);
  answer.printed.assign(buffer, size);
  std::free(buffer);
  return answer;
}

TEST(CommandLine, VersionPrintsTheProjectVersionAndEnds) {
  for (const char* arg : {"--version", "-v"}) {
    const Answer a = RunWith({arg});
    ASSERT_TRUE(a.code.has_value()) << arg;
    EXPECT_EQ(*a.code, 0);
    EXPECT_EQ(a.printed, std::string("korvelin ") + KORVELIN_TEST_VERSION + "\n");
  }
}

TEST(CommandLine, HelpNamesBothOptionsAndTheListFile) {
  for (const char* arg : {"--help", "-h"}) {
    const Answer a = RunWith({"-platform", "xcb", arg});
    ASSERT_TRUE(a.code.has_value()) << arg;
    EXPECT_EQ(*a.code, 0);
    EXPECT_EQ(a.printed.rfind("用法: korvelin [--help | --version]\n", 0), 0u);
    EXPECT_NE(a.printed.find("--version"), std::string::npos);
    EXPECT_NE(a.printed.find("监控列表_默认.txt"), std::string::npos);
  }
}

TEST(CommandLine, OtherArgumentsStartTheProgram) {
  const std::vector<std::vector<const char*>> cases = {
      {}, {"-platform", "offscreen"}, {"--helpme"}, {"version"}, {"-"}, {"监控列表.txt"}};
  for (const auto& args : cases) {
    const Answer a = RunWith(args);
    EXPECT_FALSE(a.code.has_value()) << (args.empty() ? "(none)" : args[0]);
    EXPECT_EQ(a.printed, "");
  }
}

}  // namespace
}  // namespace korvelin
