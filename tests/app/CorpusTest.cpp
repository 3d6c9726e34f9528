// The program on the real-PDF corpus (shared/corpus beside the repository): every readable file
// can be cut, clean files give outputs that qpdf accepts and that draw exactly like their source
// pages, and damaged or encrypted files end with one message or a usable output, never a crash.
//
// Files are checked by two worker threads; each failing file gets one failure with its reasons
// once all files are done. Skipped when the corpus folder is absent.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CorpusDir.h"
#include "E2eTools.h"

namespace {

using e2e::Outcome;

const std::string kCorpus = CorpusDir();

// One manifest row, by column name.
using Row = std::map<std::string, std::string>;

std::map<std::string, Row> LoadManifest() {
    std::map<std::string, Row> rows;
    std::ifstream in(kCorpus + "/manifest.tsv");
    std::string line;
    std::vector<std::string> columns;
    auto split = [](const std::string& text) {
        std::vector<std::string> fields;
        std::string field;
        std::istringstream cells(text);
        while (std::getline(cells, field, '\t')) fields.push_back(field);
        return fields;
    };
    if (std::getline(in, line)) columns = split(line);
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = split(line);
        Row row;
        for (size_t i = 0; i < fields.size() && i < columns.size(); ++i) {
            row[columns[i]] = fields[i];
        }
        if (!fields.empty()) rows[fields[0]] = std::move(row);
    }
    return rows;
}

std::vector<std::string> LoadList(const std::string& name) {
    std::vector<std::string> paths;
    std::ifstream in(kCorpus + "/" + name);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '#') paths.push_back(line);
    }
    return paths;
}

std::string Field(const Row& row, const std::string& column) {
    auto it = row.find(column);
    return it == row.end() ? "" : it->second;
}

// Calls work(0) .. work(count - 1) from two threads (BRANTOR_E2E_JOBS overrides the count).
void ForEachIndex(size_t count, const std::function<void(size_t)>& work) {
    std::atomic<size_t> next{0};
    const char* jobsText = std::getenv("BRANTOR_E2E_JOBS");
    const int jobs = std::max(1, jobsText ? std::atoi(jobsText) : 2);
    std::vector<std::thread> workers;
    for (int j = 0; j < jobs; ++j) {
        workers.emplace_back([&] {
            for (size_t i; (i = next++) < count;) work(i);
        });
    }
    for (std::thread& t : workers) t.join();
}

// The result of `check` for every file, in list order.
std::vector<std::string> ForEachFile(const std::vector<std::string>& files,
                                     const std::function<std::string(const std::string&)>& check) {
    std::vector<std::string> results(files.size());
    ForEachIndex(files.size(), [&](size_t i) { results[i] = check(files[i]); });
    return results;
}

// BRANTOR_E2E_NO_RENDER=1 leaves the page drawings of the readable files out, and pdfinfo
// (CI's sanitizer pass: the release pass draws and opens the same outputs).
bool RendersWanted() {
    const char* off = std::getenv("BRANTOR_E2E_NO_RENDER");
    return off == nullptr || std::string(off).empty() || std::string(off) == "0";
}

// What differs between the source's pages and the output's, as CompareRendering says; nothing
// when renders are left out.
std::vector<std::string> DrawnDifferently(const std::string& in, const std::vector<int>& pages,
                                          const std::string& out, const std::string& work,
                                          e2e::SourceDrawings& drawings) {
    if (!RendersWanted()) return {};
    return e2e::CompareRendering(in, pages, out, work, &drawings);
}

Outcome Brantor(const std::string& in, const std::string& out, const std::string& mode,
                const std::string& option = "") {
    std::vector<std::string> args = {BRANTOR_BINARY, in, out, mode};
    if (!option.empty()) args.push_back(option);
    return e2e::RunCommand(args, e2e::kProgramTimeout);
}

