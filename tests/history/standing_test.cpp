#include "history/standing.h"

#include <gtest/gtest.h>

#include "history/history_fixture.h"
#include "history/history_paths.h"

namespace brisk {
namespace {

class StandingTest : public ::testing::Test {
 protected:
  void save(const std::string& name, const std::string& time, std::vector<testing::PointSpec> p,
            const std::string& variable = "none") {
    testing::save_record(home.results(), name, testing::make_record(time, std::move(p), variable));
  }
  std::vector<std::string> lines(std::vector<testing::PointSpec> now,
                                 const std::string& variable = "none") {
    const ResultsDocument current = document_from_record(
        testing::make_record("2026-12-10T00:00:00Z", std::move(now), variable));
    const HistoryStore store = HistoryStore::open(home.results(), index_file_for(home.results()));
    return standing_lines(current, store, kOwn);
  }

  static constexpr const char* kOwn = "2026-12-10T000000Z-ownownownown.json";
  testing::HistoryHome home;
};

TEST_F(StandingTest, PreviousAndBest) {
  save("2026-12-01T091200Z-2bq9x1mnaaaa.json", "2026-12-01T09:12:00Z", {{"none", {455.1, 455.1}}});
  save("2026-12-09T204305Z-7f3k2a9qbbbb.json", "2026-12-09T20:43:05Z", {{"none", {429.8, 429.94}}});
  // The own file is newer and better, and must not count.
  save(kOwn, "2026-12-10T00:00:00Z", {{"none", {999, 999}}});
  const std::vector<std::string> result = lines({{"none", {431.0, 431.04}}});
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result[0],
            "history: previous 2026-12-09 20:43 UTC (id 7f3k2a9q): 429.87 MGups, now 431.02: "
            "+0.27%, no change");
  EXPECT_EQ(result[1],
            "history: best 2026-12-01 09:12 UTC (id 2bq9x1mn): 455.10 MGups, now -5.29%");
}

TEST_F(StandingTest, PreviousOnlyWhenItIsTheBest) {
  save("2026-12-01T000000Z-aaaaaaaaaaaa.json", "2026-12-01T00:00:00Z", {{"none", {100, 101}}});
  save("2026-12-02T000000Z-bbbbbbbbbbbb.json", "2026-12-02T00:00:00Z", {{"none", {200, 201}}});
  const std::vector<std::string> result = lines({{"none", {150, 151}}});
  ASSERT_EQ(result.size(), 1u);
  EXPECT_NE(result[0].find("(id bbbbbbbb)"), std::string::npos) << result[0];
  EXPECT_NE(result[0].find("slower"), std::string::npos) << result[0];
}

TEST_F(StandingTest, NothingComparable) {
  const std::string nothing =
      "history: nothing comparable saved yet for this machine and these settings";
  EXPECT_EQ(lines({{"none", {100}}}), std::vector<std::string>{nothing});  // empty history
  // Different settings (8 threads) and another machine do not count.
  save("2026-12-01T000000Z-aaaaaaaaaaaa.json", "2026-12-01T00:00:00Z", {{"none", {100}, 8}});
  ResultsRecord other = testing::make_record("2026-12-02T00:00:00Z", {{"none", {100}, 4}});
  other.machine.cpu.brand = "Another Processor";
  testing::save_record(home.results(), "2026-12-02T000000Z-bbbbbbbbbbbb.json", other);
  EXPECT_EQ(lines({{"none", {100}, 4}}), std::vector<std::string>{nothing});
}

TEST_F(StandingTest, SweepPointsAreMatchedBySettingsAndPrefixed) {
  save("2026-12-01T000000Z-aaaaaaaaaaaa.json", "2026-12-01T00:00:00Z",
       {{"1", {100, 100}, 1}, {"2", {200, 200}, 2}}, "threads");
  // A single run with 2 threads is comparable with the sweep's point "2".
  const std::vector<std::string> result =
      lines({{"1", {100, 100}, 1}, {"2", {300, 300}, 2}, {"4", {400, 400}, 4}}, "threads");
  ASSERT_EQ(result.size(), 3u);
  EXPECT_EQ(result[0].rfind("1: history: previous", 0), 0u) << result[0];
  EXPECT_NE(result[0].find("+0.00%, no change"), std::string::npos) << result[0];
  EXPECT_EQ(result[1].rfind("2: history: previous", 0), 0u) << result[1];
  EXPECT_NE(result[1].find("+50.00%, faster"), std::string::npos) << result[1];
  EXPECT_EQ(result[2],
            "4: history: nothing comparable saved yet for this machine and these settings");
}

}  // namespace
}  // namespace brisk
