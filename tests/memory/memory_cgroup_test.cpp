// The room a memory cgroup leaves, read from fake cgroup trees: v1 and v2,
// limits on a parent or on the process's own group, "no limit" in both
// spellings, missing and unreadable files, and mounts found or guessed.
#include "memory/memory_cgroup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>

namespace brisk {
namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
const std::string kV1NoLimit = "9223372036854771712\n";

std::string bytes(std::uint64_t value) { return std::to_string(value) + "\n"; }

// A directory of files below the system's temporary folder, removed at the end.
class FakeTree {
 public:
  FakeTree() {
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() /
            ("brisk-cgroup-test-" + std::to_string(random()) + std::to_string(random()));
  }
  ~FakeTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  void write(const std::string& relative, const std::string& text) const {
    const std::filesystem::path path = root_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  const std::filesystem::path& root() const { return root_; }

 private:
  std::filesystem::path root_;
};

const std::string kHybridMounts =
    "30 22 0:27 / /sys/fs/cgroup rw,relatime - tmpfs tmpfs rw,mode=755\n"
    "31 30 0:28 / /sys/fs/cgroup/cpu rw,relatime - cgroup cgroup rw,cpu\n"
    "34 30 0:31 / /sys/fs/cgroup/memory rw,relatime - cgroup cgroup rw,memory\n"
    "40 30 0:37 / /sys/fs/cgroup/unified rw,relatime - cgroup2 cgroup2 rw\n";
const std::string kUnifiedMounts =
    "25 22 0:23 / /sys/fs/cgroup rw,nosuid shared:4 - cgroup2 cgroup2 rw,nsdelegate\n";

struct Case {
  const char* name;
  std::string proc_cgroup;
  std::string mountinfo;
  std::map<std::string, std::string> files;
  std::optional<std::uint64_t> room;
};

TEST(CgroupMemoryRoom, FakeTrees) {
  const std::string v1 = "sys/fs/cgroup/memory/";
  const std::string v2 = "sys/fs/cgroup/";
  const Case cases[] = {
      {"v1 limit on the process's group; the v2 root of a hybrid system sets none",
       "9:name=systemd:/\n4:memory:/ci/job\n0::/\n",
       kHybridMounts,
       {{v1 + "memory.limit_in_bytes", kV1NoLimit},
        {v1 + "memory.usage_in_bytes", bytes(5 * kGiB)},
        {v1 + "ci/job/memory.limit_in_bytes", bytes(kGiB)},
        {v1 + "ci/job/memory.usage_in_bytes", bytes(100 * kMiB)}},
       924 * kMiB},
      {"v1 parent tighter than the child",
       "4:memory:/ci/job\n",
       kHybridMounts,
       {{v1 + "ci/memory.limit_in_bytes", bytes(kGiB)},
        {v1 + "ci/memory.usage_in_bytes", bytes(900 * kMiB)},
        {v1 + "ci/job/memory.limit_in_bytes", bytes(4 * kGiB)},
        {v1 + "ci/job/memory.usage_in_bytes", bytes(100 * kMiB)}},
       124 * kMiB},
      {"v1 controllers joined by commas; usage above the limit leaves nothing",
       "5:cpu,memory:/box\n",
       "34 30 0:31 / /sys/fs/cgroup/memory rw - cgroup cgroup rw,cpu,memory\n",
       {{v1 + "box/memory.limit_in_bytes", bytes(kGiB)},
        {v1 + "box/memory.usage_in_bytes", bytes(kGiB + 4096)}},
       0},
      {"v1 no limit anywhere",
       "4:memory:/ci/job\n",
       kHybridMounts,
       {{v1 + "memory.limit_in_bytes", kV1NoLimit},
        {v1 + "memory.usage_in_bytes", bytes(kGiB)},
        {v1 + "ci/job/memory.limit_in_bytes", kV1NoLimit},
        {v1 + "ci/job/memory.usage_in_bytes", bytes(kGiB)}},
       std::nullopt},
      {"v1 inactive file cache of the whole subtree counts as free",
       "4:memory:/box\n",
       kHybridMounts,
       {{v1 + "box/memory.limit_in_bytes", bytes(kGiB)},
        {v1 + "box/memory.usage_in_bytes", bytes(900 * kMiB)},
        {v1 + "box/memory.stat",
         "cache 1\ninactive_file 1\ntotal_inactive_file " + std::to_string(400 * kMiB) + "\n"}},
       524 * kMiB},
      {"v2 limit on the process's group, none on its parent",
       "0::/user.slice/app.scope\n",
       kUnifiedMounts,
       {{v2 + "user.slice/memory.max", "max\n"},
        {v2 + "user.slice/memory.current", bytes(3 * kGiB)},
        {v2 + "user.slice/app.scope/memory.max", bytes(2 * kGiB)},
        {v2 + "user.slice/app.scope/memory.current", bytes(512 * kMiB)},
        {v2 + "user.slice/app.scope/memory.stat", "anon 1\ninactive_file 4096\n"}},
       1536 * kMiB + 4096},
      {"v2 parent tighter than the child",
       "0::/user.slice/app.scope\n",
       kUnifiedMounts,
       {{v2 + "user.slice/memory.max", bytes(kGiB)},
        {v2 + "user.slice/memory.current", bytes(768 * kMiB)},
        {v2 + "user.slice/app.scope/memory.max", bytes(2 * kGiB)},
        {v2 + "user.slice/app.scope/memory.current", bytes(512 * kMiB)}},
       256 * kMiB},
      {"v2 max everywhere",
       "0::/user.slice/app.scope\n",
       kUnifiedMounts,
       {{v2 + "user.slice/memory.max", "max\n"},
        {v2 + "user.slice/memory.current", bytes(kGiB)},
        {v2 + "user.slice/app.scope/memory.max", "max\n"},
        {v2 + "user.slice/app.scope/memory.current", bytes(kGiB)}},
       std::nullopt},
      {"missing files", "0::/gone\n4:memory:/gone\n", kHybridMounts, {}, std::nullopt},
      {"garbage on the process's group; its parent's limit still holds",
       "0::/slice/app\n",
       kUnifiedMounts,
       {{v2 + "slice/memory.max", bytes(kGiB)},
        {v2 + "slice/memory.current", "0\n"},
        {v2 + "slice/app/memory.max", "lots\n"},
        {v2 + "slice/app/memory.current", "12abc\n"}},
       kGiB},
      {"no mountinfo: the usual mount points, and the smaller of v1 and v2",
       "4:memory:/box\n0::/box\n",
       "",
       {{v1 + "box/memory.limit_in_bytes", bytes(3 * kGiB)},
        {v1 + "box/memory.usage_in_bytes", bytes(kGiB)},
        {v2 + "box/memory.max", bytes(2 * kGiB)},
        {v2 + "box/memory.current", bytes(kGiB)}},
       kGiB},
      {"a container's mount shows its own group as the top; blank escaped in the mount point",
       "4:memory:/docker/abc\n",
       "34 30 0:31 /docker/abc /sys/fs/cgroup/mem\\040ory ro - cgroup cgroup rw,memory\n",
       {{"sys/fs/cgroup/mem ory/memory.limit_in_bytes", bytes(kGiB)},
        {"sys/fs/cgroup/mem ory/memory.usage_in_bytes", bytes(24 * kMiB)}},
       1000 * kMiB},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FakeTree tree;
    for (const auto& [path, text] : c.files) tree.write(path, text);
    EXPECT_EQ(cgroup_memory_room(locate_cgroups(c.proc_cgroup, c.mountinfo, tree.root())), c.room);
  }
}

TEST(CgroupMemoryRoom, CapsMemAvailableWithoutTurningAFullGroupIntoUnknown) {
  EXPECT_EQ(cap_by_cgroup(8 * kGiB, kGiB), kGiB);
  EXPECT_EQ(cap_by_cgroup(kGiB, 8 * kGiB), kGiB);
  EXPECT_EQ(cap_by_cgroup(5 * kGiB, std::nullopt), 5 * kGiB);
  EXPECT_EQ(cap_by_cgroup(0, 2 * kGiB), 2 * kGiB);  // MemAvailable unreadable
  EXPECT_EQ(cap_by_cgroup(0, std::nullopt), 0u);    // nothing known
  EXPECT_EQ(cap_by_cgroup(5 * kGiB, 0), 1u);        // full: nothing fits, not "unknown"
}

}  // namespace
}  // namespace brisk
