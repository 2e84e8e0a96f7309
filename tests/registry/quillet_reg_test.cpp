// quillet-reg, the built binary, on real database files: what it writes the
// wizard reads, and what the wizard writes it shows.

#include <gtest/gtest.h>

#include "platform/registry_sqlite.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"
#include "emulator/command.h"
#include "emulator/temp_dir.h"
#include "tests/registry/registry_seed.h"

namespace quillet::testing {
namespace {

constexpr const char* kKey =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Tarvane_Nimbrel_K7\\"
    "PrinterDriverData";
constexpr const char* kSuccess = "The operation completed successfully.\n";
constexpr const char* kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.\n";

class QuilletRegTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.Ok()); }

    std::string Database() const { return dir_.File("registry.db"); }

    CommandResult Reg(std::vector<std::string> arguments, const std::string& input = "") {
        arguments.insert(arguments.begin(), QUILLET_REG_PATH);
        arguments.push_back("/db");
        arguments.push_back(Database());
        return RunCommand(arguments, input);
    }

    // The wizard's view of the value, through ReadAutoRun.
    std::int32_t WizardSavedAutoRun() {
        PlatformDoubles doubles;
        SqliteRegistry registry(Database());
        PlatformServices services{doubles.userLanguage, doubles.platformVersion,
                                  doubles.messageBoxes, doubles.spooler,
                                  doubles.imageFiles,   registry};
        NoPages pages;
        UpgradeApp app(services, pages);
        app.TargetPrinter = "Tarvane_Nimbrel_K7";
        app.ReadAutoRun();
        return app.SavedAutoRun;
    }

  private:
    TempDir dir_{"quillet-reg"};
};

TEST_F(QuilletRegTest, AddedDwordIsQueriedLikeRegExeAndReadByTheWizard) {
    const CommandResult add = Reg({"add", kKey, "/v", "SM AutoRun", "/t", "REG_DWORD", "/d", "0"});
    EXPECT_EQ(add.exitStatus, 0) << add.err;
    EXPECT_EQ(add.out, kSuccess);
    EXPECT_EQ(WizardSavedAutoRun(), 0);

    const CommandResult query = Reg({"query", kKey, "/v", "sm autorun"});
    EXPECT_EQ(query.exitStatus, 0) << query.err;
    EXPECT_EQ(query.out, std::string("\nHKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\"
                                     "Print\\Printers\\Tarvane_Nimbrel_K7\\PrinterDriverData\n"
                                     "    SM AutoRun    REG_DWORD    0x0\n\n"));
}

TEST_F(QuilletRegTest, QueryShowsWhatTheWizardWrote) {
    ASSERT_EQ(Reg({"add", kKey}).exitStatus, 0);
    {
        PlatformDoubles doubles;
        SqliteRegistry registry(Database());
        PlatformServices services{doubles.userLanguage, doubles.platformVersion,
                                  doubles.messageBoxes, doubles.spooler,
                                  doubles.imageFiles,   registry};
        NoPages pages;
        UpgradeApp app(services, pages);
        app.TargetPrinter = "Tarvane_Nimbrel_K7";
        app.WriteAutoRun(1);
        EXPECT_EQ(app.AutoRunChanged, 1);
    }
    const CommandResult query = Reg({"query",
                                     "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\"
                                     "control\\Print\\Printers\\Tarvane_Nimbrel_K7\\"
                                     "PrinterDriverData"});
    EXPECT_EQ(query.exitStatus, 0) << query.err;
    EXPECT_NE(query.out.find("\n    SM AutoRun    REG_DWORD    0x1\n"), std::string::npos)
        << query.out;
}

