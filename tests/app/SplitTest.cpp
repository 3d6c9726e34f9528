// The split job through the library: output file names per mode, the frame of each output
// (header, object order, cross-reference table, trailer), the rewritten page objects and page
// tree root, which source objects are copied, output file handling and encrypted sources.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CPdfException.h"
#include "SplitRun.h"
#include "TestPdf.h"
#include "app/CPdfFileSplit.h"

namespace {

namespace fs = std::filesystem;
using testpdf::Builder;
using L = testpdf::SimpleLayout;
using namespace splitrun;

const char kHead[] = "%PDF-1.4\r%\xE2\xE3\xCF\xD3\r\n";
const char kFree[] = "0000000000 00000 f \r";

std::string Line(long long offset, int generation) {
    char line[32];
    std::snprintf(line, sizeof line, "%010lld %05d n \r", offset, generation);
    return line;
}

std::vector<int> RefNumbers(const std::string& text) {
    std::vector<int> numbers;
    static const std::regex ref(R"((\d+) (\d+) R)");
    for (std::sregex_iterator it(text.begin(), text.end(), ref), end; it != end; ++it) {
        numbers.push_back(std::stoi((*it)[1]));
    }
    return numbers;
}

// An output file, read through its cross-reference table.
struct Output {
    std::string bytes;
    size_t size = 0;
    std::map<int, std::pair<long long, int>> objects;  // in use: offset, generation
    std::string trailer;                               // "trailer" through the end

    std::set<int> Numbers() const {
        std::set<int> s;
        for (const auto& o : objects) s.insert(o.first);
        return s;
    }
    bool Has(int n) const { return objects.count(n) != 0; }
    // From "N G obj" through "endobj" and the byte after it.
    std::string Object(int n) const {
        auto it = objects.find(n);
        if (it == objects.end()) return "";
        size_t at = static_cast<size_t>(it->second.first);
        return bytes.substr(at, bytes.find("endobj", at) + 7 - at);
    }
    // Object numbers of the "N G obj" lines in file order.
    std::vector<int> FileOrder() const {
        std::vector<int> order;
        static const std::regex head(R"((?:^|[\r\n])(\d+) \d+ obj)");
        size_t end = bytes.rfind("\nxref\n");
        for (std::sregex_iterator it(bytes.begin(), bytes.begin() + end, head), e; it != e; ++it) {
            order.push_back(std::stoi((*it)[1]));
        }
        return order;
    }
    std::vector<int> Kids(int root) const {
        std::string text = Object(root);
        size_t open = text.find("/Kids [");
        if (open == std::string::npos) return {};
        return RefNumbers(text.substr(open, text.find(']', open) - open));
    }
};

// Reads an output file and checks its frame: table lines, offsets, trailer, end.
Output ReadOutput(const std::string& name) {
    Output pdf;
    pdf.bytes = ReadFile(name);
    const std::string& b = pdf.bytes;
    size_t sx = b.rfind("\nstartxref\n");
    if (sx == std::string::npos) {
        ADD_FAILURE() << name << ": no startxref";
        return pdf;
    }
    const long long start = std::atoll(b.c_str() + sx + 11);
    EXPECT_EQ(b.substr(sx), "\nstartxref\n" + std::to_string(start) + "\n%%EOF") << name;
    if (b.compare(static_cast<size_t>(start), 7, "xref\n0 ") != 0) {
        ADD_FAILURE() << name << ": startxref does not point at the table";
        return pdf;
    }
    size_t p = static_cast<size_t>(start) + 7;
    size_t eol = b.find('\r', p);
    pdf.size = std::stoul(b.substr(p, eol - p));
    p = eol + 1;
    EXPECT_EQ(b.substr(p, 20), "0000000000 65535 f \r");
    for (size_t k = 1; k < pdf.size; ++k) {
        std::string line = b.substr(p + 20 * k, 20);
        if (line == kFree) continue;
        long long offset = 0;
        int generation = 0;
        if (std::sscanf(line.c_str(), "%10lld %5d", &offset, &generation) != 2 ||
            line != Line(offset, generation)) {
            ADD_FAILURE() << name << ": entry " << k << " reads \"" << line << '"';
            continue;
        }
        std::string head = std::to_string(k) + " " + std::to_string(generation) + " obj";
        EXPECT_EQ(b.compare(static_cast<size_t>(offset), head.size(), head), 0)
            << name << ": entry " << k;
        pdf.objects[static_cast<int>(k)] = {offset, generation};
    }
    pdf.trailer = b.substr(p + 20 * pdf.size, sx + 1 - p - 20 * pdf.size);
    EXPECT_EQ(pdf.trailer.rfind("trailer\n<<\n/Size " + std::to_string(pdf.size) + "\n", 0), 0u)
        << pdf.trailer;
    return pdf;
}

std::vector<int> PageObjects(std::vector<int> pages) {
    for (int& p : pages) p = L::Page(p);
    return pages;
}

std::vector<int> Range(int first, int last) {
    std::vector<int> v;
    for (int n = first; n <= last; ++n) v.push_back(n);
    return v;
}

TEST(Split, FormatSixDigits) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "000000"},      {1, "000001"},      {10, "000010"},          {99999, "099999"},
        {100000, "000000"}, {123456, "023456"}, {4294967295u, "067295"},
    };
    for (const auto& c : cases) EXPECT_EQ(CPdfFileSplit::FormatSixDigits(c.first), c.second);
}

