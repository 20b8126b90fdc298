#include "app/banner.h"

#include <chrono>
#include <iostream>
#include <thread>

#include "app/console.h"

namespace brisk {

namespace {

// Every character between the parentheses is part of the line, trailing
// blanks included; backslashes are literal.
// clang-format off
constexpr std::string_view kFrame1 =
    "\n"
    R"(            ¸¸¸.:::::  .'''   )" "\n"
    R"(     ¸.·´´´´¸ ```'/''·´   ``: )" "\n"
    R"(  : © ):   ...____       ':`  )" "\n"
    R"(     `······` \\  `\      .:' )" "\n"
    R"(                `   '...:;`   )" "\n"
    R"(                       ``     )" "\n";

constexpr std::string_view kFrame2 =
    "\n"
    R"(            ¸¸¸.:::::  .''    )" "\n"
    R"(  O  ¸.·´´´´¸ ```'/''·´  ';   )" "\n"
    R"(  ) © ):   ...____       ':   )" "\n"
    R"(     `······` \\\ `\     ;:   )" "\n"
    R"(                    '...;`    )" "\n"
    R"(                       `      )" "\n";

constexpr std::string_view kFrame3 =
    "\n"
    R"( O          ¸¸¸.:::::  .'''   )" "\n"
    R"(     ¸.·´´´´¸ ```'/''·´   ``: )" "\n"
    R"(  : © ):   ...____       ':`  )" "\n"
    R"(     `······` \\  `\      .:' )" "\n"
    R"(                `   '...:;`   )" "\n"
    R"(                       ``     )" "\n";

constexpr std::string_view kFrame4 =
    "\n"
    R"(            ¸¸¸.:::::  .''    )" "\n"
    R"(     ¸.·´´´´¸ ```'/''·´  ';   )" "\n"
    R"(  : © ):   ...____       ':   )" "\n"
    R"(     `······` \\\ `\     ;:   )" "\n"
    R"(                    '...;`    )" "\n"
    R"(                       `      )" "\n";
// clang-format on

constexpr std::array<std::string_view, 4> kFrames = {kFrame1, kFrame2, kFrame3, kFrame4};
constexpr int kRounds = 4;
constexpr std::uint32_t kFrameLines = 7;  // the leading "\n" and six lines

}  // namespace

const std::array<std::string_view, 4>& fish_frames() { return kFrames; }

void play_fish_banner(std::ostream& out, const std::function<void()>& pause,
                      const std::function<void(std::uint32_t)>& move_up) {
  for (int round = 0; round < kRounds; ++round) {
    for (std::string_view frame : kFrames) {
      out << frame << std::flush;
      pause();
      move_up(kFrameLines);  // the next frame overwrites this one
    }
  }
  out << kFrames.back() << std::endl;
}

void play_fish_banner() {
  play_fish_banner(
      std::cout, [] { std::this_thread::sleep_for(std::chrono::milliseconds(400)); },
      [](std::uint32_t lines) { cursor_up(lines); });
}

}  // namespace brisk
