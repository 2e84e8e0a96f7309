#include "tests/doubles/doubles.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace quillet::testing {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

// --- RecordingSpooler -------------------------------------------------------

SentJob* RecordingSpooler::Job(PrinterHandle handle, const char* call) {
    auto found = open_.find(handle);
    if (found == open_.end() || found->second < 0) {
        log_.faults.push_back(std::string(call) + " without a started job");
        return nullptr;
    }
    return &jobs[static_cast<std::size_t>(found->second)];
}

bool RecordingSpooler::OpenPrinter(const std::string& printerName, PrinterHandle& handle) {
    if (!log_.Record("OpenPrinter") ||
        std::find(printers.begin(), printers.end(), printerName) == printers.end()) {
        return false;
    }
    handle = next_++;
    open_[handle] = -1;
    jobs.push_back({printerName, {}, {}});
    return true;
}

bool RecordingSpooler::StartDocPrinter(PrinterHandle handle, const DocInfo& docInfo) {
    if (!log_.Record("StartDocPrinter") || open_.count(handle) == 0) {
        return false;
    }
    open_[handle] = static_cast<int>(jobs.size()) - 1;
    jobs.back().docInfo = docInfo;
    return true;
}

bool RecordingSpooler::StartPagePrinter(PrinterHandle handle) {
    return log_.Record("StartPagePrinter") && Job(handle, "StartPagePrinter");
}

bool RecordingSpooler::WritePrinter(PrinterHandle handle, const void* data, std::uint32_t length,
                                    std::uint32_t& written) {
    const bool ok = log_.Record("WritePrinter");
    SentJob* job = Job(handle, "WritePrinter");
    if (!job || (!ok && !log_.partialWrites)) {
        if (job) {
            job->cut = true;
        }
        return false;
    }
    written = ok ? length : length / 2;
    job->cut = job->cut || written != length;
    job->data.append(static_cast<const char*>(data), written);
    return true;
}

bool RecordingSpooler::EndPagePrinter(PrinterHandle handle) {
    return log_.Record("EndPagePrinter") && Job(handle, "EndPagePrinter");
}

bool RecordingSpooler::EndDocPrinter(PrinterHandle handle) {
    const bool ok = log_.Record("EndDocPrinter");
    SentJob* job = Job(handle, "EndDocPrinter");
    if (!ok || !job) {
        return false;
    }
    job->ended = true;
    if (job->data.empty()) {
        return true;  // nothing reaches the printer
    }
    auto name = payloadNames.find(job->data);
    log_.story.push_back("Job " + (name != payloadNames.end() ? name->second : job->data));
    return true;
}

bool RecordingSpooler::AbortPrinter(PrinterHandle handle) {
    const bool ok = log_.Record("AbortPrinter");
    SentJob* job = Job(handle, "AbortPrinter");
    if (ok && job) {
        job->aborted = true;
    }
    return ok && job;
}

void RecordingSpooler::ClosePrinter(PrinterHandle handle) {
    log_.Record("ClosePrinter");
    if (open_.erase(handle) == 0) {
        log_.faults.push_back("ClosePrinter of a handle not open");
    }
}

std::vector<std::string> RecordingSpooler::EnumLocalPrinters() {
    if (!log_.Record("EnumPrinters")) {
        return {};
    }
    return printers;
}

// --- RecordingRegistry ------------------------------------------------------

void RecordingRegistry::SetDword(const std::string& path, const std::string& name,
                                 std::uint32_t value) {
    std::vector<std::uint8_t> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    keys_[Lower(path)][Lower(name)] = bytes;
}

std::optional<std::uint32_t> RecordingRegistry::Dword(const std::string& path,
                                                      const std::string& name) const {
    auto key = keys_.find(Lower(path));
    if (key == keys_.end() || key->second.count(Lower(name)) == 0 ||
        key->second.at(Lower(name)).size() != 4) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    std::memcpy(&value, key->second.at(Lower(name)).data(), 4);
    return value;
}

bool RecordingRegistry::OpenKey(const std::string& path, RegistryAccess access, RegistryKey& key) {
    const bool ok =
        log_.Record(access == RegistryAccess::Write ? "RegOpenKey(write)" : "RegOpenKey(read)");
    if (!ok || keys_.count(Lower(path)) == 0) {
        return false;
    }
    key = next_++;
    open_[key] = Lower(path);
    return true;
}

