// Windows-only checks (run under Wine in CI) of the file, command-line and
// OS-description backends against the real system.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/file_replace.h"
#include "platform/os_info.h"
#include "platform/scratch_dir.h"

namespace brisk {
namespace {

using testing::ScratchDir;

// The reason is the system's sentence, without the line break FormatMessageW
// ends it with, and never a bare error number.
TEST(WindowsFileReplace, FailureReasonIsTheSystemsSentence) {
  ScratchDir dir;
  const char* const targets[] = {
      "missing\\out.json",  // no such folder
      "\xFF\xFE.json",      // not UTF-8: no name can be made of it
  };
  for (const char* target : targets) {
    SCOPED_TRACE(target);
    const std::optional<std::string> failure = replace_file_atomically(dir.utf8(target), "{}");
    ASSERT_TRUE(failure.has_value());
    ASSERT_FALSE(failure->empty());
    EXPECT_NE(failure->back(), '\n');
    EXPECT_NE(failure->back(), '\r');
    EXPECT_NE(failure->back(), ' ');
    EXPECT_NE(failure->rfind("error ", 0), 0u) << *failure;
    EXPECT_TRUE(dir.listing().empty());
  }
}

TEST(WindowsOsServices, VersionFromNtdll) {
  const OsInfo info = read_os_info();
  EXPECT_EQ(info.family, "windows");
  EXPECT_EQ(info.name, "Windows");
  const std::size_t dot = info.version.find('.');
  ASSERT_NE(dot, std::string::npos) << info.version;
  EXPECT_GE(std::stoi(info.version.substr(0, dot)), 5);
  ASSERT_TRUE(info.build.has_value());
  EXPECT_GT(*info.build, 0u);
  EXPECT_FALSE(info.kernel.has_value());
  const bool under_wine =
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  EXPECT_EQ(info.wine.has_value(), under_wine);
  if (info.wine) {
    EXPECT_FALSE(info.wine->empty());
  }
}

// This test program's own arguments are plain ASCII, so the wide command line
// must give exactly the C runtime's argv (no terminating NUL carried over,
// nothing cut); an argc that disagrees with it gives argv back.
TEST(WindowsOsServices, CommandLineMatchesAsciiArgv) {
  const std::vector<std::string> narrow(__argv, __argv + __argc);
  EXPECT_EQ(command_line_utf8(__argc, __argv), narrow);
  EXPECT_EQ(command_line_utf8(1, __argv), std::vector<std::string>{narrow.front()});
}

}  // namespace
}  // namespace brisk
