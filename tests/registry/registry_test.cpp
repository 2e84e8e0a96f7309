// The registry on real SQLite files: the wizard's autorun setting, and
// quillet-reg, the built binary, on the same files. CTest runs this program
// as root and again as an ordinary user.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "emulator/command.h"
#include "emulator/open_descriptors.h"
#include "emulator/temp_dir.h"
#include "platform/registry_sqlite.h"
#include "platform/tools/reg_arguments.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

// As a driver installer stores it: the case differs from the wizard's path.
const std::string kRegKey =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Tarvane_Nimbrel_K7\\"
    "PrinterDriverData";
// Values as Values() lists them.
const std::string kOn = "SM AutoRun|4|01000000\n";
const std::string kOff = "SM AutoRun|4|00000000\n";

// quillet-reg's arguments for a value.
std::vector<std::string> Value(const char* name, const char* type, const char* data) {
    return {"/v", name, "/t", type, "/d", data};
}

// Shell steps in the store's folder that leave the seeded file as a case needs
// it; "" leaves it writable.
constexpr const char* kReadOnlyFile = "chmod 444 registry.db";
constexpr const char* kReadOnlyFolder = "chmod 555 .";
constexpr const char* kUnreadableFile = "chmod 000 registry.db";  // root reads it all the same
constexpr const char* kFifo = "rm registry.db && mkfifo registry.db";
constexpr const char* kFifoJournal = "mkfifo registry.db-journal";
// A row for the root itself, below the driver key, closes the loop.
constexpr const char* kKeysInALoop =
    "sqlite3 registry.db \"INSERT INTO reg_keys(id, parent, name) VALUES(0, "
    "(SELECT max(id) FROM reg_keys), 'Loop')\"";

// The wizard's part, over the real registry and doubles of the rest.
struct Wizard {
    explicit Wizard(const std::string& database) : registry(database) {
        app.TargetPrinter = "Tarvane_Nimbrel_K7";
    }
    PlatformDoubles doubles;
    SqliteRegistry registry;
    NoPages pages;
    UpgradeApp app{{doubles.userLanguage, doubles.platformVersion, doubles.messageBoxes,
                    doubles.spooler, doubles.imageFiles, registry},
                   pages};
};

class RegistryTest : public ::testing::Test {
protected:
    void TearDown() override { ::chmod(Folder().c_str(), 0700); }

    std::string Folder() const { return dir_.Path().string(); }
    std::string Database() const { return dir_.File("registry.db"); }
    std::string FileBytes() const {  // reading a FIFO would wait
        return std::filesystem::is_regular_file(Database()) ? RunCommand({"cat", Database()}).out
                                                            : "";
    }

