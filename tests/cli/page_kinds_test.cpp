// The pages a run's fields are on, end to end: what the results file records
// for a default run, for --large-pages, and for --large-pages in a process
// that has transparent huge pages turned off. The system's settings are only
// read, never changed.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/process_runner.h"
#include "platform/scratch_dir.h"

namespace brisk::cli {
namespace {

using Json = nlohmann::json;

std::string file_text(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The bracketed word of the system's transparent huge page setting; none
// without one.
std::optional<std::string> thp_mode() {
  const std::string text = file_text("/sys/kernel/mm/transparent_hugepage/enabled");
  const std::size_t open = text.find('[');
  const std::size_t close = text.find(']');
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  return text.substr(open + 1, close - open - 1);
}

// Free pages of the reserved hugetlb pool.
long free_pool_pages() {
  std::istringstream meminfo(file_text("/proc/meminfo"));
  for (std::string line; std::getline(meminfo, line);) {
    if (line.rfind("HugePages_Free:", 0) == 0) return std::stol(line.substr(15));
  }
  return 0;
}

struct PagesRun {
  ProcessResult process;
  Json document;  // null when brisk wrote none
};

// One short one-thread run of grid 64 with `extra` arguments, its results
// file read back; `launcher` goes before brisk on the command line.
PagesRun run_pages(const std::vector<std::string>& extra,
                   const std::vector<std::string>& launcher = {}) {
  const testing::ScratchDir dir;
  const std::string path = dir.utf8("r.json");
  std::vector<std::string> args = {
      "-d", "1", "-s", "64", "-n", "1", "--no-save", "--harness-sub-runs", "1", "--export-json",
      path};
  args.insert(args.end(), extra.begin(), extra.end());
  PagesRun run;
  if (launcher.empty()) {
    run.process = run_brisk(args);
  } else {
    std::vector<std::string> command = launcher;
    command.push_back(brisk_command().front());
    command.insert(command.end(), args.begin(), args.end());
    run.process = run_process(command, std::chrono::seconds(120));
  }
  const std::string text = file_text(path);
  run.document = text.empty() ? Json() : Json::parse(text, nullptr, false);
  return run;
}

TEST(PageKinds, ADefaultRunIsOnOrdinaryPages) {
  const PagesRun run = run_pages({});
  ASSERT_EQ(run.process.exit_status, 0) << run.process.err;
  ASSERT_TRUE(run.document.is_object()) << run.process.out;
  const Json& r = run.document["runs"][0];
  EXPECT_TRUE(r["valid"].get<bool>()) << run.process.err;
  EXPECT_EQ(r["pages"], Json::parse(R"({"kind": "ordinary", "huge_percent": 0.0})"));
  const Json& machine = run.document["machine"]["pages"];
  if (brisk_from_environment()) {
    EXPECT_TRUE(machine["transparent_huge_pages"].is_null());  // Windows has no such setting
  } else {
    const std::optional<std::string> mode = thp_mode();
    EXPECT_EQ(machine["transparent_huge_pages"], mode ? Json(*mode) : Json());
  }
  EXPECT_EQ(run.process.err.find("transparent huge pages covered"), std::string::npos);
}

// With no reserved pool, --large-pages gets transparent huge pages wherever
// the system serves them (modes "always" and "madvise"), and they really are
// huge pages: the share read back is above 0.
TEST(PageKinds, LargePagesNeedNoReservedPool) {
  const PagesRun run = run_pages({"--large-pages"});
  ASSERT_EQ(run.process.exit_status, 0) << run.process.err;
  ASSERT_TRUE(run.document.is_object()) << run.process.out;
  const Json& r = run.document["runs"][0];
  EXPECT_NE(run.process.out.find("allocating fields.... (large pages)\n"), std::string::npos);
  if (!r["valid"].get<bool>()) {
    // Only where huge pages cannot be had at all; never ordinary pages.
    EXPECT_NE(run.process.err.find("field allocation failed"), std::string::npos);
    EXPECT_TRUE(r["pages"].is_null()) << r["pages"];
    if (!brisk_from_environment()) {
      EXPECT_TRUE(free_pool_pages() == 0 && thp_mode() != "always" && thp_mode() != "madvise")
          << "no huge pages although the system has them";
    }
    return;
  }
  const std::string kind = r["pages"]["kind"].get<std::string>();
  const double share = r["pages"]["huge_percent"].get<double>();
  if (brisk_from_environment()) {
    EXPECT_EQ(kind, "large");
    EXPECT_EQ(share, 100.0);
    return;
  }
  if (kind == "hugetlb") {
    EXPECT_EQ(share, 100.0);
    return;
  }
  ASSERT_EQ(kind, "transparent");
  EXPECT_TRUE(thp_mode() == "always" || thp_mode() == "madvise") << thp_mode().value_or("none");
  EXPECT_GT(share, 0.0);
  EXPECT_LE(share, 100.0);
}

// A process with transparent huge pages off, as under "never": the run ends
// as "field allocation failed", invalid, with no pages recorded, while a
// default run in the same process is unaffected.
TEST(PageKinds, LargePagesFailWhereTheProcessHasTransparentHugePagesOff) {
  if (brisk_from_environment()) GTEST_SKIP() << "a Linux process setting";
  if (free_pool_pages() > 0) GTEST_SKIP() << "a hugetlb pool is reserved: it would serve the run";
  const PagesRun run = run_pages({"--large-pages"}, {BRISK_THP_OFF_PATH});
  ASSERT_EQ(run.process.exit_status, 0) << run.process.err;
  EXPECT_NE(run.process.out.find("allocating fields.... (large pages)\n"), std::string::npos);
  EXPECT_NE(run.process.err.find("field allocation failed in thread 0\nfield allocation failed\n"),
            std::string::npos)
      << run.process.err;
  ASSERT_TRUE(run.document.is_object()) << run.process.out;
  const Json& r = run.document["runs"][0];
  EXPECT_FALSE(r["valid"].get<bool>());
  EXPECT_TRUE(r["score"].is_null());
  EXPECT_TRUE(r["pages"].is_null()) << r["pages"];

  const PagesRun plain = run_pages({}, {BRISK_THP_OFF_PATH});
  ASSERT_TRUE(plain.document.is_object()) << plain.process.err;
  EXPECT_TRUE(plain.document["runs"][0]["valid"].get<bool>()) << plain.process.err;
  EXPECT_EQ(plain.document["runs"][0]["pages"]["kind"], "ordinary");
}

}  // namespace
}  // namespace brisk::cli
