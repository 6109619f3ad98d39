#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace hiduke {

// What the command line asks for. It is read before anything of Qt exists,
// so that every answer but starting the calendar needs no display.
struct CommandLine {
  enum class Action {
    kStart,       // the calendar, with Qt's own options (-platform, -style ...) left to Qt
    kHelp,        // -h, --help: the usage on standard output
    kVersion,     // -v, --version
    kExportICal,  // --export-ical FILE ("-": standard output)
    kImportICal,  // --import-ical FILE ("-": standard input), with --from DATE and --to DATE
    kMergeConflicts,  // --merge-conflicts: the sync tools' conflict copies merged into the note file
    kRefuse,      // an argument neither hiduke nor Qt takes
    kMissingValue,  // an option of hiduke's at the end, without its value
    kBadDate,       // --from or --to without a date YYYY-MM-DD the note file can hold, or --from after --to
  };
  Action action = Action::kStart;
  std::string exportPath{};  // for kExportICal
  std::string importPath{};  // for kImportICal
  std::optional<std::chrono::year_month_day> from{};  // for kImportICal: the range's days given
  std::optional<std::chrono::year_month_day> to{};
  std::string refused{};     // for kRefuse, kMissingValue and kBadDate: the argument
};

CommandLine readCommandLine(int argc, const char* const argv[]);

}  // namespace hiduke