// Why a run is not a clean success or a clean one-message failure, or "".
std::string Misbehaviour(const std::string& mode, const Outcome& run) {
    if (!run.Exited(0) && !run.Exited(1)) {
        return mode + ": " + run.Status() + " " + e2e::FirstLine(run.err);
    }
    // A failure says what, where and why on one line of standard error; a success says nothing.
    const bool detailLine =
        run.err.rfind("brantor: ", 0) == 0 && run.err.find('\n') == run.err.size() - 1;
    if (run.Exited(0) ? !run.err.empty() : !detailLine) {
        return mode + ": wrote to stderr: " + e2e::FirstLine(run.err);
    }
    if (run.Exited(0) && !run.out.empty()) return mode + ": succeeded but printed " + run.out;
    if (run.Exited(1) && run.out.empty()) return mode + ": failed without a message";
    if (run.out.find_first_of("\r\n") != std::string::npos) {
        return mode + ": message is not one line: " + run.out;
    }
    return "";
}

class Corpus : public ::testing::Test {
protected:
    void SetUp() override {
        start = std::chrono::steady_clock::now();
        if (!e2e::Exists(kCorpus + "/manifest.tsv")) {
            GTEST_SKIP() << CorpusMissing(kCorpus);
        }
        if (!e2e::HaveQpdf() || !e2e::HaveMutool()) {
            GTEST_SKIP() << "qpdf and mutool are needed (apt-get install qpdf mupdf-tools)";
        }
        manifest = LoadManifest();
    }
    void TearDown() override {
        if (IsSkipped()) return;
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count();
        std::printf("[ corpus   ] %zu files in %lld s\n", checked, static_cast<long long>(seconds));
    }
    // Read only (the workers share it).
    const Row& RowOf(const std::string& path) const {
        static const Row none;
        auto it = manifest.find(path);
        return it == manifest.end() ? none : it->second;
    }
    int PagesOf(const std::string& path) const {
        return std::atoi(Field(RowOf(path), "pages").c_str());
    }

    std::map<std::string, Row> manifest;
    std::chrono::steady_clock::time_point start;
    size_t checked = 0;
};

// -----------------------------------------------------------------------------------------
// Every readable file: page 1 and the last page can be cut out and draw as in the source (where
// mutool draws the source page without errors), and the program counts the pages qpdf counts
// (files where qpdf counts none only have to end cleanly).

