// The sysfs reader on hand-made sysfs trees.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
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

TEST(ParseCpuMask, WordsAreMostSignificantFirst) {
  std::vector<std::uint32_t> first48(48);
  for (std::uint32_t i = 0; i < 48; ++i) first48[i] = i;
  EXPECT_EQ(parse_cpu_mask("00000000,00000000,0000ffff,ffffffff\n"), first48);
  EXPECT_EQ(parse_cpu_mask("80000000,00000000"), (std::vector<std::uint32_t>{63}));
  // Kernels print the top word only as wide as the CPUs it covers.
  EXPECT_EQ(parse_cpu_mask("f"), (std::vector<std::uint32_t>{0, 1, 2, 3}));
  EXPECT_EQ(parse_cpu_mask("1,00000005"), (std::vector<std::uint32_t>{0, 2, 32}));
  EXPECT_TRUE(parse_cpu_mask("").empty());
  EXPECT_TRUE(parse_cpu_mask("\n").empty());
  EXPECT_TRUE(parse_cpu_mask("00000000,00000000").empty());
}

TEST(ParseCpuMask, MalformedMasksAreEmptyAndHugeOnesStopAtCpu65535) {
  for (const char* bad : {"0000000g", "ff,,ff", ",ff", "ff,", "123456789", "0x1f", "-1", "f f"}) {
    EXPECT_TRUE(parse_cpu_mask(bad).empty()) << bad;
  }
  std::string words;
  for (int i = 0; i < 2047; ++i) words += ",00000000";
  EXPECT_EQ(parse_cpu_mask("80000000" + words), (std::vector<std::uint32_t>{65535}));
  EXPECT_EQ(parse_cpu_mask("ffffffff" + words + ",00000001"), (std::vector<std::uint32_t>{0}));
}

enum class Form { list, mask };

// `cpus` as the kernel prints a mask on a machine of `cpu_count` CPUs: 32-bit
// words, most significant first, the top one only as wide as it needs to be.
std::string mask_text(const std::vector<std::uint32_t>& cpus, std::uint32_t cpu_count) {
  const std::uint32_t words = std::max<std::uint32_t>(1, (cpu_count + 31) / 32);
  std::vector<std::uint32_t> bits(words);
  for (std::uint32_t cpu : cpus) bits.at(cpu / 32) |= std::uint32_t{1} << (cpu % 32);
  std::string text;
  for (std::uint32_t w = words; w-- > 0;) {
    const int width = w == words - 1 && cpu_count % 32 != 0 ? (cpu_count % 32 + 3) / 4 : 8;
    if (!text.empty()) text += ',';
    text += fmt::format("{:0{}x}", bits[w], width);
  }
  return text;
}

