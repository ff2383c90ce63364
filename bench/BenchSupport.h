#pragma once

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "import/UserPrompt.h"

// What the benchmark's measurements share: a prompt that answers yes and shows nothing, times and
// medians.
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

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace vantrel::bench
