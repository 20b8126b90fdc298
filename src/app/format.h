// Short human-readable texts for byte counts, counts with a unit and seconds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brisk {

// "512 B" below 1024 bytes, otherwise two decimals and a binary unit up to
// EiB ("17.55 MiB"). The unit steps before rounding, so 1,048,575 bytes read
// "1024.00 KiB".
std::string format_bytes(std::uint64_t bytes);

// "999 Hz" below 1000, otherwise two decimals and a decimal prefix K to E
// ("3.61 GHz"), stepping before rounding like format_bytes.
std::string format_si(std::uint64_t value, std::string_view unit);
// format_si of a frequency in Hz as the timer records hold it.
std::string format_hz(std::int64_t hz);

// "1h 2m 3s", "2m 3s" or "3s"; hours are not folded into days.
std::string format_duration(std::uint64_t seconds);

}  // namespace brisk
