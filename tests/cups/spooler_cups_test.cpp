// Raw jobs, the firmware image and the printer list through a real, private
// CUPS scheduler, down to an emulated K7 behind an AppSocket queue.

#include "platform/spooler_cups.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <thread>
#include <tuple>

#include "emulator/private_cupsd.h"
#include "platform/image_file_posix.h"
#include "printer/commands.h"
#include "printer/printer_list.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

using std::chrono::milliseconds;
using Calls = std::vector<std::string>;

constexpr milliseconds kJobTimeout(60000);
constexpr const char* kK7 = PrivateCupsd::kK7Queue;
// IPP job-state and printer-state values.
constexpr int kJobCanceled = 7;
constexpr int kQueueStopped = 5;

// Forwards every call to the real spooler and records it, with "!" added
// when the call failed; can cut a write short or fail the end of the
// document, to reach the failure paths with real jobs.
class FaultySpooler : public Spooler {
public:
    explicit FaultySpooler(Spooler& real) : real_(real) {}

    bool cutWriteShort = false;          // report one byte less than written
    bool failEndDoc = false;             // fail without finishing the document
    std::function<void()> duringWrite;   // runs on another thread while the data is sent
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
        std::thread meanwhile(duringWrite ? duringWrite : [] {});
        const bool ok = real_.WritePrinter(handle, data, length, written);
        meanwhile.join();
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

