// Raw jobs, the firmware image and the printer list through a real, private
// CUPS scheduler, down to an emulated K7 behind an AppSocket queue.

#include "platform/spooler_cups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>

#include "platform/image_file_posix.h"
#include "printer/commands.h"
#include "printer/printer_list.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"
#include "emulator/private_cupsd.h"
#include "emulator/sha256.h"

namespace quillet::testing {
namespace {

using std::chrono::milliseconds;
using Calls = std::vector<std::string>;

constexpr milliseconds kJobTimeout(60000);
constexpr const char* kK7 = PrivateCupsd::kK7Queue;
// IPP job-state values.
constexpr int kJobCanceled = 7;
constexpr int kJobCompleted = 9;

// Forwards every call to the real spooler and records it, with "!" added
// when the call failed; can cut a write short or fail the end of the
// document, to reach the failure paths with real jobs.
class FaultySpooler : public Spooler {
public:
    explicit FaultySpooler(Spooler& real) : real_(real) {}

    bool cutWriteShort = false;          // report one byte less than written
    bool failEndDoc = false;             // fail without finishing the document
    std::function<void()> beforeEndDoc;  // runs just before the end of the document
    Calls calls;

    bool OpenPrinter(const std::string& name, PrinterHandle& handle) override {
        return Record("OpenPrinter", real_.OpenPrinter(name, handle));
    }
    bool StartDocPrinter(PrinterHandle handle, const DocInfo& docInfo) override {
        return Record("StartDocPrinter", real_.StartDocPrinter(handle, docInfo));
    }
    bool StartPagePrinter(PrinterHandle handle) override {
        return Record("StartPagePrinter", real_.StartPagePrinter(handle));
    }
    bool WritePrinter(PrinterHandle handle, const void* data, std::uint32_t length,
                      std::uint32_t& written) override {
        const bool ok = real_.WritePrinter(handle, data, length, written);
        if (ok && cutWriteShort && written > 0) {
            --written;
        }
        return Record("WritePrinter", ok);
    }
    bool EndPagePrinter(PrinterHandle handle) override {
        return Record("EndPagePrinter", real_.EndPagePrinter(handle));
    }
    bool EndDocPrinter(PrinterHandle handle) override {
        if (beforeEndDoc) {
            beforeEndDoc();
        }
        return Record("EndDocPrinter", !failEndDoc && real_.EndDocPrinter(handle));
    }
    bool AbortPrinter(PrinterHandle handle) override {
        return Record("AbortPrinter", real_.AbortPrinter(handle));
    }
    void ClosePrinter(PrinterHandle handle) override {
        real_.ClosePrinter(handle);
        calls.push_back("ClosePrinter");
    }
    std::vector<std::string> EnumLocalPrinters() override { return real_.EnumLocalPrinters(); }

private:
    bool Record(const std::string& call, bool ok) {
        calls.push_back(ok ? call : call + "!");
        return ok;
    }
    Spooler& real_;
};

// The wizard's application object over the given spooler and the real image
// files; the services it does not use here are doubles.
struct Wizard {
    explicit Wizard(Spooler& spooler)
        : app(PlatformServices{doubles.userLanguage, doubles.platformVersion, doubles.messageBoxes,
                               spooler, imageFiles, doubles.registry},
              pages) {}

    int Send(const std::string& printer, const char* command) {
        return app.SendRawJob(printer, command, static_cast<std::uint32_t>(std::strlen(command)));
    }

    PlatformDoubles doubles;
    PosixImageFiles imageFiles;
    NoPages pages;
    UpgradeApp app;
};

class CupsSpoolerTest : public ::testing::Test {
protected:
    void SetUp() override { StartScheduler(true); }

    void StartScheduler(bool withStandardQueues) {
        const std::string missing = PrivateCupsd::Missing();
        if (!missing.empty()) {
            ASSERT_FALSE(PrivateCupsd::Required())
                << "CUPS scheduler tests need cupsd: " << missing;
            GTEST_SKIP() << "CUPS scheduler tests need cupsd: " << missing;
        }
        std::string error;
        ASSERT_TRUE(cupsd_.Start(error, withStandardQueues)) << error;
    }

