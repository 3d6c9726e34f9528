// The mode loop: every mode turns into page selections, one per output, and each is handed
// to Deliver under the name the mode gives it (or the output name template's).
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "CPdfException.h"
#include "app/CPdfFileSplit.h"
#include "app/CPdfNameTemplate.h"
#include "document/CPdfCatalog.h"

namespace {
// Writes all of text to standard output. Throws "Output file write error".
void PrintLine(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        throw CPdfException("Output file write error");
    }
}
}  // namespace

std::string CPdfFileSplit::FormatSixDigits(uint64_t number) {
    char text[24];
    std::snprintf(text, sizeof text, "%06llu", static_cast<unsigned long long>(number));
    return text;
}

std::string CPdfFileSplit::ChunkFileName(const std::string& prefix, uint64_t first, uint64_t size,
                                         uint64_t pageCount) {
    if (size == 1) return prefix + FormatSixDigits(first) + ".pdf";
    uint64_t last = pageCount - first < size ? pageCount : first + size - 1;
    return prefix + FormatSixDigits(first) + "-" + FormatSixDigits(last) + ".pdf";
}

std::string CPdfFileSplit::RangeFileName(const std::string& prefix, uint64_t first, uint64_t last) {
    if (first == last) return prefix + FormatSixDigits(first) + ".pdf";
    return prefix + FormatSixDigits(first) + "-" + FormatSixDigits(last) + ".pdf";
}

CPdfSelection CPdfFileSplit::PageRange(uint64_t first, uint64_t last) {
    CPdfSelection pages;
    const uint64_t step = first <= last ? 1 : static_cast<uint64_t>(-1);
    pages.reserve(static_cast<size_t>((first <= last ? last - first : first - last) + 1));
    for (uint64_t p = first;; p += step) {
        pages.push_back({static_cast<uint32_t>(p), 0});
        if (p == last) break;
    }
    return pages;
}

void CPdfFileSplit::SplitByMode() {
    switch (mode) {
        case modePageList:
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
            throw CPdfException("Wrong program parameteres");
    }
}

void CPdfFileSplit::SplitEveryN(const std::string& prefix) {
    uint64_t n = CPdfPageList::ReadChunkSize(modeText);
    uint64_t count = document.catalog->GetPageCount();
    if (count == 0) throw CPdfException("No files output");
    progress.Plan(count, (count - 1) / n + 1);
    for (uint64_t first = 1; first <= count; first += n) {
        uint64_t last = count - first < n ? count : first + n - 1;
        Deliver(ChunkFileName(prefix, first, n, count), PageRange(first, last));
    }
}

void CPdfFileSplit::SplitOdd(const std::string& fileName) {
    uint64_t count = document.catalog->GetPageCount();
    if (count == 0) throw CPdfException("Page number 1 greater than 0 pages in file");
    CPdfSelection pages;
    pages.reserve(static_cast<size_t>((count + 1) / 2));
    for (uint64_t p = 1; p <= count; p += 2) pages.push_back({static_cast<uint32_t>(p), 0});
    Deliver(fileName, pages);
}

void CPdfFileSplit::SplitEven(const std::string& fileName) {
    uint64_t count = document.catalog->GetPageCount();
    if (count <= 1) throw CPdfException("No files output");
    CPdfSelection pages;
    pages.reserve(static_cast<size_t>(count / 2));
    for (uint64_t p = 2; p <= count; p += 2) pages.push_back({static_cast<uint32_t>(p), 0});
    Deliver(fileName, pages);
}

void CPdfFileSplit::SplitGroups(const std::string& prefix) {
    const uint64_t count = document.catalog->GetPageCount();
    std::vector<CPdfSelection> items =
        CPdfPageList::ParseItems(modeText, static_cast<uint32_t>(count));
    progress.Plan(count, items.size());
    for (const CPdfSelection& pages : items) {
        Deliver(RangeFileName(prefix, pages.front().pageNumber, pages.back().pageNumber), pages);
    }
}

