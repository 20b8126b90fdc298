#include "history/history_store.h"

#include <gtest/gtest.h>

#include "history/history_fixture.h"
#include "history/history_index.h"
#include "history/history_listing.h"
#include "history/history_paths.h"

namespace brisk {
namespace {

using testing::read_file;
using testing::utf8_path;
using testing::write_file;

constexpr const char* kOld = "2026-12-01T091200Z-2bq9x1mnaaaa.json";
constexpr const char* kNew = "2026-12-09T204305Z-7f3k2a9qbbbb.json";

class HistoryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::save_record(home.results(), kOld,
                         testing::make_record("2026-12-01T09:12:00Z", {{"none", {455.1}}}));
    testing::save_record(home.results(), kNew,
                         testing::make_record("2026-12-09T20:43:05Z", {{"none", {429, 431}}}));
  }
  HistoryStore open() { return HistoryStore::open(home.results(), index_file_for(home.results())); }
  std::string path(const std::string& name) { return home.results() + "/" + name; }

  testing::HistoryHome home;
};

TEST_F(HistoryStoreTest, NewestFirstWithSummaries) {
  const HistoryStore store = open();
  ASSERT_EQ(store.entries().size(), 2u);
  const HistoryEntry& newest = store.entries()[0];
  EXPECT_EQ(newest.file_name, kNew);
  EXPECT_EQ(newest.id, "7f3k2a9q");
  EXPECT_EQ(newest.start_time, "2026-12-09T20:43:05Z");
  EXPECT_TRUE(newest.finished);
  ASSERT_EQ(newest.points.size(), 1u);
  EXPECT_DOUBLE_EQ(*newest.points[0].average, 430.0);
  EXPECT_EQ(newest.points[0].settings.threads, 4u);
  EXPECT_EQ(newest.machine_key, store.entries()[1].machine_key);
  EXPECT_EQ(store.skipped_count(), 0u);
  EXPECT_FALSE(skipped_warning(store));
}

TEST_F(HistoryStoreTest, BadFilesAreSkippedCountedAndLeftAlone) {
  std::string newer = render_json(testing::make_record("2026-12-02T00:00:00Z", {{"none", {1}}}));
  const std::size_t version = newer.find("\"version\": 1", newer.find("brisk-results"));
  ASSERT_NE(version, std::string::npos) << newer.substr(0, 200);
  newer.replace(version, 12, "\"version\": 2");
  const std::string whole = read_file(utf8_path(path(kOld)));
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"corrupt.json", "{ this is not json"},
      {"foreign.json", "{\"name\": \"some other tool\", \"runs\": []}"},
      {"truncated.json", whole.substr(0, whole.size() / 2)},
      {"newer.json", newer},
  };
  for (const auto& [name, text] : bad) write_file(utf8_path(path(name)), text);
  for (int pass = 0; pass < 2; ++pass) {  // from the documents, then from the index
    const HistoryStore store = open();
    EXPECT_EQ(store.entries().size(), 6u);
    EXPECT_EQ(store.skipped_count(), 4u);
    for (const HistoryEntry& entry : store.entries()) {
      if (entry.file_name == kOld || entry.file_name == kNew) continue;
      ASSERT_TRUE(entry.skipped) << entry.file_name;
      EXPECT_FALSE(entry.skipped->empty());
    }
    EXPECT_EQ(*skipped_warning(store), "warning: skipped 4 files in \"" + home.results() +
                                           "\" that are not readable brisk results");
  }
  for (const auto& [name, text] : bad) EXPECT_EQ(read_file(utf8_path(path(name))), text);
}

// Anyone may name files in a shared folder: the listing shows the C1
// controls (CSI, OSC) and DEL of a name escaped, from the documents and from
// the index alike; the file itself is still read. Names with C0 controls are
// checked end to end: Windows cannot make such files.
TEST_F(HistoryStoreTest, ForeignNamesAreListedEscaped) {
  const std::string copy = "x\xc2\x9b[31mRED\xc2\x9d]0;owned\x7f.json";
  write_file(utf8_path(path(copy)), read_file(utf8_path(path(kOld))));
  write_file(utf8_path(path("bad\xc2\x9bK.json")), "{ not json");
  for (int pass = 0; pass < 2; ++pass) {  // from the documents, then from the index
    const HistoryStore store = open();
    ListingRequest request;
    request.all_machines = true;
    const std::vector<std::string> lines =
        listing_lines(store, select_entries(store, request), request);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1].rfind("x\\xc2\\x9b[31mRED\\xc2\\x9d]0;owned\\x7f  2026-12-01 ", 0), 0u)
        << lines[1];
    EXPECT_EQ(lines[4].rfind("skipped bad\\xc2\\x9bK.json: not JSON", 0), 0u) << lines[4];
  }
}

