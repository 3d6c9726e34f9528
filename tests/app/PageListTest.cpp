// The mode argument: which mode a text selects, which pages a list selects, and chunk sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "CPdfException.h"
#include "ParamName.h"
#include "app/CPdfPageList.h"

namespace {

TEST(PageList, ModeIsChosenByExactText) {
    const struct {
        const char* text;
        CPdfMode mode;
    } cases[] = {
        {"odd", modeOdd},
        {"even", modeEven},
        {"-s1,3,7-9", modePageList},
        {"-s1a", modePageList},
        {"-s10s", modeEveryN},
        {"-s", modeEveryN},
        {"-ss", modeEveryN},
        {"-s1,2s", modeEveryN},
        {"-s-", modePageList},
        {"Odd", modeNone},
        {"EVEN", modeNone},
        {"odd ", modeNone},
        {"oddx", modeNone},
        {"", modeNone},
        {"-", modeNone},
        {"-S1", modeNone},
        {"s1", modeNone},
        {"--s1", modeNone},
        {" -s1", modeNone},
        {"-g1-3,4", modeGroups},
        {"-g", modeGroups},
        {"-gs", modeGroups},
        {"maxsize=1M", modeMaxSize},
        {"maxsize=", modeMaxSize},
        {"MAXSIZE=1", modeNone},
        {"maxsize", modeNone},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CPdfPageList::ClassifyMode(c.text), c.mode) << '"' << c.text << '"';
    }
}

struct ListCase {
    const char* text;
    uint32_t pageCount;
    std::vector<uint32_t> pages;  // expected selection, when message is empty
    const char* message;
};

void PrintTo(const ListCase& c, std::ostream* os) {
    *os << c.text << " of " << c.pageCount;
}

std::string ListCaseName(const ::testing::TestParamInfo<ListCase>& info) {
    return ParamName(info.index, info.param.text);
}

// The selection, or the message of the exception.
std::string ParseOutcome(const std::string& text, uint32_t pageCount,
                         std::vector<uint32_t>& pages) {
    pages.clear();
    try {
        for (const SelectedPage& p : CPdfPageList::ParsePageList(text, pageCount)) {
            pages.push_back(p.pageNumber);
        }
    } catch (const CPdfException& e) {
        return e.GetMessage();
    }
    return "";
}

class PageListText : public ::testing::TestWithParam<ListCase> {};

TEST_P(PageListText, SelectsPagesOrFailsWithMessage) {
    const ListCase& c = GetParam();
    std::vector<uint32_t> pages;
    EXPECT_EQ(ParseOutcome(c.text, c.pageCount, pages), c.message) << c.text;
    EXPECT_EQ(pages, c.pages) << c.text;
    // The source's page tree is read up to the highest page the list names, or whole when
    // the list runs to the last page.
    const std::string text = c.text;
    const bool toLast = text.back() == '-' || text.find("-,") != std::string::npos;
    if (!pages.empty()) {
        EXPECT_EQ(CPdfPageList::HighestPage(text),
                  toLast ? 0u : *std::max_element(pages.begin(), pages.end()))
            << c.text;
    }
}

const ListCase kSelections[] = {
    {"-s3,1", 8, {3, 1}, ""},
    {"-s1-3,2", 8, {1, 2, 3, 2}, ""},
    {"-s5-5", 8, {5}, ""},
    {"-s8", 8, {8}, ""},
    {"-s008,01-02", 8, {8, 1, 2}, ""},
    {"-s1-8", 8, {1, 2, 3, 4, 5, 6, 7, 8}, ""},
    {"-s7-8,1,1", 8, {7, 8, 1, 1}, ""},
    {"-s4294967295", UINT32_MAX, {4294967295u}, ""},
    {"-s4294967294-4294967295", UINT32_MAX, {4294967294u, 4294967295u}, ""},
    // Open ranges run to the last page.
    {"-s5-", 8, {5, 6, 7, 8}, ""},
    {"-s8-", 8, {8}, ""},
    {"-s7-,1", 8, {7, 8, 1}, ""},
    {"-s2,07-,1-", 8, {2, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8}, ""},
    {"-s4294967295-", UINT32_MAX, {4294967295u}, ""},
    // Ranges written backwards run backwards.
    {"-s9-5", 9, {9, 8, 7, 6, 5}, ""},
    {"-s3-1,8-7", 8, {3, 2, 1, 8, 7}, ""},
    {"-s4294967295-4294967294", UINT32_MAX, {4294967295u, 4294967294u}, ""},
};
INSTANTIATE_TEST_SUITE_P(Selections, PageListText, ::testing::ValuesIn(kSelections), ListCaseName);

