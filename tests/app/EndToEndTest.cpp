// The built program on generated documents, checked from outside: which files each mode makes
// and which pages they hold (their "Page N" text, read back with mutool), the messages of failed
// runs, the page tree and outline that the outputs carry, and that every output passes
// "qpdf --check" and draws exactly like the source pages.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "E2eTools.h"
#include "TestPdf.h"
#include "TestValues.h"

namespace {

using e2e::Outcome;
using testpdf::SimpleOptions;
using testpdf::SimpleStyle;

// The page numbers shown on the pages of a document made by MakeSimpleDocument, in order.
std::vector<int> PageLabels(const std::string& pdf) {
    const Outcome run =
        e2e::RunCommand({"mutool", "draw", "-q", "-F", "txt", "-o", "-", pdf}, e2e::kToolTimeout);
    std::vector<int> labels;
    for (size_t at = run.out.find("Page "); at != std::string::npos;
         at = run.out.find("Page ", at + 1)) {
        const size_t digits = at + 5;
        if (digits < run.out.size() && std::isdigit(static_cast<unsigned char>(run.out[digits]))) {
            labels.push_back(std::atoi(run.out.c_str() + digits));
        }
    }
    return labels;
}

// First-level outline items: title and the page they open.
std::vector<std::pair<std::string, int>> OutlineItems(const std::string& pdf) {
    const Outcome run = e2e::RunCommand({"mutool", "show", pdf, "outline"}, e2e::kToolTimeout);
    std::vector<std::pair<std::string, int>> items;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        // |<tab>"Title"<tab>#page=N&view=Fit, with + or - for an item that holds items
        const size_t close = line.find("\"\t#page=");
        if (line.size() < 3 || line.compare(1, 2, "\t\"") != 0 ||
            std::string("|+-").find(line[0]) == std::string::npos || close == std::string::npos) {
            continue;
        }
        items.emplace_back(line.substr(3, close - 3), std::atoi(line.c_str() + close + 8));
    }
    return items;
}

// The page tree root that the program writes: the text from "/Type /Pages" to the end of the
// object, and its /Kids references ("12 0 R").
struct PageTreeRoot {
    std::string text;
    std::vector<std::string> kids;
};

PageTreeRoot FindPageTreeRoot(const std::string& pdf) {
    PageTreeRoot root;
    const size_t start = pdf.find("/Type /Pages\n/Kids [");
    const size_t end = pdf.find("endobj\n", start);
    if (start == std::string::npos || end == std::string::npos) return root;
    root.text = pdf.substr(start, end + 7 - start);
    const size_t open = root.text.find('[');
    std::istringstream tokens(root.text.substr(open + 1, root.text.find(']') - open - 1));
    for (std::string number, generation, r; tokens >> number >> generation >> r;) {
        root.kids.push_back(number + " " + generation + " " + r);
    }
    return root;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.ok());
        if (!e2e::HaveQpdf() || !e2e::HaveMutool()) {
            GTEST_SKIP() << "qpdf and mutool are needed (apt-get install qpdf mupdf-tools)";
        }
        std::filesystem::create_directory(dir / "out");
        std::filesystem::create_directory(dir / "render");
    }

    std::string MakeDocument(int pages, const SimpleOptions& options = SimpleOptions()) {
        const std::string path = dir / ("in-" + std::to_string(++documents) + ".pdf");
        EXPECT_TRUE(e2e::WriteFile(path, testpdf::MakeSimpleDocument(pages, options)));
        return path;
    }

    static Outcome Brantor(const std::string& in, const std::string& out, const std::string& mode,
                           const std::string& option = "") {
        std::vector<std::string> args = {BRANTOR_BINARY, in, out, mode};
        if (!option.empty()) args.push_back(option);
        return e2e::RunCommand(args, e2e::kProgramTimeout);
    }

    // The output holds exactly `pages` of `source`, passes qpdf and draws like the source.
    void ExpectPages(const std::string& output, const std::string& source,
                     const std::vector<int>& pages) {
        SCOPED_TRACE(output);
        const e2e::QpdfCheck check = e2e::CheckWithQpdf(output);
        EXPECT_TRUE(check.Passed()) << check.Problem();
        EXPECT_EQ(check.pages, static_cast<int>(pages.size()));
        EXPECT_EQ(PageLabels(output), pages);
        for (const std::string& problem :
             e2e::CompareRendering(source, pages, output, dir / "render")) {
            ADD_FAILURE() << problem;
        }
    }

    TempDir dir{"e2e"};
    int documents = 0;
};

