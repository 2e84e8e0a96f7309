// ReadAutoRun and WriteAutoRun against the recording registry.

#include <gtest/gtest.h>

#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

const std::string kPrinter = "Tarvane_Nimbrel_K7";
const std::string kKey =
    "System\\CurrentControlSet\\control\\Print\\Printers\\Tarvane_Nimbrel_K7\\PrinterDriverData";

enum class Stored { NoKey, NoValue, Zero, Seven, LongString };

struct AutoRunCase {
    const char* name;
    Stored stored;
    int savedAutoRun;
    bool keyOpens;

    // Test listings show the row by its name.
    friend void PrintTo(const AutoRunCase& row, std::ostream* out) { *out << row.name; }
};

class AutoRunTest : public ::testing::TestWithParam<AutoRunCase> {
protected:
    void Store(Stored stored) {
        auto& registry = doubles.registry;
        switch (stored) {
            case Stored::NoKey:
                break;
            case Stored::NoValue:
                registry.AddKey(kKey);
                break;
            case Stored::Zero:
                registry.SetDword(kKey, "SM AutoRun", 0);
                break;
            case Stored::Seven:
                registry.SetDword(kKey, "SM AutoRun", 7);
                break;
            case Stored::LongString:
                registry.SetString(kKey, "SM AutoRun", "enabled");
                break;
        }
    }

    PlatformDoubles doubles;
    NoPages pages;
    UpgradeApp app{doubles.Services(), pages};
};

TEST_P(AutoRunTest, SavesZeroOrOneSwitchesOffAndRestores) {
    const AutoRunCase& c = GetParam();
    Store(c.stored);
    app.TargetPrinter = kPrinter;

    app.ReadAutoRun();
    EXPECT_EQ(app.SavedAutoRun, c.savedAutoRun);
    app.WriteAutoRun(0);
    EXPECT_EQ(app.AutoRunChanged, c.keyOpens ? 1 : 0);
    if (c.keyOpens) {
        EXPECT_EQ(doubles.registry.Dword(kKey, "SM AutoRun"), 0u);
    }
    // Shutdown puts the saved value back when it is still changed.
    EXPECT_EQ(app.ExitInstance(), 0);
    if (c.keyOpens) {
        EXPECT_EQ(doubles.registry.Dword(kKey, "SM AutoRun"),
                  static_cast<std::uint32_t>(c.savedAutoRun));
        EXPECT_EQ(doubles.registry.Value(kKey, "SM AutoRun")->type, REG_DWORD);
    } else {
        EXPECT_FALSE(doubles.registry.Value(kKey, "SM AutoRun"));
    }
    EXPECT_EQ(doubles.registry.OpenKeys(), 0);
}

INSTANTIATE_TEST_SUITE_P(RegistryStates, AutoRunTest,
                         ::testing::Values(AutoRunCase{"MissingKey", Stored::NoKey, 1, false},
                                           AutoRunCase{"MissingValue", Stored::NoValue, 1, true},
                                           AutoRunCase{"Zero", Stored::Zero, 0, true},
                                           AutoRunCase{"SevenBecomesOne", Stored::Seven, 1, true},
                                           AutoRunCase{"StringLongerThanFourBytes",
                                                       Stored::LongString, 1, true}),
                         [](const auto& info) { return std::string(info.param.name); });

using Calls = std::vector<std::string>;

TEST(AutoRun, ReadCallsPerPath) {
    struct Row {
        const char* failing;
        Calls calls;
        int saved;
    };
    const Row rows[] = {
        {nullptr, {"RegOpenKey(read)", "RegQueryValue", "RegCloseKey"}, 0},
        {"RegOpenKey(read)", {"RegOpenKey(read)"}, 1},
        {"RegQueryValue", {"RegOpenKey(read)", "RegQueryValue", "RegCloseKey"}, 1},
    };
    for (const Row& row : rows) {
        PlatformDoubles doubles;
        doubles.registry.SetDword(kKey, "SM AutoRun", 0);
        if (row.failing) {
            doubles.log.FailCall(row.failing);
        }
        NoPages pages;
        UpgradeApp app(doubles.Services(), pages);
        app.TargetPrinter = kPrinter;
        app.ReadAutoRun();
        EXPECT_EQ(doubles.log.Calls(), row.calls) << (row.failing ? row.failing : "none");
        EXPECT_EQ(app.SavedAutoRun, row.saved);
    }
}

TEST(AutoRun, WriteCallsPerPath) {
    struct Row {
        const char* failing;
        Calls calls;
        int changed;
    };
    const Row rows[] = {
        {nullptr, {"RegOpenKey(write)", "RegSetValue", "RegCloseKey"}, 1},
        // Write access refused: nothing written, the flag keeps its value.
        {"RegOpenKey(write)", {"RegOpenKey(write)"}, 0},
        // The set fails: the flag is set all the same, so that exit tries again.
        {"RegSetValue", {"RegOpenKey(write)", "RegSetValue", "RegCloseKey"}, 1},
    };
    for (const Row& row : rows) {
        PlatformDoubles doubles;
        doubles.registry.SetDword(kKey, "SM AutoRun", 1);
        if (row.failing) {
            doubles.log.FailCall(row.failing);
        }
        NoPages pages;
        UpgradeApp app(doubles.Services(), pages);
        app.TargetPrinter = kPrinter;
        app.WriteAutoRun(0);
        EXPECT_EQ(doubles.log.Calls(), row.calls) << (row.failing ? row.failing : "none");
        EXPECT_EQ(app.AutoRunChanged, row.changed);
    }
}

TEST(AutoRun, KeyPathIsFormedFromThePresentTargetPrinter) {
    PlatformDoubles doubles;
    NoPages pages;
    UpgradeApp app(doubles.Services(), pages);
    app.TargetPrinter = "Office \"%s\" \\ 100%";
    app.ReadAutoRun();
    app.TargetPrinter = kPrinter;
    app.WriteAutoRun(0);
    EXPECT_EQ(doubles.registry.openedPaths,
              (Calls{"System\\CurrentControlSet\\control\\Print\\Printers\\Office \"%s\" \\ "
                     "100%\\PrinterDriverData",
                     kKey}));
}

TEST(AutoRun, PathThatDoesNotFitItsBufferIsNeverOpened) {
    // The prefix and suffix take 65 characters; with a name of 958 the path
    // has 1023 characters and fits with its terminator, 959 does not.
    const std::string prefix = "System\\CurrentControlSet\\control\\Print\\Printers\\";
    const std::string suffix = "\\PrinterDriverData";
    const size_t fitting = 1023 - prefix.size() - suffix.size();
    for (size_t length : {fitting, fitting + 1, size_t{4000}}) {
        PlatformDoubles doubles;
        const std::string name(length, 'p');
        doubles.registry.SetDword(prefix + name + suffix, "SM AutoRun", 0);
        // A registry that cut the path would find this key.
        doubles.registry.SetDword((prefix + name + suffix).substr(0, 1023), "SM AutoRun", 0);
        NoPages pages;
        UpgradeApp app(doubles.Services(), pages);
        app.TargetPrinter = name;
        app.ReadAutoRun();
        app.WriteAutoRun(0);
        const bool fits = length == fitting;
        EXPECT_EQ(app.SavedAutoRun, fits ? 0 : 1) << length;
        EXPECT_EQ(app.AutoRunChanged, fits ? 1 : 0) << length;
        EXPECT_EQ(doubles.registry.openedPaths.size(), fits ? 2u : 0u) << length;
    }
}

}  // namespace
}  // namespace quillet::testing
