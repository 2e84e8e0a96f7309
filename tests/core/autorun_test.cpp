// The key path of ReadAutoRun and WriteAutoRun. What is saved for each stored
// value is the registry tests'; failing registry calls are pages_test's.
#include <gtest/gtest.h>

#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

const std::string kPrefix = "System\\CurrentControlSet\\control\\Print\\Printers\\";
const std::string kSuffix = "\\PrinterDriverData";

// A value with only higher bytes set counts as on; a printer name with format
// characters names its own key. Other stored values are the registry tests'.
TEST(AutoRun, HigherBytesCountAndTheNameIsTakenAsIs) {
    PlatformDoubles doubles;
    const std::string key = kPrefix + "Office \"%s\" 100%" + kSuffix;
    doubles.registry.SetDword(key, "SM AutoRun", 0x100);
    NoPages pages;
    UpgradeApp app(doubles.Services(), pages);
    app.TargetPrinter = "Office \"%s\" 100%";
    app.ReadAutoRun();
    EXPECT_EQ(app.SavedAutoRun, 1);
    app.WriteAutoRun(0);
    EXPECT_EQ(doubles.registry.Dword(key, "SM AutoRun"), std::optional(0u));
}

// A path that does not fit its 1024-character buffer is never opened: cut
// short, it could name another printer's key.
TEST(AutoRun, PathThatDoesNotFitItsBufferIsNeverOpened) {
    const std::size_t fitting = 1023 - kPrefix.size() - kSuffix.size();
    for (std::size_t length : {fitting, fitting + 1, std::size_t{4000}}) {
        PlatformDoubles doubles;
        const std::string path = kPrefix + std::string(length, 'p') + kSuffix;
        doubles.registry.SetDword(path, "SM AutoRun", 0);
        doubles.registry.SetDword(path.substr(0, 1023), "SM AutoRun", 0);
        NoPages pages;
        UpgradeApp app(doubles.Services(), pages);
        app.TargetPrinter = std::string(length, 'p');
        app.ReadAutoRun();
        app.WriteAutoRun(0);
        const bool fits = length == fitting;
        EXPECT_EQ(app.SavedAutoRun, fits ? 0 : 1) << length;
        EXPECT_EQ(app.AutoRunChanged, fits ? 1 : 0) << length;
        EXPECT_EQ(doubles.log.calls.size(), fits ? 6u : 0u) << length;
    }
}

}  // namespace
}  // namespace quillet::testing
