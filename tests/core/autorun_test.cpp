// ReadAutoRun and WriteAutoRun: what is saved for each stored value, and the
// key path. Failing registry calls are the fault injection's in tests/qt/pages_test.cpp.
#include <gtest/gtest.h>

#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

const std::string kPrefix = "System\\CurrentControlSet\\control\\Print\\Printers\\";
const std::string kSuffix = "\\PrinterDriverData";

// nullopt: no such key. The saved value is 0 or 1, 1 whenever it cannot be
// read; shutdown writes it back once the value was switched off.
TEST(AutoRun, SavesZeroOrOneSwitchesOffAndShutdownRestores) {
    const std::pair<std::optional<std::uint32_t>, int> rows[] = {
        {std::nullopt, 1}, {0u, 0}, {1u, 1}, {7u, 1}, {0x100u, 1}};
    for (const auto& [stored, saved] : rows) {
        PlatformDoubles doubles;
        const std::string key = kPrefix + "Office \"%s\" 100%" + kSuffix;
        if (stored) {
            doubles.registry.SetDword(key, "SM AutoRun", *stored);
        }
        NoPages pages;
        UpgradeApp app(doubles.Services(), pages);
        app.TargetPrinter = "Office \"%s\" 100%";
        app.ReadAutoRun();
        EXPECT_EQ(app.SavedAutoRun, saved);
        app.WriteAutoRun(0);
        EXPECT_EQ(app.AutoRunChanged, stored ? 1 : 0);
        EXPECT_EQ(doubles.registry.Dword(key, "sm autorun"),
                  stored ? std::optional(0u) : std::nullopt);
        app.ExitInstance();
        EXPECT_EQ(doubles.registry.Dword(key, "SM AutoRun"),
                  stored ? std::optional<std::uint32_t>(saved) : std::nullopt);
    }
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
