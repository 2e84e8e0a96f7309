// SendRawJob and the two commands: the spooler calls on every path.

#include <gtest/gtest.h>

#include <cstring>

#include "printer/commands.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

using Calls = std::vector<std::string>;

struct RawJobCase {
    const char* name;
    const char* failingCall;  // nullptr: every call succeeds
    bool shortWrite;
    Calls expectedCalls;
    int expectedResult;
    bool jobCompleted;
    std::string printer = "K7";

    // Test listings show the row by its name.
    friend void PrintTo(const RawJobCase& row, std::ostream* out) { *out << row.name; }
};

class RawJobTest : public ::testing::TestWithParam<RawJobCase> {};

TEST_P(RawJobTest, MakesExactlyTheCleanUpCallsOfItsPath) {
    const RawJobCase& c = GetParam();
    PlatformDoubles doubles;
    doubles.spooler.printers = {"K7"};
    if (c.failingCall) {
        doubles.log.FailCall(c.failingCall);
    }
    if (c.shortWrite) {
        doubles.spooler.shortWrite = 3;
    }
    NoPages pages;
    UpgradeApp app(doubles.Services(), pages);

    const char data[] = "12345678";
    EXPECT_EQ(app.SendRawJob(c.printer, data, 8), c.expectedResult);
    EXPECT_EQ(doubles.log.Calls(), c.expectedCalls);
    EXPECT_EQ(doubles.spooler.CompletedJobs().size(), c.jobCompleted ? 1u : 0u);
    EXPECT_EQ(doubles.spooler.OpenHandles(), 0);
}

const Calls kAllSteps = {"OpenPrinter",    "StartDocPrinter", "StartPagePrinter", "WritePrinter",
                         "EndPagePrinter", "EndDocPrinter",   "ClosePrinter"};

INSTANTIATE_TEST_SUITE_P(
    CleanUpTable, RawJobTest,
    ::testing::Values(
        RawJobCase{"AllSucceed", nullptr, false, kAllSteps, 1, true},
        RawJobCase{"OpenFails", "OpenPrinter", false, {"OpenPrinter"}, 0, false},
        RawJobCase{"StartDocFails",
                   "StartDocPrinter",
                   false,
                   {"OpenPrinter", "StartDocPrinter", "ClosePrinter"},
                   0,
                   false},
        RawJobCase{
            "StartPageFails",
            "StartPagePrinter",
            false,
            {"OpenPrinter", "StartDocPrinter", "StartPagePrinter", "EndDocPrinter", "ClosePrinter"},
            0,
            true},
        // A failed or short write cancels the job instead of completing it.
        RawJobCase{"WriteFails",
                   "WritePrinter",
                   false,
                   {"OpenPrinter", "StartDocPrinter", "StartPagePrinter", "WritePrinter",
                    "AbortPrinter", "ClosePrinter"},
                   0,
                   false},
        RawJobCase{"ShortWrite",
                   nullptr,
                   true,
                   {"OpenPrinter", "StartDocPrinter", "StartPagePrinter", "WritePrinter",
                    "AbortPrinter", "ClosePrinter"},
                   0,
                   false},
        RawJobCase{"EndPageFails",
                   "EndPagePrinter",
                   false,
                   {"OpenPrinter", "StartDocPrinter", "StartPagePrinter", "WritePrinter",
                    "EndPagePrinter", "EndDocPrinter", "ClosePrinter"},
                   0,
                   true},
        // No second attempt to end the document.
        RawJobCase{"EndDocFails", "EndDocPrinter", false, kAllSteps, 0, false},
        // The spooler cannot abort either: the job is still not ended.
        RawJobCase{"ShortWriteAndAbortFails",
                   "AbortPrinter",
                   true,
                   {"OpenPrinter", "StartDocPrinter", "StartPagePrinter", "WritePrinter",
                    "AbortPrinter", "ClosePrinter"},
                   0,
                   false},
        // An empty name contacts no spooler; an unknown one stops after the open.
        RawJobCase{"EmptyPrinterName", nullptr, false, {}, 0, false, ""},
        RawJobCase{"UnknownPrinter", nullptr, false, {"OpenPrinter"}, 0, false, "Other"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RawJob, JobIsRawMyDocumentWithTheCommandBytesAndNoTerminator) {
    PlatformDoubles doubles;
    doubles.spooler.printers = {"Tarvane_Nimbrel_K7"};
    NoPages pages;
    UpgradeApp app(doubles.Services(), pages);

    ASSERT_EQ(std::strlen(TestPrintCommand), 5u);
    ASSERT_EQ(std::strlen(PrepareUpgradeCommand), 8u);
    EXPECT_EQ(app.SendRawJob("Tarvane_Nimbrel_K7", TestPrintCommand,
                             static_cast<std::uint32_t>(std::strlen(TestPrintCommand))),
              1);
    EXPECT_EQ(app.SendRawJob("Tarvane_Nimbrel_K7", PrepareUpgradeCommand,
                             static_cast<std::uint32_t>(std::strlen(PrepareUpgradeCommand))),
              1);

    const auto jobs = doubles.spooler.CompletedJobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].data, std::string("\x1b\x26\x73\x38\x5a"));
    EXPECT_EQ(jobs[1].data, std::string("\x1b*k7342P"));
    for (const SentJob& job : jobs) {
        EXPECT_EQ(job.printer, "Tarvane_Nimbrel_K7");
        EXPECT_EQ(job.docInfo.documentName, "My Document");
        EXPECT_EQ(job.docInfo.dataType, "RAW");
    }
}

}  // namespace
}  // namespace quillet::testing
