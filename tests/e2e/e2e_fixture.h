// What the end-to-end tests share: the program's build with a scripted user
// runs in a folder with "quillet.txt" and a firmware image, against a private
// scheduler whose K7 queue feeds the emulated printer, with the driver's key
// in its registry file.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "emulator/command.h"
#include "emulator/private_cupsd.h"
#include "emulator/temp_dir.h"
#include "tests/private_cupsd_test.h"

namespace quillet::testing {

inline constexpr const char* kKeyPath =
    "System\\CurrentControlSet\\control\\Print\\Printers\\Tarvane_Nimbrel_K7\\PrinterDriverData";
inline constexpr std::chrono::milliseconds kJobTimeout(60000);
inline constexpr const char* kAutoRunOn = "4 01000000\n";  // a DWORD of 1
inline constexpr const char* kAutoRunOff = "4 00000000\n";
// The user's script up to the download page's OK, and what the printer then gets.
inline constexpr const char* kFullScript = "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 ok\n";
inline const std::vector<std::string> kAllJobs = {"test-page", "download-mode", "firmware"};

inline std::string ReadFile(const std::string& path) {
    return RunCommand({"cat", path}).out;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The log lines that start with `prefix`.
inline std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines,
                                                  const std::string& prefix) {
    std::vector<std::string> found;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
                 [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    return found;
}

inline std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// sh helpers every run's shell has: `await TENTHS TEST...` retries TEST for
// up to TENTHS tenths of a second and fails if it never passes; once the
// program runs in the background as $pid, `delivered` waits until no signal
// is pending for it (two equal pending signals merge into one), and `hold
// [SECONDS]` keeps the registry file locked (one second by default), e.g. so
// that the first signal's unwinding is still writing the value back when the
// next signal comes.
inline constexpr const char* kShellHelpers =
    "await() { await_t=$1; shift; await_n=0; until \"$@\" 2>/dev/null; do "
    "[ $await_n -ge $await_t ] && return 1; sleep 0.1; await_n=$((await_n+1)); done; }; "
    "delivered() { while grep -q '^ShdPnd:.*[1-9a-f]' /proc/$pid/status; do :; done; }; "
    "hold() { printf 'BEGIN EXCLUSIVE;\\n.shell touch held\\n.shell sleep %s\\nCOMMIT;\\n' "
    "${1:-1} | sqlite3 \"$QUILLET_REGISTRY_DB\" & await 300 [ -e held ]; }\n";

// sh: waits up to 30 seconds until `file` (a shell word) holds `text`, then
// runs `command`.
inline std::string AwaitThen(const std::string& file, const std::string& text,
                             const std::string& command) {
    return "await 300 grep -qF -- " + Quoted(text) + " " + file + "; " + command + "\n";
}

// sh that starts the program in the background as $pid, runs `steps` and
// waits for everything it started; a program that hangs is killed after a
// minute.
inline std::string InBackground(const std::string& steps, const std::string& arguments = "") {
    return "\"$0\"" + arguments +
           " & pid=$!; (sleep 60 && kill -KILL $pid) >/dev/null 2>&1 & watchdog=$!; " + steps +
           "wait $pid; status=$?; kill $watchdog 2>/dev/null; wait; exit $status";
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartPrivateCupsd(cupsd_);
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(folder_.Ok());

        // The driver's key with its autorun value switched on, in a registry
        // file of this run's own, which the program finds by the variable.
        ASSERT_EQ(::setenv("QUILLET_REGISTRY_DB", registryPath_.c_str(), 1), 0);
        // The recovery record, too, stays in this run's folder.
        ASSERT_EQ(::setenv("XDG_STATE_HOME", folder_.File("state").c_str(), 1), 0);
        // The key made by the administrators' tool. A firmware image that no
        // run could produce by chance, three times an ordinary user's
        // locked-memory limit of 8 MiB.
        firmwareSha256_ =
            RunCommand(
                {"sh", "-c",
                 "cd \"$0\" && \"$1\" add \"$2\" /v 'SM AutoRun' /t REG_DWORD /d 1 >/dev/null "
                 "&& head -c 25165824 /dev/urandom >firmware.bin && sha256sum "
                 "firmware.bin | head -c 64",
                 folder_.Path().string(), QUILLET_REG_PATH, "HKLM\\" + std::string(kKeyPath)})
                .out;
        ASSERT_EQ(firmwareSha256_.size(), 64u);
    }

    // Writes the configuration and the user's script, runs the program in the
    // folder (with `around` wrapped around its start in sh) and returns the
    // lines the scripted user logged.
    std::vector<std::string> RunProgram(const std::string& script,
                                        const std::string& around = "exec \"$0\"") {
        std::ofstream(folder_.File("quillet.txt"), std::ios::binary)
            << "K7\r\nTarvane Nimbrel K7\r\nRelease 2.10\r\nFile=firmware.bin\r\n";
        std::ofstream(folder_.File("quillet-user.txt")) << script;
        result_ = RunCommand({"sh", "-c", kShellHelpers + ("cd \"$1\" || exit 1\n" + around),
                              QUILLET_E2E_PROGRAM, folder_.Path().string()});
        return Lines(ReadFile(folder_.File("quillet-user.log")));
    }

    // The driver's autorun value as a registry file holds it: type and bytes.
    std::string AutoRun(const std::string& store = "") const {
        return RunCommand({"sqlite3", store.empty() ? registryPath_ : store,
                           "SELECT type || ' ' || hex(data) FROM reg_values "
                           "WHERE name = 'SM AutoRun'"})
            .out;
    }

    // The recovery records runs left in the state folder, one after another;
    // an emptied file holds none.
    std::optional<std::string> Record() const {
        const std::string records =
            RunCommand({"sh", "-c", "cat \"$0\"/autorun-record-* 2>/dev/null",
                        folder_.File("state/quillet")})
                .out;
        return records.empty() ? std::nullopt : std::optional(records);
    }

    std::vector<std::string> JobKinds() {
        cupsd_.WaitUntilIdle(PrivateCupsd::kK7Queue, kJobTimeout);
        std::vector<std::string> kinds;
        for (const EmulatedJob& job : cupsd_.EmulatedJobs()) {
            kinds.push_back(job.kind);
        }
        return kinds;
    }

    // The printer got the test page, download mode and the image as read at the start.
    void ExpectTheWholeUpgradeSent() {
        ASSERT_EQ(JobKinds(), kAllJobs);
        EXPECT_EQ(cupsd_.EmulatedJobs()[2].sha256, firmwareSha256_);
    }

    PrivateCupsd cupsd_;
    TempDir folder_{"quillet-e2e"};
    const std::string registryPath_ = folder_.File("registry.db");
    std::string firmwareSha256_;
    CommandResult result_;
};

}  // namespace quillet::testing
