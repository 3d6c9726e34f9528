#include "app/CPdfPageList.h"

#include <algorithm>

#include "CPdfException.h"
#include "CPdfMessages.h"

namespace {
const char kMaxSizePrefix[] = "maxsize=";

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

// Pages first to last, going down when first is the larger.
void AddPages(CPdfSelection& selection, uint64_t first, uint64_t last) {
    // A long range takes the room it needs at once (a list of a long document's pages is held
    // whole; growing it step by step would hold it one and a half times over).
    const uint64_t length = (first <= last ? last - first : first - last) + 1;
    const size_t needed = selection.size() + static_cast<size_t>(length);
    if (needed > selection.capacity()) {
        selection.reserve(std::max(needed, selection.capacity() * 2));
    }
    if (first <= last) {
        for (uint64_t p = first; p <= last; ++p) selection.push_back({static_cast<uint32_t>(p)});
    } else {
        for (uint64_t p = first; p >= last; --p) selection.push_back({static_cast<uint32_t>(p)});
    }
}

// The list's items as they are read; checked against pageCount unless check is false.
class ItemReader {
public:
    ItemReader(const std::string& listText, uint32_t pages, bool checkPages)
        : text(listText), pageCount(pages), check(checkPages), count(std::to_string(pages)) {}

    // Reads every item, calling add(first, last) for each (last 0: to the last page).
    template <typename Add>
    void Read(Add add) {
        if (text.find_first_not_of("0123456789-,", 2) != std::string::npos) {
            Fail(CPdfMessages::kInvalidParameter);
        }
        size_t pos = 2;
        bool rangeOpen = false;
        PageNumber start;
        for (;;) {
            const size_t sep = text.find_first_of("-,", pos);
            const size_t end = sep == std::string::npos ? text.size() : sep;
            if (end == pos && rangeOpen && (sep == std::string::npos || text[sep] == ',')) {
                CheckSingle(start);
                add(start.value, 0);
                rangeOpen = false;
            } else {
                if (end == pos) Fail(CPdfMessages::kInvalidParameter);
                const PageNumber n = ReadNumber(text.substr(pos, end - pos));
                const bool endsWithDash = sep != std::string::npos && text[sep] == '-';
                if (n.value == 0) Fail(CPdfMessages::kPageZero);
                if (rangeOpen) {
                    if (endsWithDash) Fail(CPdfMessages::kInvalidParameter);
                    CheckRange(start, n);
                    add(start.value, n.value);
                    rangeOpen = false;
                } else if (endsWithDash) {
                    rangeOpen = true;
                    start = n;
                } else {
                    CheckSingle(n);
                    add(n.value, n.value);
                }
            }
            if (sep == std::string::npos) break;
            pos = sep + 1;
        }
    }

private:
    void CheckSingle(const PageNumber& n) const {
        if (check && n.value > pageCount) {
            CPdfException::Throw(CPdfMessages::kPageBeyondEnd, n.text.c_str(), count.c_str());
        }
    }
    void CheckRange(const PageNumber& start, const PageNumber& end) const {
        const PageNumber& high = start.value > end.value ? start : end;
        if (check && high.value > pageCount) {
            CPdfException::Throw(CPdfMessages::kRangeBeyondEnd, high.text.c_str(), count.c_str());
        }
    }

    const std::string& text;
    uint32_t pageCount;
    bool check;
    std::string count;
};
}  // namespace

CPdfMode CPdfPageList::ClassifyMode(const std::string& text) {
    if (text == "odd") return modeOdd;
    if (text == "even") return modeEven;
    if (text == "bookmarks") return modeBookmarks;
    if (text.rfind(kMaxSizePrefix, 0) == 0) return modeMaxSize;
    if (text.size() >= 2 && text[0] == '-' && text[1] == 'g') return modeGroups;
    if (text.size() >= 2 && text[0] == '-' && text[1] == 's') {
        return text.back() == 's' ? modeEveryN : modePageList;
    }
    return modeNone;
}

CPdfSelection CPdfPageList::ParsePageList(const std::string& text, uint32_t pageCount) {
    CPdfSelection selection;
    selection.reserve(
        std::min<size_t>(static_cast<size_t>(std::count(text.begin(), text.end(), ',')) + 1,
                         std::max<uint32_t>(pageCount, 1)));
    ItemReader(text, pageCount, true).Read([&](uint64_t first, uint64_t last) {
        AddPages(selection, first, last == 0 ? pageCount : last);
    });
    return selection;
}

std::vector<CPdfSelection> CPdfPageList::ParseItems(const std::string& text, uint32_t pageCount) {
    std::vector<CPdfSelection> items;
    ItemReader(text, pageCount, true).Read([&](uint64_t first, uint64_t last) {
        items.emplace_back();
        AddPages(items.back(), first, last == 0 ? pageCount : last);
    });
    return items;
}

std::string CPdfPageList::SyntaxError(const std::string& text) {
    try {
        ItemReader(text, 0, false).Read([](uint64_t, uint64_t) {});
    } catch (const CPdfException& e) {
        return e.GetMessage();
    }
    return std::string();
}

uint32_t CPdfPageList::HighestPage(const std::string& text) {
    uint64_t highest = 0;
    bool toLast = false;
    try {
        ItemReader(text, 0, false).Read([&](uint64_t first, uint64_t last) {
            toLast = toLast || last == 0;
            highest = std::max({highest, first, last});
        });
    } catch (const CPdfException&) {
        return 0;
    }
    return toLast || highest > UINT32_MAX ? 0 : static_cast<uint32_t>(highest);
}

std::string CPdfPageList::Format(const CPdfSelection& pages) {
    std::string text;
    for (size_t i = 0; i < pages.size();) {
        // The run from i on that steps by +1 or by -1.
        size_t j = i + 1;
        if (j < pages.size()) {
            const int64_t step = static_cast<int64_t>(pages[j].pageNumber) -
                                 static_cast<int64_t>(pages[i].pageNumber);
            if (step == 1 || step == -1) {
                while (j < pages.size() && static_cast<int64_t>(pages[j].pageNumber) -
                                                   static_cast<int64_t>(pages[j - 1].pageNumber) ==
                                               step) {
                    ++j;
                }
            }
        }
        if (!text.empty()) text += ',';
        if (j - i >= 3) {
            text +=
                std::to_string(pages[i].pageNumber) + "-" + std::to_string(pages[j - 1].pageNumber);
            i = j;
        } else {
            text += std::to_string(pages[i].pageNumber);
            ++i;
        }
    }
    return text;
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

uint64_t CPdfPageList::ReadMaxSize(const std::string& modeText) {
    const uint64_t kLimit = uint64_t(1) << 62;
    size_t i = sizeof kMaxSizePrefix - 1;
    uint64_t value = 0;
    const size_t digitsFrom = i;
    for (; i < modeText.size() && modeText[i] >= '0' && modeText[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint64_t>(modeText[i] - '0');
        if (value > kLimit) return 0;
    }
    if (i == digitsFrom) return 0;
    if (i + 1 == modeText.size()) {
        const char unit = static_cast<char>(modeText[i] | 0x20);
        const int shift = unit == 'k' ? 10 : unit == 'm' ? 20 : unit == 'g' ? 30 : -1;
        if (shift < 0 || value > (kLimit >> shift)) return 0;
        value <<= shift;
    } else if (i != modeText.size()) {
        return 0;
    }
    return value;
}