struct ModeCase {
    int pages;
    const char* out;
    const char* mode;
    const char* message;
    std::vector<std::pair<std::string, std::vector<int>>> files;  // name, its pages
};

TEST(Split, ModesNameFilesAndChoosePages) {
    const ModeCase cases[] = {
        {25,
         "split",
         "-s10s",
         "",
         {{"split000001-000010.pdf", Range(1, 10)},
          {"split000011-000020.pdf", Range(11, 20)},
          {"split000021-000025.pdf", Range(21, 25)}}},
        {21,
         "split",
         "-s10s",
         "",
         {{"split000001-000010.pdf", Range(1, 10)},
          {"split000011-000020.pdf", Range(11, 20)},
          {"split000021-000021.pdf", {21}}}},
        {3,
         "split",
         "-s1s",
         "",
         {{"split000001.pdf", {1}}, {"split000002.pdf", {2}}, {"split000003.pdf", {3}}}},
        {3, "split", "-s5s", "", {{"split000001-000003.pdf", {1, 2, 3}}}},
        {12,
         "out.pdf",
         "-s10s",
         "",
         {{"out.pdf000001-000010.pdf", Range(1, 10)}, {"out.pdf000011-000012.pdf", {11, 12}}}},
        {10, "out.pdf", "-s1,3,7-9", "", {{"out.pdf", {1, 3, 7, 8, 9}}}},
        {5, "out.pdf", "-s4,2,4", "", {{"out.pdf", {4, 2, 4}}}},
        {1, "out.pdf", "odd", "", {{"out.pdf", {1}}}},
        {6, "out.pdf", "odd", "", {{"out.pdf", {1, 3, 5}}}},
        {5, "out.pdf", "even", "", {{"out.pdf", {2, 4}}}},
        {1, "out.pdf", "even", "No files output", {}},
        {0, "split", "-s10s", "", {}},
        {3, "out.pdf", "-s4", "Page number 4 greater than 3 pages in file", {}},
        {3, "out.pdf", "all", "Wrong program parameteres", {}},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.pages) + " pages, " + c.mode);
        TempDir dir;
        WriteFile(dir / "in.pdf", testpdf::MakeSimpleDocument(c.pages));
        EXPECT_EQ(Split(dir / "in.pdf", dir / c.out, c.mode), c.message);
        std::vector<std::string> names;
        for (const auto& f : c.files) names.push_back(f.first);
        std::sort(names.begin(), names.end());
        ASSERT_EQ(dir.Outputs(), names);
        for (const auto& [name, pages] : c.files) {
            Output pdf = ReadOutput(dir / name);
            EXPECT_EQ(pdf.Kids(L::kPages), PageObjects(pages)) << name;
            EXPECT_NE(pdf.Object(L::kPages).find("/Count " + std::to_string(pages.size()) + "\n"),
                      std::string::npos);
            // Each file holds its own pages' objects only, and what the catalog reaches.
            for (int n = 1; n <= c.pages; ++n) {
                bool own = std::count(pages.begin(), pages.end(), n) != 0;
                EXPECT_EQ(pdf.Has(L::Page(n)) && pdf.Has(L::Content(n)), own) << name << " " << n;
            }
            for (int n : {L::kCatalog, L::kInfo, L::kFont}) EXPECT_TRUE(pdf.Has(n)) << n;
        }
    }
}

