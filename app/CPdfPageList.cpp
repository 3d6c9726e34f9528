#include "app/CPdfPageList.h"

#include <algorithm>

#include "CPdfException.h"
#include "CPdfMessages.h"

namespace {
// A page number as typed: its value (saturated beyond 32 bits) and, for the messages, its
// decimal text without leading zeros.
struct PageNumber {
    uint64_t value = 0;
    std::string text;
};

PageNumber ReadNumber(const std::string& digits) {
    PageNumber n;
    for (char c : digits) {
        if (n.value <= UINT32_MAX) n.value = n.value * 10 + static_cast<uint64_t>(c - '0');
        if (!n.text.empty() || c != '0') n.text.push_back(c);
    }
    if (n.text.empty()) n.text = "0";
    return n;
}

[[noreturn]] void Fail(const char* text) {
    throw CPdfException(text);
}

void AddPages(std::vector<SelectedPage>& selection, uint64_t first, uint64_t last) {
    // A long range takes the room it needs at once (a list of a long document's pages is held
    // whole; growing it step by step would hold it one and a half times over).
    const size_t needed = selection.size() + static_cast<size_t>(last - first + 1);
    if (needed > selection.capacity()) {
        selection.reserve(std::max(needed, selection.capacity() * 2));
    }
    for (uint64_t p = first; p <= last; ++p) selection.push_back({static_cast<uint32_t>(p), 0});
}

// "start-end", checked against the page count (count is its text).
void AddRange(std::vector<SelectedPage>& selection, const PageNumber& start, const PageNumber& end,
              uint32_t pageCount, const std::string& count) {
    if (end.value > pageCount) {
        CPdfException::Throw(CPdfMessages::kRangeBeyondEnd, end.text.c_str(), count.c_str());
    }
    if (start.value > end.value) {
        CPdfException::Throw(CPdfMessages::kRangeBackwards, start.text.c_str(), end.text.c_str());
    }
    AddPages(selection, start.value, end.value);
}

// "start-": page start to the last page.
void AddOpenRange(std::vector<SelectedPage>& selection, const PageNumber& start, uint32_t pageCount,
                  const std::string& count) {
    if (start.value > pageCount) {
        CPdfException::Throw(CPdfMessages::kPageBeyondEnd, start.text.c_str(), count.c_str());
    }
    AddPages(selection, start.value, pageCount);
}
}  // namespace

CPdfMode CPdfPageList::ClassifyMode(const std::string& text) {
    if (text == "odd") return modeOdd;
    if (text == "even") return modeEven;
    if (text == "bookmarks") return modeBookmarks;
    if (text.size() >= 2 && text[0] == '-' && text[1] == 's') {
        return text.back() == 's' ? modeEveryN : modePageList;
    }
    return modeNone;
}

std::vector<SelectedPage> CPdfPageList::ParsePageList(const std::string& text, uint32_t pageCount) {
    std::vector<SelectedPage> selection;
    if (text.find_first_not_of("0123456789-,", 2) != std::string::npos)
        Fail(CPdfMessages::kInvalidParameter);
    selection.reserve(
        std::min<size_t>(static_cast<size_t>(std::count(text.begin(), text.end(), ',')) + 1,
                         std::max<uint32_t>(pageCount, 1)));
    const std::string count = std::to_string(pageCount);
    size_t pos = 2;
    bool rangeOpen = false;
    PageNumber start;
    for (;;) {
        size_t sep = text.find_first_of("-,", pos);
        size_t end = sep == std::string::npos ? text.size() : sep;
        if (end == pos && rangeOpen && (sep == std::string::npos || text[sep] == ',')) {
            AddOpenRange(selection, start, pageCount, count);
            rangeOpen = false;
            if (sep == std::string::npos) break;
            pos = sep + 1;
            continue;
        }
        if (end == pos) Fail(CPdfMessages::kInvalidParameter);
        PageNumber n = ReadNumber(text.substr(pos, end - pos));
        bool endsWithDash = sep != std::string::npos && text[sep] == '-';
        if (n.value == 0) Fail(CPdfMessages::kPageZero);
        if (rangeOpen) {
            if (endsWithDash) Fail(CPdfMessages::kInvalidParameter);
            AddRange(selection, start, n, pageCount, count);
            rangeOpen = false;
        } else if (endsWithDash) {
            rangeOpen = true;
            start = n;
        } else {
            if (n.value > pageCount) {
                CPdfException::Throw(CPdfMessages::kPageBeyondEnd, n.text.c_str(), count.c_str());
            }
            selection.push_back({static_cast<uint32_t>(n.value), 0});
        }
        if (sep == std::string::npos) break;
        pos = sep + 1;
    }
    return selection;
}

uint32_t CPdfPageList::ReadChunkSize(const std::string& modeText) {
    size_t i = 2;
    while (i < modeText.size() &&
           (modeText[i] == ' ' || (modeText[i] >= '\t' && modeText[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < modeText.size() && (modeText[i] == '-' || modeText[i] == '+')) {
        negative = modeText[i] == '-';
        ++i;
    }
    uint64_t value = 0;
    for (; i < modeText.size() && modeText[i] >= '0' && modeText[i] <= '9'; ++i) {
        if (value <= UINT32_MAX) value = value * 10 + static_cast<uint64_t>(modeText[i] - '0');
    }
    // The number must reach the final "s": "-s1,3s" and "-s3xs" are not sizes.
    bool whole = i + 1 == modeText.size() && modeText[i] == 's';
    if (value == 0 || negative || !whole) throw CPdfException(CPdfMessages::kInvalidChunkSize);
    return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}