    // The driver key made by the tool, with `value` (quillet-reg's /v, /t, /d) in it.
    void Seed(std::vector<std::string> value, const std::string& prepare = "") {
        value.insert(value.begin(), {"add", kRegKey});
        value.push_back("/f");
        ASSERT_EQ(Reg(value).exitStatus, 0);
        ASSERT_EQ(RunCommand({"sh", "-c", "cd \"$0\" || exit 1\n" + prepare, Folder()}).exitStatus,
                  0);
    }
    // Every value in the file, as "name|type|hex bytes" lines; "" without the file.
    std::string Values() const {
        return RunCommand({"sqlite3", "-readonly", Database(),
                           "SELECT name, type, hex(data) FROM reg_values ORDER BY rowid"})
            .out;
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
    std::vector<std::string> seed;  // empty: no file at all
    const char* prepare;
    std::int32_t saved;
    std::string during;  // after the selection page's switch-off
    std::string after;   // once the saved value is written back
    friend void PrintTo(const AutoRunCase& c, std::ostream* os) { *os << c.name; }
};

class AutoRunTest : public RegistryTest, public ::testing::WithParamInterface<AutoRunCase> {};

TEST_P(AutoRunTest, SavesSwitchesOffAndRestoresAsTheRegistryAllows) {
    const AutoRunCase& c = GetParam();
    if (!c.seed.empty()) {
        Seed(c.seed, c.prepare);
    }
    const std::string bytesBefore = FileBytes();
    const std::size_t open = OpenDescriptors();

    Wizard wizard(Database());
    wizard.app.SwitchAutoRunOff();
    EXPECT_EQ(wizard.app.SavedAutoRun, c.saved);
    EXPECT_EQ(wizard.app.AutoRunChanged, *c.prepare == '\0' && !c.seed.empty() ? 1 : 0);
    EXPECT_EQ(Values(), c.during);
    wizard.app.WriteSavedAutoRunBack();
    EXPECT_EQ(Values(), c.after);
    EXPECT_EQ(OpenDescriptors(), open) << "the store stayed open between the operations";

    EXPECT_EQ(std::filesystem::exists(Database()), !c.seed.empty()) << "the wizard made it";
    if (*c.prepare != '\0') {
        EXPECT_EQ(FileBytes(), bytesBefore) << "a file that may not be written was";
    }
}

const std::vector<std::string> kSeedOn = Value("SM AutoRun", "REG_DWORD", "1");
const std::string kOther = "Other|1|7800\n";
const std::string kLowerZero = "sm autorun|4|00000000\n";
INSTANTIATE_TEST_SUITE_P(
    RegistryStates, AutoRunTest,
    ::testing::ValuesIn(std::vector<AutoRunCase>{
        {"MissingFile", {}, "", 1, "", ""},
        {"MissingValue", Value("Other", "REG_SZ", "x"), "", 1, kOther + kOff, kOther + kOn},
        {"Zero", Value("SM AutoRun", "REG_DWORD", "0X0"), "", 0, kOff, kOff},
        {"HigherByteOnly", Value("SM AutoRun", "REG_DWORD", "256"), "", 1, kOff, kOn},
        {"FiveBytes", Value("SM AutoRun", "REG_BINARY", "0000000001"), "", 1, kOff, kOn},
        {"NamedInOtherCase", Value("sm autorun", "REG_DWORD", "0"), "", 0, kLowerZero, kLowerZero},
        {"ReadOnlyFile", kSeedOn, kReadOnlyFile, 1, kOn, kOn},
        {"ReadOnlyFolder", kSeedOn, kReadOnlyFolder, 1, kOn, kOn}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryTest, ToolAndWizardSeeEachOthersValues) {
    const auto reg = [this](std::vector<std::string> arguments, const std::string& input = "") {
        const CommandResult result = Reg(std::move(arguments), input);
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        return result.out;
    };
    EXPECT_EQ(reg({"add", kRegKey, "/v", "SM AutoRun", "/t", "reg_dword", "/d", "010"}),
              "The operation completed successfully.\n");
    EXPECT_EQ(Values(), "SM AutoRun|4|0A000000\n");
    Wizard(Database()).app.SwitchAutoRunOff();
    EXPECT_EQ(
        reg({"query", kRegKey, "/v", "sm autorun"}),
        "\nHKEY_LOCAL_MACHINE" + kRegKey.substr(4) + "\n    SM AutoRun    REG_DWORD    0x0\n\n");
    EXPECT_EQ(Reg({"add", kRegKey, "/v", "SM AutoRun", "/d", "x"}, "no\n").exitStatus, 1);
    EXPECT_NE(reg({"add", kRegKey, "/v", "SM AutoRun", "/d", "off"}, "y\n").find("overwrite"),
              std::string::npos);
    EXPECT_NE(reg({"query", kRegKey}).find("\n    SM AutoRun    REG_SZ    off\n"),
              std::string::npos);
    reg({"delete", "HKLM\\SYSTEM", "/f"});
    EXPECT_EQ(RunCommand({"sqlite3", Database(),
                          "SELECT count(*) FROM reg_keys; SELECT count(*) FROM reg_values"})
                  .out,
              "0\n0\n");
}

struct FailureCase {
    const char* name;
    const char* prepare;
    std::vector<std::string> arguments;
    const char* error;  // its first line
    friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }
};

class ToolFailureTest : public RegistryTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ToolFailureTest, ExitsWithOneSaysWhyAndLeavesTheFileAlone) {
    if (GetParam().prepare == kUnreadableFile && ::geteuid() == 0) {
        GTEST_SKIP() << "for an ordinary user";
    }
    Seed(kSeedOn, GetParam().prepare);
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
const char* const kCorrupt = "ERROR: The configuration registry database is corrupt.\n";
const char* const kNotAFile =
    "ERROR: The registry database or its journal is not a regular file.\n";
// quillet-reg's add of the key's default value.
std::vector<std::string> AddDefault(const char* type, const char* data) {
    return {"add", kRegKey, "/ve", "/t", type, "/d", data};
}
const std::vector<std::string> kAddValue{"add", kRegKey, "/v", "N", "/d", "0", "/f"};
INSTANTIATE_TEST_SUITE_P(
    Errors, ToolFailureTest,
    ::testing::ValuesIn(std::vector<FailureCase>{
        {"QueryMissingKey", "", {"query", "HKLM\\Software\\Missing"}, kNotFound},
        {"QueryMissingValue", "", {"query", kRegKey, "/v", "N"}, kNotFound},
        {"DeleteMissingValue", "", {"delete", kRegKey, "/v", "N", "/f"}, kNotFound},
        {"OtherRoot", "", {"query", "HKCU\\Software"}, "ERROR: Invalid key name.\n"},
        {"SpacedDword", "", AddDefault("REG_DWORD", " 1"), kSyntax},
        {"HugeDword", "", AddDefault("REG_DWORD", "4294967296"), kSyntax},
        {"SignedBinary", "", AddDefault("REG_BINARY", "+1"), kSyntax},
        {"UnknownType", "", {"add", kRegKey, "/v", "N", "/t", "REG_FOO"}, kSyntax},
        {"UnknownOperation", "", {"copy", kRegKey}, kSyntax},
        {"AddValueToReadOnlyFile", kReadOnlyFile, kAddValue, kDenied},
        {"DeleteKeyFromReadOnlyFile", kReadOnlyFile, {"delete", kRegKey, "/f"}, kDenied},
        {"AddKeyInReadOnlyFolder", kReadOnlyFolder, {"add", kRegKey}, kDenied},
        {"QueryUnreadableFile", kUnreadableFile, {"query", kRegKey}, kDenied},
        {"DeleteKeysInALoop", kKeysInALoop, {"delete", "HKLM\\SYSTEM", "/f"}, kCorrupt},
        {"QueryAFifo", kFifo, {"query", kRegKey}, kNotAFile},
        {"QueryWithAFifoJournal", kFifoJournal, {"query", kRegKey}, kNotAFile}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RegistryPathTest, EnvironmentNamesTheStoreWhenSetAndNotEmpty) {
    for (const std::string value : {"", "/from-environment.db"}) {
        ::setenv("QUILLET_REGISTRY_DB", value.c_str(), 1);
        EXPECT_EQ(RegistryPath("/built-in.db"), value.empty() ? "/built-in.db" : value);
    }
    ::unsetenv("QUILLET_REGISTRY_DB");
}

}  // namespace
}  // namespace quillet::testing
