// The driver's autorun setting through the SQLite registry, on real database
// files: ReadAutoRun and WriteAutoRun for every registry state, and the
// registry's own contract.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/registry_sqlite.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"
#include "emulator/temp_dir.h"
#include "tests/registry/registry_seed.h"

namespace quillet::testing {
namespace {

constexpr const char* kPrinter = "Tarvane_Nimbrel_K7";
constexpr const char* kValueName = "SM AutoRun";

struct Stored {
    std::uint32_t type;
    std::vector<std::uint8_t> bytes;
};

enum class Seed { NoDatabase, NoKey, NoValue, Value };

struct AutoRunCase {
    const char* name;
    Seed seed;
    std::optional<Stored> before;  // with Seed::Value
    bool readOnlyFile;
    std::int32_t expectedSaved;
    std::int32_t expectedChanged;  // after the selection page's write of 0
    std::optional<Stored> during;  // nullopt: no such value
    std::optional<Stored> after;   // once the saved value is written back
};

// Test names, not bytes, in failure messages.
void PrintTo(const AutoRunCase& c, std::ostream* os) {
    *os << c.name;
}

Stored Dword(std::uint32_t value) {
    return {REG_DWORD, DwordBytes(value)};
}
Stored String(const std::string& text) {
    return {REG_SZ, StringBytes(text)};
}

void ExpectStored(const std::string& database, const std::optional<Stored>& expected,
                  const char* when) {
    SCOPED_TRACE(when);
    const auto actual = StoredValue(database, StoredDriverDataKey(kPrinter), kValueName);
    ASSERT_EQ(actual.has_value(), expected.has_value());
    if (expected) {
        EXPECT_EQ(actual->type, expected->type);
        EXPECT_EQ(actual->bytes, expected->bytes);
        EXPECT_EQ(actual->name, kValueName) << "a value keeps the case it was created with";
    }
}

class AutoRunOnSqliteTest : public ::testing::TestWithParam<AutoRunCase> {};

TEST_P(AutoRunOnSqliteTest, SavesSwitchesOffAndRestoresAsTheRegistryAllows) {
    const AutoRunCase& c = GetParam();
    TempDir dir("quillet-registry", std::filesystem::perms::owner_all |
                                        std::filesystem::perms::group_exec |
                                        std::filesystem::perms::others_exec);
    ASSERT_TRUE(dir.Ok());
    const std::string database = dir.File("registry.db");

    switch (c.seed) {
        case Seed::NoDatabase:
            break;
        case Seed::NoKey: {
            SqliteRegistry registry(database);
            ASSERT_TRUE(registry.CreateKey("SYSTEM\\CurrentControlSet\\Control\\Print\\Printers"));
            break;
        }
        case Seed::NoValue: {
            SqliteRegistry registry(database);
            ASSERT_TRUE(registry.CreateKey(StoredDriverDataKey(kPrinter)));
            break;
        }
        case Seed::Value:
            SeedValue(database, StoredDriverDataKey(kPrinter), kValueName, c.before->type,
                      c.before->bytes);
            break;
    }
    if (c.readOnlyFile) {
        ASSERT_EQ(::chmod(database.c_str(), 0444), 0);
    }

    PlatformDoubles doubles;
    SqliteRegistry registry(database);
    PlatformServices services{doubles.userLanguage, doubles.platformVersion, doubles.messageBoxes,
                              doubles.spooler,      doubles.imageFiles,      registry};
    NoPages pages;
    UpgradeApp app(services, pages);
    app.TargetPrinter = kPrinter;

    app.ReadAutoRun();
    EXPECT_EQ(app.SavedAutoRun, c.expectedSaved);
    app.WriteAutoRun(0);
    EXPECT_EQ(app.AutoRunChanged, c.expectedChanged);
    ExpectStored(database, c.during, "during the upgrade");

    app.WriteAutoRun(app.SavedAutoRun);
    ExpectStored(database, c.after, "after the upgrade");

    if (c.seed == Seed::NoDatabase) {
        EXPECT_FALSE(std::filesystem::exists(database)) << "the wizard created the database";
    }
    if (c.seed == Seed::NoKey) {
        RegistryKey key = 0;
        EXPECT_FALSE(
            registry.OpenKey(StoredDriverDataKey(kPrinter), RegistryAccess::QueryValue, key))
            << "the wizard created the driver-data key";
    }
}

INSTANTIATE_TEST_SUITE_P(
    RegistryStates, AutoRunOnSqliteTest,
    ::testing::Values(
        AutoRunCase{"MissingDatabaseFile", Seed::NoDatabase, std::nullopt, false, 1, 0,
                    std::nullopt, std::nullopt},
        AutoRunCase{"MissingKey", Seed::NoKey, std::nullopt, false, 1, 0, std::nullopt,
                    std::nullopt},
        AutoRunCase{"MissingValue", Seed::NoValue, std::nullopt, false, 1, 1, Dword(0), Dword(1)},
        AutoRunCase{"HoldsZero", Seed::Value, Dword(0), false, 0, 1, Dword(0), Dword(0)},
        AutoRunCase{"HoldsSeven", Seed::Value, Dword(7), false, 1, 1, Dword(0), Dword(1)},
        AutoRunCase{"HoldsStringLongerThanFourBytes", Seed::Value, String("disabled"), false, 1, 1,
                    Dword(0), Dword(1)},
        AutoRunCase{"ReadOnlyFileHoldingSeven", Seed::Value, Dword(7), true, 1, 0, Dword(7),
                    Dword(7)},
        AutoRunCase{"ReadOnlyFileHoldingZero", Seed::Value, Dword(0), true, 0, 0, Dword(0),
                    Dword(0)}),
    [](const auto& info) { return std::string(info.param.name); });

class SqliteRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.Ok()); }
    std::string Database() const { return dir_.File("registry.db"); }

  private:
    TempDir dir_{"quillet-registry"};
};

