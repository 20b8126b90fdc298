#include "argparse/parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace brisk::argparse {
namespace {

// A parser over fields of every kind, like a program would build it.
struct Fixture {
  bool help = false;
  bool verbose = false;
  std::uint32_t count = 5;
  std::uint64_t big = 9;
  std::string mode = "fast";
  std::string label;
  Parser parser;

  Fixture() {
    parser.add(Option::help(help))
        .add(Option::flag(verbose).name("-v").name("--verbose").help_text("Talk more"))
        .add(Option::value(count, "count").name("-c").name("--count").help_text("How many"))
        .add(Option::value(big, "big").name("-b").name("--big"))
        .add(Option::value(mode, "mode").name("--mode").choices({"fast", "slow", "off"}))
        .add(Option::value(label, "label").name("-l").name("--label"));
  }
  ParseResult parse(const std::vector<std::string>& args) { return parser.parse(args); }
};

TEST(ParserTest, EmptyArgumentListSucceedsAndKeepsDefaults) {
  Fixture f;
  const ParseResult result = f.parse({});
  EXPECT_TRUE(result.ok());
  EXPECT_FALSE(result.help);
  EXPECT_EQ(f.count, 5u);
  EXPECT_EQ(f.mode, "fast");
  EXPECT_FALSE(f.verbose);
}

TEST(ParserTest, EverySyntaxFormSetsTheValue) {
  const std::vector<std::vector<std::string>> forms = {
      {"--count", "42"}, {"--count=42"}, {"-c", "42"}, {"-c=42"}, {"-c42"}};
  for (const auto& args : forms) {
    Fixture f;
    EXPECT_TRUE(f.parse(args).ok()) << args[0];
    EXPECT_EQ(f.count, 42u) << args[0];
  }
}

TEST(ParserTest, FieldsOfEveryKindAreWritten) {
  Fixture f;
  ASSERT_TRUE(f.parse({"-v", "-b", "18446744073709551615", "--mode", "off", "--label=a=b"}).ok());
  EXPECT_TRUE(f.verbose);
  EXPECT_EQ(f.big, 18446744073709551615ull);
  EXPECT_EQ(f.mode, "off");
  EXPECT_EQ(f.label, "a=b");  // only the first '=' separates name and value
}

TEST(ParserTest, ValueOptionTakesNextArgumentEvenWhenItLooksLikeAnOption) {
  Fixture f;
  ASSERT_TRUE(f.parse({"--label", "--verbose"}).ok());
  EXPECT_EQ(f.label, "--verbose");
  EXPECT_FALSE(f.verbose);

  Fixture g;
  ASSERT_TRUE(g.parse({"-l", "-"}).ok());
  EXPECT_EQ(g.label, "-");

  Fixture h;
  EXPECT_EQ(h.parse({"--count", "--help"}).error, "Unable to convert '--help' to destination type");
  EXPECT_FALSE(h.help);
}

TEST(ParserTest, EmptyValuesAreValues) {
  Fixture f;
  f.label = "x";
  ASSERT_TRUE(f.parse({"--label", ""}).ok());
  EXPECT_EQ(f.label, "");
  Fixture g;
  g.label = "x";
  ASSERT_TRUE(g.parse({"--label="}).ok());
  EXPECT_EQ(g.label, "");
  Fixture h;
  EXPECT_EQ(h.parse({"-c="}).error, "Unable to convert '' to destination type");
}

TEST(ParserTest, UnrecognizedTokens) {
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"},   {"--"}, {"-"},    {"positional"}, {""},   {"--coun"}, {"--count4"},
      {"--Verbose"}, {"-x"}, {"-x=1"}, {"---count"},   {"=5"}, {"--=5"}};
  for (const auto& args : cases) {
    Fixture f;
    EXPECT_EQ(f.parse(args).error, "Unrecognized token: " + args[0]) << args[0];
  }
}

TEST(ParserTest, PositionalAfterValidOptionsIsReportedAsGiven) {
  Fixture f;
  EXPECT_EQ(f.parse({"-v", "-c", "1", "extra", "--bogus"}).error, "Unrecognized token: extra");
}

TEST(ParserTest, SecondOccurrenceOfAnOptionIsUnrecognized) {
  Fixture a;
  EXPECT_EQ(a.parse({"--count", "1", "--count", "2"}).error, "Unrecognized token: --count");
  Fixture b;
  EXPECT_EQ(b.parse({"-c1", "--count=2"}).error, "Unrecognized token: --count=2");
  Fixture c;
  EXPECT_EQ(c.parse({"-v", "--verbose"}).error, "Unrecognized token: --verbose");
  EXPECT_TRUE(c.verbose);
}

TEST(ParserTest, MissingValueNamesTheOptionAsTyped) {
  Fixture a;
  EXPECT_EQ(a.parse({"--count"}).error, "Expected argument following --count");
  Fixture b;
  EXPECT_EQ(b.parse({"-v", "-c"}).error, "Expected argument following -c");
}

