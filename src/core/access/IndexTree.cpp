#include "access/IndexTree.h"

#include <algorithm>
#include <optional>
#include <set>

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

// A node's children in order; the last may be the tail, which has no entry and so no known
// last entry here.
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
    for (std::size_t i = 0; i + 1 < children.size(); ++i) {
        std::string entry = children[i].Last.value_or(std::string{});
        AppendBigEndian32(entry, children[i].Page);
        image.Entries.push_back(std::move(entry));
    }
    if (!children.empty()) image.Tail = children.back().Page;
    return image;
}

}  // namespace

IndexTreeWalk WalkIndexTree(const PageSource& source, const JetRealIndex& index,
                            uint32_t tableDefinitionPage) {
    IndexTreeWalk walk;
    TreeWalker(source, tableDefinitionPage, walk).Visit(index.FirstPage, 0);
    return walk;
}

bool IndexContainsKey(const PageSource& source, const JetRealIndex& index, const std::string& key) {
    uint32_t page = index.FirstPage;
    for (std::size_t depth = 0; depth < kMaxDepth; ++depth) {
        std::string problem;
        const auto image = ReadIndexPage(source.Page(page), problem);
        if (!image) return false;
        if (image->IsLeaf()) {
            return std::any_of(image->Entries.begin(), image->Entries.end(),
                               [&](const auto& e) { return EntryKey(e, false) == key; });
        }
        // The first child whose last key is not below the key holds its first entry.
        const auto next = std::find_if(image->Entries.begin(), image->Entries.end(),
                                       [&](const auto& e) { return EntryKey(e, true) >= key; });
        page = next != image->Entries.end() ? EntryChild(*next) : image->Tail;
        if (page == 0) return false;
    }
    return false;
}

namespace {

// One node on the way from the root to a leaf.
struct PathStep {
    uint32_t Page = 0;
    IndexPageImage Image;
    std::vector<NodeChild> Children;
    std::size_t Child = 0;  // the child taken
};

// What a changed page means for its parent.
struct ChildChange {
    bool Removed = false;              // the page was emptied and unlinked
    std::optional<NodeChild> NewLeft;  // a page split off just before it
};

class TreeEditor {
  public:
    TreeEditor(PageStore& store, const JetTable& table, const JetRealIndex& index,
               ErrorState& error)
        : store_(store), table_(table), index_(index), error_(error) {}

    // Descends to the leaf that holds (or is to hold) `entry`, recording the nodes passed.
    bool FindLeaf(const std::string& entry) {
        uint32_t page = index_.FirstPage;
        for (std::size_t depth = 0;; ++depth) {
            auto image = Read(page);
            if (!image) return false;
            if (image->IsLeaf()) {
                leafPage_ = page;
                leaf_ = std::move(*image);
                return true;
            }
            if (depth >= kMaxDepth) return Fail("索引の階層が深すぎます");
            PathStep step{page, std::move(*image), {}, 0};
            step.Children = ChildrenOf(step.Image);
            if (step.Children.empty()) return Fail("索引の節に子ページがありません");
            step.Child = step.Children.size() - 1;
            for (std::size_t i = 0; i < step.Children.size(); ++i) {
                const auto& last = step.Children[i].Last;
                if (last && CompareEntries(*last, false, entry, false) >= 0) {
                    step.Child = i;
                    break;
                }
            }
            page = step.Children[step.Child].Page;
            path_.push_back(std::move(step));
        }
    }

