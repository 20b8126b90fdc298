#include "compare/welch_test.h"

#include <algorithm>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <vector>

namespace brisk {
namespace {

// Every Boost error becomes a returned value instead of an exception: no
// input may throw across the comparison's interface.
using QuietPolicy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::pole_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::underflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>,
    boost::math::policies::rounding_error<boost::math::policies::ignore_error>>;
using StudentsT = boost::math::students_t_distribution<double, QuietPolicy>;

struct Moments {
  double mean = 0.0;
  double variance = 0.0;  // sample variance (n - 1)
  double n = 0.0;
};

// Sums in ascending order, so the same scores in any order give the very same
// mean; a side whose scores are all equal has that score as its mean and
// exactly no variance (3 x 0.1 / 3 is not 0.1 in floating point).
Moments moments_of(std::span<const double> scores) {
  std::vector<double> sorted(scores.begin(), scores.end());
  std::sort(sorted.begin(), sorted.end());
  Moments m;
  m.n = static_cast<double>(sorted.size());
  if (sorted.front() == sorted.back()) {
    m.mean = sorted.front();
    return m;
  }
  double sum = 0.0;
  for (double x : sorted) sum += x;
  m.mean = sum / m.n;
  double squares = 0.0;
  for (double x : sorted) squares += (x - m.mean) * (x - m.mean);
  m.variance = squares / (m.n - 1.0);
  return m;
}

bool all_finite(std::span<const double> scores) {
  return std::all_of(scores.begin(), scores.end(), [](double x) { return std::isfinite(x); });
}

// Welch-Satterthwaite. A side with no variance adds nothing to the
// denominator, which leaves the other side's n - 1. The exact value always
// lies between min(n) - 1 and n_b + n_o - 2; clamping there keeps underflow
// or overflow of the squares from giving 0, inf or NaN.
double welch_df(double wb, double wo, const Moments& b, const Moments& o) {
  const double low = std::min(b.n, o.n) - 1.0;
  const double high = b.n + o.n - 2.0;
  const double df = (wb + wo) * (wb + wo) / (wb * wb / (b.n - 1.0) + wo * wo / (o.n - 1.0));
  if (!std::isfinite(df)) return high;
  return std::clamp(df, low, high);
}

}  // namespace

std::optional<WelchResult> welch_test(std::span<const double> base, std::span<const double> other) {
  if (base.size() < 2 || other.size() < 2) return std::nullopt;
  if (!all_finite(base) || !all_finite(other)) return std::nullopt;
  try {
    const Moments b = moments_of(base);
    const Moments o = moments_of(other);
    if (!(b.mean > 0.0)) return std::nullopt;
    const double diff = o.mean - b.mean;
    WelchResult result;
    result.delta_percent = (o.mean / b.mean - 1.0) * 100.0;
    if (!std::isfinite(result.delta_percent)) return std::nullopt;
    const double wb = b.variance / b.n;
    const double wo = o.variance / o.n;
    const double se = std::sqrt(wb + wo);
    if (!(se > 0.0)) {
      // No variance anywhere: the difference is exactly what it is.
      result.p_value = diff == 0.0 ? 1.0 : 0.0;
      result.ci_low_percent = result.ci_high_percent = result.delta_percent;
      return result;
    }
    result.degrees_of_freedom = welch_df(wb, wo, b, o);
    const StudentsT dist(result.degrees_of_freedom);
    const double t = diff / se;
    const double p = 2.0 * boost::math::cdf(boost::math::complement(dist, std::fabs(t)));
    result.p_value = std::isfinite(p) ? std::clamp(p, 0.0, 1.0) : (std::fabs(t) > 1.0 ? 0.0 : 1.0);
    const double q = boost::math::quantile(boost::math::complement(dist, 0.025));
    if (!std::isfinite(q)) return std::nullopt;
    result.ci_low_percent = (diff - q * se) / b.mean * 100.0;
    result.ci_high_percent = (diff + q * se) / b.mean * 100.0;
    if (!std::isfinite(result.ci_low_percent) || !std::isfinite(result.ci_high_percent)) {
      return std::nullopt;
    }
    return result;
  } catch (...) {
    // bad_alloc of the sorted copies, or anything Boost raises despite the policy.
    return std::nullopt;
  }
}

}  // namespace brisk
