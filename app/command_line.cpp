#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace hiduke {
namespace {

// Qt's own options, which QApplication takes out of the arguments: those
// followed by a value, and those that stand alone.
constexpr std::array<std::string_view, 27> kQtOptionsWithValue = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "style", "stylesheet", "session",
    "display", "geometry", "qwindowgeometry", "qwindowicon", "qwindowtitle", "title", "name", "font",
    "fn", "bg", "background", "fg", "foreground", "btn", "button", "visual", "ncols", "cmap", "im",
    "inputstyle"};
constexpr std::array<std::string_view, 6> kQtFlags = {"reverse", "nograb", "dograb", "sync", "widgetcount",
                                                      "qmljsdebugger"};

// The name of a Qt option as Qt reads it: one or two dashes, a value after
// `=` or in the next argument.
std::string_view qtOptionName(std::string_view argument) {
  if (!argument.starts_with('-')) return {};
  argument.remove_prefix(argument.starts_with("--") ? 2 : 1);
  return argument.substr(0, argument.find('='));
}

template <std::size_t N>
bool isOneOf(std::string_view name, const std::array<std::string_view, N>& names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// "2024-01-31": a day of the years the note file holds (0 to 32767).
std::optional<std::chrono::year_month_day> readDate(std::string_view text) {
  int numbers[3] = {-1, -1, -1};
  const char* p = text.data();
  const char* const end = p + text.size();
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && (p == end || *p++ != '-')) return std::nullopt;
    const auto [next, error] = std::from_chars(p, end, numbers[i]);
    if (error != std::errc() || next == p || numbers[i] < 0) return std::nullopt;
    p = next;
  }
  const std::chrono::year_month_day day{std::chrono::year(numbers[0]), std::chrono::month(static_cast<unsigned>(numbers[1])),
                                        std::chrono::day(static_cast<unsigned>(numbers[2]))};
  if (p != end || numbers[0] > 32767 || !day.ok()) return std::nullopt;
  return day;
}

}  // namespace

CommandLine readCommandLine(int argc, const char* const argv[]) {
  CommandLine line;
  std::string rangeGiven;  // the --from and --to arguments, as given
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help") return {.action = CommandLine::Action::kHelp};
    if (argument == "-v" || argument == "--version") return {.action = CommandLine::Action::kVersion};
    if (argument == "--merge-conflicts") {
      line.action = CommandLine::Action::kMergeConflicts;
      continue;
    }
    if (argument == "--export-ical") {
      if (i + 1 == argc) return {.action = CommandLine::Action::kMissingValue, .refused = std::string(argument)};
      line.action = CommandLine::Action::kExportICal;
      line.exportPath = argv[++i];
      continue;
    }
    if (argument == "--import-ical") {
      if (i + 1 == argc) return {.action = CommandLine::Action::kMissingValue, .refused = std::string(argument)};
      line.action = CommandLine::Action::kImportICal;
      line.importPath = argv[++i];
      continue;
    }
    if (argument == "--from" || argument == "--to") {
      if (i + 1 == argc) return {.action = CommandLine::Action::kMissingValue, .refused = std::string(argument)};
      const std::optional<std::chrono::year_month_day> day = readDate(argv[++i]);
      if (!day) return {.action = CommandLine::Action::kBadDate, .refused = std::string(argument) + " " + argv[i]};
      (argument == "--from" ? line.from : line.to) = day;
      rangeGiven += (rangeGiven.empty() ? "" : " ") + std::string(argument) + " " + argv[i];
      continue;
    }
    const std::string_view qtName = qtOptionName(argument);
    if (isOneOf(qtName, kQtOptionsWithValue) && (argument.find('=') != std::string_view::npos || ++i < argc)) continue;
    if (isOneOf(qtName, kQtFlags)) continue;
    return {.action = CommandLine::Action::kRefuse, .refused = std::string(argument)};
  }
  if (line.from && line.to && *line.from > *line.to) {
    return {.action = CommandLine::Action::kBadDate, .refused = rangeGiven};
  }
  return line;
}

}  // namespace hiduke
