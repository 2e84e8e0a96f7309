#include "tests/doubles/doubles.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace quillet::testing {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

// --- RecordingSpooler -------------------------------------------------------

std::vector<SentJob> RecordingSpooler::CompletedJobs() const {
    std::vector<SentJob> completed;
    std::copy_if(jobs.begin(), jobs.end(), std::back_inserter(completed),
                 [](const SentJob& job) { return job.ended && !job.aborted; });
    return completed;
}

bool RecordingSpooler::OpenPrinter(const std::string& printerName, PrinterHandle& handle) {
    if (!log_.Record("OpenPrinter") ||
        std::find(printers.begin(), printers.end(), printerName) == printers.end()) {
        return false;
    }
    handle = next_++;
    open_[handle] = printerName;
    return true;
}

bool RecordingSpooler::StartDocPrinter(PrinterHandle handle, const DocInfo& docInfo) {
    if (!log_.Record("StartDocPrinter")) {
        return false;
    }
    jobs.push_back({open_.at(handle), docInfo, {}, false, false});
    jobOf_[handle] = static_cast<int>(jobs.size()) - 1;
    return true;
}

bool RecordingSpooler::StartPagePrinter(PrinterHandle) {
    return log_.Record("StartPagePrinter");
}

bool RecordingSpooler::WritePrinter(PrinterHandle handle, const void* data, std::uint32_t length,
                                    std::uint32_t& written) {
    if (!log_.Record("WritePrinter")) {
        return false;
    }
    written = shortWrite ? std::min(*shortWrite, length) : length;
    jobs.at(static_cast<size_t>(jobOf_.at(handle)))
        .data.append(static_cast<const char*>(data), written);
    return true;
}

bool RecordingSpooler::EndPagePrinter(PrinterHandle) {
    return log_.Record("EndPagePrinter");
}

bool RecordingSpooler::EndDocPrinter(PrinterHandle handle) {
    if (!log_.Record("EndDocPrinter")) {
        return false;
    }
    jobs.at(static_cast<size_t>(jobOf_.at(handle))).ended = true;
    return true;
}

bool RecordingSpooler::AbortPrinter(PrinterHandle handle) {
    if (!log_.Record("AbortPrinter")) {
        return false;
    }
    jobs.at(static_cast<size_t>(jobOf_.at(handle))).aborted = true;
    return true;
}

void RecordingSpooler::ClosePrinter(PrinterHandle handle) {
    log_.Record("ClosePrinter");
    if (open_.erase(handle) == 0) {
        std::abort();  // closing a handle that is not open is a fault in the logic
    }
    jobOf_.erase(handle);
}

std::vector<std::string> RecordingSpooler::EnumLocalPrinters() {
    if (!log_.Record("EnumPrinters")) {
        return {};
    }
    return printers;
}

// --- RecordingRegistry ------------------------------------------------------

void RecordingRegistry::AddKey(const std::string& path) {
    keys_[Lower(path)];
}

void RecordingRegistry::SetDword(const std::string& path, const std::string& name,
                                 std::uint32_t value) {
    RegistryValue stored{REG_DWORD, std::vector<std::uint8_t>(4)};
    std::memcpy(stored.bytes.data(), &value, 4);
    keys_[Lower(path)][Lower(name)] = stored;
}

void RecordingRegistry::SetString(const std::string& path, const std::string& name,
                                  const std::string& value) {
    RegistryValue stored{REG_SZ, std::vector<std::uint8_t>(value.begin(), value.end())};
    stored.bytes.push_back(0);
    keys_[Lower(path)][Lower(name)] = stored;
}

std::optional<RegistryValue> RecordingRegistry::Value(const std::string& path,
                                                      const std::string& name) const {
    auto key = keys_.find(Lower(path));
    if (key == keys_.end()) {
        return std::nullopt;
    }
    auto value = key->second.find(Lower(name));
    if (value == key->second.end()) {
        return std::nullopt;
    }
    return value->second;
}

std::optional<std::uint32_t> RecordingRegistry::Dword(const std::string& path,
                                                      const std::string& name) const {
    auto value = Value(path, name);
    if (!value || value->type != REG_DWORD || value->bytes.size() != 4) {
        return std::nullopt;
    }
    std::uint32_t result = 0;
    std::memcpy(&result, value->bytes.data(), 4);
    return result;
}

bool RecordingRegistry::OpenKey(const std::string& path, RegistryAccess access, RegistryKey& key) {
    openedPaths.push_back(path);
    const bool allowed =
        log_.Record(access == RegistryAccess::Write ? "RegOpenKey(write)" : "RegOpenKey(read)");
    if (!allowed || keys_.count(Lower(path)) == 0) {
        return false;
    }
    key = next_++;
    open_[key] = Lower(path);
    return true;
}

bool RecordingRegistry::QueryValue(RegistryKey key, const std::string& valueName,
                                   std::uint32_t& type, std::uint8_t* data, std::uint32_t& size) {
    if (!log_.Record("RegQueryValue")) {
        return false;
    }
    auto& values = keys_.at(open_.at(key));
    auto value = values.find(Lower(valueName));
    if (value == values.end() || value->second.bytes.size() > size) {
        return false;
    }
    type = value->second.type;
    size = static_cast<std::uint32_t>(value->second.bytes.size());
    std::copy(value->second.bytes.begin(), value->second.bytes.end(), data);
    return true;
}

bool RecordingRegistry::SetValue(RegistryKey key, const std::string& valueName, std::uint32_t type,
                                 const std::uint8_t* data, std::uint32_t size) {
    if (!log_.Record("RegSetValue")) {
        return false;
    }
    keys_.at(open_.at(key))[Lower(valueName)] = {type,
                                                 std::vector<std::uint8_t>(data, data + size)};
    return true;
}

void RecordingRegistry::CloseKey(RegistryKey key) {
    log_.Record("RegCloseKey");
    if (open_.erase(key) == 0) {
        std::abort();
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
    log_.Record("GetFileSize");
    return reportedSize ? *reportedSize : files.at(open_.at(file)).size();
}

void* RecordingImageFiles::AllocateBlock(std::size_t size) {
    if (!log_.Record("VirtualAlloc") || size == 0) {
        return nullptr;
    }
    void* block = std::malloc(size);
    if (block != nullptr) {
        blocks_[block] = size;
    }
    return block;
}

bool RecordingImageFiles::LockBlock(void* block, std::size_t size) {
    if (blocks_.at(block) != size) {
        std::abort();
    }
    return log_.Record("VirtualLock");
}

void RecordingImageFiles::UnlockBlock(void*, std::size_t) {
    log_.Record("VirtualUnlock");
}

std::uint32_t RecordingImageFiles::ReadFile(FileHandle file, void* block, std::uint32_t size) {
    log_.Record("ReadFile");
    const std::string& content = files.at(open_.at(file));
    std::uint32_t count = static_cast<std::uint32_t>(std::min<std::size_t>(content.size(), size));
    if (shortRead) {
        count = std::min(count, *shortRead);
    }
    std::memcpy(block, content.data(), count);
    return count;
}

void RecordingImageFiles::CloseFile(FileHandle file) {
    log_.Record("CloseHandle");
    if (open_.erase(file) == 0) {
        std::abort();
    }
}

void RecordingImageFiles::ReleaseBlock(void* block, std::size_t size) {
    log_.Record("VirtualFree");
    auto found = blocks_.find(block);
    if (found == blocks_.end() || found->second != size) {
        std::abort();
    }
    blocks_.erase(found);
    std::free(block);
}

}  // namespace quillet::testing
