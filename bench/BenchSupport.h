#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "import/ImportRun.h"
#include "import/UserPrompt.h"

// What the benchmark's measurements share: a prompt that answers yes and shows nothing, one timed
// import, times and medians.
namespace vantrel::bench {

class Silent : public UserPrompt {
  public:
    bool AskYesNo(const std::string&) override { return true; }
    void ShowMessage(const std::string&, const std::string&) override {}
    void ShowErrorWindow() override {}
};

inline double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct RunTimes {
    double Staging = 0;  // until the transfer begins
    double Total = 0;
    int Errors = 0;
    long long Written = 0;
    double PeakMb = 0;
    double CpuSeconds = 0;  // user + system time of the import's process, both threads
};

// Runs the session's definition once, every question answered yes; prints the first errors.
inline RunTimes TimedRun(SessionState& state) {
    Engine engine(state.Errors.Pending);
    Silent prompt;
    ImportRun run(state, engine, prompt);
    RunTimes times;
    const auto start = std::chrono::steady_clock::now();
    run.SetProgress([&](const TransferProgress& p) {
        if (p.Rows == 0 && times.Staging == 0) times.Staging = Seconds(start);
        return true;
    });
    const RunOutcome outcome = run.Start();
    times.Total = Seconds(start);
    times.Errors = state.Errors.ErrorCount();
    times.Written =
        outcome.Counts.PairRecordCounts.size() > 1 ? outcome.Counts.PairRecordCounts[1] : 0;
    for (int i = 1; i <= state.Errors.ErrorCount() && i <= 5; ++i)
        std::printf("  error: %s\n", state.Errors.DescribedLine(i).c_str());
    return times;
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace vantrel::bench
