#include "compare/pruned_json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "compare/results_reader_json.h"
#include "results/json_writer.h"

namespace brisk {
namespace {

using Json = nlohmann::json;

// Equal values of equal types all the way down: nlohmann's == takes the
// unsigned 1 and the signed 1 for the same number.
bool same_tree(const Json& a, const Json& b) {
  if (a.type() != b.type()) return false;
  if (a.is_object()) {
    if (a.size() != b.size()) return false;
    for (auto it = a.begin(); it != a.end(); ++it) {
      const auto other = b.find(it.key());
      if (other == b.end() || !same_tree(*it, *other)) return false;
    }
    return true;
  }
  if (a.is_array()) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (!same_tree(a[i], b[i])) return false;
    }
    return true;
  }
  return a == b;
}

// What the quick parser leaves out of nlohmann's full tree.
Json pruned(Json full) {
  if (!full.is_object()) return full;
  full.erase("summary");
  if (auto runs = full.find("runs"); runs != full.end() && runs->is_array()) {
    for (Json& run : *runs) {
      if (!run.is_object()) continue;
      run.erase("threads");
      if (auto timeline = run.find("timeline"); timeline != run.end() && timeline->is_object()) {
        timeline->erase("threads");
        timeline->erase("threads_clock_mhz");
      }
    }
  }
  return full;
}

// The quick parser's promise: whatever it takes, nlohmann takes too, and into
// the same tree less the pruned members. Whether it took the text.
bool expect_agrees(const std::string& text) {
  Json full;
  Json quick;
  const bool full_ok = !parse_json_bounded(text, full);
  const bool quick_ok = parse_json_pruned(text, quick);
  if (!quick_ok) return false;
  EXPECT_TRUE(full_ok) << "taken, though not JSON: " << text;
  if (full_ok) {
    EXPECT_TRUE(same_tree(quick, pruned(full))) << text;
  }
  return true;
}

TEST(PrunedJson, TakesWhatNlohmannTakesWithTheSameValuesAndTypes) {
  const std::vector<std::string> texts = {
      R"({"a": 1, "b": [true, false, null], "c": {"d": "e"}})",
      "  [ ]\r\n\t",
      R"({})",
      R"("\"\\\/\b\f\n\r\t")",
      R"(["\u00e9", "\u20AC", "\ud83d\ude00", "a\u0000b", "plain é ✓"])",
      R"([0, -0, 7, -7, 18446744073709551615, 18446744073709551616])",
      R"([9223372036854775807, -9223372036854775808, -9223372036854775809])",
      R"([1.5, -0.0, 1e3, 1E-3, 2.5e+10, 123456789012345678901234567890])",
      R"({"k": 1, "k": 2})",
      R"({"": "empty key"})",
      R"({"runs": [{"threads": [1, 2], "score": 3}, 4, {"x": {"threads": 5}}],)"
      R"( "summary": [{"a": 1}], "threads": 6})",
      R"({"runs": [{"timeline": {"mgups": [1.5, 2], "threads": [[1], [2, 3]],)"
      R"( "clock_mhz": [4192, null], "threads_clock_mhz": [[4192, null], [4191]]}},)"
      R"( {"timeline": [{"threads": 1}]}, {"x": {"timeline": {"threads": 2}}}]})",
      R"({"machine": {"summary": 1, "runs": [{"threads": 2}]}})",
      std::string(64, '[') + std::string(64, ']'),
  };
  for (const std::string& text : texts) {
    Json quick;
    EXPECT_TRUE(parse_json_pruned(text, quick)) << text;
    expect_agrees(text);
  }
}

TEST(PrunedJson, DeclinesWhatIsNotJsonEvenInsidePrunedMembers) {
  const std::string deep = std::string(65, '[') + std::string(65, ']');
  const std::vector<std::string> texts = {
      "",
      " ",
      "{",
      R"({"a" 1})",
      R"({"a": 1,})",
      "[1,]",
      "{,}",
      "[01]",
      "[1.]",
      "[.5]",
      "[-]",
      "[+1]",
      "[1e]",
      "[1e999]",
      "[-1e999]",
      "[tru]",
      "nulls",
      "[1] x",
      "\"a\tb\"",
      R"("\x")",
      R"("\u12G4")",
      R"("\ud800")",
      R"("\udc00")",
      R"("\ud800\u0041")",
      "\"open",
      "\xEF\xBB\xBF{}",  // a byte order mark: nlohmann's own rule decides
      deep,
      R"({"summary": [1e999]})",
      R"({"summary": )" + deep + "}",
      R"({"runs": [{"threads": [{"a" 1}]}]})",
      R"({"runs": [{"threads": ["\ud800"]}]})",
      R"({"runs": [{"threads": [01]}]})",
      R"({"runs": [{"timeline": {"threads": [[1e999]]}}]})",
  };
  for (const std::string& text : texts) {
    Json quick;
    EXPECT_FALSE(parse_json_pruned(text, quick)) << text;
  }
}

std::string sample_document() {
  ResultsRecord record;
  record.build = {"1.2.0", "GNU 12.2.0", "x86_64-linux-gnu"};
  record.command_line = {"brisk", "--export-json", "C:\\out\\r \"1\".json", "\xC3\xA9t\xC3\xA9"};
  record.start_time = "2026-12-09T15:05:04Z";
  record.sweep = {"threads", "1-2", 2, {"1", "2"}};
  for (std::size_t p = 0; p < 2; ++p) {
    for (std::uint32_t sub = 1; sub <= 2; ++sub) {
      RunRecord run{p, sub, {}};
      run.outcome.valid = sub == 1;
      run.outcome.score = 431.2345678 * (p + 1);
      run.outcome.settings = {static_cast<std::uint32_t>(p + 1),
                              1,
                              64,
                              "os",
                              "standing_wave",
                              "avx2",
                              false,
                              "ordinary"};
      run.outcome.messages = {"fast timer = 1001ms\tcoarse timer = 1040ms"};
      for (std::uint32_t t = 0; t <= p; ++t) {
        ThreadOutcome thread;
        thread.result = {t, -3, 1001800, 1500, 18446744073709551615ull};
        thread.mgups = 215.6172839;
        run.outcome.threads.push_back(thread);
      }
      record.runs.push_back(run);
    }
  }
  return render_json(record);
}

// Documents with bytes flipped, dropped and inserted: the quick parser may
// decline any of them, but never take one wrongly.
TEST(PrunedJson, MutatedDocumentsNeverTakenWrongly) {
  const std::string document = sample_document();
  {
    Json quick;
    ASSERT_TRUE(parse_json_pruned(document, quick));
    EXPECT_FALSE(quick.contains("summary"));
    EXPECT_FALSE(quick["runs"][0].contains("threads"));
    expect_agrees(document);
  }
  constexpr std::string_view kBytes = "{}[],:\"\\/0123456789.-+eEtrufalsn u\t\n\x01\xC3\xA9";
  std::mt19937 random(20261209);
  int taken = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = document;
    const int edits = 1 + static_cast<int>(random() % 3);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % text.size();
      const char byte = kBytes[random() % kBytes.size()];
      switch (random() % 3) {
        case 0:
          text[at] = byte;
          break;
        case 1:
          text.erase(at, 1);
          break;
        default:
          text.insert(at, 1, byte);
      }
    }
    if (first_invalid_utf8(text)) continue;  // the reader never hands such text over
    taken += expect_agrees(text) ? 1 : 0;
  }
  EXPECT_GT(taken, 100);  // many edits leave JSON: inside strings, digits
}

}  // namespace
}  // namespace brisk
