// The command line as the user typed it. On Windows the narrow argument
// vector holds the arguments in the ANSI code page, where characters the code
// page lacks are replaced by look-alikes or '?'; the wide command line keeps
// them.
#pragma once

#include <string>
#include <vector>

namespace brisk {

// Every argument, the program name first, in UTF-8. Linux: argv as it is.
// Windows: the wide command line split by the system's rules, converted to
// UTF-8; argv when that fails or disagrees with argc.
std::vector<std::string> command_line_utf8(int argc, const char* const* argv);

}  // namespace brisk
