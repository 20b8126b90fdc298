// Reads cases of two samples from standard input, one case a line
// ("a1 a2 a3 | b1 b2", the base first), and prints what welch_test gives for
// each: "delta p ci_low ci_high df" with 17 significant digits, or "none".
// check_welch_scipy.py compares these with SciPy.
#include <fmt/format.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "compare/welch_test.h"

namespace {

bool read_sample(std::istringstream& in, std::vector<double>& out) {
  std::string word;
  while (in >> word && word != "|") {
    try {
      out.push_back(std::stod(word));
    } catch (const std::exception&) {
      return false;
    }
  }
  return true;
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::vector<double> base;
    std::vector<double> other;
    if (!read_sample(in, base) || !read_sample(in, other)) {
      std::cout << "bad line" << std::endl;
      continue;
    }
    const auto r = brisk::welch_test(base, other);
    if (!r) {
      std::cout << "none" << std::endl;
      continue;
    }
    std::cout << fmt::format("{:.17g} {:.17g} {:.17g} {:.17g} {:.17g}", r->delta_percent,
                             r->p_value, r->ci_low_percent, r->ci_high_percent,
                             r->degrees_of_freedom)
              << std::endl;
  }
  return 0;
}
