// The mode loop: every mode turns into page selections, one per output, and each is handed
// to Deliver under the name the mode gives it (or the output name template's).
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <unordered_set>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "app/CPdfFileSplit.h"
#include "app/CPdfNameTemplate.h"
#include "document/CPdfCatalog.h"

void CPdfFileSplit::SplitByMode() {
    switch (mode) {
        case modePageList:
            // The document's parts are read before the list is checked, as for every output.
            if (!prepared) PrepareRun();
            Deliver(outputName,
                    CPdfPageList::ParsePageList(
                        modeText, static_cast<uint32_t>(document.catalog->GetPageCount())));
            break;
        case modeEveryN:
            SplitEveryN(outputName);
            break;
        case modeOdd:
            SplitOdd(outputName);
            break;
        case modeEven:
            SplitEven(outputName);
            break;
        case modeBookmarks:
            SplitBookmarks(outputName);
            break;
        case modeGroups:
            SplitGroups(outputName);
            break;
        case modeMaxSize:
            SplitMaxSize(outputName);
            break;
        default:
            throw CPdfException(CPdfMessages::kWrongParameters)
                .Detail("unknown MODE \"" + modeText + "\"");
    }
}

void CPdfFileSplit::SplitEveryN(const std::string& prefix) {
    uint64_t n = CPdfPageList::ReadChunkSize(modeText);
    uint64_t count = document.catalog->GetPageCount();
    if (count == 0) throw CPdfException(CPdfMessages::kNoFilesOutput);
    progress.Plan(count, (count - 1) / n + 1);
    for (uint64_t first = 1; first <= count; first += n) {
        uint64_t last = count - first < n ? count : first + n - 1;
        Deliver(ChunkFileName(prefix, first, n, count), PageRange(first, last));
    }
}

void CPdfFileSplit::SplitOdd(const std::string& fileName) {
    if (!prepared) PrepareRun();
    uint64_t count = document.catalog->GetPageCount();
    if (count == 0) CPdfException::Throw(CPdfMessages::kPageBeyondEnd, "1", "0");
    CPdfSelection pages;
    pages.reserve(static_cast<size_t>((count + 1) / 2));
    for (uint64_t p = 1; p <= count; p += 2) pages.push_back({static_cast<uint32_t>(p)});
    Deliver(fileName, std::move(pages));
}

void CPdfFileSplit::SplitEven(const std::string& fileName) {
    uint64_t count = document.catalog->GetPageCount();
    if (count <= 1) throw CPdfException(CPdfMessages::kNoFilesOutput);
    CPdfSelection pages;
    pages.reserve(static_cast<size_t>(count / 2));
    for (uint64_t p = 2; p <= count; p += 2) pages.push_back({static_cast<uint32_t>(p)});
    Deliver(fileName, std::move(pages));
}

void CPdfFileSplit::SplitGroups(const std::string& prefix) {
    const uint64_t count = document.catalog->GetPageCount();
    std::vector<CPdfSelection> items =
        CPdfPageList::ParseItems(modeText, static_cast<uint32_t>(count));
    // Items may name the same pages: one file must not replace another.
    std::vector<std::string> usual;
    usual.reserve(items.size());
    std::unordered_set<std::string> seen;
    for (const CPdfSelection& pages : items) {
        usual.push_back(RangeFileName(prefix, pages.front().pageNumber, pages.back().pageNumber));
        const std::string name = NameFor(usual.back(), pages, std::string(), usual.size());
        if (!seen.insert(name).second) {
            CPdfException::Throw(CPdfMessages::kDuplicateFileName, name.c_str());
        }
    }
    progress.Plan(count, items.size());
    for (size_t k = 0; k < items.size(); ++k) Deliver(usual[k], std::move(items[k]));
}

void CPdfFileSplit::SplitMaxSize(const std::string& prefix) {
    const uint64_t count = document.catalog->GetPageCount();
    if (count == 0) throw CPdfException(CPdfMessages::kNoFilesOutput);
    progress.Plan(count, count);
    uint64_t guess = 0;  // the pages of the output before: where the next search starts
    for (uint64_t first = 1; first <= count;) {
        int64_t size = 0;
        const uint64_t pages = PagesThatFit(first, guess, size);
        const uint64_t last = first + pages - 1;
        if (static_cast<uint64_t>(size) > maxSize) {
            progress.Clear();
            std::string warning =
                "Page " + std::to_string(first) + " alone takes " + std::to_string(size) +
                " bytes, more than maxsize=" + std::to_string(maxSize) + "; it is written alone\n";
            std::fputs(warning.c_str(), stderr);
            std::fflush(stderr);
        }
        Deliver(RangeFileName(prefix, first, last), PageRange(first, last));
        guess = pages;
        first = last + 1;
    }
}

