// Adding and removing index entries. An entry is put into (or taken out of) its page where it
// lies, without reading the page into parts and writing it again; only a page that must split, or
// whose shared prefix no longer holds, is rewritten whole.
#include <optional>
#include <string>
#include <vector>

#include "access/Bytes.h"
#include "access/IndexPage.h"
#include "access/IndexTree.h"
#include "sources/engine/JetErrors.h"

namespace vantrel::access {

namespace {

// Deeper than any real tree: a deeper descent is going round in circles.
constexpr std::size_t kMaxDepth = 32;
constexpr std::size_t kPrevAt = 12, kNextAt = 16, kTailAt = 20;

std::string PageText(uint32_t page) {
    return "ページ " + std::to_string(page);
}

// A node entry without its child page: the leaf entry it names.
std::string LeafForm(std::string_view nodeEntry) {
    return std::string(
        nodeEntry.substr(0, nodeEntry.size() - std::min<std::size_t>(4, nodeEntry.size())));
}

std::string NodeEntry(std::string_view leafForm, uint32_t child) {
    std::string entry(leafForm);
    AppendBigEndian32(entry, child);
    return entry;
}

// A node's children in order; the last may be the tail, which has no entry and so no known last
// entry here.
struct NodeChild {
    uint32_t Page = 0;
    std::optional<std::string> Last;  // leaf form
};

std::vector<NodeChild> ChildrenOf(const IndexPageImage& node) {
    std::vector<NodeChild> children;
    for (const auto& entry : node.Entries)
        children.push_back({EntryChild(entry), LeafForm(entry)});
    if (node.Tail != 0) children.push_back({node.Tail, std::nullopt});
    return children;
}

// Written the way Access writes nodes: the last child on the tail pointer.
IndexPageImage NodeImage(const std::vector<NodeChild>& children) {
    IndexPageImage image;
    image.Type = kIndexNodePage;
    for (std::size_t i = 0; i + 1 < children.size(); ++i)
        image.Entries.push_back(
            NodeEntry(children[i].Last.value_or(std::string{}), children[i].Page));
    if (!children.empty()) image.Tail = children.back().Page;
    return image;
}

// One node on the way from the root to a leaf, and the child taken: an entry's position, or the
// number of entries for the tail.
struct Step {
    uint32_t Page = 0;
    std::size_t Child = 0;
    bool LastChild = false;  // the node's last child: its last entry is the node's
    bool TailChild = false;  // hung off the tail pointer, named by no entry
};

// What a changed page means for the node above it.
struct Change {
    std::optional<std::string> NewLast;  // leaf form of its subtree's new last entry
    std::optional<NodeChild> NewLeft;    // a page split off just before it
    bool Removed = false;                // it was emptied and unlinked
};

class TreeEditor {
  public:
    TreeEditor(PageStore& store, const JetTable& table, const JetRealIndex& index,
               ErrorState& error)
        : store_(store), table_(table), index_(index), error_(error) {}

    bool Insert(const std::string& entry) {
        IndexPageView& view = leafView_;
        if (!Descend(entry)) return false;
        bool equal = false;
        const std::size_t at = view.LowerBound(entry, equal);
        if (equal) return Fail("索引に同じ項目がすでにあります");
        const std::size_t count = view.Count();
        char* bytes = Bytes(leaf_);
        if (!bytes) return false;
        Change change;
        if (!SpliceIndexEntries(bytes, view, at, at, {entry})) {
            std::string problem;
            auto image = ReadIndexPage(store_.Page(leaf_), problem);
            image->Entries.insert(image->Entries.begin() + static_cast<std::ptrdiff_t>(at), entry);
            // An entry added at the end of a full page starts the next one: keys that arrive in
            // order fill their pages to the brim.
            if (!Rewrite(leaf_, std::move(*image), {}, path_.empty(), at == count, change))
                return false;
        }
        if (at == count) change.NewLast = entry;
        return UpdateNodes(std::move(change));
    }

