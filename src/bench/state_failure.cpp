#include "bench/state_failure.h"

#include <fmt/format.h>

namespace brisk {

std::string processor_label(const std::optional<ProcessorNumber>& processor) {
  if (!processor) return "an unknown processor";
  if (processor->group == 0) return fmt::format("logical processor {}", processor->number);
  return fmt::format("logical processor {} of group {}", processor->number, processor->group);
}

std::string state_failure_text(std::uint32_t thread_index,
                               const std::optional<ProcessorNumber>& processor,
                               const GridMismatch& mismatch) {
  return fmt::format(
      "\ngrid verification failure in thread {} on {}\nwrong values = {} of {}\nfirst wrong "
      "value = {}\nexpected = {}\nfound = {}",
      thread_index, processor_label(processor), mismatch.wrong_values, mismatch.checked_values,
      mismatch_place(mismatch), exact_double(mismatch.expected), exact_double(mismatch.found));
}

}  // namespace brisk
