// SPDX-License-Identifier: GPL-3.0-or-later
// The order statistics and the command line of the benchmarks: a wrong
// percentile or a silently ignored option would make every printed figure
// wrong without anything failing.
#include "bench/BenchOptions.h"
#include "bench/Samples.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using bench::BenchOptions;
using bench::Samples;

TEST(BenchSamples, PercentilesUseTheNearestRank)
{
    Samples s;
    EXPECT_EQ(s.median(), 0);
    EXPECT_EQ(s.percentile(95), 0);
    for (int v : {50, 10, 40, 30, 20})  // unsorted on purpose
        s.add(v);
    EXPECT_EQ(s.percentile(0), 10);
    EXPECT_EQ(s.median(), 30);
    EXPECT_EQ(s.percentile(80), 40);
    EXPECT_EQ(s.percentile(81), 50);
    EXPECT_EQ(s.percentile(100), 50);
    EXPECT_EQ(s.max(), 50);
    EXPECT_DOUBLE_EQ(s.mean(), 30);

    // p95 of 100 values is the 95th smallest, not the largest.
    Samples hundred;
    for (int v = 1; v <= 100; ++v)
        hundred.add(v);
    EXPECT_EQ(hundred.percentile(95), 95);
    EXPECT_EQ(hundred.median(), 50);
}

namespace {

bool parse(BenchOptions& options, std::vector<std::string> args)
{
    args.insert(args.begin(), "bench-test");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    return options.parse(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(BenchOptions, TakesKnownNumbersAndRefusesTheRest)
{
    BenchOptions options({{"seconds", {60, "how long"}}, {"rounds", {3, "how often"}}});
    ASSERT_TRUE(parse(options, {"--seconds", "2"}));
    EXPECT_EQ(options.get("seconds"), 2);
    EXPECT_EQ(options.get("rounds"), 3);

    BenchOptions bad({{"seconds", {60, "how long"}}});
    EXPECT_FALSE(parse(bad, {"--minutes", "2"}));
    EXPECT_FALSE(parse(bad, {"--seconds"}));
    EXPECT_FALSE(parse(bad, {"--seconds", "2x"}));
    EXPECT_FALSE(parse(bad, {"--seconds", "-1"}));
    EXPECT_EQ(bad.get("seconds"), 60);
}