    bool Remove(const std::string& entry) {
        IndexPageView& view = leafView_;
        if (!Descend(entry)) return false;
        bool equal = false;
        const std::size_t at = view.LowerBound(entry, equal);
        if (!equal) return Fail("索引に消す項目がありません");
        const std::size_t count = view.Count();
        Change change;
        if (count == 1 && !path_.empty()) {
            if (!Unlink(leaf_)) return false;
            change.Removed = true;
        } else {
            if (at + 1 == count && at > 0) change.NewLast = LeafEntryAt(view, at - 1);
            char* bytes = Bytes(leaf_);
            if (!bytes) return false;
            if (!RemoveAt(leaf_, view, at)) return false;
        }
        return UpdateNodes(std::move(change)) && CollapseRoot();
    }

  private:
    bool Fail(const std::string& text) {
        error_.Set(JetError::EngineFailure, text);
        return false;
    }

    bool Read(uint32_t page, IndexPageView& view) {
        std::string problem;
        if (view.Read(store_.Page(page), problem)) return true;
        return Fail("索引の " + PageText(page) + " が読めません: " + problem);
    }

    char* Bytes(uint32_t page) {
        char* bytes = store_.MutablePage(page);
        if (!bytes) Fail("索引の " + PageText(page) + " がファイルの外です");
        return bytes;
    }

    static std::string LeafEntryAt(const IndexPageView& view, std::size_t i) {
        const std::string entry = view.Entry(i);
        return view.IsLeaf() ? entry : LeafForm(entry);
    }

    // Goes down to the leaf that holds (or is to hold) `entry`, recording the nodes passed; the
    // leaf is left read into leafView_.
    bool Descend(std::string_view entry) {
        path_.clear();
        uint32_t page = index_.FirstPage;
        for (std::size_t depth = 0;; ++depth) {
            IndexPageView& view = leafView_;
            if (!Read(page, view)) return false;
            if (view.IsLeaf()) {
                leaf_ = page;
                return true;
            }
            if (depth >= kMaxDepth) return Fail("索引の階層が深すぎます");
            const std::size_t count = view.Count();
            if (count == 0 && view.Tail() == 0) return Fail("索引の節に子ページがありません");
            // The first child whose last entry is not below the entry; past all of them the
            // tail, or the last entry's child in a node without one.
            bool equal = false;
            Step step{page, view.LowerBound(entry, equal)};
            if (step.Child == count && view.Tail() == 0) step.Child = count - 1;
            step.TailChild = step.Child == count;
            step.LastChild = step.TailChild || (view.Tail() == 0 && step.Child + 1 == count);
            path_.push_back(step);
            page = step.Child < count ? EntryChild(view.Entry(step.Child)) : view.Tail();
        }
    }

    bool Write(uint32_t page, const IndexPageImage& image) {
        char* bytes = Bytes(page);
        if (!bytes) return false;
        if (!WriteIndexPage(image, table_.DefinitionPage, bytes))
            return Fail("索引の項目が 1 ページに収まりません");
        return true;
    }

    // Changes the previous or next link of a neighbour on the same level.
    bool Relink(uint32_t page, std::size_t offset, uint32_t target) {
        if (page == 0) return true;
        char* bytes = Bytes(page);
        if (!bytes) return false;
        Put32(bytes + offset, target);
        return true;
    }

    bool Unlink(uint32_t page) {
        IndexPageView view;
        if (!Read(page, view)) return false;
        const uint32_t prev = view.Prev(), next = view.Next();
        if (!Relink(prev, kNextAt, next) || !Relink(next, kPrevAt, prev)) return false;
        store_.ReleasePage(page, index_.UsageMap);
        return true;
    }

    // Takes entry `at` out of `page` (read into `view`); a page whose shared prefix would not
    // hold is rewritten whole.
    bool RemoveAt(uint32_t page, const IndexPageView& view, std::size_t at) {
        char* bytes = Bytes(page);
        if (!bytes) return false;
        if (SpliceIndexEntries(bytes, view, at, at + 1, {})) return true;
        std::string problem;
        auto image = ReadIndexPage(store_.Page(page), problem);
        if (!image) return Fail("索引の " + PageText(page) + " が読めません: " + problem);
        image->Entries.erase(image->Entries.begin() + static_cast<std::ptrdiff_t>(at));
        return Write(page, *image);
    }

    bool UpdateNodes(Change change) {
        for (std::size_t level = path_.size(); level-- > 0;) {
            if (!change.NewLeft && !change.Removed) {
                if (!change.NewLast) return true;
                // Under the tail a new last entry changes nothing: it only rises.
                if (path_[level].TailChild) continue;
            }
            if (!UpdateNode(level, change)) return false;
        }
        return true;
    }

