#include "solver/state_check.h"

#include <cstring>

namespace brisk {
namespace {

std::uint64_t bits_of(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The four lanes a point must hold.
struct Expected {
  std::uint64_t lane[4] = {0, 0, 0, 0};
};

// Wrong lanes among `count` points that must all hold `want`. Branch-free,
// so a clean grid costs one streaming pass.
std::uint64_t count_wrong(const FieldPoint* points, std::uint64_t count, const Expected& want) {
  std::uint64_t wrong = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint64_t lanes[4];
    std::memcpy(lanes, &points[i], sizeof lanes);
    wrong += (lanes[0] != want.lane[0]) + (lanes[1] != want.lane[1]) + (lanes[2] != want.lane[2]) +
             (lanes[3] != want.lane[3]);
  }
  return wrong;
}

class Checker {
 public:
  explicit Checker(GridMismatch& result) : result_(result) {}

  // Points (x, y, first) .. (x, y, first + count - 1) of `field`.
  void run(const Field& field, char name, std::uint64_t x, std::uint64_t y, std::uint64_t first,
           std::uint64_t count, const Expected& want) {
    const FieldPoint* points = &field.at(x, y, first);
    const std::uint64_t wrong = count_wrong(points, count, want);
    if (wrong != 0 && result_.wrong_values == 0) note_first(points, name, x, y, first, want);
    result_.wrong_values += wrong;
  }

 private:
  // Only on the first wrong run of points: find the value again.
  void note_first(const FieldPoint* points, char name, std::uint64_t x, std::uint64_t y,
                  std::uint64_t first, const Expected& want) {
    for (std::uint64_t i = 0;; ++i) {
      double lanes[4];
      std::memcpy(lanes, &points[i], sizeof lanes);
      for (int c = 0; c < 4; ++c) {
        if (bits_of(lanes[c]) == want.lane[c]) continue;
        result_.field = name;
        result_.x = x;
        result_.y = y;
        result_.z = first + i;
        result_.component = c;
        std::memcpy(&result_.expected, &want.lane[c], sizeof(double));
        result_.found = lanes[c];
        return;
      }
    }
  }

  GridMismatch& result_;
};

}  // namespace

std::optional<GridMismatch> check_row_pattern(const Grid& grid, const double* row) {
  const std::uint64_t edge = grid.e.edge;
  if (!grid.e.allocated() || !grid.h.allocated() || grid.h.edge != edge || edge < 2) {
    return std::nullopt;
  }
  GridMismatch result;
  result.checked_values = 2 * 4 * edge * edge * edge;
  Checker checker(result);
  const Expected zero;
  const std::uint64_t last = edge - 1;
  for (std::uint64_t x = 0; x < edge; ++x) {
    for (std::uint64_t y = 0; y < edge; ++y) {
      if (x == 0 || x == last || y == 0 || y == last) {
        checker.run(grid.e, 'E', x, y, 0, edge, zero);
        continue;
      }
      Expected pattern;
      pattern.lane[0] = bits_of(row[x]);
      pattern.lane[1] = bits_of(row[y]);
      checker.run(grid.e, 'E', x, y, 0, 1, zero);
      checker.run(grid.e, 'E', x, y, 1, edge - 2, pattern);
      checker.run(grid.e, 'E', x, y, last, 1, zero);
    }
  }
  for (std::uint64_t x = 0; x < edge; ++x) {
    for (std::uint64_t y = 0; y < edge; ++y) checker.run(grid.h, 'H', x, y, 0, edge, zero);
  }
  if (result.wrong_values == 0) return std::nullopt;
  return result;
}

}  // namespace brisk