bool RecordingRegistry::QueryValue(RegistryKey key, const std::string& valueName,
                                   std::uint32_t& type, std::uint8_t* data, std::uint32_t& size) {
    if (!log_.Record("RegQueryValue") || open_.count(key) == 0) {
        return false;
    }
    auto& values = keys_[open_[key]];
    auto value = values.find(Lower(valueName));
    if (value == values.end() || value->second.size() > size) {
        return false;
    }
    type = REG_DWORD;
    size = static_cast<std::uint32_t>(value->second.size());
    std::copy(value->second.begin(), value->second.end(), data);
    return true;
}

bool RecordingRegistry::SetValue(RegistryKey key, const std::string& valueName, std::uint32_t type,
                                 const std::uint8_t* data, std::uint32_t size) {
    if (!log_.Record("RegSetValue") || open_.count(key) == 0) {
        return false;
    }
    keys_[open_[key]][Lower(valueName)].assign(data, data + size);
    if (Lower(valueName) == "sm autorun" && type == REG_DWORD && size == 4) {
        std::uint32_t value = 0;
        std::memcpy(&value, data, 4);
        log_.story.push_back("AutoRun := " + std::to_string(value));
    }
    return true;
}

void RecordingRegistry::CloseKey(RegistryKey key) {
    log_.Record("RegCloseKey");
    if (open_.erase(key) == 0) {
        log_.faults.push_back("RegCloseKey of a key not open");
    }
}

// --- RecordingImageFiles ----------------------------------------------------

bool RecordingImageFiles::OpenFile(const std::string& path, FileHandle& file) {
    if (!log_.Record("CreateFile") || files.count(path) == 0) {
        return false;
    }
    file = next_++;
    open_[file] = path;
    return true;
}

std::uint64_t RecordingImageFiles::FileSize(FileHandle file) {
    const std::uint64_t size = open_.count(file) ? files[open_[file]].size() : 0;
    return log_.Record("GetFileSize") ? size : size + (std::uint64_t{1} << 32);
}

void* RecordingImageFiles::AllocateBlock(std::size_t size) {
    if (!log_.Record("VirtualAlloc") || size == 0) {
        return nullptr;
    }
    void* block = std::malloc(size);
    blocks_[block] = size;
    return block;
}

bool RecordingImageFiles::LockBlock(void* block, std::size_t size) {
    if (!log_.Record("VirtualLock")) {
        return false;
    }
    if (blocks_.count(block) == 0 || blocks_[block] != size) {
        log_.faults.push_back("VirtualLock of a block not held");
        return false;
    }
    locked_.insert(block);
    return true;
}

void RecordingImageFiles::UnlockBlock(void* block, std::size_t) {
    log_.Record("VirtualUnlock");
    if (locked_.erase(block) == 0) {
        log_.faults.push_back("VirtualUnlock of a block not locked");
    }
}

std::uint32_t RecordingImageFiles::ReadFile(FileHandle file, void* block, std::uint32_t size) {
    const bool ok = log_.Record("ReadFile");
    if (open_.count(file) == 0 || blocks_.count(block) == 0 || blocks_[block] < size) {
        log_.faults.push_back("ReadFile outside a held file or block");
        return 0;
    }
    const std::string& content = files[open_[file]];
    std::uint32_t count = static_cast<std::uint32_t>(std::min<std::size_t>(content.size(), size));
    count = ok ? count : count / 2;
    std::memcpy(block, content.data(), count);
    return count;
}

void RecordingImageFiles::CloseFile(FileHandle file) {
    log_.Record("CloseHandle");
    if (open_.erase(file) == 0) {
        log_.faults.push_back("CloseHandle of a file not open");
    }
}

void RecordingImageFiles::ReleaseBlock(void* block, std::size_t size) {
    log_.Record("VirtualFree");
    auto found = blocks_.find(block);
    if (found == blocks_.end() || found->second != size) {
        log_.faults.push_back("VirtualFree of a block not held");
        return;
    }
    blocks_.erase(found);
    std::free(block);
}

}  // namespace quillet::testing