TEST(ParserTest, FlagWithValueIsRejected) {
  Fixture a;
  EXPECT_EQ(a.parse({"--verbose=yes"}).error, "Flag option '--verbose' contains value 'yes'.");
  EXPECT_FALSE(a.verbose);
  Fixture b;
  EXPECT_EQ(b.parse({"-v=1"}).error, "Flag option '-v' contains value '1'.");
  Fixture c;
  EXPECT_EQ(c.parse({"-vx"}).error, "Flag option '-v' contains value 'x'.");
  Fixture d;
  EXPECT_EQ(d.parse({"--verbose="}).error, "Flag option '--verbose' contains value ''.");
  Fixture e;
  EXPECT_EQ(e.parse({"--help=now"}).error, "Flag option '--help' contains value 'now'.");
  EXPECT_FALSE(e.help);
}

TEST(ParserTest, ConversionFailuresQuoteTheValue) {
  for (const std::string value : {"abc", "-1", "+5", " 12", "12abc", "0x10", "4294967296"}) {
    Fixture f;
    EXPECT_EQ(f.parse({"--count", value}).error,
              "Unable to convert '" + value + "' to destination type");
  }
  Fixture g;
  EXPECT_EQ(g.parse({"-b18446744073709551616"}).error,
            "Unable to convert '18446744073709551616' to destination type");
  Fixture h;
  ASSERT_TRUE(h.parse({"-c4294967295", "-b", "4294967296"}).ok());
  EXPECT_EQ(h.count, 4294967295u);
  EXPECT_EQ(h.big, 4294967296ull);
}

TEST(ParserTest, ChoicesAreExactAndCheckedBeforeConversion) {
  Fixture a;
  EXPECT_EQ(a.parse({"--mode", "Fast"}).error,
            "Value 'Fast' not expected. Allowed values are: fast, slow, off");
  EXPECT_EQ(a.mode, "fast");
  Fixture b;
  ASSERT_TRUE(b.parse({"--mode=slow"}).ok());
  EXPECT_EQ(b.mode, "slow");

  // A numeric option with choices reports the choice, not the conversion.
  std::uint32_t n = 1;
  Parser p;
  p.add(Option::value(n, "n").name("-n").choices({"1", "2"}));
  EXPECT_EQ(p.parse({"-n", "x"}).error, "Value 'x' not expected. Allowed values are: 1, 2");
  ASSERT_TRUE(p.parse({"-n2"}).ok());
  EXPECT_EQ(n, 2u);
}

TEST(ParserTest, HelpEndsTheParseAtOnce) {
  for (const std::string name : {"-?", "-h", "--help"}) {
    Fixture f;
    const ParseResult result = f.parse({"-c", "3", name, "--bogus", "--count", "7", "--verbose=x"});
    EXPECT_TRUE(result.ok()) << name;
    EXPECT_TRUE(result.help) << name;
    EXPECT_TRUE(f.help);
    EXPECT_EQ(f.count, 3u);  // written before help, untouched after it
  }
  Fixture g;
  EXPECT_EQ(g.parse({"--bogus", "--help"}).error, "Unrecognized token: --bogus");
  EXPECT_FALSE(g.help);
}

TEST(ParserTest, ParsesArgvSkippingTheProgramName) {
  Fixture f;
  const char* argv[] = {"prog", "-c", "8", nullptr};
  EXPECT_TRUE(f.parser.parse(3, argv).ok());
  EXPECT_EQ(f.count, 8u);
  EXPECT_TRUE(f.parser.parse(0, argv).ok());
}

TEST(ParserTest, ComposedParserKeepsOrderAndBindings) {
  bool a = false;
  std::uint32_t b = 0;
  Parser first;
  first.add(Option::flag(a).name("--a"));
  Parser second;
  second.add(Option::value(b, "b").name("--b"));
  Parser all;
  all.add(first).add(second);
  ASSERT_EQ(all.options().size(), 2u);
  EXPECT_EQ(all.options()[0].names()[0], "--a");
  ASSERT_TRUE(all.parse({"--b", "3", "--a"}).ok());
  EXPECT_TRUE(a);
  EXPECT_EQ(b, 3u);
}

TEST(ProgramNameTest, StripsDirectoriesOfBothKinds) {
  EXPECT_EQ(program_name("/usr/bin/brisk"), "brisk");
  EXPECT_EQ(program_name("C:\\bench\\brisk.exe"), "brisk.exe");
  EXPECT_EQ(program_name("Z:\\work/app\\x/brisk.exe"), "brisk.exe");
  EXPECT_EQ(program_name("brisk"), "brisk");
  EXPECT_EQ(program_name("dir/"), "");
  EXPECT_EQ(program_name(nullptr), "");
}

}  // namespace
}  // namespace brisk::argparse
