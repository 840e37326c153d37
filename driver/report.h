// Printing of reports: the text of a report, the colouring that makes every byte
// visible on a terminal, and the driver's own two reports (usage, unreadable file).
#pragma once

#include <string>
#include <string_view>

#include "core/report.h"

namespace ruk {

// "Error.\n" " Type: <type>\n" [" Name: <name>\n"] "<text>\n" "\\/\n"; the name line only
// when the name is not empty. Nothing in the report is escaped here.
[[nodiscard]] std::string format_report(const Report& report);

// Newline and 32..126 are written as they are; every other byte becomes one printable
// character in green (controls, 127..160, 255) or red (161..254), with the terminal's
// colour sequences around each run and a reset at the end if a run is still open.
[[nodiscard]] std::string colour_for_terminal(std::string_view text);

// One-line form of a name: backslash, 127 and bytes below 32 or above 127 become "\x"
// and two upper-case hex digits.
[[nodiscard]] std::string escape_name(std::string_view name);

// The driver's own reports, formatted like every other but written without colouring
// (their texts are printable already): the usage when the program file is missing from
// the command line, and the start report for a program file that cannot be opened or
// read, named by its escaped name in double quotes.
[[nodiscard]] Report usage_report();
[[nodiscard]] Report start_report(std::string_view file_name);

}  // namespace ruk
