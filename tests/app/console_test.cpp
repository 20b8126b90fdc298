#include "app/console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brisk {
namespace {

// Records every console call; answers as a console in the given state would.
class FakeConsole final : public ConsoleOps {
 public:
  bool vt_available = false;
  std::optional<std::int32_t> row;
  int enable_calls = 0;
  int row_reads = 0;
  int flushes = 0;
  std::vector<std::int32_t> rows_set;
  std::string written;

  bool enable_virtual_terminal() override {
    ++enable_calls;
    return vt_available;
  }
  std::optional<std::int32_t> cursor_row() override {
    ++row_reads;
    return row;
  }
  void set_cursor_row(std::int32_t r) override { rows_set.push_back(r); }
  void write(std::string_view text) override { written += text; }
  void flush() override { ++flushes; }
};

TEST(CursorUpTest, ZeroLinesTouchesNothing) {
  FakeConsole console;
  console.vt_available = true;
  console.row = 10;
  ConsoleFlags flags;
  cursor_up(0, flags, console);
  EXPECT_EQ(console.enable_calls, 0);
  EXPECT_EQ(console.row_reads, 0);
  EXPECT_EQ(console.flushes, 0);
  EXPECT_TRUE(console.written.empty());
  EXPECT_FALSE(flags.tried_virtual_terminal);  // the attempt is still to come
}

TEST(CursorUpTest, VirtualTerminalWritesPreviousLineSequence) {
  FakeConsole console;
  console.vt_available = true;
  ConsoleFlags flags;
  cursor_up(7, flags, console);
  cursor_up(4294967295u, flags, console);
  EXPECT_EQ(console.written, "\x1b[7F\x1b[4294967295F");
  EXPECT_EQ(console.enable_calls, 1);  // switched on once
  EXPECT_EQ(console.flushes, 2);
  EXPECT_TRUE(console.rows_set.empty());
}

TEST(CursorUpTest, ConsoleApiFallbackClampsAtRowZero) {
  FakeConsole console;
  console.row = 10;
  ConsoleFlags flags;
  cursor_up(7, flags, console);
  cursor_up(10, flags, console);
  cursor_up(11, flags, console);
  cursor_up(4294967295u, flags, console);
  EXPECT_EQ(console.rows_set, (std::vector<std::int32_t>{3, 0, 0, 0}));
  EXPECT_TRUE(console.written.empty());
  EXPECT_EQ(console.enable_calls, 1);  // a refused switch is not retried
  EXPECT_TRUE(flags.tried_virtual_terminal);
  EXPECT_FALSE(flags.virtual_terminal);
  EXPECT_EQ(console.flushes, 4);
}

TEST(CursorUpTest, RedirectedOutputGetsNothingAndNoFlush) {
  FakeConsole console;  // no escape sequences, no readable buffer
  ConsoleFlags flags;
  cursor_up(7, flags, console);
  cursor_up(7, flags, console);
  EXPECT_TRUE(console.written.empty());
  EXPECT_TRUE(console.rows_set.empty());
  EXPECT_EQ(console.flushes, 0);
  EXPECT_EQ(console.enable_calls, 1);
}

TEST(CursorUpTest, ProcessConsoleWithZeroLinesWritesNothing) {
  testing::internal::CaptureStdout();
  cursor_up(0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

}  // namespace
}  // namespace brisk
