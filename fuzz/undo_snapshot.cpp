// Undo snapshots are private files in the temporary folder, but another program or a full disk
// can leave anything there: a snapshot is either refused or restores a consistent state.
#include "FuzzInput.h"
#include "editor/UndoSnapshot.h"

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    UndoSnapshot snapshot;
    if (!DecodeSnapshot(fuzz::AsView(data, size), snapshot)) return 0;
    // A snapshot that decodes encodes to bytes that decode to the same snapshot.
    const std::string encoded = EncodeSnapshot(snapshot);
    UndoSnapshot again;
    FUZZ_CHECK(DecodeSnapshot(encoded, again), "an encoded snapshot decodes");
    FUZZ_CHECK(EncodeSnapshot(again) == encoded, "encoding is stable");

    SessionState state;
    MappingPanel panel;
    RestoreSnapshot(std::move(snapshot), state, panel);
    const auto& def = state.Definition;
    const int32_t usable = def.UsableTableCount();
    for (int32_t t = 1; t <= usable; ++t)
        FUZZ_CHECK(def.FieldPairs.Contains(t, def.FieldMax), "field pairs exist for every pair");
    return 0;
}
