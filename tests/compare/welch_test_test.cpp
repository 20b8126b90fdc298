#include "compare/welch_test.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace brisk {
namespace {

struct Reference {
  const char* name;
  std::vector<double> base;
  std::vector<double> other;
  WelchResult expected;  // from scipy.stats.ttest_ind(other, base, equal_var=False)
};

TEST(WelchTest, MatchesSciPyReferenceValues) {
  const std::vector<Reference> cases = {
      {"3 vs 3 faster",
       {429.87, 431.23, 428.5},
       {515.84, 517.0, 514.9},
       {20.017059553349913, 2.452772069815563e-07, 19.35764386989239, 20.67647523680743,
        3.756137884095271}},
      {"3 vs 3 overlapping",
       {100.0, 104.0, 98.0},
       {101.0, 97.0, 103.5},
       {-0.16556291390729116, 0.9517445979371499, -7.315684177721082, 6.984558349906503,
        3.980195305807779}},
      {"4 vs 6 slower",
       {1000.0, 1010.0, 995.0, 1005.0},
       {940.0, 950.0, 945.0, 938.0, 952.0, 947.0},
       {-5.702410640066502, 8.848947922886748e-06, -6.670489142193283, -4.7343321379397105,
        5.793892551870266}},
  };
  for (const Reference& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = welch_test(c.base, c.other);
    ASSERT_TRUE(r.has_value());
    const auto near = [](double a, double b) { return std::fabs(a - b) <= 1e-9 * std::fabs(b); };
    EXPECT_PRED2(near, r->delta_percent, c.expected.delta_percent);
    EXPECT_PRED2(near, r->p_value, c.expected.p_value);
    EXPECT_PRED2(near, r->ci_low_percent, c.expected.ci_low_percent);
    EXPECT_PRED2(near, r->ci_high_percent, c.expected.ci_high_percent);
    EXPECT_PRED2(near, r->degrees_of_freedom, c.expected.degrees_of_freedom);
  }
}

struct Degenerate {
  const char* name;
  std::vector<double> base;
  std::vector<double> other;
  double delta, p, df;
};

// No variance is an ordinary input; these must come out exactly, never NaN.
TEST(WelchTest, ZeroVarianceGivesExactAnswers) {
  const std::vector<Degenerate> cases = {
      {"identical", {100.0, 100.0, 100.0}, {100.0, 100.0}, 0.0, 1.0, 0.0},
      // 3 x 0.1 / 3 is not 0.1 in floating point; the mean must still be 0.1.
      {"0.1 thrice against twice", {0.1, 0.1, 0.1}, {0.1, 0.1}, 0.0, 1.0, 0.0},
      {"different means", {200.0, 200.0}, {210.0, 210.0, 210.0}, 5.0, 0.0, 0.0},
  };
  for (const Degenerate& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = welch_test(c.base, c.other);
    ASSERT_TRUE(r.has_value());
    // 210 / 200 is 5% only to the last bit; equal means must be exactly 0.
    EXPECT_NEAR(r->delta_percent, c.delta, 1e-12);
    if (c.delta == 0.0) {
      EXPECT_EQ(r->delta_percent, 0.0);
    }
    EXPECT_EQ(r->p_value, c.p);
    EXPECT_EQ(r->ci_low_percent, r->delta_percent);
    EXPECT_EQ(r->ci_high_percent, r->delta_percent);
    EXPECT_EQ(r->degrees_of_freedom, c.df);
  }
}

TEST(WelchTest, ZeroVarianceOnOneSideLeavesTheOtherSidesDegreesOfFreedom) {
  for (const bool base_flat : {true, false}) {
    const std::vector<double> flat = {500.0, 500.0, 500.0};
    const std::vector<double> varied = {505.0, 507.5, 503.0, 506.0, 504.0};
    const auto r = base_flat ? welch_test(flat, varied) : welch_test(varied, flat);
    ASSERT_TRUE(r.has_value());
    EXPECT_NEAR(r->degrees_of_freedom, 4.0, 1e-12);
    EXPECT_TRUE(std::isfinite(r->p_value));
    EXPECT_LT(r->p_value, 0.05);
    EXPECT_LT(r->ci_low_percent, r->ci_high_percent);
  }
}

TEST(WelchTest, SameScoresInAnotherOrderAreExactlyNoChange) {
  const std::vector<double> base = {101.0, 99.5, 100.25, 100.1};
  const std::vector<double> other = {100.1, 100.25, 101.0, 99.5};
  const auto r = welch_test(base, other);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->delta_percent, 0.0);
  EXPECT_EQ(r->p_value, 1.0);
  EXPECT_EQ(r->ci_low_percent, -r->ci_high_percent);
}

TEST(WelchTest, NoTestWithoutTwoFiniteScoresAndAPositiveBase) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::pair<std::vector<double>, std::vector<double>>> cases = {
      {{100.0}, {101.0, 102.0}},    {{100.0, 101.0}, {102.0}},  {{}, {}},
      {{0.0, 0.0}, {1.0, 2.0}},     {{-5.0, -4.0}, {1.0, 2.0}}, {{100.0, nan}, {1.0, 2.0}},
      {{100.0, 101.0}, {inf, 2.0}},
  };
  for (const auto& [base, other] : cases) {
    EXPECT_FALSE(welch_test(base, other).has_value()) << base.size() << " vs " << other.size();
  }
}

// Many runs or a huge t must neither throw nor give NaN.
TEST(WelchTest, LargeSamplesAndExtremeDifferencesStayFinite) {
  std::vector<double> base(20000), other(20000);
  for (std::size_t i = 0; i < base.size(); ++i) {
    base[i] = 400.0 + static_cast<double>(i % 7);
    other[i] = 400.0 + static_cast<double>(i % 5);
  }
  const auto big = welch_test(base, other);
  ASSERT_TRUE(big.has_value());
  EXPECT_TRUE(std::isfinite(big->p_value));
  EXPECT_GT(big->degrees_of_freedom, 30000.0);

  const auto extreme =
      welch_test(std::vector<double>{1.0, 1.0 + 1e-12}, std::vector<double>{1e6, 1e6 + 1e-6});
  ASSERT_TRUE(extreme.has_value());
  EXPECT_LT(extreme->p_value, 1e-9);
  EXPECT_TRUE(std::isfinite(extreme->ci_low_percent));
}

}  // namespace
}  // namespace brisk
