#pragma once

// e2e: files, the outside checkers (qpdf, mutool) and page rendering for the end-to-end and
// corpus tests; commands run through Command.h, temporary folders are TempDir.h's.
//
// Rendering: pages are drawn with "mutool draw -r 18 -F pnm" and compared byte for byte. A
// page whose drawing reports an error is marked as failed instead of being compared.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Command.h"
#include "FileBytes.h"
#include "Qpdf.h"
#include "TempDir.h"

namespace e2e {

// ---------------------------------------------------------------------------------------
// Files

inline bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline bool Exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

// First line of a text, for short failure reports.
inline std::string FirstLine(const std::string& text) {
    const size_t start = text.find_first_not_of("\r\n");
    if (start == std::string::npos) return "";
    return text.substr(start, text.find_first_of("\r\n", start) - start);
}

// Names of the files that "-s<size>s" makes from a document of `pages` pages with `prefix`.
inline std::vector<std::string> ChunkNames(const std::string& prefix, int pages, int size) {
    std::vector<std::string> names;
    for (int first = 1; first <= pages; first += size) {
        char text[32];
        if (size == 1) {
            std::snprintf(text, sizeof text, "%06d.pdf", first);
        } else {
            std::snprintf(text, sizeof text, "%06d-%06d.pdf", first,
                          std::min(first + size - 1, pages));
        }
        names.push_back(prefix + text);
    }
    return names;
}

// ---------------------------------------------------------------------------------------
// mutool

// Whether mutool is installed: "mutool -v" succeeds (asked once).
inline bool HaveMutool() {
    static const bool have = RunCommand({"mutool", "-v"}, kToolTimeout).Exited(0);
    return have;
}

// ---------------------------------------------------------------------------------------
// pdfinfo (Poppler), a third reader beside qpdf and mutool

inline bool HavePdfinfo() {
    static const bool have = RunCommand({"pdfinfo", "-v"}, kToolTimeout).Exited(0);
    return have;
}

// Whether pdfinfo opens `pdf` (its syntax warnings allowed): true when pdfinfo is missing.
inline bool OpensInPdfinfo(const std::string& pdf) {
    return !HavePdfinfo() || RunCommand({"pdfinfo", pdf}, kToolTimeout).Exited(0);
}

// ---------------------------------------------------------------------------------------
// Rendering
//
// mutool keeps glyphs between the pages of one run, and a page can come out slightly different
// depending on what was drawn before it. So source and output pages are drawn in one run each,
// in the same order, and only the last drawing of a page that is drawn twice is compared.

// mutool page list text, order kept: "1-3,7,5".
inline std::string PageRanges(const std::vector<int>& pages) {
    std::string text;
    for (size_t i = 0; i < pages.size();) {
        size_t j = i;
        while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1) ++j;
        if (!text.empty()) text += ",";
        text += std::to_string(pages[i]);
        if (j > i) text += "-" + std::to_string(pages[j]);
        i = j + 1;
    }
    return text;
}

inline bool IsErrorLine(const std::string& line) {
    return line.rfind("error", 0) == 0;
}

inline std::string ErrorLine(const Outcome& run) {
    std::istringstream lines(run.err);
    for (std::string line; std::getline(lines, line);) {
        if (IsErrorLine(line)) return line;
    }
    return run.Exited(0) ? "" : "mutool " + run.Status();
}

// Pages as one mutool run draws them at 18 dpi, by page number, and the pages whose drawing
// reports an error (found by drawing each page alone when the run reports one), with the
// first error line.
struct PageImages {
    std::map<int, std::string> images;
    std::map<int, std::string> errors;
};

inline PageImages RenderPages(const std::string& pdf, const std::vector<int>& pages,
                              const std::string& dir, const std::string& tag) {
    PageImages result;
    if (pages.empty()) return result;
    const std::string pattern = dir + "/" + tag + "-%d.pnm";
    auto draw = [&](const std::string& list) {
        return RunCommand(
            {"mutool", "draw", "-q", "-r", "18", "-F", "pnm", "-o", pattern, pdf, list},
            kToolTimeout);
    };
    const Outcome all = draw(PageRanges(pages));
    const std::set<int> unique(pages.begin(), pages.end());
    for (int page : unique) {
        const std::string image = dir + "/" + tag + "-" + std::to_string(page) + ".pnm";
        std::string bytes = ReadFile(image);
        if (!bytes.empty()) result.images[page] = std::move(bytes);
        std::error_code ignored;
        std::filesystem::remove(image, ignored);
    }
    if (ErrorLine(all).empty()) return result;
    for (int page : unique) {
        const Outcome one = draw(std::to_string(page));
        const std::string error = ErrorLine(one);
        if (!error.empty()) result.errors[page] = error;
        std::error_code ignored;
        std::filesystem::remove(dir + "/" + tag + "-" + std::to_string(page) + ".pnm", ignored);
    }
    if (result.errors.empty())
        result.errors[pages.front()] = ErrorLine(all) + " (in the whole run)";
    return result;
}