    // Applies `change` of a child to the node above it; `change` then says what that means for
    // the node's own parent.
    bool UpdateNode(std::size_t level, Change& change) {
        const Step step = path_[level];
        const bool root = level == 0;
        IndexPageView view;
        if (!Read(step.Page, view)) return false;
        const std::size_t count = view.Count();
        const uint32_t tail = view.Tail();
        const bool childIsTail = tail != 0 && step.Child == count;
        const bool childIsLast = childIsTail || (tail == 0 && step.Child + 1 == count);
        char* bytes = Bytes(step.Page);
        if (!bytes) return false;
        Change up;
        if (change.Removed) {
            if (count + (tail != 0 ? 1 : 0) == 1) {
                // The node's only child went: the node goes too, or the root becomes an empty
                // leaf.
                if (root) return Write(step.Page, IndexPageImage{});
                if (!Unlink(step.Page)) return false;
                up.Removed = true;
            } else if (childIsTail) {
                // The last entry's child becomes the tail.
                const std::string last = view.Entry(count - 1);
                if (!RemoveAt(step.Page, view, count - 1)) return false;
                Put32(bytes + kTailAt, EntryChild(last));
                up.NewLast = LeafForm(last);
            } else {
                if (childIsLast) up.NewLast = LeafEntryAt(view, step.Child - 1);
                if (!RemoveAt(step.Page, view, step.Child)) return false;
            }
            change = std::move(up);
            return true;
        }
        std::vector<std::string> entries;
        std::size_t to = step.Child;
        if (change.NewLeft)
            entries.push_back(NodeEntry(change.NewLeft->Last.value_or(""), change.NewLeft->Page));
        if (change.NewLast && !childIsTail) {
            entries.push_back(NodeEntry(*change.NewLast, EntryChild(view.Entry(step.Child))));
            to = step.Child + 1;
        }
        if (change.NewLast && childIsLast) up.NewLast = change.NewLast;
        if (!entries.empty()) {
            const std::vector<std::string_view> views(entries.begin(), entries.end());
            if (!SpliceIndexEntries(bytes, view, step.Child, to, views)) {
                // Too full: the node as a list of children, split.
                std::string problem;
                const auto image = ReadIndexPage(store_.Page(step.Page), problem);
                auto children = ChildrenOf(*image);
                if (change.NewLast && !childIsTail) children[step.Child].Last = change.NewLast;
                if (change.NewLeft)
                    children.insert(children.begin() + static_cast<std::ptrdiff_t>(step.Child),
                                    *change.NewLeft);
                Change split;
                const bool brim = change.NewLeft && step.Child >= count;
                if (!Rewrite(step.Page, NodeImage(children), children, root, brim, split))
                    return false;
                up.NewLeft = std::move(split.NewLeft);
            }
        }
        change = std::move(up);
        return true;
    }

    // Writes `image` (the node form of `children` for a node) over `page`, keeping its links. A
    // page too full splits: the left part goes to a new page, reported in `change`; the root
    // instead hands both parts to new pages and becomes their node. `brim`: the entry that made
    // it too full came last, so the left part keeps all the others.
    bool Rewrite(uint32_t page, IndexPageImage image, const std::vector<NodeChild>& children,
                 bool root, bool brim, Change& change) {
        IndexPageView old;
        if (!Read(page, old)) return false;
        image.Prev = old.Prev();
        image.Next = old.Next();
        if (IndexPageBytes(image) <= kIndexEntryCapacity) return Write(page, image);
        auto halves = Halve(image, children, brim);
        if (!halves) return Fail("索引の項目が 1 ページに収まりません");
        auto& [left, right, leftLast] = *halves;
        const uint32_t leftPage = store_.AllocatePage(index_.UsageMap, error_);
        if (leftPage == 0) return false;
        if (!root) {
            left.Prev = image.Prev;
            left.Next = page;
            right.Prev = leftPage;
            right.Next = image.Next;
            if (!Relink(image.Prev, kNextAt, leftPage)) return false;
            change.NewLeft = NodeChild{leftPage, leftLast};
            return Write(leftPage, left) && Write(page, right);
        }
        const uint32_t rightPage = store_.AllocatePage(index_.UsageMap, error_);
        if (rightPage == 0) return false;
        left.Prev = 0;
        left.Next = rightPage;
        right.Prev = leftPage;
        right.Next = 0;
        const IndexPageImage newRoot =
            NodeImage({NodeChild{leftPage, leftLast}, NodeChild{rightPage, std::nullopt}});
        return Write(leftPage, left) && Write(rightPage, right) && Write(page, newRoot);
    }

