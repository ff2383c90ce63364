#include "editor/UndoHistory.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/SafeFile.h"
#include "editor/UndoSnapshot.h"

namespace vantrel {

namespace {

constexpr int32_t kRingSize = 5;
// A snapshot is a few hundred kilobytes at most; refuse anything wildly larger unread.
constexpr std::size_t kMaxSnapshotBytes = std::size_t{1} << 30;

std::string& RingFile(SessionState& state, int32_t pos) {
    return state.UndoFiles[static_cast<std::size_t>(pos - 1)];
}

bool WriteSnapshotFile(const std::string& path, const std::string& bytes) {
    if (path.empty()) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

}  // namespace

bool CreateUndoFiles(SessionState& state, const std::string& folder) {
    std::string base = folder;
    if (!base.empty() && base.back() != '/') base += '/';
    bool ok = true;
    for (int32_t k = 1; k <= kRingSize; ++k) {
        std::string name = base + "impXXXXXX";
        const int fd = ::mkstemp(name.data());
        if (fd < 0) {
            RingFile(state, k).clear();
            ok = false;
            continue;
        }
        ::close(fd);
        RingFile(state, k) = name;
    }
    return ok;
}

void DeleteUndoFiles(SessionState& state) {
    for (auto& path : state.UndoFiles) {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove(path, ec);
    }
}

void ClearUndo(SessionState& state, MappingPanel& panel) {
    state.UndoDepth = 0;
    state.UndoPos = 0;
    panel.UndoEnabled = false;
}

bool PushUndo(SessionState& state, MappingPanel& panel) {
    state.Definition.Modified = true;
    const int32_t pos = state.UndoPos % kRingSize + 1;
    if (!WriteSnapshotFile(RingFile(state, pos), EncodeSnapshot(TakeSnapshot(state, panel))))
        return false;
    state.UndoPos = pos;
    if (++state.UndoDepth > kRingSize) {
        state.UndoDepth = kRingSize;
        for (std::size_t i = 1; i < kRingSize; ++i)
            state.UndoSlots[i] = state.UndoSlots[i + 1];
    }
    state.UndoSlots[static_cast<std::size_t>(state.UndoDepth)] = pos;
    panel.UndoEnabled = true;
    return true;
}

bool PopUndo(SessionState& state, MappingPanel& panel) {
    if (state.UndoDepth <= 0 || state.UndoDepth > kRingSize) return false;
    const int32_t p = state.UndoSlots[static_cast<std::size_t>(state.UndoDepth)];
    bool restored = false;
    if (p >= 1 && p <= kRingSize) {
        std::string bytes;
        ErrorState ignored;
        UndoSnapshot snapshot;
        if (ReadWholeFile(RingFile(state, p), bytes, ignored, kMaxSnapshotBytes) &&
            DecodeSnapshot(bytes, snapshot)) {
            RestoreSnapshot(std::move(snapshot), state, panel);
            restored = true;
        }
    }
    if (--state.UndoDepth == 0) {
        state.UndoPos = 0;
        panel.UndoEnabled = false;
    } else {
        state.UndoPos = state.UndoSlots[static_cast<std::size_t>(state.UndoDepth)];
    }
    return restored;
}

}  // namespace vantrel