// The drawings of sources' page lists, each list of a source drawn once however many outputs
// are compared with it (a run draws a list exactly as another run of the same list does).
class SourceDrawings {
public:
    const PageImages& Of(const std::string& source, const std::vector<int>& pages,
                         const std::string& dir) {
        auto key = std::make_pair(source, pages);
        auto it = drawn_.find(key);
        if (it == drawn_.end()) {
            it = drawn_.emplace(std::move(key), RenderPages(source, pages, dir, "source")).first;
        }
        return it->second;
    }

private:
    std::map<std::pair<std::string, std::vector<int>>, PageImages> drawn_;
};

// Compares page i+1 of `output` with page sourcePages[i] of `source`, pixel for pixel. Source
// pages that draw with an error are skipped. Returns one line per difference, also for output
// pages that draw alike but with an error. The source's drawings are taken from `drawings`
// when given.
inline std::vector<std::string> CompareRendering(const std::string& source,
                                                 const std::vector<int>& sourcePages,
                                                 const std::string& output, const std::string& dir,
                                                 SourceDrawings* drawings = nullptr) {
    std::vector<std::string> problems;
    std::vector<int> outputPages;
    for (size_t i = 0; i < sourcePages.size(); ++i) outputPages.push_back(static_cast<int>(i + 1));
    SourceDrawings once;
    const PageImages& from = (drawings ? *drawings : once).Of(source, sourcePages, dir);
    const PageImages to = RenderPages(output, outputPages, dir, "output");
    for (size_t i = 0; i < sourcePages.size(); ++i) {
        const int page = static_cast<int>(i + 1);
        const int sourcePage = sourcePages[i];
        const bool drawnAgain = std::find(sourcePages.begin() + static_cast<long>(i) + 1,
                                          sourcePages.end(), sourcePage) != sourcePages.end();
        auto image = from.images.find(sourcePage);
        if (drawnAgain || from.errors.count(sourcePage) || image == from.images.end()) continue;

        const std::string where = "output page " + std::to_string(page) + " (source page " +
                                  std::to_string(sourcePage) + ")";
        auto drawn = to.images.find(page);
        if (drawn == to.images.end()) {
            auto error = to.errors.find(page);
            problems.push_back(where + " does not draw" +
                               (error == to.errors.end() ? "" : ": " + error->second));
        } else if (drawn->second != image->second) {
            problems.push_back(where + " draws differently");
        } else if (to.errors.count(page)) {
            problems.push_back(where + " draws alike but mutool reports " + to.errors.at(page));
        }
    }
    return problems;
}

// ---------------------------------------------------------------------------------------
// Ghostscript, which draws some damage differently from mutool.

inline bool HaveGhostscript() {
    static const bool have = RunCommand({"gs", "--version"}, kToolTimeout).Exited(0);
    return have;
}

// The pages of `files` (each file with its pages, in increasing order) as one Ghostscript run
// draws them at 18 dpi, one file after the other: the images in the order drawn. A page that
// does not draw leaves no image, so the list is shorter than the pages asked for.
inline std::vector<std::string> DrawWithGhostscript(
    const std::vector<std::pair<std::string, std::vector<int>>>& files, const std::string& dir,
    const std::string& tag) {
    std::vector<std::string> args = {"gs",      "-q",   "-dNOPAUSE",      "-dBATCH",
                                     "-dSAFER", "-r18", "-sDEVICE=ppmraw"};
    args.push_back("-sOutputFile=" + dir + "/" + tag + "-%d.ppm");
    size_t asked = 0;
    for (const auto& [pdf, pages] : files) {
        std::string list;
        for (int page : pages) list += (list.empty() ? "" : ",") + std::to_string(page);
        args.push_back("-sPageList=" + list);
        args.push_back(pdf);
        asked += pages.size();
    }
    RunCommand(args, kToolTimeout);
    std::vector<std::string> images;
    for (size_t i = 1; i <= asked; ++i) {
        const std::string image = dir + "/" + tag + "-" + std::to_string(i) + ".ppm";
        std::string bytes = ReadFile(image);
        if (!bytes.empty()) images.push_back(std::move(bytes));
        std::error_code ignored;
        std::filesystem::remove(image, ignored);
    }
    return images;
}