    // Proves that nothing else reached the printer: a test page sent now
    // must be the next job the printer sees.
    void ExpectNextPrinterJobIsTheTestPage(std::size_t jobsBefore) {
        CupsSpooler spooler;
        Wizard wizard(spooler);
        ASSERT_EQ(wizard.Send(kK7, TestPrintCommand), 1);
        ASSERT_TRUE(cupsd_.WaitForEmulatedJobs(jobsBefore + 1, kJobTimeout)) << cupsd_.ErrorLog();
        ASSERT_TRUE(cupsd_.WaitUntilIdle(kK7, kJobTimeout));
        const auto jobs = cupsd_.EmulatedJobs();
        ASSERT_EQ(jobs.size(), jobsBefore + 1) << "a job that should never print reached it";
        EXPECT_EQ(jobs.back().kind, "test-page");
    }

    PrivateCupsd cupsd_;
};

TEST_F(CupsSpoolerTest, CommandsArriveAtThePrinterAsExactlyFiveAndEightBytes) {
    CupsSpooler spooler;
    Wizard wizard(spooler);
    EXPECT_EQ(wizard.Send(kK7, TestPrintCommand), 1);
    EXPECT_EQ(wizard.Send(kK7, PrepareUpgradeCommand), 1);

    ASSERT_TRUE(cupsd_.WaitForEmulatedJobs(2, kJobTimeout)) << cupsd_.ErrorLog();
    const auto jobs = cupsd_.EmulatedJobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].kind, "test-page");
    EXPECT_EQ(jobs[0].bytes, 5u);
    EXPECT_EQ(jobs[0].head, "1b2673385a");
    EXPECT_EQ(jobs[1].kind, "download-mode");
    EXPECT_EQ(jobs[1].bytes, 8u);
    EXPECT_EQ(jobs[1].head, "1b2a6b3733343250");
}

TEST_F(CupsSpoolerTest, RetryMakesTwoSeparateJobs) {
    CupsSpooler spooler;
    Wizard wizard(spooler);
    EXPECT_EQ(wizard.Send(kK7, TestPrintCommand), 1);
    EXPECT_EQ(wizard.Send(kK7, TestPrintCommand), 1);
    ASSERT_TRUE(cupsd_.WaitForEmulatedJobs(2, kJobTimeout));
    ASSERT_TRUE(cupsd_.WaitUntilIdle(kK7, kJobTimeout));
    EXPECT_EQ(cupsd_.Jobs(kK7, "completed").size(), 2u);
    for (const EmulatedJob& job : cupsd_.EmulatedJobs()) {
        EXPECT_EQ(job.kind, "test-page");
    }
}

TEST_F(CupsSpoolerTest, ImageOf64MiBArrivesByteForByteAsOneJobTitledMyDocument) {
    const std::string imagePath = (cupsd_.Folder() / "firmware.bin").string();
    std::string image(64u << 20, '\0');
    std::mt19937 random(7342);
    for (char& byte : image) {
        byte = static_cast<char>(random());
    }
    std::ofstream(imagePath, std::ios::binary)
        .write(image.data(), static_cast<std::streamsize>(image.size()));
    const std::string expectedSha = Sha256::Of(image.data(), image.size());

    CupsSpooler spooler;
    Wizard wizard(spooler);
    ASSERT_EQ(wizard.Send(kK7, PrepareUpgradeCommand), 1);
    EXPECT_EQ(wizard.app.SendImageFile(kK7, imagePath), 1);

    ASSERT_TRUE(cupsd_.WaitForEmulatedJobs(2, kJobTimeout)) << cupsd_.ErrorLog();
    ASSERT_TRUE(cupsd_.WaitUntilIdle(kK7, kJobTimeout));
    const auto jobs = cupsd_.EmulatedJobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[1].kind, "firmware");
    EXPECT_EQ(jobs[1].bytes, image.size());
    EXPECT_EQ(jobs[1].sha256, expectedSha);

    const auto completed = cupsd_.Jobs(kK7, "completed");
    ASSERT_EQ(completed.size(), 2u) << "the image was not one job";
    const auto newest =
        std::max_element(completed.begin(), completed.end(),
                         [](const SchedulerJob& a, const SchedulerJob& b) { return a.id < b.id; });
    EXPECT_EQ(cupsd_.JobTitle(newest->id), "My Document");
    for (const SchedulerJob& job : completed) {
        EXPECT_EQ(job.state, kJobCompleted) << "job " << job.id;
    }
}

