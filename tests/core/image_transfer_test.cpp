// SendImageFile: the file and block calls on every path, with the doubles,
// and the POSIX back end on real files.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/image_file_posix.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"
#include "emulator/temp_dir.h"

namespace quillet::testing {
namespace {

namespace fs = std::filesystem;
using Calls = std::vector<std::string>;

const std::string kImage = "\x1b%-12345X@PJL firmware bytes\0\x01\x02 end";

struct TransferCase {
    const char* name;
    const char* failingCall;
    std::string fileContent;
    std::optional<std::uint64_t> reportedSize;
    std::optional<std::uint32_t> shortRead;
    Calls expectedCalls;
    int expectedResult;
    std::optional<std::uint32_t> shortWrite = {};

    // Test listings show the row by its name.
    friend void PrintTo(const TransferCase& row, std::ostream* out) { *out << row.name; }
};

class ImageTransferTest : public ::testing::TestWithParam<TransferCase> {};

TEST_P(ImageTransferTest, ReleasesFileAndBlockOnItsPath) {
    const TransferCase& c = GetParam();
    PlatformDoubles doubles;
    doubles.spooler.printers = {"K7"};
    doubles.imageFiles.files["fw.bin"] = c.fileContent;
    doubles.imageFiles.reportedSize = c.reportedSize;
    doubles.imageFiles.shortRead = c.shortRead;
    doubles.spooler.shortWrite = c.shortWrite;
    if (c.failingCall) {
        doubles.log.FailCall(c.failingCall);
    }
    NoPages pages;
    UpgradeApp app(doubles.Services(), pages);

    EXPECT_EQ(app.SendImageFile("K7", "fw.bin"), c.expectedResult);
    EXPECT_EQ(doubles.log.Calls(), c.expectedCalls);
    EXPECT_EQ(doubles.imageFiles.OpenFiles(), 0);
    EXPECT_EQ(doubles.imageFiles.LiveBlocks(), 0);
    EXPECT_EQ(doubles.spooler.OpenHandles(), 0);
    if (c.expectedResult == 1) {
        ASSERT_EQ(doubles.spooler.CompletedJobs().size(), 1u);
        EXPECT_EQ(doubles.spooler.CompletedJobs()[0].data, c.fileContent);
    } else {
        EXPECT_TRUE(doubles.spooler.CompletedJobs().empty());
    }
}

const Calls kRead = {"CreateFile", "GetFileSize",   "VirtualAlloc", "VirtualLock",
                     "ReadFile",   "VirtualUnlock", "CloseHandle"};
Calls Then(Calls calls, const Calls& more) {
    calls.insert(calls.end(), more.begin(), more.end());
    return calls;
}
const Calls kJob = {"OpenPrinter",    "StartDocPrinter", "StartPagePrinter", "WritePrinter",
                    "EndPagePrinter", "EndDocPrinter",   "ClosePrinter"};

INSTANTIATE_TEST_SUITE_P(
    ResourcesTable, ImageTransferTest,
    ::testing::Values(
        TransferCase{"Sent", nullptr, kImage, {}, {}, Then(Then(kRead, kJob), {"VirtualFree"}), 1},
        TransferCase{"OpenFails", "CreateFile", kImage, {}, {}, {"CreateFile"}, 0},
        TransferCase{"EmptyFileGetsNoBlock",
                     nullptr,
                     "",
                     {},
                     {},
                     {"CreateFile", "GetFileSize", "VirtualAlloc", "CloseHandle"},
                     0},
        TransferCase{"BlockNotObtained",
                     "VirtualAlloc",
                     kImage,
                     {},
                     {},
                     {"CreateFile", "GetFileSize", "VirtualAlloc", "CloseHandle"},
                     0},
        TransferCase{"LockFails",
                     "VirtualLock",
                     kImage,
                     {},
                     {},
                     {"CreateFile", "GetFileSize", "VirtualAlloc", "VirtualLock", "VirtualFree",
                      "CloseHandle"},
                     0},
        TransferCase{"ShortRead", nullptr, kImage, {}, 10, Then(kRead, {"VirtualFree"}), 0},
        TransferCase{"SpoolerRefuses",
                     "StartDocPrinter",
                     kImage,
                     {},
                     {},
                     Then(kRead, {"OpenPrinter", "StartDocPrinter", "ClosePrinter", "VirtualFree"}),
                     0},
        // A short write of the image cancels the job instead of completing it.
        TransferCase{"ShortWriteCancelsTheJob",
                     nullptr,
                     kImage,
                     {},
                     {},
                     Then(kRead, {"OpenPrinter", "StartDocPrinter", "StartPagePrinter",
                                  "WritePrinter", "AbortPrinter", "ClosePrinter", "VirtualFree"}),
                     0,
                     4},
        // 4 GiB and more is refused, never sent as its lower 32 bits.
        TransferCase{"FourGibibytesRefused",
                     nullptr,
                     kImage,
                     std::uint64_t{1} << 32,
                     {},
                     {"CreateFile", "GetFileSize", "CloseHandle"},
                     0},
        TransferCase{"FourGibibytesPlusImageRefused",
                     nullptr,
                     kImage,
                     (std::uint64_t{1} << 32) + kImage.size(),
                     {},
                     {"CreateFile", "GetFileSize", "CloseHandle"},
                     0}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The POSIX back end on real files ---------------------------------------

class PosixImageFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        doubles_.spooler.printers = {"K7"};
        dir_ = folder_.Path();
    }

    fs::path Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return dir_ / name;
    }
    int Send(const fs::path& path) {
        PlatformServices services = doubles_.Services();
        PlatformServices real{services.userLanguage,
                              services.platformVersion,
                              services.messageBoxes,
                              services.spooler,
                              files_,
                              services.registry};
        NoPages pages;
        UpgradeApp app(real, pages);
        return app.SendImageFile("K7", path.string());
    }

