// Raw jobs and the printer list through a real, private CUPS scheduler, down
// to an emulated K7 behind an AppSocket queue. What the wizard sends when all
// goes well is the end-to-end tests'; here each way a job can fail must leave
// nothing of it to print.

#include "platform/spooler_cups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "emulator/open_descriptors.h"
#include "emulator/private_cupsd.h"
#include "printer/commands.h"
#include "tests/private_cupsd_test.h"

namespace quillet::testing {
namespace {

constexpr std::chrono::milliseconds kJobTimeout(60000);
constexpr const char* kK7 = PrivateCupsd::kK7Queue;

enum class Ending { End, Abort, Close };

class CupsSpoolerTest : public ::testing::Test {
protected:
    void SetUp() override { StartPrivateCupsd(cupsd_); }

    void Client(const std::vector<std::string>& argv) {
        std::string error;
        ASSERT_TRUE(argv.empty() || cupsd_.RunClient(argv, error)) << error;
    }

    // A test page as one raw job on the K7 queue, ended as `ending` says, with
    // `beforeEnd` run once the data is written. Returns how many calls
    // succeeded before the first that failed; 7 for a job ended well.
    int Job(Ending ending, const std::vector<std::string>& beforeEnd = {}) {
        CupsSpooler spooler;
        PrinterHandle handle = 0;
        std::uint32_t written = 0;
        const auto length = static_cast<std::uint32_t>(std::strlen(TestPrintCommand));
        int succeeded = 0;
        const auto next = [&](bool ok) { return ok && ++succeeded > 0; };
        const auto endOrAbort = [&] {
            Client(beforeEnd);
            if (ending == Ending::Abort) {
                spooler.AbortPrinter(handle);
            }
            return ending == Ending::End;
        };
        // Each call only once the one before it has succeeded.
        (void)(next(spooler.OpenPrinter(kK7, handle)) &&
               next(spooler.StartDocPrinter(handle, {kJobDocumentName, kJobDataType})) &&
               next(spooler.StartPagePrinter(handle)) &&
               next(spooler.WritePrinter(handle, TestPrintCommand, length, written)) &&
               next(endOrAbort()) && next(spooler.EndPagePrinter(handle)) &&
               next(spooler.EndDocPrinter(handle)));
        spooler.ClosePrinter(handle);
        return succeeded;
    }

    PrivateCupsd cupsd_;
};

struct FailedJobCase {
    const char* name;
    std::vector<std::string> before;     // client run before the job
    std::vector<std::string> beforeEnd;  // client run once the data is written
    Ending ending;
    int succeeded;  // calls that succeed: Open, StartDoc, StartPage, Write, -, EndPage, EndDoc
    friend void PrintTo(const FailedJobCase& c, std::ostream* os) { *os << c.name; }
};

// Under both ways a scheduler may keep ended jobs.
class FailedJobTest : public CupsSpoolerTest,
                      public ::testing::WithParamInterface<std::tuple<FailedJobCase, JobHistory>> {
protected:
    void SetUp() override { StartPrivateCupsd(cupsd_, std::get<1>(GetParam())); }
};

TEST_P(FailedJobTest, NothingOfTheJobReachesThePrinter) {
    const FailedJobCase& c = std::get<0>(GetParam());
    Client(c.before);
    EXPECT_EQ(Job(c.ending, c.beforeEnd), c.succeeded);
    for (const char* client : {"cupsenable", "cupsaccept"}) {
        Client({client, kK7});
    }
    Client({"lpadmin", "-p", kK7, "-o", "job-hold-until-default=no-hold"});

    // Only a test page sent now reaches the printer; one that printed and was
    // purged at once still counts as printed.
    EXPECT_EQ(Job(Ending::End), 7);
    ASSERT_TRUE(cupsd_.WaitForEmulatedJobs(1, kJobTimeout)) << cupsd_.ErrorLog();
    ASSERT_TRUE(cupsd_.WaitUntilIdle(kK7, kJobTimeout));
    EXPECT_EQ(cupsd_.EmulatedJobs().size(), 1u) << "a job that should never print reached it";
}

const std::vector<std::string> kStop{"cupsdisable", kK7};
INSTANTIATE_TEST_SUITE_P(
    FailurePaths, FailedJobTest,
    ::testing::Combine(
        ::testing::Values(
            FailedJobCase{"StoppedQueue", kStop, {}, Ending::End, 1},
            FailedJobCase{"RejectingQueue", {"cupsreject", kK7}, {}, Ending::End, 1},
            FailedJobCase{"AbortedAfterTheWrite", {}, {}, Ending::Abort, 4},
            // The document was never finished: closing the printer cancels it.
            FailedJobCase{"ClosedUnfinished", {}, {}, Ending::Close, 4},
            FailedJobCase{"CancelledBeforeTheEnd", {}, {"cancel", "-a", kK7}, Ending::End, 6},
            FailedJobCase{"StoppedBeforeTheEnd", {}, kStop, Ending::End, 6},
            FailedJobCase{"HeldAtTheEnd",
                          {"lpadmin", "-p", kK7, "-o", "job-hold-until-default=indefinite"},
                          {},
                          Ending::End,
                          6}),
        ::testing::Values(JobHistory::Kept, JobHistory::Purged)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == JobHistory::Kept ? "_HistoryKept" : "_HistoryPurged");
    });

// Every queue is listed; a name that is no queue (nor is the description one) is
// not opened.
TEST_F(CupsSpoolerTest, ListsEveryQueueAndOpensNoOther) {
    const std::size_t open = OpenDescriptors();
    CupsSpooler spooler;
    std::vector<std::string> names = spooler.EnumLocalPrinters();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{PrivateCupsd::kOfficeQueue, kK7, PrivateCupsd::kK7Copy}));
    PrinterHandle handle = 0;
    for (const char* name : {"No_Such_Printer", "Tarvane Nimbrel K7", "Tarvane_Nimbrel_K7/x"}) {
        EXPECT_FALSE(spooler.OpenPrinter(name, handle)) << name;
    }
    EXPECT_EQ(OpenDescriptors(), open) << "a connection to the scheduler was left open";
}

}  // namespace
}  // namespace quillet::testing
