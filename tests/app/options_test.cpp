#include "app/options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/compare_command.h"
#include "app/help.h"

namespace brisk {
namespace {

struct Built {
  BenchConfig config;
  harness_settings harness;
  ModeFlags modes;
  ExportSettings exports;
  CompareSettings compare;
  argparse::Parser parser = build_parser(config, harness, modes, exports, compare);
};

// Names of every option, joined per option, in listing order.
std::vector<std::string> option_names(const argparse::Parser& parser) {
  std::vector<std::string> out;
  for (const auto& option : parser.options()) {
    std::string joined;
    for (const auto& name : option.names()) joined += (joined.empty() ? "" : " ") + name;
    out.push_back(joined);
  }
  return out;
}

TEST(OptionsTest, SixteenOptionsThenTheResultsFilesInListingOrder) {
  Built b;
  const std::vector<std::string> expected = {"-? -h --help",
                                             "-n --numthreads",
                                             "-d --duration",
                                             "-s --size",
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
                                             "--export-json",
                                             "--export-csv",
                                             "--export-markdown",
                                             "--export-html",
                                             "--no-save",
                                             "--compare-to",
                                             "--threshold",
                                             "--fail-slower"};
  EXPECT_EQ(option_names(b.parser), expected);
}

TEST(OptionsTest, EveryOptionReachesItsField) {
  Built b;
  const std::vector<std::string> args = {"-n",
                                         "12",
                                         "-d",
                                         "5000",
                                         "-s",
                                         "256",
                                         "--workload",
                                         "soft_gaussian",
                                         "--isa",
                                         "avx2",
                                         "--strict-isa-check",
                                         "--threading",
                                         "phte",
                                         "--large-pages",
                                         "--bypass-timer-check",
                                         "--topo-debug",
                                         "--timer-debug",
                                         "--brisk",
                                         "--harness-var",
                                         "threads",
                                         "--harness-sub-runs",
                                         "0",
                                         "--harness-opt",
                                         "1-8:2",
                                         "--export-markdown",
                                         "r.md",
                                         "--export-json",
                                         "r.json",
                                         "--export-html",
                                         "r.html",
                                         "--export-csv",
                                         "r.csv"};
  ASSERT_TRUE(b.parser.parse(args).ok());
  EXPECT_EQ(b.config.numthreads, 12u);
  EXPECT_EQ(b.config.duration, 5000u);  // not clamped by the command line
  EXPECT_EQ(b.config.size, 256u);
  EXPECT_EQ(b.config.workload, "soft_gaussian");
  EXPECT_EQ(b.config.isa, "avx2");
  EXPECT_EQ(b.config.threading, "phte");
  EXPECT_TRUE(b.config.strict_isa_check);
  EXPECT_TRUE(b.config.large_pages);
  EXPECT_TRUE(b.config.bypass_timer_check);
  EXPECT_TRUE(b.modes.topo_debug);
  EXPECT_TRUE(b.modes.timer_debug);
  EXPECT_TRUE(b.modes.brisk);
  EXPECT_FALSE(b.modes.help);
  EXPECT_EQ(b.harness.var, "threads");
  EXPECT_EQ(b.harness.sub_runs, 0u);
  EXPECT_EQ(b.harness.option_string, "1-8:2");
  EXPECT_EQ(b.harness.pause_ms, 1u);
  // Each file reaches its own format, whatever the order on the command line.
  const std::vector<ExportTarget> targets = b.exports.targets();
  ASSERT_EQ(targets.size(), 4u);
  EXPECT_EQ(targets[0].format, ExportFormat::json);
  EXPECT_EQ(targets[0].path, "r.json");
  EXPECT_EQ(targets[1].format, ExportFormat::csv);
  EXPECT_EQ(targets[1].path, "r.csv");
  EXPECT_EQ(targets[2].format, ExportFormat::markdown);
  EXPECT_EQ(targets[2].path, "r.md");
  EXPECT_EQ(targets[3].format, ExportFormat::html);
  EXPECT_EQ(targets[3].path, "r.html");
}

// Results-file and comparison options that parse but cannot be honoured are
// refused before anything runs, with one line.
TEST(OptionsTest, UnusableFileNamesAndPercentagesAreRefused) {
  struct Case {
    std::vector<std::string> args;
    std::string message;  // empty: accepted
  };
  const Case cases[] = {
      {{"--export-json", ""}, "--export-json: the file name is empty"},
      {{"--export-html", "r.html", "--export-csv", ""}, "--export-csv: the file name is empty"},
      {{"--export-json", "r.json", "--export-csv", "./r.json"},
       "--export-json and --export-csv name the same file \"r.json\"; give each format its own "
       "file"},
      {{"--export-json", "r.json", "--export-csv", "r.csv"}, ""},
      {{"--compare-to", "a.json", "--threshold", "0.5", "--fail-slower", "10"}, ""},
      {{"--compare-to", ""}, "--compare-to: the results file name is empty"},
      {{"--threshold", "3"}, "--threshold needs a comparison: add --compare-to"},
      {{"--compare-to", "a.json", "--threshold", "-1"},
       "--threshold: '-1' is not a percentage from 0 to 1000"},
      {{"--compare-to", "a.json", "--fail-slower", "nan"},
       "--fail-slower: 'nan' is not a percentage from 0 to 1000"},
      {{"--compare-to", "a.json", "--fail-slower", "1e3"},
       "--fail-slower: '1e3' is not a percentage from 0 to 1000"},
      {{"--compare-to", "a.json", "--threshold", "1000.5"},
       "--threshold: '1000.5' is not a percentage from 0 to 1000"},
  };
  for (const Case& c : cases) {
    Built b;
    ASSERT_TRUE(b.parser.parse(c.args).ok());
    std::optional<std::string> failure = b.exports.validate();
    if (!failure) failure = validate_compare_settings(b.compare, b.compare.compare_to_given);
    EXPECT_EQ(failure.value_or(""), c.message) << c.args.front();
  }
}

TEST(OptionsTest, ChoiceListsOfThreadingAndHarnessVariable) {
  Built a;
  EXPECT_EQ(a.parser.parse({"--threading", "NUMA"}).error,
            "Value 'NUMA' not expected. Allowed values are: os, numa, phte");
  Built b;
  EXPECT_EQ(b.parser.parse({"--harness-var", "foo"}).error,
            "Value 'foo' not expected. Allowed values are: none, size, duration, threads, isa");
  Built c;
  EXPECT_EQ(c.parser.parse({"-n", "4294967296"}).error,
            "Unable to convert '4294967296' to destination type");
  Built d;
  ASSERT_TRUE(d.parser.parse({"-s", "18446744073709551615"}).ok());
  EXPECT_EQ(d.config.size, 18446744073709551615ull);
}

TEST(HelpTest, HelpLinesEndWithTableOneNoticeThenTheCommands) {
  Built b;
  const auto lines = help_lines(b.parser, "brisk");
  const auto usage = b.parser.usage_lines("brisk");
  const auto commands = command_help_lines();
  ASSERT_EQ(lines.size(), usage.size() + 1 + 15 + 1 + 1 + commands.size());
  EXPECT_TRUE(std::equal(usage.begin(), usage.end(), lines.begin()));
  EXPECT_EQ(lines[usage.size()], "");
  EXPECT_EQ(lines[usage.size() + 1], "field size      memory used per thread");
  EXPECT_EQ(lines[usage.size() + 16], kHelpClosingNotice);
  EXPECT_EQ(lines[usage.size() + 17], "");
  EXPECT_TRUE(std::equal(commands.begin(), commands.end(), lines.end() - commands.size()));
  EXPECT_EQ(std::string(kHelpClosingNotice).find('\n'), std::string::npos);
}

}  // namespace
}  // namespace brisk
