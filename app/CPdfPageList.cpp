#include "app/CPdfPageList.h"

#include "CPdfException.h"

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

[[noreturn]] void Fail(const std::string& text) {
    throw CPdfException(text);
}
}  // namespace

CPdfMode CPdfPageList::ClassifyMode(const std::string& text) {
    if (text == "odd") return modeOdd;
    if (text == "even") return modeEven;
    if (text.size() >= 2 && text[0] == '-' && text[1] == 's') {
        return text.back() == 's' ? modeEveryN : modePageList;
    }
    return modeNone;
}

std::vector<SelectedPage> CPdfPageList::ParsePageList(const std::string& text, uint32_t pageCount) {
    std::vector<SelectedPage> selection;
    if (text.find_first_not_of("0123456789-,", 2) != std::string::npos) Fail("Invalid parameter");
    const std::string count = std::to_string(pageCount);
    size_t pos = 2;
    bool rangeOpen = false;
    PageNumber start;
    for (;;) {
        size_t sep = text.find_first_of("-,", pos);
        size_t end = sep == std::string::npos ? text.size() : sep;
        if (end == pos) Fail("Invalid parameter");
        PageNumber n = ReadNumber(text.substr(pos, end - pos));
        bool endsWithDash = sep != std::string::npos && text[sep] == '-';
        if (n.value == 0) Fail("Invalid page number 0");
        if (rangeOpen) {
            if (endsWithDash) Fail("Invalid parameter");
            if (n.value > pageCount) {
                Fail("Wrong page ranges, " + n.text + " greater than " + count + " pages in file");
            }
            if (start.value > n.value) {
                Fail("Wrong page ranges, start page " + start.text + " > end page " + n.text);
            }
            for (uint64_t p = start.value; p <= n.value; ++p) {
                selection.push_back({static_cast<uint32_t>(p), 0});
            }
            rangeOpen = false;
        } else if (endsWithDash) {
            rangeOpen = true;
            start = n;
        } else {
            if (n.value > pageCount) {
                Fail("Page number " + n.text + " greater than " + count + " pages in file");
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
    if (value == 0 || negative) throw CPdfException("Invalid page number");
    return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}
