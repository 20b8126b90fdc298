#include "platform/os_info.h"

#include <gtest/gtest.h>

#include <vector>

namespace brisk {
namespace {

TEST(OsRelease, NameAndVersionFromTheFile) {
  struct Case {
    const char* label;
    const char* text;
    const char* name;
    const char* version;
  };
  const std::vector<Case> cases = {
      {"double quotes",
       "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
       "VERSION_ID=\"12\"\nVERSION=\"12 (bookworm)\"\n",
       "Debian GNU/Linux 12 (bookworm)", "12"},
      {"unquoted, no PRETTY_NAME", "NAME=Fedora\nVERSION_ID=39\n", "Fedora", "39"},
      // Inside single quotes a backslash is an ordinary character.
      {"single quotes", "PRETTY_NAME='Alpine \\ Linux v3.19'\n", "Alpine \\ Linux v3.19", ""},
      {"escapes inside double quotes", "NAME=\"A \\\"quoted\\\" \\\\ name\"\n",
       "A \"quoted\" \\ name", ""},
      // Keys that merely begin like the wanted ones are other keys.
      {"similar keys", "VERSION=\"22.04 LTS\"\nVERSION_CODENAME=jammy\nNAME_LIKE=x\nNAME=Ubuntu\n",
       "Ubuntu", ""},
      {"comments, blank lines, CR LF",
       "# PRETTY_NAME=\"commented out\"\r\n\r\n  \nNAME=\"Arch Linux\"\r\nVERSION_ID=rolling\r\n",
       "Arch Linux", "rolling"},
      {"empty PRETTY_NAME", "PRETTY_NAME=\"\"\nNAME=Gentoo\n", "Gentoo", ""},
      {"no final newline", "NAME=Void\nVERSION_ID=\"2024\"", "Void", "2024"},
      {"nothing known", "ID=custom\n", "Linux", ""},
      {"empty file", "", "Linux", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const OsInfo info = parse_os_release(c.text);
    EXPECT_EQ(info.family, "linux");
    EXPECT_EQ(info.name, c.name);
    EXPECT_EQ(info.version, c.version);
    EXPECT_FALSE(info.build.has_value());
    EXPECT_FALSE(info.kernel.has_value());
    EXPECT_FALSE(info.wine.has_value());
  }
}

}  // namespace
}  // namespace brisk
