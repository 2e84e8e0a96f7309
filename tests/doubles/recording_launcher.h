// A ProcessLauncher double: records each start in the shared CallLog as
// "StartProcess" and keeps the program names.
#pragma once

#include <string>
#include <vector>

#include "tests/doubles/call_log.h"
#include "wizard/process_launcher.h"

namespace quillet::testing {

class RecordingLauncher : public ProcessLauncher {
public:
    explicit RecordingLauncher(CallLog& log) : log_(log) {}

    // FailCall("StartProcess") makes a start fail.
    bool StartProcess(const std::string& applicationName) override {
        started.push_back(applicationName);
        return log_.Record("StartProcess");
    }
    std::vector<std::string> started;

private:
    CallLog& log_;
};

}  // namespace quillet::testing