TEST_F(QuilletRegTest, QueryListsSubkeysAfterTheValues) {
    ASSERT_EQ(Reg({"add", kKey, "/v", "SM AutoRun", "/t", "REG_DWORD", "/d", "1"}).exitStatus, 0);
    const CommandResult query =
        Reg({"query", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers"});
    EXPECT_EQ(query.exitStatus, 0);
    EXPECT_EQ(query.out,
              "\nHKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\n\n"
              "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\"
              "Tarvane_Nimbrel_K7\n");
}

TEST_F(QuilletRegTest, LongStringAddedByTheToolMakesTheWizardSaveOne) {
    ASSERT_EQ(Reg({"add", kKey, "/v", "SM AutoRun", "/d", "disabled"}).exitStatus, 0);
    const CommandResult query = Reg({"query", kKey, "/v", "SM AutoRun"});
    EXPECT_NE(query.out.find("    SM AutoRun    REG_SZ    disabled\n"), std::string::npos);
    EXPECT_EQ(WizardSavedAutoRun(), 1);
}

TEST_F(QuilletRegTest, DeletedValueAndKeyAreGoneForToolAndWizard) {
    ASSERT_EQ(Reg({"add", kKey, "/v", "SM AutoRun", "/t", "REG_DWORD", "/d", "0"}).exitStatus, 0);
    const CommandResult deleteValue = Reg({"delete", kKey, "/v", "SM AutoRun", "/f"});
    EXPECT_EQ(deleteValue.exitStatus, 0);
    EXPECT_EQ(deleteValue.out, kSuccess);
    const CommandResult queryValue = Reg({"query", kKey, "/v", "SM AutoRun"});
    EXPECT_EQ(queryValue.exitStatus, 1);
    EXPECT_EQ(queryValue.err, kNotFound);
    EXPECT_EQ(queryValue.out, "");
    EXPECT_EQ(WizardSavedAutoRun(), 1);

    const CommandResult deleteKey =
        Reg({"delete", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers", "/f"});
    EXPECT_EQ(deleteKey.exitStatus, 0);
    EXPECT_EQ(Reg({"query", kKey}).exitStatus, 1);
}

TEST_F(QuilletRegTest, OverwriteWithoutForceAsksAndKeepsTheValueOnNo) {
    ASSERT_EQ(Reg({"add", kKey, "/v", "SM AutoRun", "/t", "REG_DWORD", "/d", "0"}).exitStatus, 0);
    const CommandResult refused =
        Reg({"add", kKey, "/v", "SM AutoRun", "/t", "REG_DWORD", "/d", "1"}, "no\n");
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_NE(refused.out.find("Value SM AutoRun exists, overwrite (Yes/No)?"), std::string::npos);
    EXPECT_EQ(WizardSavedAutoRun(), 0);

    const CommandResult accepted =
        Reg({"add", kKey, "/v", "SM AutoRun", "/t", "REG_DWORD", "/d", "1"}, "yes\n");
    EXPECT_EQ(accepted.exitStatus, 0);
    EXPECT_EQ(WizardSavedAutoRun(), 1);
}

struct FailureCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* expectedError;
};

// Test names, not bytes, in failure messages.
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class QuilletRegFailureTest : public QuilletRegTest,
                              public ::testing::WithParamInterface<FailureCase> {};

TEST_P(QuilletRegFailureTest, ExitsWithOneAndSaysWhy) {
    ASSERT_EQ(Reg({"add", kKey, "/v", "SM AutoRun", "/t", "REG_DWORD", "/d", "1"}).exitStatus, 0);
    const CommandResult result = Reg(GetParam().arguments);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err.substr(0, result.err.find('\n') + 1), GetParam().expectedError);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, QuilletRegFailureTest,
    ::testing::Values(
        FailureCase{"QueryMissingKey", {"query", "HKLM\\Software\\Missing"}, kNotFound},
        FailureCase{"QueryMissingValue", {"query", kKey, "/v", "Missing"}, kNotFound},
        FailureCase{"DeleteMissingValue", {"delete", kKey, "/v", "Missing", "/f"}, kNotFound},
        FailureCase{"DeleteMissingKey", {"delete", "HKLM\\Software\\Missing", "/f"}, kNotFound},
        FailureCase{"OtherRoot", {"query", "HKCU\\Software"}, "ERROR: Invalid key name.\n"},
        FailureCase{"DwordNotANumber",
                    {"add", kKey, "/v", "X", "/t", "REG_DWORD", "/d", "ten"},
                    "ERROR: Invalid syntax.\n"},
        FailureCase{
            "UnknownType", {"add", kKey, "/v", "X", "/t", "REG_FOO"}, "ERROR: Invalid syntax.\n"},
        FailureCase{"UnknownOperation", {"copy", kKey}, "ERROR: Invalid syntax.\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QuilletRegDatabase, EnvironmentNamesTheDatabaseWhenNoOptionDoes) {
    TempDir dir("quillet-reg");
    ASSERT_TRUE(dir.Ok());
    const std::string database = dir.File("from-env.db");
    const CommandResult add = RunCommand(
        {"env", "QUILLET_REGISTRY_DB=" + database, QUILLET_REG_PATH, "add", "HKLM\\Software\\Q"});
    EXPECT_EQ(add.exitStatus, 0) << add.err;
    SqliteRegistry registry(database);
    RegistryKey key = 0;
    EXPECT_TRUE(registry.OpenKey("Software\\Q", RegistryAccess::QueryValue, key));
    registry.CloseKey(key);
}

TEST(QuilletRegDatabase, DefaultIsTheBuildTimeLocation) {
    EXPECT_EQ(DefaultRegistryPath(), QUILLET_REGISTRY_DB_DEFAULT);
}

}  // namespace
}  // namespace quillet::testing
