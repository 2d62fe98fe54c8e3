#pragma once
// What every program of Quillet says about itself: the version of Quillet (set once, in
// the build) and the answers to --help and --version. A program answers them before it
// opens a window, a port or its data folder, so scripts, packaging and the man-page
// generator can ask it on a machine without a display or a modem.
//
// --version prints one line, "PROGRAM (Quillet) VERSION". --help prints the program's
// usage text, which starts with a "Usage:" line and a one-line summary (the summary
// becomes the NAME line of the program's man page).

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ql {

// The version of Quillet, "MAJOR.MINOR.PATCH".
std::string_view QuilletVersion();

// "PROGRAM (Quillet) VERSION".
std::string VersionLine(std::string_view program);

// When args (the arguments after the program name) hold --help, -h or --version, prints the
// usage text or the version line on standard output and returns the exit status (0);
// whichever comes first wins. Otherwise returns nothing and prints nothing.
std::optional<int> AnswerHelpOrVersion(std::span<const std::string> args, std::string_view program,
                                       std::string_view usage);

}  // namespace ql