// Files that are known to fail, with the message they fail with (tests/e2e/expected-failures.txt).
std::map<std::string, std::string> LoadExpectedFailures() {
    std::map<std::string, std::string> expected;
    std::ifstream in(std::string(BRANTOR_E2E_DIR) + "/expected-failures.txt");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const size_t tab = line.find('\t');
        if (tab != std::string::npos) expected[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return expected;
}

// "" when the file passes, else the message of the failing run or what went wrong; option is
// given to every run. With object streams, the copy of every page must also pass qpdf. The
// source's pages are drawn once for all the runs of a file (`drawings`).
std::string CheckReadableFile(const std::string& path, int pages, const std::string& option,
                              e2e::SourceDrawings& drawings) {
    TempDir dir("valid");
    if (!dir.ok()) return "cannot make a temporary folder";
    const std::string in = kCorpus + "/" + path;
    const std::string out = dir / "out.pdf";

    const Outcome first = Brantor(in, out, "-s1", option);
    if (std::string bad = Misbehaviour("-s1", first); !bad.empty()) return bad;
    if (first.Exited(1) && !dir.Names().empty()) {
        return "-s1 failed but left a file behind";
    }
    // Where qpdf finds no pages, either outcome will do.
    if (pages <= 0) return "";
    if (first.Exited(1)) return first.out;
    const int outputPages = e2e::QpdfPageCount(out);
    if (outputPages != 1) return "-s1 output has " + std::to_string(outputPages) + " pages";
    // The pages cut draw as the source's pages do, where mutool draws those without errors.
    const std::string work = dir / "render";
    std::filesystem::create_directory(work);
    if (const auto drawn = DrawnDifferently(in, {1}, out, work, drawings); !drawn.empty()) {
        return "-s1: " + drawn.front();
    }
    std::filesystem::remove(out);

    const std::string all = "-s" + std::to_string(pages);
    const Outcome whole = Brantor(in, out, all, option);
    if (std::string bad = Misbehaviour(all, whole); !bad.empty()) return bad;
    if (whole.Exited(1)) return whole.out;
    if (!option.empty()) {
        const e2e::QpdfCheck check = e2e::CheckWithQpdf(out);
        if (!check.Passed()) return all + " " + option + ": qpdf --check " + check.Problem();
        // Left out with the drawings: the pass that draws opens the same outputs.
        if (RendersWanted() && !e2e::OpensInPdfinfo(out)) {
            return all + " " + option + ": pdfinfo fails";
        }
    }
    if (const auto drawn = DrawnDifferently(in, {pages}, out, work, drawings); !drawn.empty()) {
        return all + ": " + drawn.front();
    }
    dir.Clear();

    const std::string beyond = "-s" + std::to_string(pages + 1);
    const Outcome past = Brantor(in, out, beyond, option);
    if (std::string bad = Misbehaviour(beyond, past); !bad.empty()) return bad;
    if (past.Exited(0)) return beyond + " succeeded: more pages than qpdf counts";
    const std::string expected = "Page number " + std::to_string(pages + 1) + " greater than " +
                                 std::to_string(pages) + " pages in file";
    if (past.out != expected) return beyond + ": " + past.out;
    if (!dir.Names().empty()) return beyond + " failed but left a file behind";
    return "";
}

TEST_F(Corpus, ValidFilesOpenWithQpdfPageCount) {
    const std::vector<std::string> files = LoadList("valid.txt");
    ASSERT_FALSE(files.empty());
    // Each file twice, the second time with every object that may be in an object stream
    // packed into one: the same outcome, and outputs that qpdf reads.
    const std::string generate = "--object-streams=generate";
    std::vector<std::string> results(files.size());
    std::vector<std::string> packed(files.size());
    ForEachIndex(files.size(), [&](size_t i) {
        e2e::SourceDrawings drawings;
        results[i] = CheckReadableFile(files[i], PagesOf(files[i]), "", drawings);
        packed[i] = CheckReadableFile(files[i], PagesOf(files[i]), generate, drawings);
    });
    checked = files.size();
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(packed[i], results[i]) << files[i] << " with " << generate;
    }

    std::map<std::string, std::string> expected = LoadExpectedFailures();
    size_t failing = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string& result = results[i];
        auto listed = expected.find(files[i]);
        if (!result.empty()) ++failing;
        if (listed == expected.end()) {
            EXPECT_TRUE(result.empty()) << files[i] << ": " << result;
            continue;
        }
        EXPECT_NE(result, "") << files[i]
                              << " is listed in tests/e2e/expected-failures.txt but now passes: "
                                 "remove it from the list";
        if (!result.empty()) {
            EXPECT_EQ(result, listed->second) << files[i] << " fails differently than listed";
        }
        expected.erase(listed);
    }
    for (const auto& stale : expected) {
        ADD_FAILURE() << stale.first
                      << " is listed in tests/e2e/expected-failures.txt but is not a file of "
                         "valid.txt";
    }
    std::printf("[ corpus   ] %zu of %zu files fail as listed\n", failing, files.size());
    if (!RendersWanted()) std::printf("[ corpus   ] pages not drawn (BRANTOR_E2E_NO_RENDER)\n");
}

// -----------------------------------------------------------------------------------------
// Clean files: a few pages, the odd pages and a three-way chunk split; every output passes
// qpdf, has the right pages, and the cut pages draw like the source pages; pdfinfo opens the
// odd pages.

struct StrictReport {
    std::vector<std::string> problems;
    std::vector<std::string> warnings;  // qpdf warnings on outputs
    // The copy of pages kept to be drawn in Ghostscript (CompareKeptCopies), and its mode.
    std::optional<e2e::PagesToCompare> kept;
    std::string keptMode;
};

