// The console of standard output, as the operating system reports it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brisk::console_os {

// Asks the console of standard output to interpret escape sequences; true
// when it will (Windows: virtual-terminal processing switched on; Linux:
// standard output is a terminal).
bool enable_virtual_terminal();

// The cursor row of the console behind standard output; none when standard
// output is not a console whose buffer can be read (redirected, or Linux).
std::optional<std::int32_t> cursor_row();

// Moves the console cursor of standard output to column 0 of `row`.
void set_cursor_row(std::int32_t row);

}  // namespace brisk::console_os

namespace brisk::console_os {

// Linux: gives descriptors 1 and 2 /dev/null when they are not open, so that
// a file brisk opens later can never take their number and receive the
// console's text; returns the reason standard output cannot be written ("Bad
// file descriptor") when descriptor 1 was not open. Windows: nothing to do;
// returns nothing.
std::optional<std::string> claim_closed_standard_streams();

}  // namespace brisk::console_os
