#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "access/PageStore.h"
#include "common/ErrorState.h"
#include "common/FileReplacement.h"

namespace vantrel::access {

// A Jet4 or ACE file open for changes. Pages are read into a bounded cache as they are needed;
// changed pages go to a copy of the file made beside it when the first of them must leave the
// cache (or at Commit), and Commit renames the copy over the file. Until then the file is
// exactly as it was; a kill or a crash leaves at most the copy, which the next run removes.
// Memory stays within the cache bound, whatever the size of the file.
class JetWriteFile final : public PageStore {
  public:
    static constexpr uint32_t kPageSize = 4096;
    // Access files end at 2 GB: past that Access cannot open them.
    static constexpr uint32_t kAccessPageLimit =
        static_cast<uint32_t>((uint64_t{1} << 31) / kPageSize);
    static constexpr std::size_t kDefaultCacheBytes = std::size_t{96} << 20;

    JetWriteFile() = default;
    JetWriteFile(const JetWriteFile&) = delete;
    JetWriteFile& operator=(const JetWriteFile&) = delete;
    ~JetWriteFile() override;

    // Opens the file `realPath` names (no symbolic link) for changes; nothing is written yet.
    // False (with the error set) for anything but a readable Jet4/ACE file.
    bool Open(const std::string& realPath, ErrorState& error);
    // The version byte: 1 Jet4, 2 ACE12 (2007), 3 ACE14 (2010), 5 ACE16, 6 ACE17.
    int Version() const { return version_; }

    // The most pages the file may have; Access's limit unless lowered (tests do, to meet the
    // limit without writing 2 GB).
    void SetPageLimit(uint32_t pages) { pageLimit_ = pages; }
    uint32_t PageLimit() const { return pageLimit_; }
    void SetCacheBytes(std::size_t bytes);
    // Whether `pages` more pages can be had within the limit, the file's free pages first.
    bool HasRoomFor(uint32_t pages) const;

    uint32_t PageCount() const override { return pageCount_; }
    std::string_view Page(uint32_t n) const override;
    char* MutablePage(uint32_t n) override;
    // Reuses the file's free pages (lowest first) before adding pages at its end.
    uint32_t AllocatePage(uint32_t usageMap, ErrorState& error) override;
    // The page is emptied and recorded as free, for this run and for Access.
    void ReleasePage(uint32_t page, uint32_t usageMap) override;
    uint32_t AppendPage(ErrorState& error) override;

    // Lets pages leave the cache when it holds more than its bound; changed ones are written to
    // the copy. Views of pages taken before must not be used after it. False (with the error
    // set) when the copy cannot be written; the pages then stay in the cache.
    bool Checkpoint(ErrorState& error);
    bool Changed() const { return changed_; }
    // Writes every changed page and puts the copy in the file's place.
    bool Commit(ErrorState& error);
    // Forgets every change; the file stays as it was.
    void Discard();

  private:
    struct Frame {
        char Bytes[kPageSize];
        uint64_t LastUse = 0;
        bool Dirty = false;
    };

    Frame* Load(uint32_t n) const;
    Frame* NewFrame() const;
    void Forget(uint32_t n) const;
    bool WriteBack(std::vector<uint32_t> pages, ErrorState& error);

    std::string path_;
    int fd_ = -1;
    int version_ = 0;
    uint32_t pageCount_ = 0;
    uint32_t pageLimit_ = kAccessPageLimit;
    std::size_t maxFrames_ = kDefaultCacheBytes / sizeof(Frame);
    bool changed_ = false;
    FileReplacement copy_;
    std::set<uint32_t> free_;
    // The cache: a frame per page while the page is held. Frames never move, so views of a page
    // stay valid until it leaves the cache at a checkpoint.
    mutable std::vector<Frame*> frames_;
    mutable std::vector<std::unique_ptr<Frame>> pool_;  // every frame; spare ones are reused
    mutable std::vector<Frame*> spare_;
    mutable std::size_t held_ = 0;
    mutable uint64_t clock_ = 0;
    mutable ErrorState readError_;  // the first page that could not be read
};

}  // namespace vantrel::access
