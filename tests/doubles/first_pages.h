// For tests that never reach the pages.
#pragma once

#include "app/upgrade_app.h"

namespace quillet::testing {

class NoPages : public FirstPages {
public:
    int RunWelcomePage(UpgradeApp&) override { return -1; }
    int RunSelectPrinterPage(UpgradeApp&) override { return -1; }
};

}  // namespace quillet::testing