    bool Insert(const std::string& entry) {
        if (!FindLeaf(entry)) return false;
        auto& entries = leaf_.Entries;
        const auto at = std::lower_bound(entries.begin(), entries.end(), entry,
                                         [](const std::string& a, const std::string& b) {
                                             return CompareEntries(a, false, b, false) < 0;
                                         });
        if (at != entries.end() && CompareEntries(*at, false, entry, false) == 0)
            return Fail("索引に同じ項目がすでにあります");
        entries.insert(at, entry);
        ChildChange change;
        if (!Store(leafPage_, leaf_, {}, path_.empty(), change)) return false;
        for (std::size_t level = path_.size(); level-- > 0;) {
            PathStep& step = path_[level];
            bool changed = false;
            // A new last entry of the whole subtree: the entry naming it moves up to it.
            auto& last = step.Children[step.Child].Last;
            if (last && CompareEntries(*last, false, entry, false) < 0) {
                last = entry;
                changed = true;
            }
            if (change.NewLeft) {
                step.Children.insert(step.Children.begin() + static_cast<long>(step.Child),
                                     *change.NewLeft);
                changed = true;
            }
            change = {};
            if (changed && !StoreNode(step, level == 0, change)) return false;
        }
        return true;
    }

    bool Remove(const std::string& entry) {
        if (!FindLeaf(entry)) return false;
        auto& entries = leaf_.Entries;
        const auto at = std::find(entries.begin(), entries.end(), entry);
        if (at == entries.end()) return Fail("索引に消す項目がありません");
        entries.erase(at);
        ChildChange change;
        if (entries.empty() && !path_.empty()) {
            if (!Unlink(leafPage_, leaf_)) return false;
            change.Removed = true;
        } else if (!Store(leafPage_, leaf_, {}, path_.empty(), change)) {
            return false;
        }
        for (std::size_t level = path_.size(); level-- > 0;) {
            PathStep& step = path_[level];
            bool changed = false;
            if (change.Removed) {
                step.Children.erase(step.Children.begin() + static_cast<long>(step.Child));
                changed = true;
            } else {
                auto& child = step.Children[step.Child];
                if (child.Last && *child.Last == entry) {
                    auto last = LastEntryBelow(child.Page);
                    if (!last) return false;
                    child.Last = std::move(*last);
                    changed = true;
                }
                if (change.NewLeft) {
                    step.Children.insert(step.Children.begin() + static_cast<long>(step.Child),
                                         *change.NewLeft);
                    changed = true;
                }
            }
            change = {};
            if (!changed) continue;
            if (step.Children.empty() && level > 0) {
                if (!Unlink(step.Page, step.Image)) return false;
                change.Removed = true;
            } else if (!StoreNode(step, level == 0, change)) {
                return false;
            }
        }
        return CollapseRoot();
    }

  private:
    std::optional<IndexPageImage> Read(uint32_t page) {
        std::string problem;
        auto image = ReadIndexPage(store_.Page(page), problem);
        if (!image) Fail("索引の " + PageText(page) + " が読めません: " + problem);
        return image;
    }

    bool Fail(const std::string& text) {
        error_.Set(JetError::EngineFailure, text);
        return false;
    }

    bool Write(uint32_t page, const IndexPageImage& image) {
        char* bytes = store_.MutablePage(page);
        if (!bytes) return Fail("索引の " + PageText(page) + " がファイルの外です");
        if (!WriteIndexPage(image, table_.DefinitionPage, bytes))
            return Fail("索引の項目が 1 ページに収まりません");
        return true;
    }

    // Changes the previous or next link of a neighbour on the same level.
    bool Relink(uint32_t page, std::size_t offset, uint32_t target) {
        if (page == 0) return true;
        char* bytes = store_.MutablePage(page);
        if (!bytes) return Fail("索引の " + PageText(page) + " がファイルの外です");
        Put32(bytes + offset, target);
        return true;
    }

    bool Unlink(uint32_t page, const IndexPageImage& image) {
        if (!Relink(image.Prev, 16, image.Next) || !Relink(image.Next, 12, image.Prev))
            return false;
        store_.ReleasePage(page, index_.UsageMap);
        return true;
    }

    bool StoreNode(PathStep& step, bool root, ChildChange& change) {
        IndexPageImage image = NodeImage(step.Children);
        if (root && step.Children.empty()) image = IndexPageImage{};
        return Store(step.Page, image, step.Children, root, change);
    }