struct CutJobCase {
    const char* name;
    bool cutWriteShort;
    bool failEndDoc;
    bool cancelBeforeEndDoc;  // someone cancels the job just before it is ended
    Calls expectedCalls;
};

void PrintTo(const CutJobCase& c, std::ostream* os) {
    *os << c.name;
}

class CutJobTest : public CupsSpoolerTest, public ::testing::WithParamInterface<CutJobCase> {};

TEST_P(CutJobTest, NothingOfTheJobReachesThePrinter) {
    const CutJobCase& c = GetParam();
    CupsSpooler real;
    FaultySpooler spooler(real);
    spooler.cutWriteShort = c.cutWriteShort;
    spooler.failEndDoc = c.failEndDoc;
    if (c.cancelBeforeEndDoc) {
        spooler.beforeEndDoc = [this] {
            std::string error;
            EXPECT_TRUE(cupsd_.RunClient({"cancel", "-a", kK7}, error)) << error;
        };
    }
    Wizard wizard(spooler);
    const std::string image(1 << 20, 'F');
    EXPECT_EQ(wizard.app.SendRawJob(kK7, image.data(), static_cast<std::uint32_t>(image.size())),
              0);
    EXPECT_EQ(spooler.calls, c.expectedCalls);

    ASSERT_TRUE(cupsd_.WaitUntilIdle(kK7, kJobTimeout));
    const auto jobs = cupsd_.Jobs(kK7, "all");
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].state, kJobCanceled);
    ExpectNextPrinterJobIsTheTestPage(0);
}

const Calls kCutShort = {"OpenPrinter",  "StartDocPrinter", "StartPagePrinter",
                         "WritePrinter", "AbortPrinter",    "ClosePrinter"};
const Calls kUnfinished = {"OpenPrinter",    "StartDocPrinter", "StartPagePrinter", "WritePrinter",
                           "EndPagePrinter", "EndDocPrinter!",  "ClosePrinter"};