TEST(Split, OutputFrameAndObjectOrder) {
    TempDir dir;
    const std::string source = testpdf::MakeSimpleDocument(5);
    WriteFile(dir / "in.pdf", source);
    ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s4,2"), "");
    Output pdf = ReadOutput(dir / "out.pdf");
    EXPECT_EQ(pdf.bytes.rfind(kHead, 0), 0u);
    EXPECT_EQ(pdf.size, static_cast<size_t>(L::Action(5) + 1));  // as long as the source table

    // Copied objects by number, then the pages in selection order, the root, the outline.
    const std::vector<int> copied = {L::kCatalog, L::kInfo, L::kFont, L::Content(2), L::Content(4)};
    std::vector<int> expected = copied;
    expected.insert(expected.end(), {L::Page(4), L::Page(2), L::kPages});
    std::vector<int> order = pdf.FileOrder();
    ASSERT_GE(order.size(), expected.size());
    EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + expected.size()), expected);
    const std::set<int> outline = {L::kOutlines, L::OutlineItem(2), L::Action(2), L::OutlineItem(4),
                                   L::Action(4)};
    EXPECT_EQ(std::set<int>(order.begin() + expected.size(), order.end()), outline);
    std::set<int> all(expected.begin(), expected.end());
    all.insert(outline.begin(), outline.end());
    EXPECT_EQ(pdf.Numbers(), all);
    EXPECT_EQ(order.size(), all.size());

    // Copied objects are the source bytes.
    for (int n : copied) {
        size_t at = source.find("\n" + std::to_string(n) + " 0 obj") + 1;
        EXPECT_EQ(pdf.Object(n), source.substr(at, source.find("endobj", at) + 7 - at)) << n;
    }

    std::string trailer = pdf.trailer;
    std::transform(trailer.begin(), trailer.end(), trailer.begin(), ::tolower);
    EXPECT_EQ(trailer,
              "trailer\n<<\n/size 30\n/id [<000000055b7a1c3e9d2f4a6b8c0e1d3f>"
              "<0f1e2d3c4b5a69788796a5b4c3d2e1f0>]\n/info 3 0 r\n/root 1 0 r\n>>\n");
    ExpectQpdfClean(dir / "out.pdf");
    if (HaveTool("qpdf")) {
        EXPECT_EQ(Shell("qpdf --show-npages " + dir / "out.pdf").second, "2\n");
    }
}

