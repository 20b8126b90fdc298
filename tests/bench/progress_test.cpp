#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>

#include "bench/progress_board.h"
#include "bench/progress_line.h"

namespace brisk {
namespace {

TEST(ProgressBoard, FreshSlotsAreZeroAndEachOwnsA128ByteBlock) {
  ProgressBoard board(5);
  ASSERT_EQ(board.slot_count(), 5u);
  for (std::uint64_t i = 0; i < board.slot_count(); ++i) {
    EXPECT_EQ(board.slot(i).iterations.load(), 0u);
    EXPECT_EQ(board.slot(i).mgups.load(), 0.0);
    const auto address = reinterpret_cast<std::uintptr_t>(&board.slot(i));
    EXPECT_EQ(address % 128, 0u);
    if (i > 0) {
      EXPECT_EQ(address - reinterpret_cast<std::uintptr_t>(&board.slot(i - 1)), 128u);
    }
  }
}

TEST(ProgressBoard, ImpossibleSizeThrowsBadAllocInsteadOfCorrupting) {
  EXPECT_THROW(ProgressBoard(std::numeric_limits<std::uint64_t>::max() / 64), std::bad_alloc);
}

TEST(PrintProgress, SumsRatesAndShowsTheLargestIterationCount) {
  ProgressBoard board(3);
  board.slot(0).mgups = 1.5;
  board.slot(0).iterations = 7;
  board.slot(1).mgups = 2.25;
  board.slot(1).iterations = 9;
  board.slot(2).iterations = 4;
  std::ostringstream out;
  print_progress(3, 10, board, out);
  EXPECT_EQ(out.str(), "\rbenchmarking... 3/10s             3.75 MGups  9 iterations");
}

TEST(PrintProgress, LargeRatesUseFourSignificantDigits) {
  ProgressBoard board(1);
  board.slot(0).mgups = 123456.789;
  std::ostringstream out;
  print_progress(0, 1000, board, out);
  EXPECT_EQ(out.str(), "\rbenchmarking... 0/1000s        1.235e+05 MGups  0 iterations");
}

}  // namespace
}  // namespace brisk