void CPdfFileSplit::SplitMaxSize(const std::string& prefix) {
    const uint64_t count = document.catalog->GetPageCount();
    if (count == 0) throw CPdfException("No files output");
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

uint64_t CPdfFileSplit::PagesThatFit(uint64_t first, uint64_t guess, int64_t& size) {
    // The largest n with size(n) <= maxSize, searched between lo (fits, or 0) and hi (does
    // not fit, or one past the last page): the first try is the guess, the next ones are
    // placed where the sizes measured so far say the limit lies (the size of an output grows
    // about in proportion to its pages), and bisection takes over when that does not close
    // in. Each try writes one output whose bytes are only counted, so a file costs a few
    // writes of itself instead of one per page.
    const uint64_t count = document.catalog->GetPageCount();
    const auto limit = static_cast<int64_t>(std::min<uint64_t>(maxSize, INT64_MAX));
    uint64_t lo = 0, hi = count - first + 2;
    int64_t loSize = 0, hiSize = -1;
    uint64_t n = std::max<uint64_t>(1, std::min(guess, hi - 1));
    for (int tries = 0; hi - lo > 1; ++tries) {
        const int64_t measured =
            WriteOutputFile(std::string(), PageRange(first, first + n - 1), true);
        if (measured <= limit) {
            lo = n;
            loSize = measured;
        } else {
            hi = n;
            hiSize = measured;
        }
        if (hi - lo <= 1) break;
        if (tries >= 3) {
            n = lo + (hi - lo) / 2;
            continue;
        }
        // Proportional from the sizes known: between the two ends, or onward from lo.
        double estimate = 0;
        if (lo > 0 && hiSize >= 0) {
            estimate = static_cast<double>(lo) + static_cast<double>(hi - lo) *
                                                     static_cast<double>(limit - loSize) /
                                                     static_cast<double>(hiSize - loSize);
        } else if (lo > 0) {
            estimate = static_cast<double>(lo) * static_cast<double>(limit) /
                       static_cast<double>(std::max<int64_t>(loSize, 1));
        } else {
            estimate = static_cast<double>(hi) * static_cast<double>(limit) /
                       static_cast<double>(std::max<int64_t>(hiSize, 1));
        }
        const double low = static_cast<double>(lo + 1), high = static_cast<double>(hi - 1);
        n = static_cast<uint64_t>(std::min(std::max(estimate, low), high));
    }
    if (lo == 0) {
        // Not even the first page fits: it goes alone.
        size = hiSize;
        return 1;
    }
    size = loSize;
    return lo;
}

void CPdfFileSplit::Deliver(const std::string& usual, const CPdfSelection& pages,
                            const std::string& title) {
    ++filesDelivered;
    std::string name = usual;
    if (!CPdfCommandLine::IsStandardStream(outputName) &&
        CPdfNameTemplate::IsTemplate(outputName)) {
        CPdfNameTemplate::Fields fields;
        fields.file = filesDelivered;
        fields.first = pages.empty() ? 0 : pages.front().pageNumber;
        fields.last = pages.empty() ? 0 : pages.back().pageNumber;
        fields.title = FileNameTitle(title);
        name = CPdfNameTemplate::Expand(outputName, fields);
    }
    if (dryRun) {
        PrintLine(name + "\t" + CPdfPageList::Format(pages) + "\n");
        return;
    }
    WriteOutputFile(name, pages);
    progress.FileWritten(name, pages.size());
}

std::string CPdfFileSplit::ReadPasswordFile() const {
    std::string line;
    if (CPdfCommandLine::IsStandardStream(passwordFile)) {
        if (!std::getline(std::cin, line) && line.empty() && !std::cin.eof()) {
            throw CPdfException("Password file read error");
        }
    } else {
        std::ifstream in(passwordFile, std::ios::binary);
        if (!in) throw CPdfException("Password file read error");
        std::getline(in, line);
        if (in.bad()) throw CPdfException("Password file read error");
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}