// Checks one output: qpdf accepts it and counts `pages` pages.
void CheckOutput(const std::string& what, const std::string& pdf, int pages, StrictReport& report) {
    const e2e::QpdfCheck check = e2e::CheckWithQpdf(pdf);
    if (!check.Passed()) {
        report.problems.push_back(what + ": qpdf --check " + check.run.Status() + ": " +
                                  check.Problem());
    } else if (check.HasWarnings()) {
        report.warnings.push_back(what + ": " + check.Problem());
    }
    if (check.Passed() && check.pages != pages) {
        report.problems.push_back(what + ": " + std::to_string(check.pages) + " pages instead of " +
                                  std::to_string(pages));
    }
}

// Runs one mode into its own folder; false when the run failed (the reason is reported).
bool RunMode(const std::string& in, const std::string& out, const std::string& mode,
             StrictReport& report) {
    const Outcome run = Brantor(in, out, mode);
    std::string bad = Misbehaviour(mode, run);
    if (bad.empty() && run.Exited(1)) bad = mode + ": " + run.out;
    if (!bad.empty()) report.problems.push_back(bad);
    return bad.empty();
}

void RenderCheck(const std::string& what, const std::string& source,
                 const std::vector<int>& sourcePages, const std::string& output,
                 const std::string& work, StrictReport& report) {
    for (const std::string& problem : e2e::CompareRendering(source, sourcePages, output, work)) {
        report.problems.push_back(what + ": " + problem);
    }
}

// `keep`: where the copy for Ghostscript goes, outside the file's own folder.
StrictReport CheckStrictFile(const std::string& path, int pages, const std::string& keep) {
    StrictReport report;
    TempDir dir("strict");
    if (!dir.ok()) {
        report.problems.push_back("cannot make a temporary folder");
        return report;
    }
    const std::string in = kCorpus + "/" + path;
    const std::string work = dir / "render";
    std::filesystem::create_directory(work);

    // A few pages, last page first.
    {
        const std::string out = dir / "few.pdf";
        const std::vector<int> selection =
            pages == 1 ? std::vector<int>{1} : std::vector<int>{pages, 1};
        const std::string mode = pages == 1 ? "-s1" : "-s" + std::to_string(pages) + ",1";
        if (RunMode(in, out, mode, report)) {
            CheckOutput(mode, out, static_cast<int>(selection.size()), report);
            RenderCheck(mode, in, selection, out, work, report);
        }
    }
    // Ghostscript draws some damage differently from mutool: a copy of every page (of the
    // first, middle and last page of a longer file) draws as the source does. The copy is
    // kept and drawn later, with other files' copies.
    if (e2e::HaveGhostscript()) {
        std::vector<int> drawn;
        for (int p = 1; p <= pages; ++p) {
            if (pages <= 50 || p == 1 || p == (pages + 1) / 2 || p == pages) drawn.push_back(p);
        }
        std::string mode = "-s";
        for (int p : drawn) mode += (p == 1 ? "" : ",") + std::to_string(p);
        if (RunMode(in, keep, mode, report)) {
            report.kept = e2e::PagesToCompare{in, drawn, keep};
            report.keptMode = mode;
        }
    }
    // Odd pages.
    {
        const std::string out = dir / "odd.pdf";
        if (RunMode(in, out, "odd", report)) {
            CheckOutput("odd", out, (pages + 1) / 2, report);
            if (!e2e::OpensInPdfinfo(out)) report.problems.push_back("odd: pdfinfo fails");
        }
    }
    // Three chunks (or fewer for short documents).
    {
        const int size = std::max(1, (pages + 2) / 3);
        const std::string mode = "-s" + std::to_string(size) + "s";
        const std::string chunks = dir / "chunks";
        std::filesystem::create_directory(chunks);
        if (RunMode(in, chunks + "/part", mode, report)) {
            const std::vector<std::string> names = e2e::ChunkNames("part", pages, size);
            const std::vector<std::string> found = ListDir(chunks);
            if (found != names) {
                std::string listing;
                for (const std::string& name : found) listing += " " + name;
                report.problems.push_back(mode + ": files made:" + listing);
            } else {
                for (size_t i = 0; i < names.size(); ++i) {
                    const int first = static_cast<int>(i) * size + 1;
                    const int length = std::min(size, pages - first + 1);
                    CheckOutput(mode + " " + names[i], chunks + "/" + names[i], length, report);
                }
                std::vector<int> firstChunk;
                for (int p = 1; p <= std::min(size, pages); ++p) firstChunk.push_back(p);
                RenderCheck(mode + " " + names[0], in, firstChunk, chunks + "/" + names[0], work,
                            report);
            }
        }
    }
    return report;
}

