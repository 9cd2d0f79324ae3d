#pragma once
// One line of the benchmark table: a measured operation against a baseline
// timed in the same run. Both are timed alternately, several passes of many
// calls each; each side keeps its fastest pass, and the figure is the ratio of
// the two fastest passes, which is what stays comparable under emulation.
// Short passes, many of them: the guest is shared, and a short pass is more
// likely to fall into a quiet moment.

#include <cstdio>

#include "bench/Stopwatch.h"

struct ComparisonResult {
    const char* measured;
    const char* baseline;
    double measuredSecondsPerCall;
    double baselineSecondsPerCall;
    double goal;  // the ratio not to exceed; 0 when the figure is only reported

    double Ratio() const { return measuredSecondsPerCall / baselineSecondsPerCall; }
    bool HasGoal() const { return goal > 0; }
};

// A baseline that is much cheaper than the measured side may make more calls
// per pass, so that both sides' passes last about as long and are as likely
// to meet a busy moment of the guest.
struct Repetition {
    int callsPerPass;
    int passes;
    int baselineCallsPerPass = 0;  // 0: as many as the measured side

    int BaselineCalls() const { return baselineCallsPerPass ? baselineCallsPerPass : callsPerPass; }
};

template <class Operation>
double SecondsPerCall(Operation& operation, int calls)
{
    Stopwatch stopwatch;
    for (int i = 0; i < calls; ++i)
        operation();
    return stopwatch.Seconds() / calls;
}

template <class Measured, class Baseline>
ComparisonResult Compare(const char* measuredName, Measured measured, const char* baselineName, Baseline baseline,
                         Repetition repetition, double goal)
{
    ComparisonResult result{measuredName, baselineName, 0, 0, goal};
    // One pass of each untimed, so that first-use costs stay out of the figures.
    SecondsPerCall(measured, repetition.callsPerPass);
    SecondsPerCall(baseline, repetition.BaselineCalls());
    for (int pass = 0; pass < repetition.passes; ++pass) {
        // Which side goes first alternates, so neither always follows the other.
        const bool measuredFirst = pass % 2 == 0;
        const double firstTime = measuredFirst ? SecondsPerCall(measured, repetition.callsPerPass)
                                               : SecondsPerCall(baseline, repetition.BaselineCalls());
        const double secondTime = measuredFirst ? SecondsPerCall(baseline, repetition.BaselineCalls())
                                                : SecondsPerCall(measured, repetition.callsPerPass);
        const double measuredTime = measuredFirst ? firstTime : secondTime;
        const double baselineTime = measuredFirst ? secondTime : firstTime;
        if (pass == 0 || measuredTime < result.measuredSecondsPerCall)
            result.measuredSecondsPerCall = measuredTime;
        if (pass == 0 || baselineTime < result.baselineSecondsPerCall)
            result.baselineSecondsPerCall = baselineTime;
    }
    return result;
}

// The table of RESULTS, one row each. scripts/bench reads the rows and judges
// each figure against its goal.
void PrintTable(const ComparisonResult* results, int count);