TEST_F(SqliteRegistryTest, WizardsMixedCaseKeyPathFindsTheKeyAsTheDriverStoredIt) {
    SeedValue(Database(), StoredDriverDataKey(kPrinter), "SM AutoRun", REG_DWORD, DwordBytes(5));
    SqliteRegistry registry(Database());
    RegistryKey key = 0;
    ASSERT_TRUE(
        registry.OpenKey("System\\CurrentControlSet\\control\\Print\\Printers\\tarvane_nimbrel_"
                         "k7\\PrinterDriverData",
                         RegistryAccess::QueryValue, key));
    std::uint8_t buffer[4] = {};
    std::uint32_t size = sizeof buffer;
    std::uint32_t type = 0;
    EXPECT_TRUE(registry.QueryValue(key, "sm autorun", type, buffer, size));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buffer[0], 5);
    registry.CloseKey(key);
}

TEST_F(SqliteRegistryTest, StringOfAnyLengthStaysOneValueAndTooSmallBufferFails) {
    const std::string text(1000, 'x');
    SeedValue(Database(), "Software\\Quillet", "Long", REG_SZ, StringBytes(text));
    SqliteRegistry registry(Database());
    RegistryKey key = 0;
    ASSERT_TRUE(registry.OpenKey("Software\\Quillet", RegistryAccess::QueryValue, key));
    std::vector<std::uint8_t> buffer(2000);
    std::uint32_t size = 4;
    std::uint32_t type = 0;
    EXPECT_FALSE(registry.QueryValue(key, "Long", type, buffer.data(), size));
    size = static_cast<std::uint32_t>(buffer.size());
    EXPECT_TRUE(registry.QueryValue(key, "Long", type, buffer.data(), size));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 1001u);
    registry.CloseKey(key);
}

TEST_F(SqliteRegistryTest, OpenKeyNeverCreatesAKey) {
    SqliteRegistry registry(Database());
    ASSERT_TRUE(registry.CreateKey("Software"));
    RegistryKey key = 0;
    EXPECT_FALSE(registry.OpenKey("Software\\Missing", RegistryAccess::Write, key));
    EXPECT_FALSE(registry.OpenKey("Software\\Missing", RegistryAccess::QueryValue, key));
}

TEST_F(SqliteRegistryTest, KeyOpenedForReadingCannotSetValues) {
    SqliteRegistry registry(Database());
    ASSERT_TRUE(registry.CreateKey("Software"));
    RegistryKey key = 0;
    ASSERT_TRUE(registry.OpenKey("Software", RegistryAccess::QueryValue, key));
    const auto bytes = DwordBytes(1);
    EXPECT_FALSE(registry.SetValue(key, "X", REG_DWORD, bytes.data(), 4));
    registry.CloseKey(key);
}

TEST_F(SqliteRegistryTest, ReplacingAValueChangesItsTypeAndKeepsOneValue) {
    SeedValue(Database(), "Software", "V", REG_SZ, StringBytes("text"));
    SeedValue(Database(), "Software", "v", REG_DWORD, DwordBytes(9));
    SqliteRegistry registry(Database());
    RegistryKey key = 0;
    ASSERT_TRUE(registry.OpenKey("software", RegistryAccess::QueryValue, key));
    std::vector<RegistryValueData> values;
    ASSERT_TRUE(registry.EnumValues(key, values));
    registry.CloseKey(key);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].type, REG_DWORD);
    EXPECT_EQ(values[0].bytes, DwordBytes(9));
}

TEST_F(SqliteRegistryTest, WriteWaitsForAnotherWriterToFinish) {
    SqliteRegistry registry(Database());
    ASSERT_TRUE(registry.CreateKey("Software"));

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(Database().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread finisher([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });

    RegistryKey key = 0;
    ASSERT_TRUE(registry.OpenKey("Software", RegistryAccess::Write, key));
    const auto bytes = DwordBytes(1);
    EXPECT_TRUE(registry.SetValue(key, "X", REG_DWORD, bytes.data(), 4));
    registry.CloseKey(key);
    finisher.join();
    sqlite3_close(other);
}

}  // namespace
}  // namespace quillet::testing
