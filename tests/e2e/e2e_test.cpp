// The program end to end: its build with a scripted user runs in a folder
// with "quillet.txt" and a firmware image, against a private scheduler whose
// K7 queue feeds the emulated printer, with the driver's key in its registry
// file. Checks what the printer received and the autorun value afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

#include "platform/registry_sqlite.h"
#include "emulator/command.h"
#include "emulator/private_cupsd.h"
#include "emulator/sha256.h"
#include "emulator/temp_dir.h"

namespace quillet::testing {
namespace {

using std::chrono::milliseconds;

constexpr const char* kKeyPath =
    "System\\CurrentControlSet\\control\\Print\\Printers\\Tarvane_Nimbrel_K7\\PrinterDriverData";
constexpr milliseconds kJobTimeout(60000);

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The log lines that start with `prefix`.
std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines,
                                           const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.rfind(prefix, 0) == 0) {
            found.push_back(line);
        }
    }
    return found;
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string missing = PrivateCupsd::Missing();
        if (!missing.empty()) {
            ASSERT_FALSE(PrivateCupsd::Required())
                << "CUPS scheduler tests need cupsd: " << missing;
            GTEST_SKIP() << "CUPS scheduler tests need cupsd: " << missing;
        }
        std::string error;
        ASSERT_TRUE(cupsd_.Start(error)) << error;
        ASSERT_TRUE(folder_.Ok());

        // The driver's key with its autorun value switched on.
        std::remove(QUILLET_E2E_REGISTRY);
        SqliteRegistry registry(QUILLET_E2E_REGISTRY);
        ASSERT_TRUE(registry.CreateKey(kKeyPath));
        RegistryKey key = 0;
        ASSERT_TRUE(registry.OpenKey(kKeyPath, RegistryAccess::Write, key));
        const std::uint8_t one[4] = {1, 0, 0, 0};
        ASSERT_TRUE(registry.SetValue(key, "SM AutoRun", REG_DWORD, one, sizeof one));
        registry.CloseKey(key);

        // A firmware image of 1 MiB that no run could produce by chance.
        std::mt19937 random(7);
        firmware_.resize(1 << 20);
        for (char& byte : firmware_) {
            byte = static_cast<char>(random());
        }
        std::ofstream(folder_.File("firmware.bin"), std::ios::binary) << firmware_;
    }

    // Writes the configuration and the user's script, runs the program in the
    // folder (with `around` wrapped around its start in sh) and returns the
    // lines the scripted user logged.
    std::vector<std::string> RunProgram(const std::string& imageLine, const std::string& script,
                                        const std::string& around = "exec \"$0\"") {
        std::ofstream(folder_.File("quillet.txt"), std::ios::binary)
            << "K7\r\nTarvane Nimbrel K7\r\nRelease 2.10\r\n"
            << imageLine << "\r\n";
        std::ofstream(folder_.File("quillet-user.txt")) << script;
        result_ = RunCommand({"sh", "-c", "cd \"$1\" || exit 1\n" + around, QUILLET_E2E_PROGRAM,
                              folder_.Path().string()});
        return Lines(ReadFile(folder_.File("quillet-user.log")));
    }

    std::optional<std::uint32_t> AutoRun() {
        SqliteRegistry registry(QUILLET_E2E_REGISTRY);
        RegistryKey key = 0;
        if (!registry.OpenKey(kKeyPath, RegistryAccess::QueryValue, key)) {
            return std::nullopt;
        }
        std::uint32_t type = 0;
        std::uint8_t data[4] = {};
        std::uint32_t size = sizeof data;
        const bool read = registry.QueryValue(key, "SM AutoRun", type, data, size);
        registry.CloseKey(key);
        if (!read || type != REG_DWORD || size != 4) {
            return std::nullopt;
        }
        return data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    }

    std::vector<std::string> JobKinds() {
        cupsd_.WaitUntilIdle(PrivateCupsd::kK7Queue, kJobTimeout);
        std::vector<std::string> kinds;
        for (const EmulatedJob& job : cupsd_.EmulatedJobs()) {
            kinds.push_back(job.kind);
        }
        return kinds;
    }

    PrivateCupsd cupsd_;
    TempDir folder_{"quillet-e2e"};
    std::string firmware_;
    CommandResult result_;
};

