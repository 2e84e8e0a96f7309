// The guarded download end to end: the program holds off sleep and shutdown
// through logind while the printer is in download mode. logind is a stand-in
// (logind_standin.py) on a private system bus that records each Inhibit call
// and when the caller let go of the lock.

#include "app/message_catalog.h"
#include "printer/delivery_status.h"
#include "tests/e2e/e2e_fixture.h"

namespace quillet::testing {
namespace {

struct GuardCase {
    const char* name;
    std::string script;
    std::string end;                 // steps that end the program; empty: it ends by itself
    std::vector<std::string> calls;  // recorded after "ready"
    const char* before = "";         // shell run before the program starts
    friend void PrintTo(const GuardCase& c, std::ostream* os) { *os << c.name; }
};

// A private dbus-daemon as the system bus, with the logind stand-in on it,
// which ends with its bus. The runs' shells name it in
// DBUS_SYSTEM_BUS_ADDRESS, and the stand-in's record in $LOGIND_RECORD.
class GuardTest : public EndToEndTest, public ::testing::WithParamInterface<GuardCase> {
protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        std::ofstream(folder_.File("bus.conf"))
            << "<busconfig><listen>unix:path=" << folder_.File("system_bus_socket")
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
            << "<allow own=\"*\"/><allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
            << "</policy></busconfig>";
        // At each call: the K7 queue's jobs so far and the driver's autorun value.
        const std::string probe =
            "echo jobs=$(lpstat -W all -o " + std::string(PrivateCupsd::kK7Queue) +
            " | wc -l) autorun=$(sqlite3 \"$QUILLET_REGISTRY_DB\"" +
            " \"SELECT hex(data) FROM reg_values WHERE name = 'SM AutoRun'\")";
        const CommandResult bus = RunCommand(
            {"sh", "-c",
             kShellHelpers +
                 std::string("cd \"$1\" && dbus-daemon --config-file=bus.conf --fork "
                             "--print-address=1 --print-pid=1 >bus || exit 1; "
                             "DBUS_SYSTEM_BUS_ADDRESS=$(head -n 1 bus) /usr/bin/python3 \"$2\" "
                             "logind.txt \"$3\" >>logind.log 2>&1 & ") +
                 AwaitThen("logind.txt", "ready", "grep -q ready logind.txt"),
             "sh", folder_.Path().string(), QUILLET_LOGIND_STANDIN, probe});
        ASSERT_EQ(bus.exitStatus, 0) << bus.err << ReadFile(folder_.File("logind.log"));
    }
    void TearDown() override {
        RunCommand({"sh", "-c", "kill $(sed -n 2p \"$0\") 2>/dev/null", folder_.File("bus")});
    }