const ListCase kSyntaxErrors[] = {
    {"-s1,,2", 8, {}, "Invalid parameter"}, {"-s1,", 8, {}, "Invalid parameter"},
    {"-s,1", 8, {}, "Invalid parameter"},   {"-s,", 8, {}, "Invalid parameter"},
    {"-s", 8, {}, "Invalid parameter"},     {"-s1-3-5", 8, {}, "Invalid parameter"},
    {"-s1-,", 8, {}, "Invalid parameter"},  {"-s-1", 8, {}, "Invalid parameter"},
    {"-s1--2", 8, {}, "Invalid parameter"}, {"-s1a", 8, {}, "Invalid parameter"},
    {"-s1 ,2", 8, {}, "Invalid parameter"}, {"-s 1", 8, {}, "Invalid parameter"},
    {"-s+1", 8, {}, "Invalid parameter"},   {"-s9,x", 8, {}, "Invalid parameter"},
    {"-s1--", 8, {}, "Invalid parameter"},  {"-s1-3-", 8, {}, "Invalid parameter"},
    {"-s-", 8, {}, "Invalid parameter"},    {"-s1-,,", 8, {}, "Invalid parameter"},
};
INSTANTIATE_TEST_SUITE_P(SyntaxErrors, PageListText, ::testing::ValuesIn(kSyntaxErrors),
                         ListCaseName);

const ListCase kNumberErrors[] = {
    {"-s0", 8, {}, "Invalid page number 0"},
    {"-s0-4", 8, {}, "Invalid page number 0"},
    {"-s000", 8, {}, "Invalid page number 0"},
    {"-s2-0", 8, {}, "Invalid page number 0"},
    {"-s9", 8, {}, "Page number 9 greater than 8 pages in file"},
    {"-s1,2,09", 8, {}, "Page number 9 greater than 8 pages in file"},
    {"-s1", 0, {}, "Page number 1 greater than 0 pages in file"},
    {"-s7-9", 8, {}, "Wrong page ranges, 9 greater than 8 pages in file"},
    {"-s9-8", 8, {}, "Wrong page ranges, 9 greater than 8 pages in file"},
    {"-s09-008", 8, {}, "Wrong page ranges, 9 greater than 8 pages in file"},
    {"-s9-12", 8, {}, "Wrong page ranges, 12 greater than 8 pages in file"},
    {"-s0-", 8, {}, "Invalid page number 0"},
    {"-s9-", 8, {}, "Page number 9 greater than 8 pages in file"},
    {"-s1,009-", 8, {}, "Page number 9 greater than 8 pages in file"},
    {"-s1-", 0, {}, "Page number 1 greater than 0 pages in file"},
    {"-s4294967296-",
     UINT32_MAX,
     {},
     "Page number 4294967296 greater than 4294967295 pages in file"},
    // Numbers beyond 32 bits are not cut down to 32 bits.
    {"-s4294967296", 8, {}, "Page number 4294967296 greater than 8 pages in file"},
    {"-s4294967296",
     UINT32_MAX,
     {},
     "Page number 4294967296 greater than 4294967295 pages in file"},
    {"-s0004294967297", 8, {}, "Page number 4294967297 greater than 8 pages in file"},
    {"-s123456789012345678901234567890",
     8,
     {},
     "Page number 123456789012345678901234567890 greater than 8 pages in file"},
    {"-s1-4294967296", 8, {}, "Wrong page ranges, 4294967296 greater than 8 pages in file"},
    {"-s4294967296-5", 8, {}, "Wrong page ranges, 4294967296 greater than 8 pages in file"},
    {"-s99999999999999999999-5",
     8,
     {},
     "Wrong page ranges, 99999999999999999999 greater than 8 pages in file"},
};
INSTANTIATE_TEST_SUITE_P(NumberErrors, PageListText, ::testing::ValuesIn(kNumberErrors),
                         ListCaseName);