// Draws the kept copies in Ghostscript, the copies of several files to a run (its start-up is
// most of a short run), and adds the differences to the files' reports.
void CompareKeptCopies(std::vector<StrictReport>& reports) {
    constexpr size_t kImagesPerRun = 60;
    std::vector<std::vector<size_t>> runs;
    size_t images = kImagesPerRun;
    for (size_t i = 0; i < reports.size(); ++i) {
        if (!reports[i].kept) continue;
        if (images >= kImagesPerRun) {
            runs.emplace_back();
            images = 0;
        }
        runs.back().push_back(i);
        images += 2 * reports[i].kept->sourcePages.size();
    }
    ForEachIndex(runs.size(), [&](size_t r) {
        TempDir work("gs");
        std::vector<e2e::PagesToCompare> comparisons;
        for (size_t i : runs[r]) comparisons.push_back(*reports[i].kept);
        const auto differences = e2e::CompareManyWithGhostscript(comparisons, work.path());
        for (size_t k = 0; k < runs[r].size(); ++k) {
            StrictReport& report = reports[runs[r][k]];
            for (const std::string& problem : differences[k]) {
                report.problems.push_back(report.keptMode + ": " + problem);
            }
            std::error_code ignored;
            std::filesystem::remove(report.kept->output, ignored);
        }
    });
}

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "\n  " + line;
    return text;
}

TEST_F(Corpus, StrictFilesSplitCleanly) {
    // Files that cannot be cut at all are checked by ValidFilesOpenWithQpdfPageCount.
    const std::map<std::string, std::string> expectedFailures = LoadExpectedFailures();
    std::vector<std::string> files;
    for (const std::string& path : LoadList("strict.txt")) {
        if (Field(RowOf(path), "encrypted") == "n" && PagesOf(path) > 0 &&
            !expectedFailures.count(path)) {
            files.push_back(path);
        }
    }
    ASSERT_FALSE(files.empty());
    std::vector<StrictReport> reports(files.size());
    TempDir kept("strict-kept");
    ASSERT_TRUE(kept.ok());
    ForEachIndex(files.size(), [&](size_t i) {
        reports[i] =
            CheckStrictFile(files[i], PagesOf(files[i]), kept / (std::to_string(i) + ".pdf"));
    });
    CompareKeptCopies(reports);
    checked = files.size();

    size_t failing = 0;
    size_t warned = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!reports[i].problems.empty()) {
            ++failing;
            ADD_FAILURE() << files[i] << Join(reports[i].problems);
        }
        if (!reports[i].warnings.empty()) {
            ++warned;
            std::printf("[ warning  ] %s%s\n", files[i].c_str(), Join(reports[i].warnings).c_str());
        }
    }
    std::printf("[ corpus   ] %zu files: %zu failing, %zu with qpdf warnings on an output\n",
                files.size(), failing, warned);
}

// -----------------------------------------------------------------------------------------
// Damaged and encrypted files: each run ends with one message or a usable output.

// The names a chunk run may leave: part000001-000002.pdf, part000003-000004.pdf ... in
// sequence from the first page.
bool ChunkFilesInSequence(const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
        const int first = static_cast<int>(i) * 2 + 1;
        char expected[48];
        std::snprintf(expected, sizeof expected, "part%06d-%06d.pdf", first, first + 1);
        char last[48];
        std::snprintf(last, sizeof last, "part%06d-%06d.pdf", first, first);
        if (names[i] != expected && !(i + 1 == names.size() && names[i] == last)) return false;
    }
    return true;
}

bool LooksComplete(const std::string& pdf) {
    const std::string bytes = e2e::ReadFile(pdf);
    return bytes.rfind("%PDF-", 0) == 0 &&
           bytes.find("%%EOF", bytes.size() > 32 ? bytes.size() - 32 : 0) != std::string::npos;
}