// A throw-away sysfs tree below a temporary directory.
class FakeSysfs : public ::testing::Test {
 protected:
  void SetUp() override {
    // In memory where possible: a tree of a large machine is hundreds of files.
    const fs::path base =
        access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path();
    root_ = base / ("brisk_sysfs_" + std::to_string(getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  void write(const std::string& relative, const std::string& text) {
    const fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text << "\n";
  }
  // A CPU set given as a cpu list, written as a list file or, as older kernels
  // have it, only as a mask file.
  void cpus(const std::string& dir, const std::string& list_name, const std::string& mask_name,
            const std::string& list) {
    if (form_ == Form::list) {
      write(dir + list_name, list);
    } else {
      write(dir + mask_name, mask_text(parse_cpu_list(list), cpu_count_));
    }
  }
  void cpu(std::uint32_t n, const std::string& siblings) {
    const std::string dir = "system/cpu/cpu" + std::to_string(n) + "/topology/";
    cpus(dir, "core_cpus_list", "thread_siblings", siblings);
  }
  void cache(std::uint32_t n, int index, int level, const std::string& type,
             const std::string& shared) {
    const std::string dir =
        "system/cpu/cpu" + std::to_string(n) + "/cache/index" + std::to_string(index) + "/";
    write(dir + "level", std::to_string(level));
    write(dir + "type", type);
    cpus(dir, "shared_cpu_list", "shared_cpu_map", shared);
  }
  void node(std::uint32_t n, const std::string& list) {
    cpus("system/node/node" + std::to_string(n) + "/", "cpulist", "cpumap", list);
  }
  std::vector<ProcessorRecord> records(const std::vector<std::uint32_t>& allowed) {
    return records_from_sysfs(root_.string(), allowed);
  }
  Topology tree(const std::vector<std::uint32_t>& allowed) {
    return build_topology_from_records(records(allowed));
  }

  Form form_ = Form::list;
  std::uint32_t cpu_count_ = 0;  // CPUs of the fake machine: the width of its masks
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

std::vector<std::string> described(const std::vector<ProcessorRecord>& records) {
  std::vector<std::string> out;
  for (const ProcessorRecord& r : records) {
    std::string text = fmt::format("kind={} class={} node={} level={}", static_cast<int>(r.kind),
                                   r.efficiency_class, r.node_number, r.cache_level);
    for (const GroupMask& m : r.masks) text += fmt::format(" {}:{:x}", m.group, m.mask);
    out.push_back(text);
  }
  return out;
}

std::vector<std::uint32_t> first_cpus(std::uint32_t count) {
  std::vector<std::uint32_t> cpus(count);
  for (std::uint32_t i = 0; i < count; ++i) cpus[i] = i;
  return cpus;
}

// Older kernels describe the same machine with mask files only; the tree must
// not depend on which form the kernel offers.
TEST_F(FakeSysfs, MaskFilesGiveTheSameTreeAsListFiles) {
  struct Machine {
    std::string name;
    std::uint32_t cpu_count;
    std::vector<std::uint32_t> allowed;
    std::function<void()> write;
    std::size_t nodes, cores;  // so that neither form passes by coming out flat
  };
  const auto smt_pairs = [this] {
    for (std::uint32_t n = 0; n < 4; ++n) {
      const std::string core = n % 2 == 0 ? "0,2" : "1,3";
      cpu(n, core);
      cache(n, 0, 1, "Data", core);
      cache(n, 1, 2, "Unified", core);
      cache(n, 2, 3, "Unified", "0-3");
    }
    node(0, "0-3");
  };
  const auto two_nodes = [this] {
    for (std::uint32_t n = 0; n < 4; ++n) {
      cpu(n, n < 2 ? "0-1" : "2-3");
      cache(n, 0, 3, "Unified", n < 2 ? "0-1" : "2-3");
    }
    node(0, "0-1");
    node(1, "2-3");
  };
  const auto two_groups = [this] {
    for (std::uint32_t n : {63u, 64u, 65u}) {
      cpu(n, n == 63 ? "63" : "64-65");
      cache(n, 0, 3, "Unified", "63-65");
    }
    node(0, "63-65");
  };
  // Four nodes of 12 two-thread cores; CPU c and c + 48 are siblings, so
  // nodes 1 and 2 span both processor groups.
  const auto server = [this] {
    for (std::uint32_t k = 0; k < 4; ++k) {
      const std::uint32_t a = k * 12, b = 48 + k * 12;
      const std::string node_cpus = fmt::format("{}-{},{}-{}", a, a + 11, b, b + 11);
      for (std::uint32_t c = 0; c < 12; ++c) {
        for (std::uint32_t n : {a + c, b + c}) {
          cpu(n, fmt::format("{},{}", a + c, b + c));
          cache(n, 0, 3, "Unified", node_cpus);
        }
      }
      node(k, node_cpus);
    }
  };
  const std::vector<Machine> machines = {
      {"SMT siblings 0,2 and 1,3", 4, first_cpus(4), smt_pairs, 1, 2},
      {"two nodes, a container on CPUs 1 and 2", 4, {1, 2}, two_nodes, 2, 2},
      {"CPUs 63 to 65 in two processor groups", 66, {63, 64, 65}, two_groups, 1, 2},
      {"96 CPUs in four nodes", 96, first_cpus(96), server, 4, 48},
  };
  for (const Machine& m : machines) {
    SCOPED_TRACE(m.name);
    std::vector<std::string> records_of[2], lines_of[2];
    for (const Form form : {Form::list, Form::mask}) {
      SCOPED_TRACE(form == Form::list ? "list files" : "mask files");
      fs::remove_all(root_);
      form_ = form;
      cpu_count_ = m.cpu_count;
      m.write();
      const std::vector<ProcessorRecord> r = records(m.allowed);
      const Topology t = build_topology_from_records(r);
      EXPECT_EQ(t.numa_nodes.size(), m.nodes);
      EXPECT_EQ(t.core_count(), m.cores);
      records_of[static_cast<int>(form)] = described(r);
      lines_of[static_cast<int>(form)] = lines(t);
    }
    EXPECT_EQ(records_of[1], records_of[0]);
    EXPECT_EQ(lines_of[1], lines_of[0]);
  }
}

TEST_F(FakeSysfs, UnreadableMasksCountAsMissingFiles) {
  write("system/cpu/cpu0/topology/core_cpus", "not a mask");
  write("system/cpu/cpu0/topology/thread_siblings", "3");  // the next file still counts
  write("system/cpu/cpu2/topology/thread_siblings", "");
  write("system/cpu/cpu3/topology/thread_siblings", "ffffffff,");
  write("system/cpu/cpu0/cache/index0/level", "3");
  write("system/cpu/cpu0/cache/index0/shared_cpu_map", "0000000g");
  write("system/node/node0/cpumap", ",f");
  const std::vector<ProcessorRecord> r = records({0, 1, 2, 3});
  for (const ProcessorRecord& rec : r) EXPECT_EQ(rec.kind, RecordKind::core);
  EXPECT_EQ(lines(build_topology_from_records(r)),
            (std::vector<std::string>{"perf_level_count=1", "numa node id=0", "|--llc id=0",
                                      "|  |--core id=0 perf_level=0", "|  |  |--logical idx=0 os=0",
                                      "|  |  |--logical idx=1 os=1", "|  |--core id=1 perf_level=0",
                                      "|  |  |--logical idx=0 os=2", "|  |--core id=2 perf_level=0",
                                      "|  |  |--logical idx=0 os=3"}));
}

TEST_F(FakeSysfs, MissingSysfsStillGivesOneCorePerAllowedCpu) {
  const Topology t = tree({0, 1, 2});  // nothing below the root
  EXPECT_EQ(t.core_count(), 3u);
  EXPECT_EQ(t.perf_level_count, 1u);
}

}  // namespace
}  // namespace brisk