    void StartScheduler(bool withStandardQueues, JobHistory history = JobHistory::Kept) {
        const std::string missing = PrivateCupsd::Missing();
        if (!missing.empty()) {
            ASSERT_FALSE(PrivateCupsd::Required())
                << "CUPS scheduler tests need cupsd: " << missing;
            GTEST_SKIP() << "CUPS scheduler tests need cupsd: " << missing;
        }
        std::string error;
        ASSERT_TRUE(cupsd_.Start(error, withStandardQueues, history)) << error;
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

// Under both ways a scheduler may keep ended jobs.
class EachJobHistoryTest : public CupsSpoolerTest,
                           public ::testing::WithParamInterface<JobHistory> {
protected:
    void SetUp() override { StartScheduler(true, GetParam()); }
};

std::string Name(JobHistory history) {
    return history == JobHistory::Kept ? "HistoryKept" : "HistoryPurged";
}

TEST_P(EachJobHistoryTest, QueueStoppedByAPrinterFaultRefusesRetryUntilEnabledAgain) {
    // A printer that never answers: the backend gives up, and under CUPS'
    // default error policy the scheduler stops the queue.
    std::string error;
    ASSERT_TRUE(
        cupsd_.RunClient({"lpadmin", "-p", kK7, "-v", "socket://127.0.0.1:9/?contimeout=1"}, error))
        << error;
    CupsSpooler real;
    FaultySpooler spooler(real);
    Wizard wizard(spooler);
    ASSERT_EQ(wizard.Send(kK7, TestPrintCommand), 1);
    ASSERT_TRUE(cupsd_.WaitForQueueState(kK7, kQueueStopped, kJobTimeout)) << cupsd_.ErrorLog();

    spooler.calls.clear();
    EXPECT_EQ(wizard.Send(kK7, TestPrintCommand), 0);
    EXPECT_EQ(spooler.calls, (Calls{"OpenPrinter", "StartDocPrinter!", "ClosePrinter"}));

    // The printer answers again and the queue is enabled: Retry prints, after
    // the test page the fault had parked, as a job of its own; one that
    // printed and was purged at once still counts as printed.
    ASSERT_TRUE(cupsd_.RunClient({"lpadmin", "-p", kK7, "-v", cupsd_.EmulatorUri()}, error))
        << error;
    ASSERT_TRUE(cupsd_.RunClient({"cupsenable", kK7}, error)) << error;
    EXPECT_EQ(wizard.Send(kK7, TestPrintCommand), 1);
    ASSERT_TRUE(cupsd_.WaitForEmulatedJobs(2, kJobTimeout)) << cupsd_.ErrorLog();
    ASSERT_TRUE(cupsd_.WaitUntilIdle(kK7, kJobTimeout));
    const auto jobs = cupsd_.EmulatedJobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[1].kind, "test-page");
}

INSTANTIATE_TEST_SUITE_P(Scheduler, EachJobHistoryTest,
                         ::testing::Values(JobHistory::Kept, JobHistory::Purged),
                         [](const auto& info) { return Name(info.param); });

struct CutJobCase {
    const char* name;
    bool cutWriteShort;
    bool failEndDoc;
    bool cancelBeforeEndDoc;  // someone cancels the job just before it is ended
    bool holdEveryJob;        // the queue holds every job until someone releases it
    Calls expectedCalls;
};

class CutJobTest : public CupsSpoolerTest,
                   public ::testing::WithParamInterface<std::tuple<CutJobCase, JobHistory>> {
protected:
    void SetUp() override { StartScheduler(true, std::get<1>(GetParam())); }
};

TEST_P(CutJobTest, NothingOfTheJobReachesThePrinter) {
    const CutJobCase& c = std::get<0>(GetParam());
    CupsSpooler real;
    FaultySpooler spooler(real);
    spooler.cutWriteShort = c.cutWriteShort;
    spooler.failEndDoc = c.failEndDoc;
    std::string error;
    if (c.holdEveryJob) {
        ASSERT_TRUE(cupsd_.RunClient(
            {"lpadmin", "-p", kK7, "-o", "job-hold-until-default=indefinite"}, error))
            << error;
    }
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
    if (std::get<1>(GetParam()) == JobHistory::Kept) {
        const auto jobs = cupsd_.Jobs(kK7, "all");
        ASSERT_EQ(jobs.size(), 1u);
        EXPECT_EQ(jobs[0].state, kJobCanceled);
    }
    if (c.holdEveryJob) {
        ASSERT_TRUE(
            cupsd_.RunClient({"lpadmin", "-p", kK7, "-o", "job-hold-until-default=no-hold"}, error))
            << error;
    }
    ExpectNextPrinterJobIsTheTestPage(0);
}

const Calls kCutShort = {"OpenPrinter",  "StartDocPrinter", "StartPagePrinter",
                         "WritePrinter", "AbortPrinter",    "ClosePrinter"};
const Calls kUnfinished = {"OpenPrinter",    "StartDocPrinter", "StartPagePrinter", "WritePrinter",
                           "EndPagePrinter", "EndDocPrinter!",  "ClosePrinter"};

INSTANTIATE_TEST_SUITE_P(
    FailurePaths, CutJobTest,
    ::testing::Combine(::testing::Values(CutJobCase{"WriteCutShort", true, false, false, false,
                                                    kCutShort},
                                         CutJobCase{"DocumentNeverFinished", false, true, false,
                                                    false, kUnfinished},
                                         CutJobCase{"JobCancelledBeforeTheDocumentIsFinished",
                                                    false, false, true, false, kUnfinished},
                                         CutJobCase{"JobHeldAtTheEndOfTheDocument", false, false,
                                                    false, true, kUnfinished}),
                       ::testing::Values(JobHistory::Kept, JobHistory::Purged)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + "_" + Name(std::get<1>(info.param));
    });

// Also run as an ordinary user (tests/cups/CMakeLists.txt), whose 8 MiB
// locked-memory limit is far below the image.
TEST_F(CupsSpoolerTest, QueueStoppedDuringA256MiBImageTransferCancelsTheImage) {
    const std::string imagePath = (cupsd_.Folder() / "firmware.bin").string();
    std::ofstream(imagePath, std::ios::binary).close();
    std::filesystem::resize_file(imagePath, 256u << 20);
    CupsSpooler real;
    FaultySpooler spooler(real);
    spooler.duringWrite = [this] {
        std::string error;
        EXPECT_TRUE(cupsd_.RunClient({"cupsdisable", kK7}, error)) << error;
    };
    Wizard wizard(spooler);
    EXPECT_EQ(wizard.app.SendImageFile(kK7, imagePath), 0);

    // Nothing was parked: enabling the queue prints no part of the image.
    std::string error;
    ASSERT_TRUE(cupsd_.RunClient({"cupsenable", kK7}, error)) << error;
    ASSERT_TRUE(cupsd_.WaitUntilIdle(kK7, kJobTimeout));
    const auto jobs = cupsd_.Jobs(kK7, "all");
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].state, kJobCanceled);
    ExpectNextPrinterJobIsTheTestPage(0);
}

// A writer that opens the image after it was opened, or any change to it,
// spoils the read; where no lease is granted, only the change shows.
TEST(PosixImageFiles, ImageWrittenOrChangedAfterTheOpenReadsAsNothing) {
    TempDir folder("quillet-image");
    const std::string path = folder.File("firmware.bin");
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"unchanged", [] {}},
        {"opened for writing",
         [&] { ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)); }},
        {"touched", [&] { ::utimensat(AT_FDCWD, path.c_str(), nullptr, 0); }},
        {"mode changed", [&] { ::chmod(path.c_str(), 0640); }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        std::ofstream(path, std::ios::binary) << "image";
        PosixImageFiles files;
        FileHandle file = 0;
        ASSERT_TRUE(files.OpenFile(path, file));
        std::this_thread::sleep_for(milliseconds(10));  // past the file system's time stamp
        change();
        char block[5];
        EXPECT_EQ(files.ReadFile(file, block, 5), std::string(name) == "unchanged" ? 5u : 0u);
        files.CloseFile(file);
    }
}