TEST(Split, EverySourceLayoutGivesAPlainTable) {
    using testpdf::SimpleStyle;
    const struct {
        SimpleStyle style;
        bool infoAndId;
        const char* entries;
    } cases[] = {
        {SimpleStyle::Table, true, "/ID [<"},
        {SimpleStyle::XrefStream, true, "/ID [<"},
        {SimpleStyle::ObjectStreams, true, "/ID [<"},
        {SimpleStyle::Hybrid, true, "/ID [<"},
        {SimpleStyle::ObjectStreams, false, "/Root 1 0 R\n>>"},
        {SimpleStyle::Table, false, "/Root 1 0 R\n>>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.style) * 2 + c.infoAndId);
        testpdf::SimpleOptions options;
        options.style = c.style;
        options.info = options.id = c.infoAndId;
        options.objectsPerStream = 3;
        TempDir dir;
        WriteFile(dir / "in.pdf", testpdf::MakeSimpleDocument(4, options));
        ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s3"), "");
        Output pdf = ReadOutput(dir / "out.pdf");
        const std::string head = "trailer\n<<\n/Size " + std::to_string(pdf.size) + "\n";
        EXPECT_EQ(pdf.trailer.substr(head.size(), std::strlen(c.entries)), c.entries);
        for (const char* dropped : {"/Type", "/W ", "/Index", "/Filter", "/Length", "/Prev",
                                    "/XRefStm", "/DecodeParms"}) {
            EXPECT_EQ(pdf.trailer.find(dropped), std::string::npos) << dropped;
        }
        EXPECT_EQ(pdf.Has(L::kInfo), c.infoAndId);
        EXPECT_NE(pdf.Object(L::Content(3)).find("(Page 3) Tj"), std::string::npos);
        ExpectQpdfClean(dir / "out.pdf");
    }
}

TEST(Split, VersionAndNewestObjectsComeFromTheSource) {
    Builder updated("1.7");
    updated.Add(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .Add(3, "<< /Type /Page /Parent 2 0 R /Resources << >> /Contents 4 0 R >>")
        .AddStream(4, "", "(old) Tj")
        .SetRoot(1)
        .SetId("AA", "BB")
        .BeginUpdate()
        .AddStream(4, "", "(new) Tj");
    const struct {
        std::string source;
        const char* first;
    } cases[] = {
        {updated.Build(), "%PDF-1.7\r"},
        // A header of the same length that the reader does not take for one: offsets still hold.
        {std::regex_replace(testpdf::MakeSimpleDocument(2), std::regex("^%PDF-1\\.4"), "%ABC-1.4"),
         "%PDF-1.4\r"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "in.pdf", c.source);
        ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s1"), "");
        Output pdf = ReadOutput(dir / "out.pdf");
        EXPECT_EQ(pdf.bytes.substr(0, pdf.bytes.find('\n') + 1),
                  std::string(c.first) + "%\xE2\xE3\xCF\xD3\r\n");
        if (&c != &cases[0]) continue;
        EXPECT_NE(pdf.Object(4).find("(new) Tj"), std::string::npos);
        EXPECT_EQ(pdf.bytes.find("(old)"), std::string::npos);
        EXPECT_EQ(pdf.trailer, "trailer\n<<\n/Size 5\n/ID [<AA><BB>]\n/Root 1 0 R\n>>\n");
    }
}

struct Obj {
    int number;
    std::string body;  // empty: a free entry
    int generation = 0;
};

// A source made of the objects; object 1 is the catalog, object 40 the /Info dictionary.
std::string Document(const std::vector<Obj>& objects) {
    Builder b;
    for (const Obj& o : objects) {
        if (o.body.empty()) b.Free(o.number);
        if (!o.body.empty()) b.Add(o.number, o.body, o.generation);
        if (o.number == 40) b.SetInfo(40);
    }
    return b.SetRoot(1).Build();
}

struct PageCase {
    const char* name;
    std::vector<Obj> objects;        // page tree nodes and more; the catalog unless given
    std::string page;                // page object 10 (its content is 11, a font 4)
    std::vector<std::string> parts;  // the page text starts with the first; "!x": no x in it
    std::vector<int> copied;         // -n: object n is not copied
    std::string mutool;              // an entry that mutool reads from the output page
};

TEST(Split, PagesCarryWhatTheyInherit) {
    const std::string box = "/MediaBox [0 0 612 792]";
    const std::string res = "/Resources << /Font << /F1 4 0 R >> >>";
    const std::string root = "<< /Type /Pages /Count 1 /Kids [";
    const std::string node = "<< /Type /Pages /Parent 2 0 R /Kids [10 0 R] /Count 1 ";
    const std::string start = "10 0 obj\n<<\n/MediaBox [ 0.000000 0.000000 ";
    const PageCase cases[] = {
        {"BoxFromRootThroughNode",
         {{2, root + "3 0 R] " + box + " >>"}, {3, node + res + " >>"}},
         "<< /Type /Page /Parent 3 0 R /Contents 11 0 R >>",
         {start + "612.000000 792.000000 ]\n", "]\n" + res + "\n", "/Parent 2 0 R", "!3 0 R"},
         {4, 11, -3},
         "<MediaBox l=\"0\" b=\"0\" r=\"612\" t=\"792\" />"},
        {"NearestBoxWins",
         {{2, root + "3 0 R] " + box + " >>"}, {3, node + "/MediaBox [0 0 200 300.5] >>"}},
         "<< /Type /Page /Parent 3 0 R /Resources << >> >>",
         {start + "200.000000 300.500000 ]\n", "!612"},
         {-3},
         "<MediaBox l=\"0\" b=\"0\" r=\"200\" t=\"300.5\" />"},
        {"NoBoxAnywhereIsLetter",
         {{2, root + "10 0 R] >>"}},
         "<< /Type /Page /Parent 2 0 R /Resources << >> >>",
         {start + "612.000000 792.000000 ]\n"},
         {},
         "<MediaBox l=\"0\" b=\"0\" r=\"612\" t=\"792\" />"},
        {"NoResourcesAnywhereAreEmpty",
         {{2, root + "10 0 R] " + box + " >>"}},
         "<< /Type /Page /Parent 2 0 R /Contents 11 0 R >>",
         {start, "]\n/Resources << >>\n /Type"},
         {11},
         ""},
        {"OwnIndirectBoxAndResourcesKept",
         {{2, root + "10 0 R] " + box + " " + res + " >>"}, {6, "[0 0 300 300]"}},
         "<< /Type /Page /Parent 2 0 R /MediaBox 6 0 R /Resources << >> >>",
         {"10 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox 6 0 R /Resources << >> >>\nendobj"},
         {6, -4},
         "<MediaBox l=\"0\" b=\"0\" r=\"300\" t=\"300\" />"},
        {"ResourcesByReferenceFromRoot",
         {{2, root + "10 0 R] /Resources 7 0 R " + box + " >>"}, {7, "<< /F 4 0 R >>"}},
         "<< /Type /Page /Parent 2 0 R /Contents 11 0 R >>",
         {start, "]\n/Resources 7 0 R\n"},
         {4, 7, 11},
         ""},
        {"CropBoxAndRotateFromNearestAncestors",
         {{2, root + "3 0 R] /Rotate 90 /CropBox [10 10 300 400] " + box + " >>"},
          {3, node + "/Rotate 180 >>"}},
         "<< /Type /Page /Parent 3 0 R /Resources << >> >>",
         {start, "\n/CropBox [10 10 300 400]\n", "\n/Rotate 180\n", "!/Rotate 90"},
         {-3},
         "<Rotate v=\"180\" />"},
        {"OwnRotateKept",
         {{2, root + "10 0 R] /Rotate 90 >>"}},
         "<< /Type /Page /Parent 2 0 R /Rotate 0 /MediaBox [0 0 5 5] /Resources << >> >>",
         {"10 0 obj\n<< /Type /Page /Parent 2 0 R /Rotate 0 /MediaBox [0 0 5 5]", "!/Rotate 90"},
         {},
         "<Rotate v=\"0\" />"},
        {"PageWithoutParentGetsOne",
         {{2, root + "10 0 R] >>"}},
         "<< /Type /Page /MediaBox [0 0 5 5] /Resources << >> >>",
         {"10 0 obj\n<<\n/Parent 2 0 R\n /Type /Page"},
         {},
         ""},
        {"RootGenerationKept",
         {{1, "<< /Type /Catalog /Pages 2 3 R >>"}, {2, root + "10 0 R] " + box + " >>", 3}},
         "<< /Type /Page /Parent 2 3 R /Resources << >> >>",
         {start, "/Parent 2 3 R"},
         {},
         ""},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Obj> objects = c.objects;
        if (objects.front().number != 1)
            objects.insert(objects.begin(), {1, "<< /Type /Catalog /Pages 2 0 R >>"});
        objects.push_back({4, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"});
        objects.push_back({11, testpdf::StreamBody("", "0 g 0 0 10 10 re f")});
        objects.push_back({10, c.page});
        TempDir dir;
        WriteFile(dir / "in.pdf", Document(objects));
        ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s1"), "");
        Output pdf = ReadOutput(dir / "out.pdf");
        const std::string page = pdf.Object(10);
        EXPECT_EQ(page.rfind(c.parts.front(), 0), 0u) << page;
        for (const std::string& part : c.parts) {
            bool absent = part[0] == '!';
            EXPECT_EQ(page.find(part.substr(absent)) == std::string::npos, absent) << part;
        }
        for (int n : c.copied) EXPECT_EQ(pdf.Has(std::abs(n)), n > 0) << n;
        const std::string tree = pdf.Object(2);
        EXPECT_EQ(tree.substr(tree.find('\n')),
                  "\n<<\n/Type /Pages\n/Kids [ 10 0 R ]\n/Count 1\n>>\nendobj\n");
        ExpectQpdfClean(dir / "out.pdf");
        if (!c.mutool.empty() && HaveTool("mutool")) {
            std::string shown = Shell("mutool pages " + dir / "out.pdf").second;
            EXPECT_NE(shown.find(c.mutool), std::string::npos) << shown;
        }
    }
}

TEST(Split, RootListsPagesInSelectionOrderTenToALine) {
    TempDir dir;
    WriteFile(dir / "in.pdf", testpdf::MakeSimpleDocument(25));
    std::string list = "-s";
    for (int n = 25; n >= 1; --n) list += std::to_string(n) + ",";
    ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", list + "3"), "");
    Output pdf = ReadOutput(dir / "out.pdf");
    std::string kids;
    for (int i = 0; i < 26; ++i) {
        kids += " " + std::to_string(L::Page(i < 25 ? 25 - i : 3)) + " 0 R";
        if (i == 10 || i == 20) kids += "\n";
    }
    EXPECT_EQ(pdf.Object(L::kPages),
              "2 0 obj\n<<\n/Type /Pages\n/Kids [" + kids + " ]\n/Count 26\n>>\nendobj\n");
    // Page 3 is written twice; the table points at the later copy, after page 1.
    std::vector<int> order = pdf.FileOrder();
    EXPECT_EQ(std::count(order.begin(), order.end(), L::Page(3)), 2);
    EXPECT_GT(pdf.objects[L::Page(3)].first, pdf.objects[L::Page(1)].first);
}

struct CollectCase {
    const char* name;
    std::string pageExtra;     // entries added to page 1 (object 10)
    std::string catalogExtra;  // entries added to the catalog
    std::vector<Obj> objects;
    std::set<int> expected;  // objects of the output besides the catalog, tree, page and content
};

TEST(Split, CopiesWhatTheCatalogAndTheChosenPagesReach) {
    std::vector<Obj> strings;
    for (int n = 30; n <= 36; ++n) strings.push_back({n, "(x)"});
    const CollectCase cases[] = {
        {"Plain", "", "", {}, {}},
        {"StreamDataIsNotFollowed",
         "/X 30 0 R",
         "",
         {{30, testpdf::StreamBody("/Foo 31 0 R", "q 32 0 R Q")}, {31, "(a)"}, {32, "(b)"}},
         {30, 31}},
        {"EveryDelimiterAfterAReference",
         "/X [30 0 R\t31 0 R[1] 32 0 R<</K 1>> 33 0 R(s) 34 0 R<65> 35 0 R/N 36 0 R]",
         "",
         strings,
         {30, 31, 32, 33, 34, 35, 36}},
        {"NonzeroGeneration", "/X 30 2 R", "", {{30, "<< /Y 31 0 R >>", 2}, {31, "(y)"}}, {30, 31}},
        {"ChainsAndCycles",
         "/X 30 0 R",
         "",
         {{30, "<< /N 31 0 R >>"}, {31, "[32 0 R 33 0 R]"}, {32, "<< /Back 30 0 R >>"}, {33, "1"}},
         {30, 31, 32, 33}},
        // A page outside the output's page tree would be an orphan that readers reject.
        {"LinkedUnselectedPageIsNotCopied",
         "/Annots [30 0 R]",
         "",
         {{30, "<< /Type /Annot /Subtype /Link /Rect [0 0 9 9] /Dest [20 0 R /Fit] >>"}},
         {30}},
        {"PageTreeNodesAreNeverCopied",
         "/X 30 0 R",
         "",
         {{30, "<< /Type /Pages /Kids [] /Count 0 /Y 31 0 R >>"}, {31, "(z)"}},
         {}},
        {"FreeAndMissingObjectsStayFree",
         "/X 30 0 R /Y 31 0 R /Z 9999 0 R",
         "",
         {{30, ""}, {32, "(last)"}},
         {}},
        {"CatalogDoesNotBringPages",
         "",
         "/OpenAction [20 0 R /Fit] /Names 30 0 R",
         {{30, "<< /Dests 31 0 R >>"},
          {31, "<< /Names [(a) [20 0 R /Fit] (b) 32 0 R] >>"},
          {32, "[20 0 R /XYZ 0 0 0]"}},
         {30, 31, 32}},
        // Names that merely begin with "Page" do not make a destination dictionary a page.
        {"CatalogBringsDestinationsNamedAfterPages",
         "",
         "/Dests 30 0 R",
         {{30, "<< /Page1 [10 0 R /Fit] /Page2 [20 0 R /Fit] >>"}},
         {30}},
        {"InfoAndWhatItReaches",
         "",
         "",
         {{40, "<< /Title 41 0 R /Producer (p) >>"}, {41, "(T)"}},
         {40, 41}},
    };
    for (const CollectCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Obj> objects = {
            {1, "<< /Type /Catalog /Pages 2 0 R " + c.catalogExtra + " >>"},
            {2, "<< /Type /Pages /Kids [10 0 R 20 0 R] /Count 2 /MediaBox [0 0 200 200] >>"},
            {10, "<< /Type /Page /Parent 2 0 R /Resources << >> /Contents 11 0 R " + c.pageExtra +
                     " >>"},
            {11, testpdf::StreamBody("", "0 g")},
            {20, "<< /Type /Page /Parent 2 0 R /Resources << >> /Contents 21 0 R >>"},
            {21, testpdf::StreamBody("", "1 g")},
        };
        objects.insert(objects.end(), c.objects.begin(), c.objects.end());
        TempDir dir;
        const std::string source = Document(objects);
        WriteFile(dir / "in.pdf", source);
        ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s1"), "");
        Output pdf = ReadOutput(dir / "out.pdf");
        std::set<int> expected = c.expected;
        expected.insert({1, 2, 10, 11});
        EXPECT_EQ(pdf.Numbers(), expected);
        EXPECT_EQ(pdf.Kids(2), std::vector<int>{10});
        std::vector<int> order = pdf.FileOrder();
        EXPECT_EQ(std::set<int>(order.begin(), order.end()).size(), order.size());
        for (const Obj& o : objects) {
            if (!pdf.Has(o.number)) continue;
            EXPECT_EQ(pdf.objects[o.number].second, o.generation) << o.number;
            if (o.number == 2 || o.number == 10) continue;
            // Everything else is copied as it stands in the source.
            std::string text = pdf.Object(o.number);
            EXPECT_NE(source.find(text.substr(0, text.size() - 1)), std::string::npos) << text;
        }
    }
}

// A content stream of about `size` bytes that draws nothing.
std::string BigContent(size_t size) {
    std::string data;
    while (data.size() < size) data += "% filler line that only takes room\n";
    return data;
}

TEST(Split, FailedDocumentLeavesNoFileButEarlierChunksStay) {
    // Pages 5 and 6 are large: their chunk passes the file size limit, the others do not.
    Builder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int n = 1; n <= 6; ++n) {
        kids += std::to_string(10 * n) + " 0 R ";
        b.Add(10 * n,
              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 9 9] /Resources << >> "
              "/Contents " +
                  std::to_string(10 * n + 1) + " 0 R >>");
        b.AddStream(10 * n + 1, "", n >= 5 ? BigContent(300000) : "0 g");
    }
    b.Add(2, "<< /Type /Pages /Kids [" + kids + "] /Count 6 >>");
    b.SetRoot(1);
    TempDir dir;
    WriteFile(dir / "in.pdf", b.Build());

    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 200000;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message = Split(dir / "in.pdf", dir / "split", "-s2s");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(message, "Output file write error");
    ASSERT_EQ(dir.Outputs(),
              (std::vector<std::string>{"split000001-000002.pdf", "split000003-000004.pdf"}));
    EXPECT_EQ(ReadOutput(dir / "split000003-000004.pdf").Kids(2), (std::vector<int>{30, 40}));
}

TEST(Split, OutputThatCannotBeCreatedStopsTheRun) {
    TempDir dir;
    WriteFile(dir / "in.pdf", testpdf::MakeSimpleDocument(25));
    fs::create_directory(dir / "split000011-000020.pdf");
    EXPECT_EQ(Split(dir / "in.pdf", dir / "split", "-s10s"), "Output file create error");
    EXPECT_EQ(dir.Outputs(),
              (std::vector<std::string>{"split000001-000010.pdf", "split000011-000020.pdf"}));
    EXPECT_EQ(ReadOutput(dir / "split000001-000010.pdf").Kids(2).size(), 10u);
    EXPECT_EQ(Split(dir / "in.pdf", dir / "no/such/folder/out.pdf", "-s1"),
              "Output file create error");
}

TEST(Split, OutputOverTheSourceReplacesItWhole) {
    TempDir dir;
    WriteFile(dir / "in.pdf", testpdf::MakeSimpleDocument(3));
    ASSERT_EQ(Split(dir / "in.pdf", dir / "in.pdf", "-s2"), "");
    EXPECT_TRUE(dir.Outputs().empty());
    Output pdf = ReadOutput(dir / "in.pdf");
    EXPECT_EQ(pdf.Kids(2), std::vector<int>{L::Page(2)});
    ExpectQpdfClean(dir / "in.pdf");
}

TEST(Split, DevicesAndPipesAreWrittenDirectly) {
    TempDir dir;
    WriteFile(dir / "in.pdf", testpdf::MakeSimpleDocument(3));
    struct stat st;
    if (stat("/dev/full", &st) == 0 && S_ISCHR(st.st_mode)) {
        EXPECT_EQ(Split(dir / "in.pdf", "/dev/full", "-s1"), "Output file write error");
        ASSERT_EQ(stat("/dev/full", &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(fifo); });
    EXPECT_EQ(Split(dir / "in.pdf", fifo, "-s1,3"), "");
    reader.join();
    EXPECT_EQ(dir.Outputs(), std::vector<std::string>{"pipe"});
    WriteFile(dir / "copy.pdf", received);
    EXPECT_EQ(ReadOutput(dir / "copy.pdf").Kids(2), PageObjects({1, 3}));
}

// A two-page source whose trailer names an encryption dictionary (object 30).
std::string EncryptedSource(bool objectStreams) {
    Builder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [10 0 R 20 0 R] /Count 2 /MediaBox [0 0 9 9] >>");
    b.Add(10, "<< /Type /Page /Parent 2 0 R /Resources << >> /Contents 11 0 R >>");
    b.AddStream(11, "", "0 g");
    b.Add(20, "<< /Type /Page /Parent 2 0 R /Resources << >> >>");
    b.Add(30, "<< /Filter /Standard /V 1 /R 2 /O <" + std::string(64, '1') + "> /U <" +
                  std::string(64, '2') + "> /P -44 >>");
    if (objectStreams) {
        testpdf::XrefOptions xref;
        xref.style = testpdf::XrefStyle::Stream;
        b.SetXref(xref).PutInObjectStream(40, {1, 2, 10, 20});
    }
    b.SetRoot(1).SetId("0123456789ABCDEF", "FEDCBA9876543210").AddTrailerEntries("/Encrypt 30 0 R");
    return b.Build();
}

TEST(Split, EncryptedSourceKeepsItsEncryption) {
    TempDir dir;
    WriteFile(dir / "in.pdf", EncryptedSource(false));
    ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s1"), "");
    Output pdf = ReadOutput(dir / "out.pdf");
    EXPECT_EQ(pdf.Numbers(), (std::set<int>{1, 2, 10, 11, 30}));
    EXPECT_EQ(pdf.trailer,
              "trailer\n<<\n/Size 31\n/Encrypt 30 0 R\n/ID [<0123456789ABCDEF>"
              "<FEDCBA9876543210>]\n/Root 1 0 R\n>>\n");

    WriteFile(dir / "in.pdf", EncryptedSource(true));
    EXPECT_EQ(Split(dir / "in.pdf", dir / "out2.pdf", "-s1"),
              "Encrypted document with object streams cannot be split");
    EXPECT_FALSE(fs::exists(dir / "out2.pdf"));
}

TEST(Split, EncryptedFilesMadeByQpdfStayReadable) {
    if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    TempDir dir;
    WriteFile(dir / "plain.pdf", testpdf::MakeSimpleDocument(3));
    const struct {
        const char* options;
        const char* message;
    } cases[] = {
        {"--encrypt user owner 256 --", ""},
        {"--allow-weak-crypto --encrypt user owner 128 --use-aes=n --", ""},
        {"--object-streams=generate --encrypt user owner 256 --",
         "Encrypted document with object streams cannot be split"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        auto made = Shell(std::string("qpdf ") + c.options + " " + dir / "plain.pdf" + " " +
                          dir / "in.pdf");
        ASSERT_EQ(made.first, 0) << made.second;
        fs::remove(dir / "out.pdf");
        ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s2"), c.message);
        if (*c.message) continue;
        EXPECT_NE(ReadFile(dir / "out.pdf").find("/Encrypt "), std::string::npos);
        ExpectQpdfClean(dir / "out.pdf", "--password=user");
        auto plain = Shell("qpdf --password=user --decrypt --stream-data=uncompress " +
                           dir / "out.pdf" + " -");
        EXPECT_NE(plain.second.find("(Page 2) Tj"), std::string::npos);
        EXPECT_EQ(plain.second.find("(Page 1) Tj"), std::string::npos);
    }
}

}  // namespace