// Pages (in increasing order) as one Ghostscript run draws them, by page number; none where it
// cannot draw the file.
inline std::map<int, std::string> RenderPagesWithGhostscript(const std::string& pdf,
                                                             const std::vector<int>& pages,
                                                             const std::string& dir,
                                                             const std::string& tag) {
    std::map<int, std::string> images;
    std::vector<std::string> drawn = DrawWithGhostscript({{pdf, pages}}, dir, tag);
    if (drawn.empty()) return images;
    if (drawn.size() != pages.size()) {
        // Some page did not draw: each page alone says which.
        for (int page : pages) {
            std::vector<std::string> one = DrawWithGhostscript({{pdf, {page}}}, dir, tag);
            if (!one.empty()) images[page] = std::move(one.front());
        }
        return images;
    }
    for (size_t i = 0; i < pages.size(); ++i) images[pages[i]] = std::move(drawn[i]);
    return images;
}

// One comparison: page i+1 of `output` against page sourcePages[i] (increasing) of `source`.
struct PagesToCompare {
    std::string source;
    std::vector<int> sourcePages;
    std::string output;
};

// One line per difference between the drawings of a comparison's pages: source pages that did
// not draw are skipped.
inline std::vector<std::string> GhostscriptDifferences(const std::vector<int>& sourcePages,
                                                       const std::map<int, std::string>& from,
                                                       const std::map<int, std::string>& to) {
    std::vector<std::string> problems;
    for (size_t i = 0; i < sourcePages.size(); ++i) {
        auto image = from.find(sourcePages[i]);
        if (image == from.end()) continue;
        auto drawn = to.find(static_cast<int>(i + 1));
        const std::string where = "output page " + std::to_string(i + 1) + " (source page " +
                                  std::to_string(sourcePages[i]) + ")";
        if (drawn == to.end()) {
            problems.push_back(where + " does not draw in Ghostscript");
        } else if (drawn->second != image->second) {
            problems.push_back(where + " draws differently in Ghostscript");
        }
    }
    return problems;
}

// The differences of each comparison as Ghostscript draws the pages, in the order given.
//
// Most of a Ghostscript run is its start-up, so every file of every comparison is drawn in one
// run, each source before its output. Only where that run does not give an image for every page
// asked for is each file drawn in a run of its own, which shows what did not draw. Ghostscript
// reads each file afresh: an output page whose font or image was lost draws without it, also
// right after its source page.
inline std::vector<std::vector<std::string>> CompareManyWithGhostscript(
    const std::vector<PagesToCompare>& comparisons, const std::string& dir) {
    std::vector<std::pair<std::string, std::vector<int>>> files;
    for (const PagesToCompare& c : comparisons) {
        std::vector<int> outputPages;
        for (size_t i = 0; i < c.sourcePages.size(); ++i) {
            outputPages.push_back(static_cast<int>(i + 1));
        }
        files.emplace_back(c.source, c.sourcePages);
        files.emplace_back(c.output, std::move(outputPages));
    }
    size_t asked = 0;
    for (const auto& file : files) asked += file.second.size();
    std::vector<std::string> drawn = DrawWithGhostscript(files, dir, "gs-all");

    std::vector<std::vector<std::string>> problems;
    size_t next = 0;
    for (size_t k = 0; k < comparisons.size(); ++k) {
        const std::vector<int>& sourcePages = comparisons[k].sourcePages;
        std::map<int, std::string> from;
        std::map<int, std::string> to;
        if (drawn.size() == asked) {
            for (int page : sourcePages) from[page] = std::move(drawn[next++]);
            for (size_t i = 0; i < sourcePages.size(); ++i) {
                to[static_cast<int>(i + 1)] = std::move(drawn[next++]);
            }
        } else {
            from = RenderPagesWithGhostscript(comparisons[k].source, sourcePages, dir, "gs-source");
            if (!from.empty()) {
                to = RenderPagesWithGhostscript(comparisons[k].output, files[2 * k + 1].second, dir,
                                                "gs-output");
            }
        }
        problems.push_back(GhostscriptDifferences(sourcePages, from, to));
    }
    return problems;
}

}  // namespace e2e