INSTANTIATE_TEST_SUITE_P(
    FailurePaths, CutJobTest,
    ::testing::Values(CutJobCase{"WriteCutShort", true, false, false, kCutShort},
                      CutJobCase{"DocumentNeverFinished", false, true, false, kUnfinished},
                      CutJobCase{"JobCancelledBeforeTheDocumentIsFinished", false, false, true,
                                 kUnfinished}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CupsSpoolerTest, HandleClosedWithoutEndingTheJobCancelsIt) {
    CupsSpooler spooler;
    PrinterHandle handle = 0;
    ASSERT_TRUE(spooler.OpenPrinter(kK7, handle));
    ASSERT_TRUE(spooler.StartDocPrinter(handle, {"My Document", "RAW"}));
    std::uint32_t written = 0;
    ASSERT_TRUE(spooler.WritePrinter(handle, "half a job", 10, written));
    EXPECT_EQ(written, 10u);
    spooler.ClosePrinter(handle);

    ASSERT_TRUE(cupsd_.WaitUntilIdle(kK7, kJobTimeout));
    ASSERT_EQ(cupsd_.Jobs(kK7, "all").size(), 1u);
    EXPECT_EQ(cupsd_.Jobs(kK7, "completed").size(), 1u);  // canceled counts as completed
    EXPECT_EQ(cupsd_.Jobs(kK7, "all")[0].state, kJobCanceled);
    ExpectNextPrinterJobIsTheTestPage(0);
}

struct UnavailableQueueCase {
    const char* name;
    const char* client;  // the program that makes the queue unavailable
};

void PrintTo(const UnavailableQueueCase& c, std::ostream* os) {
    *os << c.name;
}

class UnavailableQueueTest : public CupsSpoolerTest,
                             public ::testing::WithParamInterface<UnavailableQueueCase> {};

TEST_P(UnavailableQueueTest, FailsAtStartDocWithoutAJob) {
    std::string error;
    ASSERT_TRUE(cupsd_.RunClient({GetParam().client, PrivateCupsd::kK7Copy}, error)) << error;
    CupsSpooler real;
    FaultySpooler spooler(real);
    Wizard wizard(spooler);
    EXPECT_EQ(wizard.Send(PrivateCupsd::kK7Copy, TestPrintCommand), 0);
    EXPECT_EQ(spooler.calls, (Calls{"OpenPrinter", "StartDocPrinter!", "ClosePrinter"}));
    EXPECT_TRUE(cupsd_.Jobs(PrivateCupsd::kK7Copy, "all").empty());
    ExpectNextPrinterJobIsTheTestPage(0);
}

INSTANTIATE_TEST_SUITE_P(Queues, UnavailableQueueTest,
                         ::testing::Values(UnavailableQueueCase{"Stopped", "cupsdisable"},
                                           UnavailableQueueCase{"Rejecting", "cupsreject"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CupsSpoolerTest, UnknownNameFailsAtOpenWithoutAJob) {
    CupsSpooler real;
    FaultySpooler spooler(real);
    Wizard wizard(spooler);
    // The description is no queue name.
    for (const char* name : {"No_Such_Printer", "Tarvane Nimbrel K7", "Tarvane_Nimbrel_K7/x"}) {
        SCOPED_TRACE(name);
        spooler.calls.clear();
        EXPECT_EQ(wizard.Send(name, TestPrintCommand), 0);
        EXPECT_EQ(spooler.calls, Calls{"OpenPrinter!"});
    }
    for (const char* queue :
         {PrivateCupsd::kOfficeQueue, PrivateCupsd::kK7Queue, PrivateCupsd::kK7Copy}) {
        EXPECT_TRUE(cupsd_.Jobs(queue, "all").empty()) << queue;
    }
}

TEST_F(CupsSpoolerTest, PrinterListComesFromTheSchedulerWithTheK7QueuePreselected) {
    CupsSpooler spooler;
    PrinterListModel list;
    EXPECT_EQ(FillPrinterList(spooler, list, "Tarvane Nimbrel K7"), 1);
    EXPECT_EQ(list.Entries(), (std::vector<std::string>{"Office_Laser", "Tarvane_Nimbrel_K7",
                                                        "Tarvane_Nimbrel_K7_Copy_2"}));
    EXPECT_EQ(list.GetText(list.GetCurSel()), "Tarvane_Nimbrel_K7");
}

TEST_F(CupsSpoolerTest, NewlyAddedQueueShowsInTheNextFill) {
    CupsSpooler spooler;
    PrinterListModel list;
    ASSERT_EQ(FillPrinterList(spooler, list, "Tarvane Nimbrel K7"), 1);
    std::string error;
    ASSERT_TRUE(
        cupsd_.AddRawQueue("A_Tarvane_Nimbrel_K7", "first in order", cupsd_.EmulatorUri(), error))
        << error;
    EXPECT_EQ(FillPrinterList(spooler, list, "Tarvane Nimbrel K7"), 1);
    EXPECT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.GetText(0), "A_Tarvane_Nimbrel_K7");
    EXPECT_EQ(list.GetText(list.GetCurSel()), "Tarvane_Nimbrel_K7");
}

class EmptySchedulerTest : public CupsSpoolerTest {
protected:
    void SetUp() override { StartScheduler(false); }
};

TEST_F(EmptySchedulerTest, NoQueueLeavesTheListUntouched) {
    CupsSpooler spooler;
    EXPECT_TRUE(spooler.EnumLocalPrinters().empty());
    PrinterListModel list;
    list.AddString("Earlier");
    list.SetCurSel(0);
    EXPECT_EQ(FillPrinterList(spooler, list, "Tarvane Nimbrel K7"), 0);
    EXPECT_EQ(list.Entries(), std::vector<std::string>{"Earlier"});
    EXPECT_EQ(list.GetCurSel(), 0);
}

}  // namespace
}  // namespace quillet::testing
