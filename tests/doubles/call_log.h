// The record shared by the doubles of one run: every platform call in order,
// what the user and the printer saw, and misuses of a service. Any single
// call can be made to fail.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quillet::testing {

class CallLog {
public:
    // Records the call; false when it is to fail.
    bool Record(const std::string& call) {
        if (onCall) {
            onCall(call);
        }
        calls.push_back(call);
        storyBefore.push_back(story.size());
        const int count = ++counts_[call];
        auto failing = failing_.find(call);
        return failing == failing_.end() || (failing->second != 0 && failing->second != count);
    }
    // Fails the `occurrence`-th call named `call` (from 1); 0 fails every one.
    void FailCall(const std::string& call, int occurrence = 0) { failing_[call] = occurrence; }
    int Count(const std::string& call) const {
        auto found = counts_.find(call);
        return found == counts_.end() ? 0 : found->second;
    }

    std::vector<std::string> calls;
    std::vector<std::size_t> storyBefore;  // story.size() when each call was made
    std::vector<std::string> story;        // pages, boxes, completed jobs, autorun writes
    std::vector<std::string> faults;       // e.g. a handle closed that was not open
    // A failing WritePrinter takes half the bytes instead of returning false.
    bool partialWrites = false;
    std::function<void(const std::string&)> onCall;

private:
    std::map<std::string, int> counts_;
    std::map<std::string, int> failing_;
};

}  // namespace quillet::testing
