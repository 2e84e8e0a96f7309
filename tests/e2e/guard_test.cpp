// The guarded download end to end: the program holds off sleep and shutdown
// through logind while the printer is in download mode. logind is a stand-in
// (logind_standin.py) on a private system bus that records each Inhibit call
// and when the caller let go of the lock.
#include <signal.h>

#include <filesystem>
#include <thread>

#include "app/message_catalog.h"
#include "printer/delivery_status.h"
#include "tests/e2e/e2e_fixture.h"

namespace quillet::testing {
namespace {

using std::chrono::milliseconds;

// A private dbus-daemon as the system bus, with the logind stand-in on it.
// DBUS_SYSTEM_BUS_ADDRESS names it for this process and the program.
class PrivateLogind {
public:
    // The stand-in ends with its bus.
    ~PrivateLogind() {
        if (bus_ > 0) {
            ::kill(bus_, SIGTERM);
        }
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", previous_.c_str(), 1);
    }

    // `probe`: a shell command whose output the stand-in adds to each line.
    bool Start(const std::string& probe, std::string& error) {
        std::ofstream(dir_.File("bus.conf"))
            << "<busconfig><listen>unix:path=" << dir_.File("system_bus_socket")
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
            << "<allow own=\"*\"/><allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
            << "</policy></busconfig>";
        // Prints the bus's address and pid, and returns once the stand-in is ready.
        const CommandResult bus = RunCommand(
            {"sh", "-c",
             kShellHelpers +
                 std::string(
                     "cd \"$1\" && dbus-daemon --config-file=bus.conf --fork --print-address=1 "
                     "--print-pid=1 >bus && cat bus || exit 1; DBUS_SYSTEM_BUS_ADDRESS=$(head -n 1 "
                     "bus) "
                     "/usr/bin/python3 \"$2\" logind.txt \"$3\" >>logind.log 2>&1 & ") +
                 AwaitThen("logind.txt", "ready", "grep -q ready logind.txt"),
             "sh", dir_.Path().string(), QUILLET_LOGIND_STANDIN, probe});
        const auto lines = Lines(bus.out);
        if (lines.size() == 2) {
            bus_ = std::stoi(lines[1]);
            ::setenv("DBUS_SYSTEM_BUS_ADDRESS", lines[0].c_str(), 1);
        }
        error = bus.err + ReadFile(dir_.File("logind.log"));
        return bus.exitStatus == 0 && lines.size() == 2;
    }

    std::string Record() const { return dir_.File("logind.txt"); }

    // The recorded lines after "ready", once there are `count` of them or
    // after ten seconds: the stand-in sees the end of a lock a moment late.
    std::vector<std::string> Calls(std::size_t count) const {
        std::vector<std::string> lines = Lines(ReadFile(Record()));
        for (int i = 0; i < 100 && lines.size() <= count; ++i) {
            std::this_thread::sleep_for(milliseconds(100));
            lines = Lines(ReadFile(Record()));
        }
        lines.erase(lines.begin());
        return lines;
    }

private:
    TempDir dir_{"quillet-bus"};
    const std::string previous_ = [] {
        const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
        return address != nullptr ? address : "";
    }();
    int bus_ = -1;
};

struct GuardCase {
    const char* name;
    std::string script;
    std::string end;                 // steps that end the program; empty: it ends by itself
    std::vector<std::string> calls;  // recorded after "ready"
    const char* before = "";         // shell run before the program starts
    friend void PrintTo(const GuardCase& c, std::ostream* os) { *os << c.name; }
};

class GuardTest : public EndToEndTest, public ::testing::WithParamInterface<GuardCase> {
protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        // At each call: the K7 queue's jobs so far and the driver's autorun value.
        const std::string probe =
            "echo jobs=$(lpstat -W all -o " + std::string(PrivateCupsd::kK7Queue) +
            " | wc -l) autorun=$(sqlite3 \"$QUILLET_REGISTRY_DB\"" +
            " \"SELECT hex(data) FROM reg_values WHERE name = 'SM AutoRun'\")";
        std::string error;
        ASSERT_TRUE(logind_.Start(probe, error)) << error;
        ASSERT_EQ(::setenv("LOGIND_RECORD", logind_.Record().c_str(), 1), 0);
    }

    PrivateLogind logind_;
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
    RunProgram(c.script,
               c.before + (c.end.empty() ? std::string("exec \"$0\"") : InBackground(c.end)));
    EXPECT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_EQ(logind_.Calls(c.calls.size()), c.calls);
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
    std::vector<std::string> expected;
    std::string steps;
    for (const StatusCase::Step& step : c.steps) {
        std::string text =
            MessageCatalog::Builtin().Load(static_cast<std::uint16_t>(1000 + step.offset));
        text.resize(std::min(text.size(), text.find("%1")));
        expected.push_back("status 1021|" + text);
        steps += AwaitThen("quillet-user.log", expected.back(), step.then);
    }
    const auto log = RunProgram(kLead + "132 ok\n133 watch\n",
                                c.before + InBackground(steps + "kill -TERM $pid; "));
    EXPECT_EQ(result_.exitStatus, 0) << result_.err;

    // Each awaited line in turn, and its picture kept.
    const auto lines = LinesStartingWith(log, "status ");
    std::size_t at = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        while (at < lines.size() && lines[at].rfind(expected[i], 0) != 0) {
            ++at;
        }
        ASSERT_LT(at, lines.size()) << expected[i] << "\n"
                                    << ReadFile(folder_.File("quillet-user.log"));
        std::filesystem::copy_file(folder_.File("status-" + std::to_string(at + 1) + ".png"),
                                   std::string(QUILLET_E2E_SCREENSHOTS "/") + c.steps[i].screenshot,
                                   std::filesystem::copy_options::overwrite_existing);
    }
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
