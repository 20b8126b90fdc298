// Test helper: a workload whose operations fail on demand in one chosen
// thread, and the seams that inject it into a run.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "bench/run_seams.h"
#include "solver/workload.h"

namespace brisk::test {

enum class FailAt { nowhere, make, allocate, init, apply_source, step, verify, validate };

struct FailurePlan {
  FailAt where = FailAt::nowhere;
  std::uint32_t thread = 0;        // the thread that fails
  std::uint64_t at_iteration = 2;  // for the loop operations
};

// Counts how many workloads were built and destroyed, so a test can tell that
// every thread let go of its workload (and so ended).
struct WorkloadCounters {
  std::atomic<int> made{0};
  std::atomic<int> destroyed{0};
};

inline std::string failure_text(FailAt where, std::uint32_t thread) {
  static const char* const names[] = {"nowhere",      "make", "allocate", "init",
                                      "apply_source", "step", "verify",   "validate"};
  return std::string("test ") + names[static_cast<int>(where)] + " failed in thread " +
         std::to_string(thread);
}

class TestWorkload final : public Workload {
 public:
  TestWorkload(std::uint32_t index, FailurePlan plan, WorkloadCounters& counters)
      : Workload(index), plan_(plan), counters_(counters) {
    ++counters_.made;
  }
  ~TestWorkload() override { ++counters_.destroyed; }

  std::optional<std::string> allocate_fields(const FieldConfig&) override {
    return fails(FailAt::allocate);
  }
  std::optional<std::string> init_fields() override { return fails(FailAt::init); }
  std::optional<std::string> apply_source(std::uint64_t i) override {
    return fails_at(FailAt::apply_source, i);
  }
  std::optional<std::string> step() override {
    // Short, so a one-second loop makes a few thousand steps without
    // hogging the processor.
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    return fails_at(FailAt::step, steps_++);
  }
  std::optional<std::string> verify_step(std::uint64_t i) override {
    return fails_at(FailAt::verify, i);
  }
  std::optional<std::string> validate_result(std::uint64_t) override {
    return fails(FailAt::validate);
  }
  std::uint64_t updates_per_step() const override { return 1000; }

 private:
  std::optional<std::string> fails(FailAt where) const {
    if (plan_.where == where && plan_.thread == thread_index) {
      return failure_text(where, thread_index);
    }
    return std::nullopt;
  }
  std::optional<std::string> fails_at(FailAt where, std::uint64_t i) const {
    return i == plan_.at_iteration ? fails(where) : std::nullopt;
  }

  FailurePlan plan_;
  WorkloadCounters& counters_;
  std::uint64_t steps_ = 0;
};

// Seams for an in-process run: the test workload, no ISA complaint, a
// compliant timer and real threads.
inline RunSeams test_seams(FailurePlan plan, WorkloadCounters& counters) {
  RunSeams seams = default_run_seams();
  seams.make_workload = [plan, &counters](std::string_view, std::string_view,
                                          std::uint32_t index) -> std::unique_ptr<Workload> {
    if (plan.where == FailAt::make && plan.thread == index) return nullptr;
    return std::make_unique<TestWorkload>(index, plan, counters);
  };
  seams.check_isa = [](std::string_view) { return std::optional<std::string>(); };
  seams.timer_compliant = [](const FastTimer&) { return true; };
  return seams;
}

}  // namespace brisk::test
