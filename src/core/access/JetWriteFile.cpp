#include "access/JetWriteFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "access/JetFile.h"
#include "access/UsageMap.h"
#include "common/SafeFile.h"
#include "sources/engine/JetErrors.h"

namespace vantrel::access {

JetWriteFile::~JetWriteFile() {
    Discard();
}

bool JetWriteFile::Open(const std::string& realPath, ErrorState& error) {
    Discard();
    fd_ = ::open(realPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        SetJetError(error, JetError::FileNotFound, realPath);
        Discard();
        return false;
    }
    path_ = realPath;
    pageCount_ = static_cast<uint32_t>(static_cast<uint64_t>(st.st_size) / kPageSize);
    frames_.assign(pageCount_, nullptr);
    version_ = pageCount_ >= 2 ? JetVersionOf(Page(0)) : 0;
    if (version_ == 0) {
        SetJetError(error, JetError::UnrecognizedFormat, realPath);
        Discard();
        return false;
    }
    // Pages Access recorded as free are used again before the file grows; the header, the
    // file's own map and the catalog never are.
    for (uint32_t page : FreePagesInFile(*this)) {
        if (page > 2) free_.insert(page);
    }
    return true;
}

void JetWriteFile::SetCacheBytes(std::size_t bytes) {
    maxFrames_ = std::max<std::size_t>(64, bytes / sizeof(Frame));
}

bool JetWriteFile::HasRoomFor(uint32_t pages) const {
    const uint64_t growth = pages > free_.size() ? pages - free_.size() : 0;
    return uint64_t{pageCount_} + growth <= pageLimit_;
}

JetWriteFile::Frame* JetWriteFile::NewFrame() const {
    Frame* frame = nullptr;
    if (!spare_.empty()) {
        frame = spare_.back();
        spare_.pop_back();
    } else {
        pool_.push_back(std::make_unique<Frame>());
        frame = pool_.back().get();
    }
    frame->Dirty = false;
    frame->LastUse = ++clock_;
    ++held_;
    return frame;
}

JetWriteFile::Frame* JetWriteFile::Load(uint32_t n) const {
    if (Frame* frame = frames_[n]) {
        frame->LastUse = ++clock_;
        return frame;
    }
    Frame* frame = NewFrame();
    // Once the copy exists it holds every page, those written back to it included.
    const int from = copy_.Active() ? copy_.Descriptor() : fd_;
    std::size_t done = 0;
    while (done < kPageSize) {
        const ssize_t got = ::pread(from, frame->Bytes + done, kPageSize - done,
                                    static_cast<off_t>(uint64_t{n} * kPageSize + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    if (done < kPageSize) {
        if (!readError_.IsSet()) SetFileError(readError_, done == 0 ? errno : EIO, path_);
        spare_.push_back(frame);
        --held_;
        return nullptr;
    }
    frames_[n] = frame;
    return frame;
}

void JetWriteFile::Forget(uint32_t n) const {
    spare_.push_back(frames_[n]);
    frames_[n] = nullptr;
    --held_;
}

std::string_view JetWriteFile::Page(uint32_t n) const {
    if (n >= pageCount_) return {};
    const Frame* frame = Load(n);
    return frame ? std::string_view(frame->Bytes, kPageSize) : std::string_view{};
}

char* JetWriteFile::MutablePage(uint32_t n) {
    if (n >= pageCount_) return nullptr;
    Frame* frame = Load(n);
    if (!frame) return nullptr;
    frame->Dirty = true;
    changed_ = true;
    return frame->Bytes;
}

uint32_t JetWriteFile::AppendPage(ErrorState& error) {
    if (pageCount_ >= pageLimit_) {
        SetJetError(error, JetError::DatabaseTooLarge);
        return 0;
    }
    Frame* frame = NewFrame();
    std::memset(frame->Bytes, 0, kPageSize);
    frame->Dirty = true;
    frames_.push_back(frame);
    changed_ = true;
    return pageCount_++;
}

uint32_t JetWriteFile::AllocatePage(uint32_t usageMap, ErrorState& error) {
    uint32_t page = 0;
    if (!free_.empty()) {
        page = *free_.begin();
        free_.erase(free_.begin());
        // What the page held is of no interest: it need not be read.
        if (!frames_[page]) frames_[page] = NewFrame();
        Frame* frame = frames_[page];
        std::memset(frame->Bytes, 0, kPageSize);
        frame->Dirty = true;
        changed_ = true;
    } else {
        page = AppendPage(error);
        if (page == 0) return 0;
    }
    if (!MarkPageInUse(*this, page, error)) return 0;
    if (usageMap != 0 && !AddPageToUsageMap(*this, usageMap, page, error)) return 0;
    return page;
}

void JetWriteFile::ReleasePage(uint32_t page, uint32_t usageMap) {
    if (page <= 2 || page >= pageCount_) return;
    if (usageMap != 0) RemovePageFromUsageMap(*this, usageMap, page);
    if (char* bytes = MutablePage(page)) std::memset(bytes, 0, kPageSize);
    // A page the file's map cannot record as free stays unused until Access compacts the file.
    ErrorState ignored;
    if (MarkPageFree(*this, page, ignored)) free_.insert(page);
}

bool JetWriteFile::WriteBack(std::vector<uint32_t> pages, ErrorState& error) {
    if (pages.empty()) return true;
    if (!copy_.Active() && !copy_.Begin(path_, fd_, error)) return false;
    std::sort(pages.begin(), pages.end());
    for (uint32_t page : pages) {
        Frame* frame = frames_[page];
        if (!copy_.WriteAt(uint64_t{page} * kPageSize, frame->Bytes, kPageSize, error))
            return false;
        frame->Dirty = false;
    }
    return true;
}

bool JetWriteFile::Checkpoint(ErrorState& error) {
    if (held_ <= maxFrames_) return true;
    std::vector<std::pair<uint64_t, uint32_t>> held;
    held.reserve(held_);
    for (uint32_t n = 0; n < frames_.size(); ++n) {
        if (frames_[n]) held.emplace_back(frames_[n]->LastUse, n);
    }
    // The least recently used quarter leaves, so that this happens seldom.
    const std::size_t leaving = held.size() - maxFrames_ * 3 / 4;
    std::nth_element(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(leaving), held.end());
    std::vector<uint32_t> dirty;
    for (std::size_t k = 0; k < leaving; ++k) {
        if (frames_[held[k].second]->Dirty) dirty.push_back(held[k].second);
    }
    if (!WriteBack(std::move(dirty), error)) return false;
    for (std::size_t k = 0; k < leaving; ++k)
        Forget(held[k].second);
    return true;
}

bool JetWriteFile::Commit(ErrorState& error) {
    if (!changed_) {
        Discard();
        return true;
    }
    if (readError_.IsSet()) {
        error = readError_;
        return false;
    }
    std::vector<uint32_t> dirty;
    for (uint32_t n = 0; n < frames_.size(); ++n) {
        if (frames_[n] && frames_[n]->Dirty) dirty.push_back(n);
    }
    if (!WriteBack(std::move(dirty), error)) return false;
    // Pages given back at the end still count: the file keeps its length.
    if (!copy_.Resize(uint64_t{pageCount_} * kPageSize, error) || !copy_.Commit(error))
        return false;
    changed_ = false;
    Discard();
    return true;
}

void JetWriteFile::Discard() {
    copy_.Abandon();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    frames_.clear();
    pool_.clear();
    spare_.clear();
    free_.clear();
    held_ = 0;
    pageCount_ = 0;
    changed_ = false;
}

}  // namespace vantrel::access
