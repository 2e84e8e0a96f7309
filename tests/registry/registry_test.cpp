// The registry on real SQLite files: the wizard's autorun setting, and
// quillet-reg, the built binary, on the same files. CTest runs this program
// as root and again as an ordinary user.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <tuple>

#include "emulator/command.h"
#include "emulator/temp_dir.h"
#include "platform/registry_sqlite.h"
#include "platform/tools/reg_arguments.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

// As a driver installer stores them: the case differs from the wizard's path.
const std::string kDriverKey =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Tarvane_Nimbrel_K7\\PrinterDriverData";
const std::string kRegKey = "HKLM\\" + kDriverKey;

// A value as EnumValues gives it: name, type, bytes.
using Stored = std::tuple<std::string, std::uint32_t, std::vector<std::uint8_t>>;

Stored Dword(std::uint32_t value, const char* name = "SM AutoRun") {
    std::vector<std::uint8_t> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return {name, REG_DWORD, bytes};
}

enum class FileState { Writable, ReadOnlyFile, ReadOnlyFolder, KeysInALoop };
using enum FileState;

// The wizard's part, over the real registry and doubles of the rest.
struct Wizard {
    explicit Wizard(const std::string& database) : registry(database) {
        app.TargetPrinter = "Tarvane_Nimbrel_K7";
    }
    PlatformDoubles doubles;
    SqliteRegistry registry;
    PlatformServices services{doubles.userLanguage, doubles.platformVersion, doubles.messageBoxes,
                              doubles.spooler,      doubles.imageFiles,      registry};
    NoPages pages;
    UpgradeApp app{services, pages};
};

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.Ok());
        ASSERT_TRUE(std::filesystem::create_directory(Folder()));
    }
    void TearDown() override { ::chmod(Folder().c_str(), 0700); }

    std::string Folder() const { return dir_.File("store"); }
    std::string Database() const { return dir_.File("store/registry.db"); }
    std::string FileBytes() const {
        std::ifstream in(Database(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    void Seed(const Stored& value) {
        SqliteRegistry registry(Database());
        ASSERT_TRUE(registry.CreateKey(kDriverKey));
        RegistryKey key = 0;
        ASSERT_TRUE(registry.OpenKey(kDriverKey, RegistryAccess::Write, key));
        const auto& [name, type, bytes] = value;
        EXPECT_TRUE(registry.SetValue(key, name, type, bytes.data(),
                                      static_cast<std::uint32_t>(bytes.size())));
        registry.CloseKey(key);
    }
    void Spoil(FileState state) {
        if (state == ReadOnlyFile) {
            ASSERT_EQ(::chmod(Database().c_str(), 0444), 0);
        } else if (state == ReadOnlyFolder) {
            ASSERT_EQ(::chmod(Folder().c_str(), 0555), 0);
        } else if (state == KeysInALoop) {
            // A row for the root itself, below the driver key, closes the loop.
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(Database().c_str(), &db), SQLITE_OK);
            EXPECT_EQ(sqlite3_exec(db,
                                   "INSERT INTO reg_keys(id, parent, name) VALUES(0, "
                                   "(SELECT max(id) FROM reg_keys), 'Loop')",
                                   nullptr, nullptr, nullptr),
                      SQLITE_OK);
            sqlite3_close(db);
        }
    }

    // The driver key's values; nullopt without the key.
    std::optional<std::vector<Stored>> Values() const {
        SqliteRegistry registry(Database());
        RegistryKey key = 0;
        std::vector<RegistryValueData> values;
        if (!registry.OpenKey(kDriverKey, RegistryAccess::QueryValue, key)) {
            return std::nullopt;
        }
        registry.EnumValues(key, values);
        registry.CloseKey(key);
        std::vector<Stored> stored;
        for (const RegistryValueData& value : values) {
            stored.push_back({value.name, value.type, value.bytes});
        }
        return stored;
    }
    void ExpectStored(const std::vector<Stored>& expected, const char* when) const {
        EXPECT_EQ(Values().value_or(std::vector<Stored>{}), expected) << when;
    }

    CommandResult Reg(std::vector<std::string> arguments, const std::string& input = "") const {
        arguments.insert(arguments.begin(), {"timeout", "20", QUILLET_REG_PATH});
        arguments.insert(arguments.end(), {"/db", Database()});
        return RunCommand(arguments, input);
    }

private:
    TempDir dir_{"quillet-registry"};
};

struct AutoRunCase {
    const char* name;
    std::optional<Stored> before;  // nullopt: no file at all; else in the driver's key
    FileState state;
    std::int32_t saved;
    std::vector<Stored> during;  // after the selection page's switch-off
    std::vector<Stored> after;   // once the saved value is written back
};
void PrintTo(const AutoRunCase& c, std::ostream* os) {
    *os << c.name;
}

class AutoRunTest : public RegistryTest, public ::testing::WithParamInterface<AutoRunCase> {};

TEST_P(AutoRunTest, SavesSwitchesOffAndRestoresAsTheRegistryAllows) {
    const AutoRunCase& c = GetParam();
    if (c.before) {
        Seed(*c.before);
    }
    Spoil(c.state);
    const std::string bytesBefore = FileBytes();

    Wizard wizard(Database());
    wizard.app.SwitchAutoRunOff();
    EXPECT_EQ(wizard.app.SavedAutoRun, c.saved);
    EXPECT_EQ(wizard.app.AutoRunChanged, c.state == Writable && c.before ? 1 : 0);
    ExpectStored(c.during, "during the upgrade");
    wizard.app.WriteSavedAutoRunBack();
    ExpectStored(c.after, "after the upgrade");

    EXPECT_EQ(std::filesystem::exists(Database()), c.before.has_value()) << "the wizard made it";
    if (c.state != Writable) {
        EXPECT_EQ(FileBytes(), bytesBefore) << "a file that may not be written was written";
    }
}

// An empty name: the key without the value.
const Stored kNoValue{"", REG_SZ, {0}};
const Stored kFiveBytes{"SM AutoRun", REG_BINARY, {0, 0, 0, 0, 1}};
const Stored kLowerZero = Dword(0, "sm autorun");
INSTANTIATE_TEST_SUITE_P(
    RegistryStates, AutoRunTest,
    ::testing::ValuesIn(std::vector<AutoRunCase>{
        {"MissingFile", std::nullopt, Writable, 1, {}, {}},
        {"MissingValue", kNoValue, Writable, 1, {kNoValue, Dword(0)}, {kNoValue, Dword(1)}},
        {"HoldsZero", Dword(0), Writable, 0, {Dword(0)}, {Dword(0)}},
        {"HoldsFiveBytes", kFiveBytes, Writable, 1, {Dword(0)}, {Dword(1)}},
        {"NamedInOtherCase", kLowerZero, Writable, 0, {kLowerZero}, {kLowerZero}},
        {"ReadOnlyFile", Dword(1), ReadOnlyFile, 1, {Dword(1)}, {Dword(1)}},
        {"ReadOnlyFolder", Dword(1), ReadOnlyFolder, 1, {Dword(1)}, {Dword(1)}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryTest, ToolAndWizardSeeEachOthersValues) {
    const auto reg = [this](std::vector<std::string> arguments, const std::string& input = "") {
        const CommandResult result = Reg(std::move(arguments), input);
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        return result.out;
    };
    EXPECT_EQ(reg({"add", kRegKey, "/v", "SM AutoRun", "/t", "reg_dword", "/d", "010"}),
              "The operation completed successfully.\n");
    Wizard(Database()).app.SwitchAutoRunOff();
    EXPECT_EQ(reg({"query", kRegKey, "/v", "sm autorun"}),
              "\nHKEY_LOCAL_MACHINE\\" + kDriverKey + "\n    SM AutoRun    REG_DWORD    0x0\n\n");
    EXPECT_EQ(Reg({"add", kRegKey, "/v", "SM AutoRun", "/d", "x"}, "no\n").exitStatus, 1);
    EXPECT_NE(reg({"add", kRegKey, "/v", "SM AutoRun", "/d", "off"}, "y\n").find("overwrite"),
              std::string::npos);
    EXPECT_NE(reg({"query", kRegKey}).find("\n    SM AutoRun    REG_SZ    off\n"),
              std::string::npos);
    reg({"delete", "HKLM\\SYSTEM", "/f"});
    EXPECT_FALSE(Values().has_value());
}

struct FailureCase {
    const char* name;
    FileState state;
    std::vector<std::string> arguments;
    const char* error;  // its first line
};
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class ToolFailureTest : public RegistryTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ToolFailureTest, ExitsWithOneSaysWhyAndLeavesTheFileAlone) {
    Seed(Dword(1));
    Spoil(GetParam().state);
    const std::string before = FileBytes();
    const CommandResult result = Reg(GetParam().arguments);
    EXPECT_EQ(result.exitStatus, 1) << "124 when it hung";
    EXPECT_EQ(result.err.substr(0, result.err.find('\n') + 1), GetParam().error);
    EXPECT_EQ(FileBytes(), before);
}

const char* const kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.\n";
const char* const kSyntax = "ERROR: Invalid syntax.\n";
const char* const kDenied = "ERROR: Access is denied.\n";
const std::vector<std::string> kAddValue{"add", kRegKey, "/v", "N", "/d", "0", "/f"};
INSTANTIATE_TEST_SUITE_P(
    Errors, ToolFailureTest,
    ::testing::ValuesIn(std::vector<FailureCase>{
        {"QueryMissingKey", Writable, {"query", "HKLM\\Software\\Missing"}, kNotFound},
        {"QueryMissingValue", Writable, {"query", kRegKey, "/v", "N"}, kNotFound},
        {"DeleteMissingValue", Writable, {"delete", kRegKey, "/v", "N", "/f"}, kNotFound},
        {"OtherRoot", Writable, {"query", "HKCU\\Software"}, "ERROR: Invalid key name.\n"},
        {"SpacedDword", Writable, {"add", kRegKey, "/ve", "/t", "REG_DWORD", "/d", " 1"}, kSyntax},
        {"UnknownType", Writable, {"add", kRegKey, "/v", "N", "/t", "REG_FOO"}, kSyntax},
        {"UnknownOperation", Writable, {"copy", kRegKey}, kSyntax},
        {"AddValueToReadOnlyFile", ReadOnlyFile, kAddValue, kDenied},
        {"DeleteKeyFromReadOnlyFile", ReadOnlyFile, {"delete", kRegKey, "/f"}, kDenied},
        {"AddKeyInReadOnlyFolder", ReadOnlyFolder, {"add", kRegKey}, kDenied},
        {"DeleteKeysInALoop", KeysInALoop, {"delete", "HKLM\\SYSTEM", "/f"}, kDenied}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RegistryPathTest, EnvironmentNamesTheStoreWhenSetAndNotEmpty) {
    for (const std::string value : {"", "/from-environment.db"}) {
        ::setenv("QUILLET_REGISTRY_DB", value.c_str(), 1);
        EXPECT_EQ(RegistryPath("/built-in.db"), value.empty() ? "/built-in.db" : value);
    }
    ::unsetenv("QUILLET_REGISTRY_DB");
}

TEST(RegDataTest, DwordIsDecimalOrHexAndBinaryIsHexPairs) {
    EXPECT_EQ(ParseDword("4294967295"), 0xFFFFFFFF);
    EXPECT_EQ(ParseDword("0X1f"), 31u);
    for (const char* text : {"", "4294967296", "0x100000000", "-1", "+1", "1 ", "0x", "0x+1"}) {
        EXPECT_FALSE(ParseDword(text).has_value()) << '"' << text << '"';
    }
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(EncodeRegData("REG_BINARY", "0aFf", type, bytes));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x0a, 0xff}));
    for (const char* text : {"abc", "+1", "1g"}) {
        EXPECT_FALSE(EncodeRegData("REG_BINARY", std::string(text), type, bytes)) << text;
    }
}

}  // namespace
}  // namespace quillet::testing