SimpleOptions Style(SimpleStyle style) {
    SimpleOptions options;
    options.style = style;
    return options;
}

SimpleOptions DeepTree() {
    SimpleOptions options;
    options.style = SimpleStyle::ObjectStreams;
    options.objectsPerStream = 7;
    options.inheritAttributes = true;
    options.kidsPerNode = 3;
    options.rotate = 90;
    return options;
}

TEST_F(EndToEnd, ModesNameFilesAndKeepPageOrder) {
    const struct {
        int pages;
        SimpleOptions options;
        std::string mode;
        std::string output;  // as typed, inside the output folder
        std::vector<std::pair<std::string, std::vector<int>>> files;
    } cases[] = {
        {25,
         SimpleOptions(),
         "-s10s",
         "split",
         {{"split000001-000010.pdf", Range(1, 10)},
          {"split000011-000020.pdf", Range(11, 20)},
          {"split000021-000025.pdf", Range(21, 25)}}},
        {25,
         DeepTree(),
         "-s12s",
         "split",
         {{"split000001-000012.pdf", Range(1, 12)},
          {"split000013-000024.pdf", Range(13, 24)},
          {"split000025-000025.pdf", {25}}}},
        {3,
         Style(SimpleStyle::XrefStream),
         "-s1s",
         "page",
         {{"page000001.pdf", {1}}, {"page000002.pdf", {2}}, {"page000003.pdf", {3}}}},
        {5,
         Style(SimpleStyle::Hybrid),
         "-s3s",
         "out.pdf",
         {{"out.pdf000001-000003.pdf", {1, 2, 3}}, {"out.pdf000004-000005.pdf", {4, 5}}}},
        {4, SimpleOptions(), "-s10s", "split", {{"split000001-000004.pdf", Range(1, 4)}}},
        {8, DeepTree(), "-s3,1,7-8,3", "out.pdf", {{"out.pdf", {3, 1, 7, 8, 3}}}},
        {8, Style(SimpleStyle::ObjectStreams), "-s8-8,2-4", "x.pdf", {{"x.pdf", {8, 2, 3, 4}}}},
        {8, DeepTree(), "-s7-,1", "open.pdf", {{"open.pdf", {7, 8, 1}}}},
        {8, SimpleOptions(), "-s3,6-", "open.pdf", {{"open.pdf", {3, 6, 7, 8}}}},
        {5, DeepTree(), "odd", "odd.pdf", {{"odd.pdf", {1, 3, 5}}}},
        {5, Style(SimpleStyle::Hybrid), "even", "even.pdf", {{"even.pdf", {2, 4}}}},
        {1, SimpleOptions(), "odd", "odd.pdf", {{"odd.pdf", {1}}}},
        {2, SimpleOptions(), "even", "even.pdf", {{"even.pdf", {2}}}},
        {1, SimpleOptions(), "-s1s", "one", {{"one000001.pdf", {1}}}},
        {8, Style(SimpleStyle::ObjectStreams), "-s6-4,8", "back.pdf", {{"back.pdf", {6, 5, 4, 8}}}},
        {8, DeepTree(), "-g8-6,2", "g", {{"g000002.pdf", {2}}, {"g000008-000006.pdf", {8, 7, 6}}}},
        {3,
         Style(SimpleStyle::XrefStream),
         "-s1s",
         "p-%03d.pdf",
         {{"p-001.pdf", {1}}, {"p-002.pdf", {2}}, {"p-003.pdf", {3}}}},
        {5, Style(SimpleStyle::Hybrid), "maxsize=1G", "m", {{"m000001-000005.pdf", Range(1, 5)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.pages) + " pages, " + c.mode);
        const std::string source = MakeDocument(c.pages, c.options);
        ClearDir(dir / "out");
        const Outcome run = Brantor(source, dir / "out/" + c.output, c.mode);
        ASSERT_TRUE(run.Exited(0)) << run.Status() << ": " << run.out << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");
        std::vector<std::string> names;
        for (const auto& file : c.files) names.push_back(file.first);
        EXPECT_EQ(ListDir(dir / "out"), names);
        for (const auto& file : c.files) {
            if (e2e::Exists(dir / "out/" + file.first)) {
                ExpectPages(dir / "out/" + file.first, source, file.second);
            }
        }
    }
}

TEST_F(EndToEnd, FailedRunPrintsItsMessageAndWritesNothing) {
    const std::string eight = MakeDocument(8);
    const std::string one = MakeDocument(1);
    const std::string none = MakeDocument(0);
    const std::string text = dir / "text.pdf";
    ASSERT_TRUE(e2e::WriteFile(text, "plain text, not a PDF\n"));
    // Read strictly and by scanning, its catalog is the number 5: the reason is said once.
    const std::string numberRoot = dir / "number-root.pdf";
    ASSERT_TRUE(e2e::WriteFile(numberRoot, testpdf::Builder().Add(1, "5").SetRoot(1).Build()));
    // The message on standard output; on standard error "brantor: ", what failed, where and
    // why (by default the source's name and the message).
    const struct {
        std::string source;
        std::string mode;
        std::string message;
        std::string detail = "";
    } cases[] = {
        {eight, "-s9", "Page number 9 greater than 8 pages in file"},
        {eight, "-s99", "Page number 99 greater than 8 pages in file"},
        {eight, "-s1,2,9", "Page number 9 greater than 8 pages in file"},
        {eight, "-s7-9", "Wrong page ranges, 9 greater than 8 pages in file"},
        {eight, "-s9-8", "Wrong page ranges, 9 greater than 8 pages in file"},
        {eight, "-s0", "Invalid page number 0"},
        {eight, "-s1,,2", "Invalid parameter"},
        {eight, "-s1-3-", "Invalid parameter"},
        {eight, "-s9-", "Page number 9 greater than 8 pages in file"},
        {eight, "-s", "Invalid page number"},
        {eight, "-ss", "Invalid page number"},
        {eight, "-s0s", "Invalid page number"},
        {eight, "-s1,3s", "Invalid page number"},
        {eight, "-s3xs", "Invalid page number"},
        {eight, "Odd", "Wrong program parameteres", "unknown MODE \"Odd\""},
        {eight, "", "Wrong program parameteres", "unknown MODE \"\""},
        {one, "even", "No files output"},
        {none, "-s10s", "No files output"},
        {none, "-s1s", "No files output"},
        {dir / "missing.pdf", "-s1", "File open error",
         "cannot open " + dir / "missing.pdf" + ": No such file or directory"},
        {dir / "missing.pdf", "odd", "File open error",
         "cannot open " + dir / "missing.pdf" + ": No such file or directory"},
        {text, "-s1", "PDF file was damaged",
         text + ": no startxref, and no catalog found by scanning"},
        {numberRoot, "-s1", "Catalog CPdfObject is wrong type"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode + " on " + c.source);
        for (const char* output : {"out.pdf", "chunk"}) {
            ClearDir(dir / "out");
            const Outcome run = Brantor(c.source, dir / (std::string("out/") + output), c.mode);
            EXPECT_TRUE(run.Exited(1)) << run.Status();
            EXPECT_EQ(run.out, c.message);
            const std::string detail = c.detail.empty() ? c.source + ": " + c.message : c.detail;
            EXPECT_EQ(run.err, "brantor: " + detail + "\n");
            EXPECT_EQ(ListDir(dir / "out"), std::vector<std::string>());
        }
    }
}

// "-" as the source reads standard input (a pipe is kept in a temporary file that goes away
// with the run, as is a named pipe given as the source); "-" as the output of a one-file mode
// writes standard output, which then takes no message: a failed run writes nothing there.
TEST_F(EndToEnd, StandardInputAndOutput) {
    const std::string source = MakeDocument(5);
    const std::string out = dir / "out/out.pdf";
    const std::string tmp = dir / "tmp";
    std::filesystem::create_directory(tmp);
    const struct {
        std::string command;  // run by sh, with $B the program, $SRC, $OUT and $DIR set
        int status;
        std::string out, err;
        std::vector<std::pair<std::string, std::vector<int>>> files;  // "-": standard output
    } cases[] = {
        {R"(cat "$SRC" | "$B" - "$OUT" -s2,1)", 0, "", "", {{"out.pdf", {2, 1}}}},
        {R"("$B" - "$OUT" even < "$SRC")", 0, "", "", {{"out.pdf", {2, 4}}}},
        {R"("$B" "$SRC" - odd)", 0, "", "", {{"-", {1, 3, 5}}}},
        {R"(cat "$SRC" | "$B" - - -s4- --verbose)", 0, "", "-\n", {{"-", {4, 5}}}},
        {R"(cat "$SRC" | "$B" - "$DIR/split" -s3s)",
         0,
         "",
         "",
         {{"split000001-000003.pdf", {1, 2, 3}}, {"split000004-000005.pdf", {4, 5}}}},
        {R"(cat "$SRC" | "$B" - "$OUT" -s9)",
         1,
         "Page number 9 greater than 5 pages in file",
         "brantor: standard input: Page number 9 greater than 5 pages in file\n",
         {}},
        {R"("$B" "$SRC" - -s9)",
         1,
         "",
         "Page number 9 greater than 5 pages in file\nbrantor: " + source +
             ": Page number 9 greater than 5 pages in file\n",
         {}},
        {R"(printf '' | "$B" - "$OUT" odd)",
         1,
         "PDF file was damaged",
         "brantor: standard input is empty\n",
         {}},
        {R"("$B" - "$OUT" odd < "$DIR")",
         1,
         "File open error",
         "brantor: cannot read standard input: Is a directory\n",
         {}},
        // A named pipe that a writer fills is read once, like standard input.
        {R"(F="$DIR/../in.fifo"; rm -f "$F"; mkfifo "$F" && { cat "$SRC" > "$F" 2>/dev/null & }
            "$B" "$F" "$OUT" -s5,2)",
         0,
         "",
         "",
         {{"out.pdf", {5, 2}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        ClearDir(dir / "out");
        const std::string command = "B='" + std::string(BRANTOR_BINARY) + "' SRC='" + source +
                                    "' OUT='" + out + "' DIR='" + (dir / "out") + "' TMPDIR='" +
                                    tmp + "'; export TMPDIR; " + c.command;
        const Outcome run = e2e::RunCommand({"sh", "-c", command}, e2e::kProgramTimeout);
        EXPECT_TRUE(run.Exited(c.status)) << run.Status();
        EXPECT_EQ(run.err, c.err);
        std::vector<std::string> names;
        for (const auto& [name, pages] : c.files) {
            if (name != "-") names.push_back(name);
            const std::string path = dir / ("out/" + (name == "-" ? "stdout.pdf" : name));
            if (name == "-") {
                ASSERT_TRUE(e2e::WriteFile(path, run.out));
            }
            ExpectPages(path, source, pages);
        }
        if (c.files.empty() || c.files[0].first != "-") {
            EXPECT_EQ(run.out, c.out);
        }
        if (!c.files.empty() && c.files[0].first == "-") names.push_back("stdout.pdf");
        std::sort(names.begin(), names.end());
        EXPECT_EQ(ListDir(dir / "out"), names);
        EXPECT_EQ(ListDir(tmp), std::vector<std::string>()) << "temporary files stay";
    }
}

TEST_F(EndToEnd, PageTreeRootListsSelectedPages) {
    const std::string ten = MakeDocument(10, DeepTree());
    const std::string out = dir / "out/out.pdf";
    // (Written in the classic form, where the root's text shows in the file.)
    ASSERT_TRUE(Brantor(ten, out, "-s4,9,4", "--object-streams=disable").Exited(0));
    const PageTreeRoot small = FindPageTreeRoot(e2e::ReadFile(out));
    ASSERT_EQ(small.kids.size(), 3u) << small.text;
    // A page chosen twice is two page objects.
    EXPECT_EQ(std::set<std::string>(small.kids.begin(), small.kids.end()).size(), 3u);
    EXPECT_EQ(small.text, "/Type /Pages\n/Kids [ " + small.kids[0] + " " + small.kids[1] + " " +
                              small.kids[2] + " ]\n/Count 3\n>>\nendobj\n");
    ExpectPages(out, ten, {4, 9, 4});

    // Long /Kids arrays are cut into lines of ten references after the first eleven.
    const std::string thirty = MakeDocument(30);
    ASSERT_TRUE(Brantor(thirty, out, "-s30,1-24").Exited(0));
    const PageTreeRoot large = FindPageTreeRoot(e2e::ReadFile(out));
    ASSERT_EQ(large.kids.size(), 25u) << large.text;
    std::string expected = "/Type /Pages\n/Kids [";
    for (size_t i = 0; i < large.kids.size(); ++i) {
        expected += " " + large.kids[i] + (i == 10 || i == 20 ? "\n" : "");
    }
    EXPECT_EQ(large.text, expected + " ]\n/Count 25\n>>\nendobj\n");
    std::vector<int> pages = {30};
    for (int p = 1; p <= 24; ++p) pages.push_back(p);
    ExpectPages(out, thirty, pages);
}

TEST_F(EndToEnd, OutlineKeepsItemsOfSelectedPagesInPageOrder) {
    SimpleOptions named;
    named.namedDests = true;
    SimpleOptions none;
    none.outline = false;
    const struct {
        SimpleOptions options;
        std::string mode;
        std::vector<std::pair<std::string, int>> items;
    } cases[] = {
        {SimpleOptions(), "-s5,1", {{"Page 5", 1}, {"Page 1", 2}}},
        {named, "-s5,1", {{"Page 5", 1}, {"Page 1", 2}}},
        {DeepTree(), "-s6-7,2", {{"Page 6", 1}, {"Page 7", 2}, {"Page 2", 3}}},
        {SimpleOptions(), "even", {{"Page 2", 1}, {"Page 4", 2}, {"Page 6", 3}, {"Page 8", 4}}},
        {none, "-s5,1", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const std::string source = MakeDocument(8, c.options);
        const std::string out = dir / "out/out.pdf";
        ASSERT_TRUE(Brantor(source, out, c.mode).Exited(0));
        EXPECT_EQ(OutlineItems(out), c.items);
        const e2e::QpdfCheck check = e2e::CheckWithQpdf(out);
        EXPECT_TRUE(check.Passed()) << check.Problem();
    }
}

// A link on a kept page that goes to a page left out must not bring that page along: the page
// would sit outside the output's page tree, with a /Parent that does not list it.
TEST_F(EndToEnd, LinksDoNotBringPagesLeftOut) {
    testpdf::Builder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [ 3 0 R 4 0 R ] /Count 2 >>");
    b.Add(3,
          "<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 200 200 ] /Resources << >> "
          "/Contents 5 0 R /Annots [ 6 0 R ] >>");
    b.Add(4,
          "<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 200 200 ] /Resources << >> "
          "/Contents 7 0 R /Annots [ 8 0 R ] >>");
    b.AddStream(5, "", "0 0 1 rg 10 10 50 50 re f");
    b.Add(6,
          "<< /Type /Annot /Subtype /Link /Rect [ 10 10 60 60 ] /Border [ 0 0 0 ] "
          "/Dest [ 4 0 R /Fit ] >>");
    b.AddStream(7, "", "1 0 0 rg 100 100 50 50 re f");
    b.Add(8,
          "<< /Type /Annot /Subtype /Link /Rect [ 100 100 150 150 ] /Border [ 0 0 0 ] "
          "/A << /S /GoTo /D [ 3 0 R /Fit ] >> >>");
    b.SetRoot(1);
    const std::string source = dir / "links.pdf";
    ASSERT_TRUE(e2e::WriteFile(source, b.Build()));

    const struct {
        std::string mode;
        std::vector<int> pages;
        std::string leftOut;  // content of the page that is not selected
    } cases[] = {
        {"-s1", {1}, "1 0 0 rg 100 100 50 50 re f"},
        {"-s2", {2}, "0 0 1 rg 10 10 50 50 re f"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const std::string out = dir / "out/out.pdf";
        ASSERT_TRUE(Brantor(source, out, c.mode).Exited(0));
        const e2e::QpdfCheck check = e2e::CheckWithQpdf(out);
        EXPECT_TRUE(check.Passed()) << check.Problem();
        EXPECT_EQ(check.pages, 1);
        EXPECT_EQ(e2e::ReadFile(out).find(c.leftOut), std::string::npos)
            << "the page left out is in the output";
        for (const std::string& problem :
             e2e::CompareRendering(source, c.pages, out, dir / "render")) {
            ADD_FAILURE() << problem;
        }
    }
}

// Device outputs are reached through links in the test folder, so that a program that replaced
// its output name instead of writing into it would replace the link, not the device.
TEST_F(EndToEnd, DeviceOutputsAreWrittenInPlace) {
    const std::string source = MakeDocument(3);
    const struct {
        std::string device;
        int status;
        std::string message;
    } cases[] = {
        {"/dev/null", 0, ""},
        {"/dev/full", 1, "Output file write error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        struct stat st;
        if (stat(c.device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
            GTEST_SKIP() << c.device << " is not a character device here";
        }
        const std::string link = dir / "out/device.pdf";
        std::filesystem::remove(link);
        std::filesystem::create_symlink(c.device, link);
        const Outcome run = Brantor(source, link, "odd");
        EXPECT_TRUE(run.Exited(c.status)) << run.Status();
        EXPECT_EQ(run.out, c.message);
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(ListDir(dir / "out"), std::vector<std::string>{"device.pdf"});
    }
}

TEST_F(EndToEnd, OutputMayReplaceItsSource) {
    const std::string source = MakeDocument(6, Style(SimpleStyle::ObjectStreams));
    const std::string original = dir / "original.pdf";
    std::filesystem::copy_file(source, original);
    const std::string bytes = e2e::ReadFile(source);

    // A failed run leaves the source as it was.
    const Outcome failed = Brantor(source, source, "-s99");
    EXPECT_TRUE(failed.Exited(1));
    EXPECT_EQ(e2e::ReadFile(source), bytes);

    // The source is read to the end before it is replaced.
    const Outcome run = Brantor(source, source, "-s6,1-3,5");
    ASSERT_TRUE(run.Exited(0)) << run.Status() << ": " << run.out;
    ExpectPages(source, original, {6, 1, 2, 3, 5});
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"in-1.pdf", "original.pdf", "out", "render"}));
}

// A document of simple pages given an outline by an incremental update: objects is a list of
// (number, body) for the outline's objects, numbered from 100 up; the catalog names 100 as the
// outline root, and has the entries catalogExtra besides.
std::string WithOutline(const std::string& pdf, const std::vector<std::string>& objects,
                        const std::string& catalogExtra = "") {
    using L = testpdf::SimpleLayout;
    const size_t mark = pdf.rfind("startxref");
    const long long previous = std::atoll(pdf.c_str() + mark + 10);
    std::string out = pdf;
    std::vector<long long> offsets;
    offsets.push_back(static_cast<long long>(out.size()));
    out += "1 0 obj\n<< /Type /Catalog /Pages " + std::to_string(L::kPages) +
           " 0 R /Outlines 100 0 R " + catalogExtra + ">>\nendobj\n";
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(static_cast<long long>(out.size()));
        out += std::to_string(100 + i) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const long long xref = static_cast<long long>(out.size());
    char line[32];
    out += "xref\n1 1\n";
    for (size_t i = 0; i < offsets.size(); ++i) {
        if (i == 1) out += "100 " + std::to_string(objects.size()) + "\n";
        std::snprintf(line, sizeof line, "%010lld 00000 n\r\n", offsets[i]);
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(100 + objects.size()) + " /Root 1 0 R /Prev " +
           std::to_string(previous) + " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

// "bookmarks": one file per first-level item, in page order, from its page to the next item's;
// items without a page are passed over and items on one page share the first one's file.
// Titles in PDFDocEncoding and UTF-16 become UTF-8 file names of letters, digits and '-'.
TEST_F(EndToEnd, BookmarksModeWritesOneFilePerFirstLevelItem) {
    using L = testpdf::SimpleLayout;
    SimpleOptions bare;
    bare.outline = false;
    const std::string plain = testpdf::MakeSimpleDocument(8, bare);
    auto item = [](const std::string& title, int page, const std::string& links) {
        return "<< /Title " + title + " /Parent 100 0 R " + links +
               (page ? " /Dest [" + std::to_string(L::Page(page)) + " 0 R /Fit]" : "") + " >>";
    };
    const std::string longTitle = std::string(59, 'a') + "\\351b";  // 'é' would pass 60 bytes
    const std::string source = dir / "book.pdf";
    ASSERT_TRUE(e2e::WriteFile(
        source,
        WithOutline(plain,
                    {"<< /Type /Outlines /First 101 0 R /Last 107 0 R /Count 6 >>",
                     item("(  Getting Started?)", 3, "/Next 102 0 R"),
                     item("(\\334bersicht \\227koda)", 5, "/Prev 101 0 R /Next 103 0 R"),
                     item("<FEFF0413043B043004320430002000320020041E04310437043E0440>", 5,
                          "/Prev 102 0 R /Next 104 0 R"),
                     item("(Appendix)", 7,
                          "/Prev 103 0 R /Next 105 0 R /First 106 0 R /Last 106 0 R /Count 1"),
                     item("(No destination)", 0, "/Prev 104 0 R /Next 107 0 R"),
                     "<< /Title (A.1 Tables) /Parent 104 0 R /Dest [" + std::to_string(L::Page(8)) +
                         " 0 R /Fit] >>",
                     item("(" + longTitle + ")", 2, "/Prev 105 0 R")})));
    const std::string aaa = std::string(59, 'a');
    const struct {
        std::string name;
        std::vector<int> pages;
        std::vector<std::pair<std::string, int>> items;
    } files[] = {
        {"ch000001-Getting-Started.pdf", {3, 4}, {{"  Getting Started?", 1}}},
        {"ch000002-Übersicht-Škoda.pdf", {5, 6}, {{"Übersicht Škoda", 1}, {"Глава 2 Обзор", 1}}},
        {"ch000004-Appendix.pdf", {7, 8}, {{"Appendix", 1}}},
        {"ch000006-" + aaa + ".pdf", {1, 2}, {{aaa + "éb", 2}}},
    };
    const Outcome run = Brantor(source, dir / "out/ch", "bookmarks");
    ASSERT_TRUE(run.Exited(0)) << run.Status() << ": " << run.out << run.err;
    std::vector<std::string> names;
    for (const auto& file : files) {
        names.push_back(file.name);
        const std::string path = dir / ("out/" + file.name);
        if (!e2e::Exists(path)) continue;
        ExpectPages(path, source, file.pages);
        EXPECT_EQ(OutlineItems(path), file.items) << file.name;
    }
    EXPECT_EQ(ListDir(dir / "out"), names);
    const Outcome nested = e2e::RunCommand(
        {"mutool", "show", dir / ("out/" + files[2].name), "outline"}, e2e::kToolTimeout);
    EXPECT_NE(nested.out.find("\"A.1 Tables\"\t#page=2"), std::string::npos) << nested.out;

    // --level=2: the second-level item starts a file of its own, numbered in outline order
    // among the items of both levels; --dry-run lists the files and writes none.
    ClearDir(dir / "out");
    const Outcome deeper = e2e::RunCommand(
        {BRANTOR_BINARY, source, dir / "out/ch", "bookmarks", "--level=2", "--dry-run"},
        e2e::kProgramTimeout);
    EXPECT_TRUE(deeper.Exited(0)) << deeper.Status();
    const std::string prefix = dir / "out/ch";
    EXPECT_EQ(deeper.out, prefix + "000007-" + aaa + ".pdf\t1,2\n" + prefix +
                              "000001-Getting-Started.pdf\t3,4\n" + prefix +
                              "000002-Übersicht-Škoda.pdf\t5,6\n" + prefix +
                              "000004-Appendix.pdf\t7\n" + prefix + "000005-A-1-Tables.pdf\t8\n");
    EXPECT_EQ(ListDir(dir / "out"), std::vector<std::string>());

    // Nothing is written without items that open a page, nor to standard output.
    const struct {
        std::string source, output;
        int status;
        std::string message;
    } failures[] = {
        {MakeDocument(3, bare), "ch", 1, "No bookmarks in file"},
        {dir / "nopage.pdf", "ch", 1, "No bookmark opens a page"},
        {source, "-", 2, "Usage:"},
    };
    ASSERT_TRUE(e2e::WriteFile(
        failures[1].source,
        WithOutline(plain, {"<< /First 101 0 R /Last 101 0 R >>", item("(None)", 0, "")})));
    for (const auto& c : failures) {
        SCOPED_TRACE(c.source + " to " + c.output);
        ClearDir(dir / "out");
        const Outcome failed =
            Brantor(c.source, c.output == "-" ? "-" : dir / "out/ch", "bookmarks");
        EXPECT_TRUE(failed.Exited(c.status)) << failed.Status();
        EXPECT_NE(failed.out.find(c.message), std::string::npos) << failed.out;
        EXPECT_EQ(ListDir(dir / "out"), std::vector<std::string>());
    }
}

// The outline's titles of an encrypted source are read through its key, as its other strings:
// its bookmark files are titled like any other's (only without the key they cannot be).
TEST_F(EndToEnd, EncryptedSourceWithItsKeyGetsTitledBookmarkFiles) {
    const std::string plain = MakeDocument(2);
    const struct {
        std::vector<std::string> encryption;  // qpdf's --encrypt arguments
        std::string password;                 // given to brantor
        std::vector<std::string> names;
    } cases[] = {
        {{"", "owner", "256"}, "", {"ch000001-Page-1.pdf", "ch000002-Page-2.pdf"}},
        {{"user", "owner", "256"},
         "--password=user",
         {"ch000001-Page-1.pdf", "ch000002-Page-2.pdf"}},
        {{"user", "owner", "256"}, "", {"ch000001.pdf", "ch000002.pdf"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encryption[0] + " " + c.encryption[2] + " " + c.password);
        ClearDir(dir / "out");
        const std::string source = dir / "encrypted.pdf";
        std::vector<std::string> qpdf = {"--encrypt"};
        qpdf.insert(qpdf.end(), c.encryption.begin(), c.encryption.end());
        qpdf.insert(qpdf.end(), {"--", plain, source});
        ASSERT_TRUE(e2e::Qpdf(qpdf).Exited(0));
        const Outcome run = Brantor(source, dir / "out/ch", "bookmarks", c.password);
        EXPECT_TRUE(run.Exited(0)) << run.Status() << ": " << run.out << run.err;
        EXPECT_EQ(ListDir(dir / "out"), c.names);
    }
}

// A viewer told to open the outline pane of an output that keeps no outline item would open
// an empty pane: /PageMode /UseOutlines goes with the outline, other page modes stay.
TEST_F(EndToEnd, OutlinePageModeGoesWithTheOutline) {
    using L = testpdf::SimpleLayout;
    SimpleOptions bare;
    bare.outline = false;
    const std::string plain = testpdf::MakeSimpleDocument(2, bare);
    const std::string outline[] = {
        "<< /Type /Outlines /First 101 0 R /Last 101 0 R /Count 1 >>",
        "<< /Title (One) /Parent 100 0 R /Dest [" + std::to_string(L::Page(1)) + " 0 R /Fit] >>"};
    const struct {
        std::string pageMode, pages;
        bool kept;
    } cases[] = {
        {"/UseOutlines", "-s1", true},
        {"/UseOutlines", "-s2", false},
        {"/UseThumbs", "-s2", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pageMode + " " + c.pages);
        const std::string source = dir / "mode.pdf", out = dir / "out/mode.pdf";
        ASSERT_TRUE(e2e::WriteFile(
            source, WithOutline(plain, {outline[0], outline[1]}, "/PageMode " + c.pageMode + " ")));
        const Outcome run = Brantor(source, out, c.pages);
        ASSERT_TRUE(run.Exited(0)) << run.Status() << ": " << run.out << run.err;
        EXPECT_EQ(e2e::ReadFile(out).find("/PageMode") != std::string::npos, c.kept);
        const e2e::QpdfCheck check = e2e::CheckWithQpdf(out);
        EXPECT_TRUE(check.Passed()) << check.Problem();
    }
}

}  // namespace