TEST_F(EndToEndTest, FullUpgradeSendsTestPageDownloadModeAndTheWholeImage) {
    const auto log =
        RunProgram("File=firmware.bin", "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 ok\n137 ok\n");
    ASSERT_EQ(result_.exitStatus, 0) << result_.err;
    const auto pages = LinesStartingWith(log, "page ");
    ASSERT_EQ(pages.size(), 7u) << ReadFile(folder_.File("quillet-user.log"));
    EXPECT_EQ(pages[0].rfind("page 140|Tarvane Nimbrel K7|Welcome to the Tarvane Nimbrel K7", 0),
              0u);
    EXPECT_NE(pages[1].find("|selected=Tarvane_Nimbrel_K7"), std::string::npos) << pages[1];
    EXPECT_EQ(pages[6], "page 137|Tarvane_Nimbrel_K7|Congratulations! Your upgrade is complete!");
    EXPECT_TRUE(LinesStartingWith(log, "unscripted").empty());
    EXPECT_TRUE(LinesStartingWith(log, "box").empty());

    ASSERT_TRUE(cupsd_.WaitForEmulatedJobs(3, kJobTimeout)) << cupsd_.ErrorLog();
    const auto jobs = cupsd_.EmulatedJobs();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[0].kind, "test-page");
    EXPECT_EQ(jobs[1].kind, "download-mode");
    EXPECT_EQ(jobs[2].kind, "firmware");
    EXPECT_EQ(jobs[2].bytes, firmware_.size());
    EXPECT_EQ(jobs[2].sha256, Sha256::Of(firmware_.data(), firmware_.size()));
    EXPECT_EQ(AutoRun(), std::optional<std::uint32_t>(1));
}

TEST_F(EndToEndTest, CommandLineArgumentsChangeNothing) {
    // Options Qt would take (-reverse, -platform) and others the program
    // might: none of them reaches Qt or the wizard.
    const auto log =
        RunProgram("File=firmware.bin", "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 ok\n137 ok\n",
                   "exec \"$0\" -reverse -platform minimal --help /nonexistent.txt");
    ASSERT_EQ(result_.exitStatus, 0) << result_.err;
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "arguments 1 ltr");
    EXPECT_EQ(LinesStartingWith(log, "page ").size(), 7u);
    ASSERT_TRUE(cupsd_.WaitForEmulatedJobs(3, kJobTimeout)) << cupsd_.ErrorLog();
    EXPECT_EQ(cupsd_.EmulatedJobs()[2].sha256, Sha256::Of(firmware_.data(), firmware_.size()));
    EXPECT_EQ(AutoRun(), std::optional<std::uint32_t>(1));
}

TEST_F(EndToEndTest, MissingImageShowsMessageFourEndsAndRestoresTheAutorunValue) {
    const auto log =
        RunProgram("File=no-such-image.bin", "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\nbox ok\n");
    ASSERT_EQ(result_.exitStatus, 0) << result_.err;
    const auto boxes = LinesStartingWith(log, "box");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "box|quillet|An error occurred trying to send the upgrade to the printer.");
    // The download page never waits for the user, the completion page never opens.
    const auto pages = LinesStartingWith(log, "page ");
    ASSERT_EQ(pages.size(), 5u);
    EXPECT_EQ(pages.back().rfind("page 132|", 0), 0u);
    EXPECT_TRUE(LinesStartingWith(log, "unscripted").empty());
    EXPECT_EQ(log.back(), "end");

    EXPECT_EQ(JobKinds(), (std::vector<std::string>{"test-page", "download-mode"}));
    EXPECT_EQ(AutoRun(), std::optional<std::uint32_t>(1));
}

TEST_F(EndToEndTest, CancelAfterTheSelectionPageSendsNothingAndRestoresTheAutorunValue) {
    const auto log = RunProgram("File=firmware.bin", "140 ok\n102 ok\n129 cancel\n");
    ASSERT_EQ(result_.exitStatus, 0) << result_.err;
    const auto pages = LinesStartingWith(log, "page ");
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[2].rfind("page 129|Tarvane_Nimbrel_K7|", 0), 0u);
    EXPECT_TRUE(JobKinds().empty());
    EXPECT_EQ(AutoRun(), std::optional<std::uint32_t>(1));
}

TEST_F(EndToEndTest, TerminationSignalWhileAPageWaitsRestoresTheAutorunValue) {
    // The program waits on the test-print page; SIGTERM unwinds the pages as
    // a quit request does, and shutdown writes the saved value back.
    const auto log =
        RunProgram("File=firmware.bin", "140 ok\n102 ok\n129 hold\n",
                   "\"$0\" & pid=$!; n=0; "
                   "until grep -q '^page 129' quillet-user.log 2>/dev/null || [ $n -ge 300 ]; do "
                   "sleep 0.1; n=$((n+1)); done; "
                   "kill -TERM $pid; wait $pid");
    EXPECT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_EQ(LinesStartingWith(log, "page ").size(), 3u);
    EXPECT_EQ(log.back(), "end");
    EXPECT_TRUE(JobKinds().empty());
    EXPECT_EQ(AutoRun(), std::optional<std::uint32_t>(1));
}

}  // namespace
}  // namespace quillet::testing
