#include "access/IndexTree.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string>

#include "access/Bytes.h"
#include "access/IndexPage.h"
#include "sources/engine/JetErrors.h"

namespace vantrel::access {

namespace {

// Deeper than any real tree: a deeper walk is going round in circles.
constexpr std::size_t kMaxDepth = 32;

std::string PageText(uint32_t page) {
    return "ページ " + std::to_string(page);
}

std::string LeafForm(std::string_view nodeEntry) {
    return std::string(
        nodeEntry.substr(0, nodeEntry.size() - std::min<std::size_t>(4, nodeEntry.size())));
}

IndexEntry ToEntry(std::string_view leafEntry) {
    const uint32_t pointer = EntryRowPointer(leafEntry, false);
    return {std::string(EntryKey(leafEntry, false)), pointer >> 8,
            static_cast<uint8_t>(pointer & 0xFF)};
}

class TreeWalker {
  public:
    TreeWalker(const PageSource& source, uint32_t table, IndexTreeWalk& out)
        : source_(source), table_(table), out_(out) {}

    // The last leaf entry below `page`, if any.
    std::optional<std::string> Visit(uint32_t page, std::size_t level, uint32_t parent = 0) {
        if (level >= kMaxDepth) {
            Problem("索引の階層が深すぎます (" + PageText(page) + ")");
            return std::nullopt;
        }
        if (!seen_.insert(page).second) {
            Problem(PageText(page) + " が索引の中に二度現れます");
            return std::nullopt;
        }
        const std::string_view data = source_.Page(page);
        if (data.empty()) {
            Problem("索引の " + PageText(page) + " はファイルの外です");
            return std::nullopt;
        }
        std::string problem;
        const auto image = ReadIndexPage(data, problem);
        if (!image) {
            Problem("索引の " + PageText(page) + ": " + problem);
            return std::nullopt;
        }
        if (U32(data, 4) != table_)
            Problem("索引の " + PageText(page) + " は別のテーブルのものです");
        if (out_.Levels.size() <= level) {
            out_.Levels.resize(level + 1);
            out_.Parents.resize(level + 1);
        }
        out_.Levels[level].push_back(page);
        out_.Parents[level].push_back(parent);
        return image->IsLeaf() ? VisitLeaf(page, level, *image) : VisitNode(page, level, *image);
    }

  private:
    std::optional<std::string> VisitLeaf(uint32_t page, std::size_t level,
                                         const IndexPageImage& image) {
        if (!leafLevel_) leafLevel_ = level;
        if (*leafLevel_ != level) Problem("葉の " + PageText(page) + " の深さがほかの葉と違います");
        if (image.Tail != 0) Problem("葉の " + PageText(page) + " に末尾ページが指定されています");
        if (image.Entries.empty() && level > 0) Problem("葉の " + PageText(page) + " が空です");
        bool ordered = true;
        for (const auto& entry : image.Entries) {
            if (last_ && CompareEntries(*last_, false, entry, false) >= 0) ordered = false;
            last_ = entry;
            out_.Entries.push_back(ToEntry(entry));
        }
        if (!ordered) Problem("索引の項目の順序が正しくありません (" + PageText(page) + ")");
        if (image.Entries.empty()) return std::nullopt;
        return image.Entries.back();
    }

    std::optional<std::string> VisitNode(uint32_t page, std::size_t level,
                                         const IndexPageImage& image) {
        if (image.Entries.empty() && image.Tail == 0)
            Problem("節の " + PageText(page) + " に子ページがありません");
        std::optional<std::string> last;
        for (std::size_t i = 0; i < image.Entries.size(); ++i) {
            const std::string& entry = image.Entries[i];
            if (i > 0 && CompareEntries(image.Entries[i - 1], true, entry, true) >= 0)
                Problem("節の " + PageText(page) + " の項目の順序が正しくありません");
            const uint32_t child = EntryChild(entry);
            last = Visit(child, level + 1, page);
            if (last && *last != LeafForm(entry)) {
                Problem("節の " + PageText(page) + " の項目が子の " + PageText(child) +
                        " の最後の項目と一致しません");
            }
        }
        if (image.Tail != 0) last = Visit(image.Tail, level + 1, page);
        return last;
    }

    void Problem(std::string text) { out_.Problems.push_back(std::move(text)); }

    const PageSource& source_;
    uint32_t table_;
    IndexTreeWalk& out_;
    std::set<uint32_t> seen_;
    std::optional<std::string> last_;
    std::optional<std::size_t> leafLevel_;
};

}  // namespace

IndexTreeWalk WalkIndexTree(const PageSource& source, const JetRealIndex& index,
                            uint32_t tableDefinitionPage) {
    IndexTreeWalk walk;
    TreeWalker(source, tableDefinitionPage, walk).Visit(index.FirstPage, 0);
    return walk;
}

bool IndexContainsKey(const PageSource& source, const JetRealIndex& index, const std::string& key) {
    uint32_t page = index.FirstPage;
    IndexPageView view;
    std::string problem;
    for (std::size_t depth = 0; depth < kMaxDepth; ++depth) {
        if (!view.Read(source.Page(page), problem)) return false;
        // The first entry whose key is not below the key: in a leaf the key itself if it is there,
        // in a node the child holding its first entry (the tail when none is).
        const std::size_t at = view.KeyLowerBound(key);
        if (view.IsLeaf()) return at < view.Count() && EntryKey(view.Entry(at), false) == key;
        page = at < view.Count() ? EntryChild(view.Entry(at)) : view.Tail();
        if (page == 0) return false;
    }
    return false;
}

}  // namespace vantrel::access
