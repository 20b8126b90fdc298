// The sysfs reader on hand-made sysfs trees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/topology_sysfs.h"

namespace brisk {
namespace {

namespace fs = std::filesystem;

TEST(ParseCpuList, RangesAndSingles) {
  EXPECT_EQ(parse_cpu_list("0-3,8,10-11\n"), (std::vector<std::uint32_t>{0, 1, 2, 3, 8, 10, 11}));
  EXPECT_EQ(parse_cpu_list("5"), (std::vector<std::uint32_t>{5}));
  EXPECT_EQ(parse_cpu_list("3,1,1-2"), (std::vector<std::uint32_t>{1, 2, 3}));
  EXPECT_TRUE(parse_cpu_list("").empty());
  EXPECT_TRUE(parse_cpu_list("\n").empty());
}

TEST(ParseCpuList, DropsMalformedAndHugeParts) {
  EXPECT_EQ(parse_cpu_list("x,2,3-,-4,5-4,6-7x,9"), (std::vector<std::uint32_t>{2, 9}));
  // A range up to 2^32 - 1 must not allocate billions of entries.
  EXPECT_EQ(parse_cpu_list("0-4294967295,1"), (std::vector<std::uint32_t>{1}));
  EXPECT_EQ(parse_cpu_list("65535"), (std::vector<std::uint32_t>{65535}));
  EXPECT_TRUE(parse_cpu_list("65536").empty());
}

// A throw-away sysfs tree below a temporary directory.
class FakeSysfs : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("brisk_sysfs_" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  void write(const std::string& relative, const std::string& text) {
    const fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text << "\n";
  }
  void cpu(std::uint32_t n, const std::string& siblings) {
    write("system/cpu/cpu" + std::to_string(n) + "/topology/core_cpus_list", siblings);
  }
  void cache(std::uint32_t n, int index, int level, const std::string& type,
             const std::string& shared) {
    const std::string dir =
        "system/cpu/cpu" + std::to_string(n) + "/cache/index" + std::to_string(index) + "/";
    write(dir + "level", std::to_string(level));
    write(dir + "type", type);
    write(dir + "shared_cpu_list", shared);
  }
  std::vector<ProcessorRecord> records(const std::vector<std::uint32_t>& allowed) {
    return records_from_sysfs(root_.string(), allowed);
  }
  Topology tree(const std::vector<std::uint32_t>& allowed) {
    return build_topology_from_records(records(allowed));
  }

  fs::path root_;
};

std::vector<std::string> lines(const Topology& t) { return topology_report_lines(t); }

TEST_F(FakeSysfs, SmtSiblingsFormOneCoreAndCachesAreDeduplicated) {
  // Two cores, siblings (0, 2) and (1, 3), as many Intel machines number them.
  for (std::uint32_t n = 0; n < 4; ++n) {
    cpu(n, n % 2 == 0 ? "0,2" : "1,3");
    cache(n, 0, 1, "Data", n % 2 == 0 ? "0,2" : "1,3");
    cache(n, 1, 1, "Instruction", n % 2 == 0 ? "0,2" : "1,3");
    cache(n, 2, 2, "Unified", n % 2 == 0 ? "0,2" : "1,3");
    cache(n, 3, 3, "Unified", "0-3");
  }
  write("system/node/node0/cpulist", "0-3");
  const std::vector<ProcessorRecord> r = records({0, 1, 2, 3});
  std::size_t cores = 0, caches = 0, l3 = 0, nodes = 0;
  for (const ProcessorRecord& rec : r) {
    cores += rec.kind == RecordKind::core;
    caches += rec.kind == RecordKind::cache;
    l3 += rec.kind == RecordKind::cache && rec.cache_level == 3;
    nodes += rec.kind == RecordKind::numa_node;
  }
  EXPECT_EQ(cores, 2u);
  EXPECT_EQ(caches, 7u);  // 2 x (L1d, L1i, L2) + one L3
  EXPECT_EQ(l3, 1u);
  EXPECT_EQ(nodes, 1u);
  EXPECT_EQ(
      lines(tree({0, 1, 2, 3})),
      (std::vector<std::string>{"perf_level_count=1", "numa node id=0", "|--llc id=0",
                                "|  |--core id=0 perf_level=0", "|  |  |--logical idx=0 os=0",
                                "|  |  |--logical idx=1 os=2", "|  |--core id=1 perf_level=0",
                                "|  |  |--logical idx=0 os=1", "|  |  |--logical idx=1 os=3"}));
}

TEST_F(FakeSysfs, OnlyAllowedCpusAppear) {
  for (std::uint32_t n = 0; n < 4; ++n) {
    cpu(n, n < 2 ? "0-1" : "2-3");
    cache(n, 0, 3, "Unified", "0-3");
  }
  write("system/node/node0/cpulist", "0-1");
  write("system/node/node1/cpulist", "2-3");
  // A container limited to CPUs 1 and 2: two cores, one thread each.
  EXPECT_EQ(lines(tree({2, 1})),
            (std::vector<std::string>{
                "perf_level_count=1", "numa node id=0", "|--llc id=0",
                "|  |--core id=0 perf_level=0", "|  |  |--logical idx=0 os=1", "numa node id=1",
                "|--llc id=0", "|  |--core id=1 perf_level=0", "|  |  |--logical idx=0 os=2"}));
}

TEST_F(FakeSysfs, HybridFromTheCpuCorePmuList) {
  for (std::uint32_t n = 0; n < 4; ++n) cpu(n, n < 2 ? "0-1" : std::to_string(n));
  write("cpu_core/cpus", "0-1");
  write("cpu_atom/cpus", "2-3");
  const Topology t = tree({0, 1, 2, 3});
  EXPECT_EQ(t.perf_level_count, 2u);
  const auto& cores = t.numa_nodes.at(0).llcs.at(0).cores;
  ASSERT_EQ(cores.size(), 3u);
  EXPECT_EQ(cores[0].perf_level, 0u);
  EXPECT_EQ(cores[0].logicals.size(), 2u);
  EXPECT_EQ(cores[1].perf_level, 1u);
  EXPECT_EQ(cores[2].perf_level, 1u);
}

TEST_F(FakeSysfs, HybridFromCpuCapacity) {
  const char* capacity[] = {"512", "1024", "1024", "768"};
  for (std::uint32_t n = 0; n < 4; ++n) {
    cpu(n, std::to_string(n));
    write("system/cpu/cpu" + std::to_string(n) + "/cpu_capacity", capacity[n]);
  }
  const Topology t = tree({0, 1, 2, 3});
  EXPECT_EQ(t.perf_level_count, 3u);
  const auto& cores = t.numa_nodes.at(0).llcs.at(0).cores;
  EXPECT_EQ(cores[0].perf_level, 2u);
  EXPECT_EQ(cores[1].perf_level, 0u);
  EXPECT_EQ(cores[2].perf_level, 0u);
  EXPECT_EQ(cores[3].perf_level, 1u);
}

TEST_F(FakeSysfs, EqualCapacitiesAreOneKind) {
  for (std::uint32_t n = 0; n < 2; ++n) {
    cpu(n, std::to_string(n));
    write("system/cpu/cpu" + std::to_string(n) + "/cpu_capacity", "1024");
  }
  EXPECT_EQ(tree({0, 1}).perf_level_count, 1u);
}

TEST_F(FakeSysfs, CpusBeyond64LandInProcessorGroupOne) {
  for (std::uint32_t n : {63u, 64u, 65u}) {
    cpu(n, n == 63 ? "63" : "64-65");
    cache(n, 0, 3, "Unified", "63-65");  // one cache across both groups
  }
  write("system/node/node0/cpulist", "63-65");
  const std::vector<ProcessorRecord> r = records({63, 64, 65});
  const Topology t = build_topology_from_records(r);
  ASSERT_EQ(t.numa_nodes.size(), 1u);
  ASSERT_EQ(t.numa_nodes[0].llcs.size(), 1u);
  const auto& cores = t.numa_nodes[0].llcs[0].cores;
  ASSERT_EQ(cores.size(), 2u);
  EXPECT_EQ(cores[0].logicals[0].group, 0u);
  EXPECT_EQ(cores[0].logicals[0].os_index, 63u);
  EXPECT_EQ(cores[1].logicals[0].group, 1u);
  EXPECT_EQ(cores[1].logicals[0].os_index, 0u);
  EXPECT_EQ(cores[1].logicals[1].os_index, 1u);
  // The node spans two groups: one record per group, as Windows reports it.
  std::size_t node_records = 0;
  for (const ProcessorRecord& rec : r) node_records += rec.kind == RecordKind::numa_node;
  EXPECT_EQ(node_records, 2u);
}

TEST_F(FakeSysfs, MissingSysfsStillGivesOneCorePerAllowedCpu) {
  const Topology t = tree({0, 1, 2});  // nothing below the root
  EXPECT_EQ(t.core_count(), 3u);
  EXPECT_EQ(t.perf_level_count, 1u);
}

}  // namespace
}  // namespace brisk
