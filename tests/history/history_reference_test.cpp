#include "history/history_reference.h"

#include <gtest/gtest.h>

#include "compare/results_reader.h"
#include "history/history_fixture.h"

namespace brisk {
namespace {

// Three runs of this machine (two with 4 threads, one with 8) and one of
// another machine, newest last in time.
class HistoryReferenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    save("2026-12-01T000000Z-aaaa1111zzzz.json", "2026-12-01T00:00:00Z", {{"none", {300}, 4}});
    save("2026-12-02T000000Z-aaaa2222zzzz.json", "2026-12-02T00:00:00Z", {{"none", {900}, 8}});
    save("2026-12-03T000000Z-bbbb3333zzzz.json", "2026-12-03T00:00:00Z", {{"none", {200}, 4}});
    ResultsRecord other = testing::make_record("2026-12-04T00:00:00Z", {{"none", {5000}, 4}});
    other.machine.cpu.brand = "Some Other Processor";
    testing::save_record(home.results(), "2026-12-04T000000Z-cccc4444zzzz.json", other);
  }
  void save(const std::string& name, const std::string& time, std::vector<testing::PointSpec> p) {
    testing::save_record(home.results(), name, testing::make_record(time, std::move(p)));
  }
  std::string resolve(const std::string& text, const ResultsDocument* other = nullptr) {
    ComparedFile file;
    if (auto failure = resolve_results_argument(text, other, file)) return "error: " + *failure;
    EXPECT_EQ(file.name, text);
    return file.document.start_time;
  }

  testing::HistoryHome home;
};

TEST_F(HistoryReferenceTest, NamesResolve) {
  struct Case {
    std::string text, expected;
  };
  const Case cases[] = {
      {"last", "2026-12-03T00:00:00Z"},  // the other machine's newer run is not this machine's
      {"last~0", "2026-12-03T00:00:00Z"},   {"last~1", "2026-12-02T00:00:00Z"},
      {"last~2", "2026-12-01T00:00:00Z"},   {"best", "2026-12-02T00:00:00Z"},  // of any settings
      {"aaaa1", "2026-12-01T00:00:00Z"},                                       // an id prefix
      {"cccc4444", "2026-12-04T00:00:00Z"},  // ids name any machine's runs
  };
  for (const Case& c : cases) EXPECT_EQ(resolve(c.text), c.expected) << c.text;
}

TEST_F(HistoryReferenceTest, BestFollowsTheOtherSidesSettings) {
  const ResultsDocument four =
      document_from_record(testing::make_record("2026-12-05T00:00:00Z", {{"none", {1}, 4}}));
  EXPECT_EQ(resolve("best", &four), "2026-12-01T00:00:00Z");
}

// A run compared with "best" is already saved: it must not be its own best.
TEST_F(HistoryReferenceTest, BestIsNeverTheOtherSideItself) {
  ComparedFile best_of_all;
  ASSERT_EQ(resolve_results_argument("best", nullptr, best_of_all), std::nullopt);
  EXPECT_NE(resolve("best", &best_of_all.document), best_of_all.document.start_time);
}

TEST_F(HistoryReferenceTest, FailuresAreOneLine) {
  const std::string ambiguous = resolve("aaaa");
  EXPECT_NE(ambiguous.find("ambiguous"), std::string::npos) << ambiguous;
  EXPECT_NE(ambiguous.find("aaaa1111"), std::string::npos);
  EXPECT_NE(ambiguous.find("aaaa2222"), std::string::npos);
  for (const std::string text : {"last~3", "last~x", "zzzz", "nothing.json", "last~"}) {
    const std::string result = resolve(text);
    EXPECT_EQ(result.rfind("error: ", 0), 0u) << text << ": " << result;
    EXPECT_EQ(result.find('\n'), std::string::npos);
  }
  const ResultsDocument sixteen =
      document_from_record(testing::make_record("2026-12-05T00:00:00Z", {{"none", {1}, 16}}));
  EXPECT_EQ(resolve("best", &sixteen).rfind("error: ", 0), 0u);
}

TEST_F(HistoryReferenceTest, AnExistingFileWinsOverAName) {
  testing::save_record(home.scratch().utf8(), "last",
                       testing::make_record("2020-01-01T00:00:00Z", {{"none", {1}}}));
  EXPECT_EQ(resolve(home.scratch().utf8("last")), "2020-01-01T00:00:00Z");
}

}  // namespace
}  // namespace brisk
