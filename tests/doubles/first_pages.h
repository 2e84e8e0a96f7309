// FirstPages doubles: start-up's page runs, scripted.
#pragma once

#include <functional>

#include "app/upgrade_app.h"
#include "tests/doubles/call_log.h"

namespace quillet::testing {

// For tests that never reach the pages.
class NoPages : public FirstPages {
  public:
    int RunWelcomePage(UpgradeApp&) override { return -1; }
    int RunSelectPrinterPage(UpgradeApp&) override { return -1; }
};

// Records the runs and plays what the test scripts for the selection page.
class ScriptedFirstPages : public FirstPages {
  public:
    explicit ScriptedFirstPages(CallLog& log) : log_(log) {}

    int welcomeResult = 1;
    std::function<int(UpgradeApp&)> selectPrinter = [](UpgradeApp&) { return 2; };

    int RunWelcomePage(UpgradeApp&) override {
        log_.Record("WelcomePage");
        return welcomeResult;
    }
    int RunSelectPrinterPage(UpgradeApp& app) override {
        log_.Record("SelectPrinterPage");
        return selectPrinter(app);
    }

  private:
    CallLog& log_;
};

}  // namespace quillet::testing