    // Writes `image` (the node form of `children` for a node) on `page`, keeping its links.
    // A page too full splits: the left half goes to a new page, reported in `change`; the
    // root instead hands both halves to new pages and becomes their node.
    bool Store(uint32_t page, IndexPageImage image, const std::vector<NodeChild>& children,
               bool root, ChildChange& change) {
        const IndexPageImage* old = page == leafPage_ ? &leaf_ : nullptr;
        for (const auto& step : path_) {
            if (step.Page == page) old = &step.Image;
        }
        if (old) {
            image.Prev = old->Prev;
            image.Next = old->Next;
        }
        if (IndexPageBytes(image) <= kIndexEntryCapacity) return Write(page, image);
        auto halves = Halve(image, children);
        if (!halves) return Fail("索引の項目が 1 ページに収まりません");
        auto& [left, right, leftLast] = *halves;
        const uint32_t leftPage = store_.AllocatePage(index_.UsageMap, error_);
        if (leftPage == 0) return false;
        if (!root) {
            left.Prev = image.Prev;
            left.Next = page;
            right.Prev = leftPage;
            right.Next = image.Next;
            if (!Relink(image.Prev, 16, leftPage)) return false;
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

    // Splits an overfull page near the middle so that both halves fit.
    static std::optional<Halves> Halve(const IndexPageImage& image,
                                       const std::vector<NodeChild>& children) {
        const bool leaf = image.IsLeaf();
        const std::size_t count = leaf ? image.Entries.size() : children.size();
        if (count < 2) return std::nullopt;
        auto make = [&](std::size_t mid) {
            Halves h;
            if (leaf) {
                h.Left.Entries.assign(image.Entries.begin(),
                                      image.Entries.begin() + static_cast<long>(mid));
                h.Right.Entries.assign(image.Entries.begin() + static_cast<long>(mid),
                                       image.Entries.end());
                h.LeftLast = h.Left.Entries.back();
            } else {
                const auto split = children.begin() + static_cast<long>(mid);
                h.Left = NodeImage(std::vector<NodeChild>(children.begin(), split));
                h.Right = NodeImage(std::vector<NodeChild>(split, children.end()));
                h.LeftLast = children[mid - 1].Last.value_or(std::string{});
            }
            return h;
        };
        for (std::size_t step = 0; step < count; ++step) {
            // Try the middle first, then ever further out on either side.
            for (const std::size_t mid :
                 {count / 2 - std::min(count / 2, step), count / 2 + step}) {
                if (mid == 0 || mid >= count) continue;
                Halves h = make(mid);
                if (IndexPageBytes(h.Left) <= kIndexEntryCapacity &&
                    IndexPageBytes(h.Right) <= kIndexEntryCapacity)
                    return h;
            }
        }
        return std::nullopt;
    }

    std::optional<std::string> LastEntryBelow(uint32_t page) {
        for (std::size_t depth = 0; depth < kMaxDepth; ++depth) {
            auto image = Read(page);
            if (!image) return std::nullopt;
            if (image->IsLeaf()) {
                if (image->Entries.empty()) break;
                return image->Entries.back();
            }
            if (image->Tail != 0)
                page = image->Tail;
            else if (!image->Entries.empty())
                page = EntryChild(image->Entries.back());
            else
                break;
        }
        Fail("索引の " + PageText(page) + " の最後の項目が見つかりません");
        return std::nullopt;
    }

    // A root node with a single child takes over the child's entries and links nothing.
    bool CollapseRoot() {
        for (std::size_t depth = 0; depth < kMaxDepth; ++depth) {
            auto root = Read(index_.FirstPage);
            if (!root) return false;
            const auto children = root->IsLeaf() ? std::vector<NodeChild>{} : ChildrenOf(*root);
            if (children.size() != 1) return true;
            auto child = Read(children[0].Page);
            if (!child) return false;
            child->Prev = child->Next = 0;
            if (!Write(index_.FirstPage, *child)) return false;
            store_.ReleasePage(children[0].Page, index_.UsageMap);
        }
        return true;
    }

    PageStore& store_;
    const JetTable& table_;
    const JetRealIndex& index_;
    ErrorState& error_;
    std::vector<PathStep> path_;
    uint32_t leafPage_ = 0;
    IndexPageImage leaf_;
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