// The page list of --dry-run: runs of three or more pages up or down by one as ranges, and
// the text reads back as the same pages.
TEST(PageList, FormattedListsReadBackAsTheSamePages) {
    const struct {
        std::vector<uint32_t> pages;
        const char* text;
    } cases[] = {
        {{12, 13, 14, 15}, "12-15"},
        {{1, 3, 5}, "1,3,5"},
        {{9, 8, 7, 6, 5, 2}, "9-5,2"},
        {{1, 2}, "1,2"},
        {{4}, "4"},
        {{1, 2, 3, 2, 1}, "1-3,2,1"},
        {{5, 5, 5}, "5,5,5"},
        {{3, 4, 5, 4, 3}, "3-5,4,3"},
        {{7, 8, 9, 1, 2, 3}, "7-9,1-3"},
        {{}, ""},
    };
    for (const auto& c : cases) {
        CPdfSelection selection;
        for (uint32_t p : c.pages) selection.push_back({p});
        EXPECT_EQ(CPdfPageList::Format(selection), c.text);
        if (c.pages.empty()) continue;
        std::vector<uint32_t> back;
        EXPECT_EQ(ParseOutcome(std::string("-s") + c.text, 20, back), "");
        EXPECT_EQ(back, c.pages) << c.text;
    }
}

TEST(PageList, MaxSizeIsBytesOrKMG) {
    const struct {
        const char* text;
        uint64_t bytes;  // 0: malformed
    } cases[] = {
        {"maxsize=1000", 1000},
        {"maxsize=10K", 10240},
        {"maxsize=10k", 10240},
        {"maxsize=3M", 3u << 20},
        {"maxsize=2G", uint64_t(2) << 30},
        {"maxsize=0", 0},
        {"maxsize=0K", 0},
        {"maxsize=", 0},
        {"maxsize=K", 0},
        {"maxsize=10KB", 0},
        {"maxsize=1.5M", 0},
        {"maxsize=-1", 0},
        {"maxsize= 1", 0},
        {"maxsize=10T", 0},
        {"maxsize=99999999999999999999", 0},
        {"maxsize=9999999999G", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(CPdfPageList::ReadMaxSize(c.text), c.bytes) << c.text;
}

TEST(PageList, ChunkSizeIsADecimalNumberUpToTheFinalS) {
    const struct {
        const char* text;
        uint32_t size;  // 0: rejected with "Invalid page number"
    } cases[] = {
        {"-s10s", 10},
        {"-s1s", 1},
        {"-s007s", 7},
        {"-s 7s", 7},
        {"-s\t\n7s", 7},
        {"-s+5s", 5},
        {"-s4294967295s", 4294967295u},
        {"-s4294967296s", 4294967295u},
        {"-s99999999999999999999999s", 4294967295u},
        {"-s", 0},
        {"-ss", 0},
        {"-s0s", 0},
        {"-s000s", 0},
        {"-s-5s", 0},
        {"-s-0s", 0},
        {"-s+s", 0},
        {"-s s", 0},
        {"-sx5s", 0},
        {"-s1,2s", 0},
        {"-s1,3s", 0},
        {"-s3-4s", 0},
        {"-s3xs", 0},
        {"-s7 s", 0},
        {"-s10ss", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.size == 0) {
            try {
                CPdfPageList::ReadChunkSize(c.text);
                ADD_FAILURE() << "no exception";
            } catch (const CPdfException& e) {
                EXPECT_STREQ(e.GetMessage(), "Invalid page number");
            }
        } else {
            EXPECT_EQ(CPdfPageList::ReadChunkSize(c.text), c.size);
        }
    }
}

}  // namespace
