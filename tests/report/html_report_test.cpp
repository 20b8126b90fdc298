#include "report/html_report.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>

namespace brisk {
namespace {

constexpr std::string_view kDataOpen = R"(<script type="application/json" id="brisk-data">)";

std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + 1)) {
    ++n;
  }
  return n;
}

// The data block as the HTML parser sees it: up to the first "</script".
std::string data_block(const std::string& page) {
  const std::size_t open = page.find(kDataOpen);
  if (open == std::string::npos) return "<no data block>";
  const std::size_t begin = open + kDataOpen.size();
  return page.substr(begin, page.find("</script", begin) - begin);
}

TEST(HtmlReport, DocumentIsEmbeddedOnceAndCannotEndItsScriptElement) {
  // Texts a brand string, a reason or a command-line argument could hold.
  const std::string json =
      R"({"brand":"</script><script>alert(1)</script>","arg":"<!--<script>","path":"a</b","ok":"<b>"})";
  const std::string page = render_html_report(json);
  EXPECT_EQ(
      data_block(page),
      R"({"brand":"<\/script><script>alert(1)<\/script>","arg":"\u003c!--<script>","path":"a<\/b","ok":"<b>"})");
  EXPECT_EQ(count(page, kDataOpen), 1u);
  // The document adds no end tag and no comment opener to the page.
  const std::string empty = render_html_report("{}");
  EXPECT_EQ(count(page, "</script"), count(empty, "</script"));
  EXPECT_EQ(count(page, "<!--"), count(empty, "<!--"));
  EXPECT_EQ(page.size(), empty.size() - 2 + data_block(page).size());
}

TEST(HtmlReport, PageFetchesNothing) {
  const std::string page = render_html_report("{}");
  const std::regex remote(R"((src|href)\s*=\s*["']?\s*(https?:|//))", std::regex::icase);
  EXPECT_FALSE(std::regex_search(page, remote));
  EXPECT_EQ(page.find("@import"), std::string::npos);
  EXPECT_EQ(page.find("sourceMappingURL"), std::string::npos);
  // The browser itself refuses any fetch the page might still attempt.
  EXPECT_NE(page.find("default-src 'none'"), std::string::npos);
  // dygraphs is inlined, not linked.
  EXPECT_NE(page.find("Dygraph"), std::string::npos);
  EXPECT_LT(page.size(), 300u * 1024);
}

TEST(HtmlReport, RendersTheSampleDocumentForTheBrowserCheck) {
  std::ifstream in(BRISK_SAMPLE_JSON, std::ios::binary);
  ASSERT_TRUE(in) << BRISK_SAMPLE_JSON;
  const std::string json{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string page = render_html_report(json);
  EXPECT_EQ(data_block(page), json);  // the sample holds no "</" or "<!--"
  std::ofstream out(BRISK_SAMPLE_HTML, std::ios::binary | std::ios::trunc);
  out << page;
  out.close();
  EXPECT_TRUE(out) << BRISK_SAMPLE_HTML;
}

}  // namespace
}  // namespace brisk
