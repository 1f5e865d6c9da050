#include "driver/report.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace pellimor {
namespace {

SampleResult sample(double base, int no_lines, int connected) {
    SampleResult r;
    for (int k = 0; k < move_kind_count; ++k) {
        r.rates[k] = base * (k + 1);
    }
    r.no_lines = no_lines;
    r.connected = connected;
    return r;
}

TEST(RunningTotals, CountsFlagsAndBoth) {
    RunningTotals t;
    t.add(sample(0.01, 1, 1));
    t.add(sample(0.01, 1, 0));
    t.add(sample(0.01, 0, 1));
    t.add(sample(0.01, 0, 0));
    EXPECT_EQ(t.samples, 4);
    EXPECT_EQ(t.no_lines_count, 2);
    EXPECT_EQ(t.connected_count, 2);
    EXPECT_EQ(t.both_count, 1);
    EXPECT_DOUBLE_EQ(t.rate_totals[6], 0.28);
}

TEST(ReportLine, FieldsInOrder) {
    RunningTotals t;
    for (int i = 0; i < 100; ++i) {
        // 40 without lines (30 of them connected), 50 more connected.
        t.add(sample(0.001, i < 40 ? 1 : 0, (i < 30 || i >= 50) ? 1 : 0));
    }
    EXPECT_EQ(format_report_line(t, 0.25),
              " 40 / 100, 80 / 100, 30 / 40, 30 / 80 = 0.400000, 0.800000, 0.750000, 0.375000 "
              "in 0.250000 hours (0.001000 + 0.002000 + 0.003000 + 0.004000 + 0.005000 + "
              "0.006000 + 0.007000 = 0.028000) \n");
}

TEST(ReportLine, ZeroCountsAndNoMovesPrintNotANumber) {
    RunningTotals t;
    for (int i = 0; i < 100; ++i) {
        t.add(sample(std::nan(""), 0, 0));
    }
    const std::string line = format_report_line(t, 0.0);
    EXPECT_EQ(line.rfind(" 0 / 100, 0 / 100, 0 / 0, 0 / 0 = 0.000000, 0.000000, ", 0), 0u) << line;
    // Fields 11 and 12 and all eight rate fields are not numbers.
    int nans = 0;
    for (std::size_t at = line.find("nan"); at != std::string::npos;
         at = line.find("nan", at + 1)) {
        ++nans;
    }
    EXPECT_EQ(nans, 10) << line;
}

TEST(ReportLine, CountsUpToTheLargestSampleCount) {
    RunningTotals t;
    t.samples = 2147483647;
    t.no_lines_count = t.connected_count = t.both_count = 2147483647;
    EXPECT_EQ(format_report_line(t, 1.0).rfind(" 2147483647 / 2147483647, 2147483647 / 2147483647, "
                                               "2147483647 / 2147483647, 2147483647 / 2147483647 "
                                               "= 1.000000, 1.000000, 1.000000, 1.000000 in ",
                                               0),
              0u);
}

TEST(ResultsFileName, NamedAfterVertexCount) {
    EXPECT_EQ(results_file_name(6), "pellimor_6.txt");
    EXPECT_EQ(results_file_name(2147483647), "pellimor_2147483647.txt");
}

}  // namespace
}  // namespace pellimor
