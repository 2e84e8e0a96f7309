// FirstPages doubles: start-up's page runs, scripted.
#pragma once

#include "app/upgrade_app.h"
#include "tests/doubles/call_log.h"

namespace quillet::testing {

// For tests that never reach the pages.
class NoPages : public FirstPages {
public:
    int RunWelcomePage(UpgradeApp&) override { return -1; }
    int RunSelectPrinterPage(UpgradeApp&) override { return -1; }
};

// Records the runs and returns the results the test sets.
class ScriptedFirstPages : public FirstPages {
public:
    explicit ScriptedFirstPages(CallLog& log) : log_(log) {}

    int welcomeResult = 1;
    int selectResult = 2;

    int RunWelcomePage(UpgradeApp&) override {
        log_.Record("WelcomePage");
        return welcomeResult;
    }
    int RunSelectPrinterPage(UpgradeApp&) override {
        log_.Record("SelectPrinterPage");
        return selectResult;
    }

private:
    CallLog& log_;
};

}  // namespace quillet::testing
