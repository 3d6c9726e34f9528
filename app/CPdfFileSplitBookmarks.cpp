// The bookmarks mode: one output per outline item down to the depth asked for (--level=,
// first level only by default) that opens a page, in page order. An output runs from its
// item's page to the page before the next item's page; the pages before the first item go
// into the first output, and items that open the same page share one output, named after
// the deepest of them (the first of those in outline order).
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <unordered_map>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "app/CPdfFileSplit.h"
#include "document/CPdfCatalog.h"
#include "document/CPdfOutline.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfTextString.h"

std::string CPdfFileSplit::TitleOf(int32_t item) const {
    // Without the key the strings of an encrypted source stay encrypted: its titles cannot be
    // read. With it, the table decrypts them.
    if (keepNumbers) return std::string();
    const CPdfOutline& outline = assembler->Outline();
    CPdfObject dict = FetchObject(outline.items[static_cast<size_t>(item)].number);
    if (dict.kind != kindDictionary) return std::string();
    CPdfObject title = dict.dictValue->GetResolved("Title");
    if (title.kind != kindString) return std::string();
    return CPdfTextString::ToUtf8(title.stringValue.Bytes());
}

void CPdfFileSplit::SplitBookmarks(const std::string& prefix) {
    if (!prepared) PrepareRun();
    const CPdfOutline& outline = assembler->Outline();
    if (!outline.IsPresent() || outline.top.empty()) {
        throw CPdfException(CPdfMessages::kNoBookmarks);
    }
    const CPdfCatalog& cat = *document.catalog;
    std::unordered_map<int32_t, uint64_t> pageNumber;  // page object: its first page number
    for (size_t p = 0; p < cat.pages.size(); ++p) {
        pageNumber.emplace(cat.pages[p].objectNumber, p + 1);
    }
    struct Start {
        uint64_t page;
        uint64_t item;   // 1-based among the items down to the level, in outline order
        uint32_t depth;  // 1 on the first level
        int32_t index;   // in outline.items
    };
    std::vector<Start> starts;
    // The items down to the level in outline order: depth first, each item before its own.
    struct Visit {
        int32_t index;
        uint32_t depth;
    };
    std::vector<Visit> work;
    for (auto k = outline.top.rbegin(); k != outline.top.rend(); ++k) work.push_back({*k, 1});
    uint64_t number = 0;
    while (!work.empty()) {
        const Visit visit = work.back();
        work.pop_back();
        const CPdfOutlineItem& item = outline.items[static_cast<size_t>(visit.index)];
        ++number;
        auto found = pageNumber.find(item.page);
        if (found != pageNumber.end()) {
            starts.push_back({found->second, number, visit.depth, visit.index});
        }
        if (visit.depth >= bookmarkLevel) continue;
        for (auto kid = item.kids.rbegin(); kid != item.kids.rend(); ++kid) {
            work.push_back({*kid, visit.depth + 1});
        }
    }
    if (starts.empty()) throw CPdfException(CPdfMessages::kNoBookmarkOpensAPage);
    // By page; on one page the deepest item names the file, the first of them in outline order.
    std::stable_sort(starts.begin(), starts.end(), [](const Start& a, const Start& b) {
        return a.page != b.page ? a.page < b.page : a.depth > b.depth;
    });
    starts.erase(std::unique(starts.begin(), starts.end(),
                             [](const Start& a, const Start& b) { return a.page == b.page; }),
                 starts.end());
    const uint64_t count = cat.pages.size();
    progress.Plan(count, starts.size());
    for (size_t k = 0; k < starts.size(); ++k) {
        const uint64_t first = k == 0 ? 1 : starts[k].page;
        const uint64_t last = k + 1 < starts.size() ? starts[k + 1].page - 1 : count;
        const std::string title = TitleOf(starts[k].index);
        Deliver(BookmarkFileName(prefix, starts[k].item, title), PageRange(first, last), title);
    }
}