namespace {
// One measured output: its page count and size in bytes.
struct Measured {
    uint64_t pages = 0;
    int64_t size = 0;
};

// The page count at which the line through a and b reaches limit (a.pages != b.pages); through
// the origin and a when the line does not rise.
double PagesAtLimit(const Measured& a, const Measured& b, int64_t limit) {
    if (b.size != a.size && (b.size - a.size > 0) == (b.pages > a.pages)) {
        return static_cast<double>(a.pages) +
               static_cast<double>(limit - a.size) *
                   (static_cast<double>(b.pages) - static_cast<double>(a.pages)) /
                   static_cast<double>(b.size - a.size);
    }
    return static_cast<double>(a.pages) * static_cast<double>(limit) /
           static_cast<double>(std::max<int64_t>(a.size, 1));
}
}  // namespace

uint64_t CPdfFileSplit::PagesThatFit(uint64_t first, uint64_t guess, int64_t& size) {
    // The largest n with size(n) <= maxSize, between lo (fits, or 0) and hi (does not fit,
    // or one past the last page). Each try writes one output whose bytes are only counted.
    // The first try is the guess (the page count of the file before); the next ones go where
    // the line through the two measurements that bound the limit (or the last two) reaches
    // it, as an output grows about linearly with its pages. So a file usually costs two or
    // three tries: where the limit is, and the page after it. Safeguards keep the worst case
    // logarithmic: steps upward double after two short ones, and a bounded interval that
    // does not halve is bisected.
    const uint64_t count = document.catalog->GetPageCount();
    const auto limit = static_cast<int64_t>(std::min<uint64_t>(maxSize, INT64_MAX));
    Measured lo, hi{count - first + 2, -1}, older, last;
    uint64_t n = std::max<uint64_t>(1, std::min(guess, hi.pages - 1));
    int tries = 0, slow = 0;
    uint64_t width = hi.pages - lo.pages, creep = 0;
    while (hi.pages - lo.pages > 1) {
        older = last;
        last = {n, WriteOutputFile(std::string(), PageRange(first, first + n - 1), true)};
        ++tries;
        // Steps of one page upward in a row: the estimates lag behind, so steps then double.
        creep = last.size <= limit && n == lo.pages + 1 ? creep + 1 : 0;
        (last.size <= limit ? lo : hi) = last;
        if (hi.pages - lo.pages <= 1) break;
        const bool bounded = lo.pages > 0 && hi.size >= 0;
        slow = bounded && (hi.pages - lo.pages) * 2 > width ? slow + 1 : 0;
        width = hi.pages - lo.pages;
        double estimate = 0;
        if (bounded && slow >= 2) {
            const uint64_t middle = lo.pages + (hi.pages - lo.pages) / 2;
            estimate = static_cast<double>(middle);
        } else if (bounded) {
            estimate = PagesAtLimit(lo, hi, limit);
        } else {
            estimate = PagesAtLimit(tries >= 2 ? older : last, last, limit);
        }
        if (creep >= 2) {
            estimate = std::max(
                estimate,
                static_cast<double>(lo.pages + (uint64_t(1) << std::min<uint64_t>(creep, 40))));
        }
        const double low = static_cast<double>(lo.pages + 1);
        const double high = static_cast<double>(hi.pages - 1);
        n = static_cast<uint64_t>(std::min(std::max(estimate, low), high));
    }
    if (lo.pages == 0) {
        // Not even the first page fits: it goes alone.
        size = hi.size;
        return 1;
    }
    size = lo.size;
    return lo.pages;
}

std::string CPdfFileSplit::ReadPasswordFile() const {
    std::string line;
    const bool standard = CPdfCommandLine::IsStandardStream(passwordFile);
    // The password file, not the source, is what failed.
    auto fail = [&](int error) {
        return CPdfException(CPdfMessages::kPasswordFileReadError)
            .Detail(CPdfException::SystemDetail("cannot read the password from",
                                                standard ? "standard input" : passwordFile, error));
    };
    if (standard) {
        if (!std::getline(std::cin, line) && line.empty() && !std::cin.eof()) throw fail(EIO);
    } else {
        std::ifstream in(passwordFile, std::ios::binary);
        if (!in) throw fail(errno);
        std::getline(in, line);
        if (in.bad()) throw fail(errno);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}
