// Random and mutated argument vectors through parsing, validation and the
// choice of action: every one must end in a message or an action, never in a
// crash or an exception.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "app/compare_command.h"
#include "app/dispatch.h"
#include "app/help.h"

namespace brisk {
namespace {

const std::vector<std::string> kPool = {"-?",
                                        "-h",
                                        "--help",
                                        "-n",
                                        "--numthreads",
                                        "-d",
                                        "--duration",
                                        "-s",
                                        "--size",
                                        "--workload",
                                        "--isa",
                                        "--strict-isa-check",
                                        "--threading",
                                        "--large-pages",
                                        "--bypass-timer-check",
                                        "--topo-debug",
                                        "--timer-debug",
                                        "--brisk",
                                        "--harness-var",
                                        "--harness-sub-runs",
                                        "--harness-opt",
                                        "-n4",
                                        "-s=64",
                                        "--size=8192",
                                        "-d=1",
                                        "--large-pages=yes",
                                        "--help=",
                                        "-hx",
                                        "0",
                                        "1",
                                        "64",
                                        "65",
                                        "192",
                                        "8192",
                                        "4294967295",
                                        "4294967296",
                                        "18446744073709551615",
                                        "18446744073709551616",
                                        "-1",
                                        "+5",
                                        " 12",
                                        "0x10",
                                        "",
                                        "-",
                                        "--",
                                        "=",
                                        "os",
                                        "numa",
                                        "phte",
                                        "NUMA",
                                        "none",
                                        "size",
                                        "threads",
                                        "isa",
                                        "standing_wave",
                                        "soft_gaussian",
                                        "sse2",
                                        "avx",
                                        "avx2",
                                        "fma",
                                        "avx512",
                                        "\xC2\xA9",
                                        "\xFF\xFE",
                                        "--\xC3\xA9",
                                        "a=b",
                                        "--size==64",
                                        "-s-s"};

const std::vector<std::string> kMessagePrefixes = {"Unrecognized token: ",
                                                   "Expected argument following ",
                                                   "Flag option '",
                                                   "Unable to convert '",
                                                   "Value '",
                                                   "Invalid size '",
                                                   "Invalid workload name '",
                                                   "Invalid isa name '",
                                                   "grid size "};

class ArgumentFuzzer {
 public:
  explicit ArgumentFuzzer(std::uint32_t seed) : rng_(seed) {}

  std::vector<std::string> next() {
    std::vector<std::string> args;
    const int count = pick(0, 8);
    for (int i = 0; i < count; ++i) args.push_back(pick(0, 3) == 0 ? random_token() : pool_token());
    const int mutations = pick(0, 3);
    for (int i = 0; i < mutations && !args.empty(); ++i) mutate(args);
    return args;
  }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  std::string pool_token() { return kPool[pick(0, static_cast<int>(kPool.size()) - 1)]; }

  std::string random_token() {
    static const std::string chars = "-=?hnds0123456789abcxyz_ :,\\/\xC2\xA9\x01\x7F";
    std::string token;
    const int length = pick(0, 12);
    for (int i = 0; i < length; ++i) token += chars[pick(0, static_cast<int>(chars.size()) - 1)];
    return token;
  }

  void mutate(std::vector<std::string>& args) {
    const auto at = static_cast<std::size_t>(pick(0, static_cast<int>(args.size()) - 1));
    std::string& token = args[at];
    switch (pick(0, 5)) {
      case 0:
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(at));
        break;
      case 1:
        args.insert(args.begin() + static_cast<std::ptrdiff_t>(at), std::string(token));
        break;
      case 2:
        if (!token.empty()) token.resize(static_cast<std::size_t>(pick(0, int(token.size()) - 1)));
        break;
      case 3:
        token.insert(static_cast<std::size_t>(pick(0, static_cast<int>(token.size()))), 1,
                     static_cast<char>(pick(1, 255)));
        break;
      case 4:
        token.push_back('=');
        token.append(pool_token());
        break;
      default:
        std::swap(token, args[static_cast<std::size_t>(pick(0, int(args.size()) - 1))]);
        break;
    }
  }

  std::mt19937 rng_;
};

bool starts_with_known_prefix(const std::string& message) {
  return std::any_of(kMessagePrefixes.begin(), kMessagePrefixes.end(),
                     [&](const std::string& prefix) { return message.rfind(prefix, 0) == 0; });
}

Dispatch decide(const std::vector<std::string>& args, DriverSettings& settings) {
  std::vector<const char*> argv = {"brisk"};
  for (const auto& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  return choose_action(static_cast<int>(argv.size() - 1), argv.data(), settings);
}

void check_outcome(const std::vector<std::string>& args) {
  DriverSettings settings;
  Dispatch d;
  try {
    d = decide(args, settings);
  } catch (...) {
    ADD_FAILURE() << "exception for an argument vector of " << args.size() << " tokens";
    return;
  }
  switch (d.action) {
    case DriverAction::parse_error:
    case DriverAction::invalid_setting:
    case DriverAction::size_overflow:
      ASSERT_EQ(d.lines.size(), 1u);
      EXPECT_TRUE(starts_with_known_prefix(d.lines[0])) << d.lines[0];
      EXPECT_EQ(exit_status(d.action), 1);
      break;
    case DriverAction::help:
      ASSERT_FALSE(d.lines.empty());
      EXPECT_EQ(d.lines.front(), "USAGE:");
      EXPECT_NE(std::find(d.lines.begin(), d.lines.end(), kHelpClosingNotice), d.lines.end());
      EXPECT_EQ(d.lines.back(), command_help_lines().back());
      break;
    case DriverAction::run: {
      // Whatever reaches a run was validated.
      const auto& sizes = kGridSizes;
      EXPECT_NE(std::find(sizes.begin(), sizes.end(), settings.config.size), sizes.end());
      const auto& t = settings.config.threading;
      EXPECT_TRUE(t == "os" || t == "numa" || t == "phte") << t;
      EXPECT_TRUE(d.lines.empty());
      break;
    }
    case DriverAction::banner:
    case DriverAction::topology_report:
    case DriverAction::timer_report:
      EXPECT_TRUE(d.lines.empty());
      EXPECT_EQ(exit_status(d.action), 0);
      break;
    default:
      ADD_FAILURE() << "unknown action";
  }
  // The decision depends on the arguments alone.
  DriverSettings again;
  const Dispatch repeat = decide(args, again);
  EXPECT_EQ(repeat.action, d.action);
  EXPECT_EQ(repeat.lines, d.lines);
}

TEST(DispatchFuzzTest, RandomAndMutatedArgumentVectors) {
  ArgumentFuzzer fuzzer(20261209);
  for (int i = 0; i < 20000 && !testing::Test::HasFatalFailure(); ++i) {
    check_outcome(fuzzer.next());
  }
}

TEST(DispatchFuzzTest, EveryPoolTokenAloneAndPaired) {
  for (const auto& a : kPool) {
    check_outcome({a});
    for (const auto& b : kPool) check_outcome({a, b});
  }
}

}  // namespace
}  // namespace brisk
