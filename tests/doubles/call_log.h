// A shared record of platform calls, in the order they were made, that can
// make any single call fail.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace quillet::testing {

class CallLog {
  public:
    // Records the call; returns false when it is to fail. `FailCall("X")` fails
    // every call named X, `FailCall("X", 2)` only the second one.
    bool Record(const std::string& call) {
        calls_.push_back(call);
        const int count = ++counts_[call];
        auto failing = failing_.find(call);
        return failing == failing_.end() || (failing->second != 0 && failing->second != count);
    }
    void FailCall(const std::string& call, int occurrence = 0) { failing_[call] = occurrence; }

    const std::vector<std::string>& Calls() const { return calls_; }
    int Count(const std::string& call) const {
        auto found = counts_.find(call);
        return found == counts_.end() ? 0 : found->second;
    }
    void Clear() {
        calls_.clear();
        counts_.clear();
    }

  private:
    std::vector<std::string> calls_;
    std::map<std::string, int> counts_;
    std::map<std::string, int> failing_;  // 0: every call
};

}  // namespace quillet::testing