// A writer may open the image at any moment, also while the open is still
// taking the lease, before which the lease's break would end the program.
TEST(PosixImageFiles, WriterOpeningTheImageDuringTheOpenIsOutlived) {
    TempDir folder("quillet-image");
    const std::string path = folder.File("firmware.bin");
    std::ofstream(path, std::ios::binary) << "image";
    std::atomic<bool> done{false};
    std::thread writer([&] {
        while (!done) {
            ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        }
    });
    PosixImageFiles files;
    for (int i = 0; i < 20000; ++i) {
        FileHandle file = 0;
        if (files.OpenFile(path, file)) {
            files.CloseFile(file);
        }
    }
    done = true;
    writer.join();
}

// Small images are read in one piece, large ones as two halves at once: both
// arrive byte for byte, an odd size included.
TEST(PosixImageFiles, ImageReadsWholeInOneOrTwoParts) {
    TempDir folder("quillet-image");
    const std::string path = folder.File("firmware.bin");
    for (const std::uint32_t size : {5u, (32u << 20) + 4097}) {
        SCOPED_TRACE(size);
        std::vector<char> image(size);
        std::minstd_rand random;
        std::generate(image.begin(), image.end(), [&] { return static_cast<char>(random() >> 8); });
        std::ofstream(path, std::ios::binary).write(image.data(), size);
        PosixImageFiles files;
        FileHandle file = 0;
        ASSERT_TRUE(files.OpenFile(path, file));
        std::vector<char> block(size);
        EXPECT_EQ(files.ReadFile(file, block.data(), size), size);
        EXPECT_TRUE(block == image);
        files.CloseFile(file);
    }
}

// A name that is no queue (nor is the description one) fails at the open; a
// stopped or rejecting queue at the start of the document. None leaves a job.
TEST_F(CupsSpoolerTest, UnusableQueueFailsWithoutAJob) {
    const Calls atOpen{"OpenPrinter!"};
    const Calls atStart{"OpenPrinter", "StartDocPrinter!", "ClosePrinter"};
    const std::vector<std::tuple<const char*, const char*, Calls>> cases = {
        {"No_Such_Printer", nullptr, atOpen},
        {"Tarvane Nimbrel K7", nullptr, atOpen},
        {"Tarvane_Nimbrel_K7/x", nullptr, atOpen},
        {PrivateCupsd::kK7Copy, "cupsdisable", atStart},
        {PrivateCupsd::kOfficeQueue, "cupsreject", atStart},
    };
    CupsSpooler real;
    FaultySpooler spooler(real);
    Wizard wizard(spooler);
    for (const auto& [name, client, calls] : cases) {
        SCOPED_TRACE(name);
        std::string error;
        ASSERT_TRUE(client == nullptr || cupsd_.RunClient({client, name}, error)) << error;
        spooler.calls.clear();
        EXPECT_EQ(wizard.Send(name, TestPrintCommand), 0);
        EXPECT_EQ(spooler.calls, calls);
    }
    for (const char* queue :
         {PrivateCupsd::kOfficeQueue, PrivateCupsd::kK7Queue, PrivateCupsd::kK7Copy}) {
        EXPECT_TRUE(cupsd_.Jobs(queue, "all").empty()) << queue;
    }
    ExpectNextPrinterJobIsTheTestPage(0);
}

// Each fill asks the scheduler again: a queue added since shows.
TEST_F(CupsSpoolerTest, PrinterListComesFromTheSchedulerWithTheK7QueuePreselected) {
    CupsSpooler spooler;
    PrinterListModel list;
    ASSERT_EQ(FillPrinterList(spooler, list, "Tarvane Nimbrel K7"), 1);
    std::string error;
    ASSERT_TRUE(
        cupsd_.AddRawQueue("A_Tarvane_Nimbrel_K7", "first in order", cupsd_.EmulatorUri(), error))
        << error;
    EXPECT_EQ(FillPrinterList(spooler, list, "Tarvane Nimbrel K7"), 1);
    EXPECT_EQ(list.Entries(),
              (std::vector<std::string>{"A_Tarvane_Nimbrel_K7", "Office_Laser",
                                        "Tarvane_Nimbrel_K7", "Tarvane_Nimbrel_K7_Copy_2"}));
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
