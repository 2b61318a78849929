#include "app/command_line.h"

#include <cstring>

namespace korvelin {

namespace {

constexpr const char* kHelpText =
    "用法: korvelin [--help | --version]\n"
    "Usage: korvelin [--help | --version]\n"
    "\n"
    "监控九个亚马逊站点的产品价格，降到设定价格时报警。\n"
    "Watches Amazon prices in nine marketplaces and alerts at a target price.\n"
    "\n"
    "  -h, --help     显示本帮助并退出 (print this help and exit)\n"
    "  -v, --version  显示版本并退出 (print the version and exit)\n"
    "\n"
    "产品列表 / product list: 监控列表_默认.txt, beside the program when its folder can be\n"
    "written, otherwise in $XDG_DATA_HOME/korvelin/ (~/.local/share/korvelin/).\n";

bool Is(const char* arg, const char* long_name, const char* short_name) {
  return std::strcmp(arg, long_name) == 0 || std::strcmp(arg, short_name) == 0;
}

}  // namespace

std::optional<int> AnswerInfoArguments(int argc, const char* const* argv, std::FILE* out) {
  for (int i = 1; i < argc; ++i) {
    if (Is(argv[i], "--help", "-h")) {
      std::fputs(kHelpText, out);
      return 0;
    }
    if (Is(argv[i], "--version", "-v")) {
      std::fprintf(out, "korvelin %s\n", KORVELIN_VERSION);
      return 0;
    }
  }
  return std::nullopt;
}

}  // namespace korvelin
