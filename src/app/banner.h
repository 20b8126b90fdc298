// The animated fish banner of "--brisk".
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string_view>

namespace brisk {

// The four frames, UTF-8: each is "\n" and six lines of 30 characters, every
// line ended by "\n".
const std::array<std::string_view, 4>& fish_frames();

// Plays frames 1 to 4 four times on standard output, 400 ms each, moving the
// cursor back up over each one; then frame 4 once more and a newline. When
// the output is not a console the frames simply follow one another.
void play_fish_banner();

// The same animation with its output, pause and cursor movement supplied.
void play_fish_banner(std::ostream& out, const std::function<void()>& pause,
                      const std::function<void(std::uint32_t)>& move_up);

}  // namespace brisk
