#include "app/command_line.h"

#include <algorithm>
#include <array>
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

}  // namespace

CommandLine readCommandLine(int argc, const char* const argv[]) {
  CommandLine line;
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
    const std::string_view qtName = qtOptionName(argument);
    if (isOneOf(qtName, kQtOptionsWithValue) && (argument.find('=') != std::string_view::npos || ++i < argc)) continue;
    if (isOneOf(qtName, kQtFlags)) continue;
    return {.action = CommandLine::Action::kRefuse, .refused = std::string(argument)};
  }
  return line;
}

}  // namespace hiduke