    struct Halves {
        IndexPageImage Left, Right;
        std::string LeftLast;
    };

    // Splits an overfull page so that both parts fit: at the brim (everything but the last
    // entry, or the last two children, on the left) when asked, else near the middle.
    static std::optional<Halves> Halve(const IndexPageImage& image,
                                       const std::vector<NodeChild>& children, bool brim) {
        const bool leaf = image.IsLeaf();
        const std::size_t count = leaf ? image.Entries.size() : children.size();
        if (count < 2) return std::nullopt;
        auto make = [&](std::size_t mid) {
            Halves h;
            if (leaf) {
                h.Left.Entries.assign(image.Entries.begin(),
                                      image.Entries.begin() + static_cast<std::ptrdiff_t>(mid));
                h.Right.Entries.assign(image.Entries.begin() + static_cast<std::ptrdiff_t>(mid),
                                       image.Entries.end());
                h.LeftLast = h.Left.Entries.back();
            } else {
                const auto split = children.begin() + static_cast<std::ptrdiff_t>(mid);
                h.Left = NodeImage(std::vector<NodeChild>(children.begin(), split));
                h.Right = NodeImage(std::vector<NodeChild>(split, children.end()));
                h.LeftLast = children[mid - 1].Last.value_or(std::string{});
            }
            return h;
        };
        auto fits = [](const Halves& h) {
            return IndexPageBytes(h.Left) <= kIndexEntryCapacity &&
                   IndexPageBytes(h.Right) <= kIndexEntryCapacity;
        };
        const std::size_t atBrim = leaf ? count - 1 : count - std::min<std::size_t>(count, 2);
        if (brim && atBrim > 0) {
            Halves h = make(atBrim);
            if (fits(h)) return h;
        }
        for (std::size_t step = 0; step < count; ++step) {
            // Try the middle first, then ever further out on either side.
            for (const std::size_t mid :
                 {count / 2 - std::min(count / 2, step), count / 2 + step}) {
                if (mid == 0 || mid >= count) continue;
                Halves h = make(mid);
                if (fits(h)) return h;
            }
        }
        return std::nullopt;
    }

    // A root node with a single child takes over the child's entries and links nothing.
    bool CollapseRoot() {
        for (std::size_t depth = 0; depth < kMaxDepth; ++depth) {
            IndexPageView root;
            if (!Read(index_.FirstPage, root)) return false;
            if (root.IsLeaf() || root.Count() + (root.Tail() != 0 ? 1 : 0) != 1) return true;
            const uint32_t child = root.Count() == 1 ? EntryChild(root.Entry(0)) : root.Tail();
            std::string problem;
            auto image = ReadIndexPage(store_.Page(child), problem);
            if (!image) return Fail("索引の " + PageText(child) + " が読めません: " + problem);
            image->Prev = image->Next = 0;
            if (!Write(index_.FirstPage, *image)) return false;
            store_.ReleasePage(child, index_.UsageMap);
        }
        return true;
    }

    PageStore& store_;
    const JetTable& table_;
    const JetRealIndex& index_;
    ErrorState& error_;
    std::vector<Step> path_;
    uint32_t leaf_ = 0;
    IndexPageView leafView_;
};

}  // namespace

bool InsertIndexEntry(PageStore& store, const JetTable& table, const JetRealIndex& index,
                      const std::string& key, uint32_t dataPage, uint8_t dataRow,
                      ErrorState& error) {
    return TreeEditor(store, table, index, error).Insert(LeafEntry(key, dataPage, dataRow));
}

bool RemoveIndexEntry(PageStore& store, const JetTable& table, const JetRealIndex& index,
                      const std::string& key, uint32_t dataPage, uint8_t dataRow,
                      ErrorState& error) {
    return TreeEditor(store, table, index, error).Remove(LeafEntry(key, dataPage, dataRow));
}

}  // namespace vantrel::access
