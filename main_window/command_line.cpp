#include "main_window/command_line.h"

#include <cstdio>
#include <string_view>

namespace hiduke {
namespace {

constexpr const char* kUsage =
    "使い方: hiduke [オプション]\n"
    "\n"
    "月ごとのカレンダーに、日ごとの予定を書き留めます。\n"
    "予定は、起動したディレクトリの hiduke.dat に保存されます。\n"
    "\n"
    "  -h, --help     この使い方を表示して終了します\n"
    "  -v, --version  バージョンを表示して終了します\n"
    "\n"
    "Qt の標準オプション（-platform、-style など）も使えます。\n";

}  // namespace

std::optional<int> AnswerHelpOrVersion(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument == "-v" || argument == "--version") {
      std::fputs("日付カレンダー hiduke バージョン " HIDUKE_VERSION "\n", stdout);
      return 0;
    }
  }
  return std::nullopt;
}

std::optional<int> RejectLeftoverArguments(int argc, char* argv[]) {
  if (argc < 2) return std::nullopt;
  std::fprintf(stderr, "hiduke: 分からない引数です: %s\n\n%s", argv[1], kUsage);
  return 2;
}

}  // namespace hiduke
