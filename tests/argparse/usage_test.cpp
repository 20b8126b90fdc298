#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "argparse/parser.h"

namespace brisk::argparse {
namespace {

TEST(UsageTest, LayoutOfShortAndLongEntries) {
  bool help = false;
  bool quiet = false;
  bool bare = false;
  std::uint32_t n = 4;
  std::uint64_t size = 0;
  std::string name = "abc";
  std::string empty;
  Parser parser;
  parser.add(Option::help(help))
      .add(Option::value(n, "n").name("-n").name("--num").help_text("Count"))
      .add(Option::flag(quiet).name("--quiet").help_text("Say less"))
      .add(Option::value(size, "sz")
               .name("-s")
               .name("--size-of-item"))  // left part of 23 characters
      .add(Option::value(name, "name").name("--longer-name").name("-x").help_text("Who"))  // 24
      .add(Option::value(empty, "opt").name("--opt").help_text("No default shown"))
      .add(Option::flag(bare).name("--bare"));

  const std::string expected =
      "USAGE:\n"
      "  tool [-?|-h|--help] [-n|--num <n>] [--quiet] [-s|--size-of-item <sz>] "
      "[--longer-name|-x <name>] [--opt <opt>] [--bare]\n"
      "\n"
      "OPTIONS, ARGUMENTS:\n"
      "  -?, -h, --help          Display usage information.\n"
      "  -n, --num <n>           Count [default: 4]\n"
      "  --quiet                 Say less\n"
      "  -s, --size-of-item <sz> [default: 0]\n"
      "  --longer-name, -x <name>\n"
      "                          Who [default: abc]\n"
      "  --opt <opt>             No default shown\n"
      "  --bare                  \n";
  EXPECT_EQ(parser.usage_text("tool"), expected);
}

TEST(UsageTest, DefaultIsTheValueWhenTheOptionWasBuilt) {
  std::uint32_t n = 30;
  Parser parser;
  parser.add(Option::value(n, "n").name("-n").help_text("N"));
  n = 99;  // changing the field later does not change the listed default
  const auto lines = parser.usage_lines("p");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[4], "  -n <n>                  N [default: 30]");
  EXPECT_EQ(lines[4].find('N'), 26u);  // column 27
}

TEST(UsageTest, EmptyParserStillHasBothHeadings) {
  Parser parser;
  EXPECT_EQ(parser.usage_text("p"), "USAGE:\n  p\n\nOPTIONS, ARGUMENTS:\n");
}

}  // namespace
}  // namespace brisk::argparse
