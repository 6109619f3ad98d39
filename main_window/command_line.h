#pragma once

#include <optional>

namespace hiduke {

// The command line, read in two steps around the creation of QApplication.
// Each returns the exit code when the program should end at once, or nothing
// when the calendar should start.

// Before the application exists, so that it works without a display:
// -h/--help prints the usage, -v/--version the version, to stdout.
std::optional<int> AnswerHelpOrVersion(int argc, char* argv[]);

// After QApplication has taken its own options (-platform, -style ...) out
// of argv: anything left is not understood and is refused on stderr.
std::optional<int> RejectLeftoverArguments(int argc, char* argv[]);

}  // namespace hiduke