    // The recorded lines after "ready", once there are `count` of them or
    // after ten seconds: the stand-in sees the end of a lock a moment late.
    std::vector<std::string> Calls(std::size_t count) const {
        RunCommand({"sh", "-c",
                    kShellHelpers + std::string("await 100 [ $(wc -l <\"$0\") -gt $1 ]"),
                    folder_.File("logind.txt"), std::to_string(count)});
        std::vector<std::string> lines = Lines(ReadFile(folder_.File("logind.txt")));
        lines.erase(lines.begin());
        return lines;
    }
};

const std::string kLead = "140 ok\n102 ok\n129 ok\n130 ok\n";
const std::string kInhibit =
    "inhibit|sleep:shutdown|Quillet|Sending new firmware to the printer. Interrupting it could "
    "leave the printer unusable.|block|jobs=1 autorun=00000000";
const std::string kReleasedAfterImage = "release|jobs=3 autorun=01000000";
const std::string kReleasedBeforeImage = "release|jobs=2 autorun=01000000";

// Once `file` holds `text`, notes "term" in the stand-in's record and ends the program.
std::string TermOnce(const std::string& file, const std::string& text) {
    return AwaitThen(file, text, "echo term >>\"$LOGIND_RECORD\"") + "kill $pid; ";
}

TEST_P(GuardTest, InhibitorIsHeldExactlyWhileThePrinterIsInDownloadMode) {
    const GuardCase& c = GetParam();
    RunProgram(
        c.script,
        std::string(
            "export DBUS_SYSTEM_BUS_ADDRESS=$(head -n 1 bus) LOGIND_RECORD=$PWD/logind.txt; ") +
            c.before + (c.end.empty() ? std::string("exec \"$0\"") : InBackground(c.end)));
    EXPECT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_EQ(Calls(c.calls.size()), c.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, GuardTest,
    ::testing::Values(
        // The completion page stays open: the lock must end before the program does.
        GuardCase{"CompletionPageReleasesAfterItsWrite",
                  kLead + "132 ok\n133 ok\n137 hold\n",
                  TermOnce("\"$LOGIND_RECORD\"", "release"),
                  {kInhibit, kReleasedAfterImage, "term"}},
        GuardCase{"TerminationSignalOnTheDownloadPage",
                  kLead + "132 ok\n133 hold\n",
                  TermOnce("quillet-user.log", "page 133"),
                  {kInhibit, "term", kReleasedAfterImage}},
        GuardCase{"CancelOnTheDownloadReadyPage",
                  kLead + "132 cancel\n",
                  "",
                  {kInhibit, kReleasedBeforeImage}},
        // Checked before download mode: no lock is taken for an image that cannot be sent.
        GuardCase{"ImageRefusedTakesNone", kLead + "box ok\n", "", {}, "rm firmware.bin && "},
        GuardCase{
            "CancelBeforeDownloadModeTakesNone", "140 ok\n102 ok\n129 ok\n130 cancel\n", "", {}},
        // A bus that takes the connection and never answers: the waiting
        // page's OK goes on within seconds, without the lock.
        GuardCase{
            "SilentBusGoesOnWithoutTheLock",
            kLead + "132 ok\n133 ok\n137 ok\n",
            AwaitThen("quillet-user.log", "page 130", "t=$(date +%s)") +
                AwaitThen("quillet-user.log", "page 132",
                          "[ $(($(date +%s) - t)) -le 3 ] && echo on time >>\"$LOGIND_RECORD\""),
            {"on time"},
            "python3 -c 'import socket; s = socket.socket(socket.AF_UNIX); s.bind(\"silent\"); "
            "s.listen(); c = s.accept()[0]\nwhile c.recv(99): pass' & "
            "await 50 [ -S silent ]; "
            "export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$PWD/silent; "}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The download page's status line, through the scheduler -----------------

struct StatusCase {
    const char* name;
    const char* before;  // shell run before the program starts
    // In turn: the status text to wait for (its offset; only the part before
    // a %1), the name its screenshot is kept under, and the shell command run
    // once it shows.
    struct Step {
        int offset;
        const char* screenshot;
        const char* then;
    };
    std::vector<Step> steps;
    friend void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }
};

class StatusLineTest : public EndToEndTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusLineTest, FollowsTheImageJob) {
    const StatusCase& c = GetParam();
    // Each text in turn, its picture kept (the n-th status line's); a text
    // that never shows kills the program.
    std::string steps;
    for (const StatusCase::Step& step : c.steps) {
        std::string text =
            MessageCatalog::Builtin().Load(static_cast<std::uint16_t>(1000 + step.offset));
        text = Quoted("status 1021|" + text.substr(0, text.find("%1")));
        steps += "await 300 grep -qF -- " + text + " quillet-user.log && cp status-$(grep " +
                 "'^status ' quillet-user.log | grep -nF -m 1 -- " + text +
                 " | cut -d: -f1).png " QUILLET_E2E_SCREENSHOTS "/" + step.screenshot +
                 " || kill -KILL $pid; " + step.then + "\n";
    }
    RunProgram(kLead + "132 ok\n133 watch\n", c.before + InBackground(steps + "kill -TERM $pid; "));
    EXPECT_EQ(result_.exitStatus, 0) << result_.err << ReadFile(folder_.File("quillet-user.log"));
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, StatusLineTest,
    ::testing::Values(
        StatusCase{"Delivered", "", {{kTextDelivered, "download-delivered.png", ":"}}},
        // The image waits behind the test page, which a closed port as the
        // queue's device keeps from printing; cancelling it ends it badly.
        StatusCase{"WaitingThenFailed",
                   "lpadmin -p Tarvane_Nimbrel_K7 -v socket://127.0.0.1:9 && ",
                   {{kTextWaitingMessage, "download-waiting.png", "cancel -a Tarvane_Nimbrel_K7"},
                    {kTextNotDelivered, "download-failed.png", ":"}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet::testing
