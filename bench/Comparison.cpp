#include "bench/Comparison.h"

namespace {
constexpr double kNanosecondsPerSecond = 1e9;
}

void PrintTable(const ComparisonResult* results, int count)
{
    std::printf("| Measured | Baseline | Measured ns/call | Baseline ns/call | Ratio | Goal |\n");
    std::printf("|---|---|---:|---:|---:|---|\n");
    for (int i = 0; i < count; ++i) {
        const ComparisonResult& row = results[i];
        char goal[32] = "reported only";
        if (row.HasGoal())
            std::snprintf(goal, sizeof goal, "<= %gx", row.goal);
        std::printf("| %s | %s | %.0f | %.0f | %.2fx | %s |\n", row.measured, row.baseline,
                    row.measuredSecondsPerCall * kNanosecondsPerSecond,
                    row.baselineSecondsPerCall * kNanosecondsPerSecond, row.Ratio(), goal);
    }
}