    TempDir folder_{"quillet-image"};
    fs::path dir_;
    PlatformDoubles doubles_;
    PosixImageFiles files_;
};

TEST_F(PosixImageFilesTest, SendsTheWholeFileUnchanged) {
    std::string image(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<char>((i * 131) >> 3);
    }
    EXPECT_EQ(Send(Write("fw.bin", image)), 1);
    ASSERT_EQ(doubles_.spooler.CompletedJobs().size(), 1u);
    EXPECT_TRUE(doubles_.spooler.CompletedJobs()[0].data == image);
}

TEST_F(PosixImageFilesTest, UnusablePathsGiveZeroAndNoJob) {
    Write("empty.bin", "");
    fs::create_directory(dir_ / "folder");
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    for (const fs::path& path :
         {fs::path(), dir_ / "missing.bin", dir_ / "empty.bin", dir_ / "folder", dir_ / "fifo"}) {
        EXPECT_EQ(Send(path), 0) << path;
    }
    EXPECT_TRUE(doubles_.spooler.jobs.empty());
}

TEST_F(PosixImageFilesTest, UnreadableFileGivesZero) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads any file";
    }
    const fs::path path = Write("locked.bin", "data");
    fs::permissions(path, fs::perms::none);
    EXPECT_EQ(Send(path), 0);
    EXPECT_TRUE(doubles_.spooler.jobs.empty());
}

TEST_F(PosixImageFilesTest, BlockIsExactlyTheSizeAndLockable) {
    PosixImageFiles files;
    EXPECT_EQ(files.AllocateBlock(0), nullptr);
    const size_t size = 5 * 1024 * 1024 + 3;
    void* block = files.AllocateBlock(size);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(files.LockBlock(block, size));
    static_cast<char*>(block)[size - 1] = 'x';
    files.UnlockBlock(block, size);
    files.ReleaseBlock(block, size);
}

}  // namespace
}  // namespace quillet::testing