TEST_F(HistoryStoreTest, IndexIsKeptOutsideTheFolderAndRebuilt) {
  const std::string index = *index_file_for(home.results());
  EXPECT_EQ(index.rfind(home.cache(), 0), 0u);
  (void)open();
  const std::string first = read_file(utf8_path(index));
  ASSERT_FALSE(first.empty());
  std::vector<HistoryEntry> entries;
  ASSERT_TRUE(parse_index(first, home.results(), entries));
  EXPECT_FALSE(parse_index(first, home.results() + "x", entries));  // another folder's

  for (const std::string& broken : {std::string(), first.substr(0, first.size() / 2),
                                    std::string("{\"format\": \"brisk-history-index\"}")}) {
    if (broken.empty()) {
      std::filesystem::remove(utf8_path(index));
    } else {
      write_file(utf8_path(index), broken);
    }
    const HistoryStore store = open();
    EXPECT_EQ(store.entries().size(), 2u);
    EXPECT_EQ(read_file(utf8_path(index)), first);
  }
  // Only the documents are in the results folder.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(utf8_path(home.results()))) {
    names.push_back(e.path().filename().string());
  }
  EXPECT_EQ(names.size(), 2u);
}

TEST_F(HistoryStoreTest, ChangedAndVanishedFilesAreNoticed) {
  (void)open();
  // Same name, different content and size: the index must not be believed.
  testing::save_record(home.results(), kNew,
                       testing::make_record("2026-12-09T20:43:05Z", {{"none", {500, 510, 520}}}));
  std::filesystem::remove(utf8_path(path(kOld)));
  const HistoryStore store = open();
  ASSERT_EQ(store.entries().size(), 1u);
  EXPECT_DOUBLE_EQ(*store.entries()[0].points[0].average, 510.0);
  EXPECT_EQ(store.entries()[0].points[0].scores.size(), 3u);
}

// A name that is not UTF-8 (a Linux file name may be any bytes; on Windows,
// one with an unpaired surrogate) must come back from the index unchanged,
// or its document would be read again on every start.
TEST(HistoryIndex, NamesThatAreNotUtf8ComeBackByteForByte) {
  std::vector<HistoryEntry> entries(3);
  entries[0].file_name = "raw\x9b.json";
  entries[1].file_name = "x\xed\xa0\x80.json";
  entries[2].file_name = "r\xc3\xa9sultat.json";
  for (HistoryEntry& entry : entries) entry.skipped = "not JSON";
  std::vector<HistoryEntry> read;
  ASSERT_TRUE(parse_index(render_index("/r", entries), "/r", read));
  ASSERT_EQ(read.size(), entries.size());
  for (std::size_t i = 0; i < read.size(); ++i) EXPECT_EQ(read[i].file_name, entries[i].file_name);
}

// A record whose runs had other programs beside them, `other[k]` % during
// run k + 1.
ResultsRecord loaded_record(const std::string& start, std::vector<double> scores,
                            const std::vector<double>& other) {
  ResultsRecord record = testing::make_record(start, {{"none", std::move(scores)}});
  for (std::size_t k = 0; k < other.size() && k < record.runs.size(); ++k) {
    record.runs[k].outcome.conditions.other_load_percent = other[k];
    record.runs[k].outcome.conditions.steal_percent = 0.0;
    record.runs[k].outcome.conditions.on_processor_percent = 99.0;
  }
  return record;
}

// Entries whose scores are not the machine's are marked; entries that hold
// no run (saved by older versions) are left in the folder and not listed.
TEST_F(HistoryStoreTest, ListingMarksDisturbedRunsAndLeavesOutEntriesWithoutRuns) {
  testing::save_record(home.results(), "2026-12-10T100000Z-noisyaaaaaaa.json",
                       loaded_record("2026-12-10T10:00:00Z", {500, 400, 505}, {1.0, 31.0, 2.0}));
  testing::save_record(home.results(), "2026-12-10T110000Z-busyaaaaaaaa.json",
                       loaded_record("2026-12-10T11:00:00Z", {500, 501}, {12.0, 4.0}));
  testing::save_record(home.results(), "2026-12-10T120000Z-emptyaaaaaaa.json",
                       testing::make_record("2026-12-10T12:00:00Z", {}));
  const HistoryStore store = open();
  ASSERT_EQ(store.entries().size(), 5u);
  ListingRequest request;
  request.all_machines = true;
  const std::vector<const HistoryEntry*> selected = select_entries(store, request);
  ASSERT_EQ(selected.size(), 4u);
  const std::vector<std::string> lines = listing_lines(store, selected, request);
  ASSERT_EQ(lines.size(), 5u);
  const auto ends_with = [](const std::string& line, const std::string& end) {
    return line.size() >= end.size() &&
           line.compare(line.size() - end.size(), end.size(), end) == 0;
  };
  EXPECT_TRUE(ends_with(lines[1],
                        "MGups  (busy: other programs used 12.0% of the processors "
                        "during run 1)"))
      << lines[1];
  EXPECT_TRUE(ends_with(lines[2],
                        "MGups  (noisy: other programs used 31.0% of the processors "
                        "during run 2)"))
      << lines[2];
  EXPECT_TRUE(ends_with(lines[3], "430.00 MGups")) << lines[3];
}