std::string CheckDamagedFile(const std::string& path, const std::string& encryption,
                             std::atomic<int>& successes) {
    TempDir dir("broken");
    if (!dir.ok()) return "cannot make a temporary folder";
    const std::string in = kCorpus + "/" + path;
    const bool encrypted = encryption.rfind("y", 0) == 0;
    std::vector<std::string> problems;
    for (const std::string mode : {"-s1", "odd", "even", "-s2s"}) {
        dir.Clear();
        const bool chunks = mode == "-s2s";
        const std::string out = dir / (chunks ? "part" : "out.pdf");
        const Outcome run = Brantor(in, out, mode);
        if (std::string bad = Misbehaviour(mode, run); !bad.empty()) {
            problems.push_back(bad);
            continue;
        }
        const std::vector<std::string> left = dir.Names();
        if (run.Exited(0)) ++successes;
        if (run.Exited(1)) {
            // A chunk run keeps the chunks finished before the failure, and nothing else.
            if (!left.empty() && !(chunks && ChunkFilesInSequence(left))) {
                problems.push_back(mode + " failed (" + run.out + ") but left " + left.front());
            }
            for (const std::string& name : left) {
                if (!LooksComplete(dir / name)) problems.push_back(mode + ": incomplete " + name);
            }
            continue;
        }
        if (left.empty() || (chunks ? !ChunkFilesInSequence(left) : left.size() != 1)) {
            problems.push_back(mode + " succeeded but made " + std::to_string(left.size()) +
                               " files: " + (left.empty() ? "" : left.front()));
            continue;
        }
        for (const std::string& name : left) {
            const std::string pdf = dir / name;
            if (!LooksComplete(pdf)) problems.push_back(mode + ": incomplete " + name);
            if (encrypted) {
                const Outcome shown = e2e::Qpdf({"--show-encryption", pdf});
                if (e2e::ReadFile(pdf).find("/Encrypt") == std::string::npos ||
                    (shown.out + shown.err).find("File is not encrypted") != std::string::npos) {
                    problems.push_back(mode + ": " + name + " lost its encryption");
                }
            }
            // Copies of damaged files may keep their damaged streams, so qpdf only has to find
            // the pages. qpdf opens files encrypted with an empty user password, and those
            // copies must decrypt cleanly.
            int counted = 0;
            if (encryption == "y-emptypw") {
                const e2e::QpdfCheck check = e2e::CheckWithQpdf(pdf);
                if (!check.Passed()) {
                    problems.push_back(mode + ": qpdf --check " + check.run.Status() + " on " +
                                       name + ": " + check.Problem());
                }
                counted = check.pages;
            } else if (!encrypted) {
                counted = e2e::QpdfPageCount(pdf);
            } else {
                continue;  // needs a password
            }
            if (counted < 1 || (mode == "-s1" && counted != 1)) {
                problems.push_back(mode + ": qpdf counts " + std::to_string(counted) +
                                   " pages in " + name);
            }
        }
    }
    std::string text;
    for (const std::string& p : problems) text += (text.empty() ? "" : "\n  ") + p;
    return text;
}

TEST_F(Corpus, BrokenAndEncryptedFilesEndWithOneMessage) {
    std::vector<std::string> files = LoadList("broken.txt");
    for (const std::string& path : LoadList("encrypted.txt")) files.push_back(path);
    ASSERT_FALSE(files.empty());
    std::atomic<int> successes{0};
    const std::vector<std::string> results = ForEachFile(files, [&](const std::string& path) {
        return CheckDamagedFile(path, Field(RowOf(path), "encrypted"), successes);
    });
    checked = files.size();
    size_t failing = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        if (results[i].empty()) continue;
        ++failing;
        ADD_FAILURE() << files[i] << "\n  " << results[i];
    }
    std::printf(
        "[ corpus   ] %zu files, 4 modes: %d runs succeeded, the others ended with a "
        "message; %zu files failing\n",
        files.size(), successes.load(), failing);
}

}  // namespace