TEST_F(HistoryStoreTest, IndexRoundTripsEverySummaryField) {
  testing::save_record(home.results(), "2026-12-10T100000Z-noisyaaaaaaa.json",
                       loaded_record("2026-12-10T10:00:00Z", {500, 400}, {1.0, 31.0}));
  const HistoryStore fresh = open();
  ASSERT_TRUE(fresh.entries()[0].mark.has_value());
  const HistoryStore cached = open();
  ASSERT_EQ(fresh.entries().size(), cached.entries().size());
  for (std::size_t i = 0; i < fresh.entries().size(); ++i) {
    const HistoryEntry& a = fresh.entries()[i];
    const HistoryEntry& b = cached.entries()[i];
    EXPECT_EQ(a.file_name, b.file_name);
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.machine_key, b.machine_key);
    EXPECT_EQ(a.cpu_brand, b.cpu_brand);
    EXPECT_EQ(a.start_time, b.start_time);
    EXPECT_EQ(a.settings.isa, b.settings.isa);
    ASSERT_EQ(a.points.size(), b.points.size());
    EXPECT_EQ(a.points[0].scores, b.points[0].scores);
    EXPECT_EQ(a.points[0].settings.workload, b.points[0].settings.workload);
    EXPECT_EQ(a.mark, b.mark);
  }
}

TEST(HistoryStore, MissingFolderIsAnEmptyHistory) {
  testing::HistoryHome home;
  const HistoryStore store = HistoryStore::open(home.results() + "/absent", std::nullopt);
  EXPECT_TRUE(store.entries().empty());
  EXPECT_FALSE(store.folder_error());
  EXPECT_FALSE(std::filesystem::exists(utf8_path(home.results() + "/absent")));
}

}  // namespace
}  // namespace brisk

namespace brisk {
namespace {

// A server's threads sweep has hundreds of points: the listing gives its
// variable, range, count and best point on one short line, the CSV every
// point; a sweep of a few points keeps its scores on the line.
TEST_F(HistoryStoreTest, ALongSweepIsOneShortLineAndItsCsvHasEveryPoint) {
  std::vector<testing::PointSpec> many;
  for (std::uint32_t threads = 1; threads <= 9; ++threads) {
    // Best at 6 threads; 8 has no valid run; 7 ties with 6 but comes later.
    const double score = threads == 8 ? 0.0 : threads == 7 ? 600.0 : 100.0 * std::min(threads, 6u);
    many.push_back({std::to_string(threads), {score}, threads});
  }
  std::vector<testing::PointSpec> few(many.begin(), many.begin() + 6);
  testing::save_record(home.results(), "2026-12-10T100000Z-longaaaaaaaa.json",
                       testing::make_record("2026-12-10T10:00:00Z", many, "threads"));
  testing::save_record(home.results(), "2026-12-10T110000Z-shortaaaaaaa.json",
                       testing::make_record("2026-12-10T11:00:00Z", few, "threads"));
  testing::save_record(
      home.results(), "2026-12-10T120000Z-novalidaaaaa.json",
      testing::make_record(
          "2026-12-10T12:00:00Z",
          {{"1", {0}}, {"2", {0}}, {"3", {0}}, {"4", {0}}, {"5", {0}}, {"6", {0}}, {"7", {0}}},
          "threads"));
  const HistoryStore store = open();
  ListingRequest request;
  request.all_machines = true;
  const std::vector<const HistoryEntry*> selected = select_entries(store, request);
  const std::vector<std::string> lines = listing_lines(store, selected, request);
  const auto find = [&](const std::string& id) {
    for (const std::string& line : lines) {
      if (line.rfind(id, 0) == 0) return line;
    }
    return std::string();
  };
  const std::string long_line = find("longaaaa");
  EXPECT_NE(long_line.find("  sweep threads 1 to 9, 9 points, best 600.00 MGups at 6"),
            std::string::npos)
      << long_line;
  EXPECT_EQ(long_line.find("7="), std::string::npos) << long_line;
  EXPECT_NE(find("shortaaa")
                .find("sweep threads: 1=100.00 2=200.00 3=300.00 4=400.00 5=500.00 "
                      "6=600.00 MGups"),
            std::string::npos)
      << find("shortaaa");
  EXPECT_NE(find("novalida").find("sweep threads 1 to 7, 7 points, no valid run"),
            std::string::npos)
      << find("novalida");
  const std::string csv = render_history_csv(selected);
  std::size_t long_rows = 0;
  for (std::size_t at = 0; (at = csv.find("\r\nlongaaaa", at)) != std::string::npos; ++at) {
    ++long_rows;
  }
  EXPECT_EQ(long_rows, 9u);
}

}  // namespace
}  // namespace brisk
