// Outline copying by the split job: which items an output keeps (those that open one of its
// pages, those that open no page, and those that hold them), their order, and how they and
// the outline root are rewritten. OutputPdf::Outline checks the links of every output outline
// it reads.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "CPdfException.h"
#include "OutputPdf.h"
#include "SplitRun.h"
#include "TestPdf.h"
#include "TestValues.h"
#include "app/CPdfFileSplit.h"

namespace {

namespace fs = std::filesystem;
using L = testpdf::SimpleLayout;
using namespace splitrun;

// Writes the source, runs the split job on it; "" on success, else the message.
std::string SplitSource(const TempDir& dir, const std::string& source, const std::string& mode,
                        const std::string& out = "out.pdf") {
    WriteFile(dir / "in.pdf", source);
    return splitrun::Split(dir / "in.pdf", dir / out, mode);
}

// Titles and page numbers of the first-level outline as mutool reads it; nullopt-like empty
// flag when mutool is missing.
bool MutoolOutline(const std::string& name, std::vector<std::pair<std::string, int>>& items) {
    items.clear();
    if (!HaveTool("mutool")) return false;
    std::string text = Shell("mutool show '" + name + "' outline").second;
    SCOPED_TRACE(text);
    static const std::regex line("(?:^|\n)[|+-]\t\"([^\"]*)\"\t#page=(\\d+)");
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
        items.emplace_back((*it)[1], std::stoi((*it)[2]));
    }
    return true;
}

struct Item {
    std::string title;   // raw value, e.g. "(A)"
    std::string target;  // "/Dest ...", "/A ..." or nothing
    int generation = 0;
};

// A document of `pages` pages (page k is object 10k with content 10k + 1) whose outline root 5
// lists the items as objects 100, 101, ... With loop, the last item's /Next is the first.
std::string OutlineDocument(int pages, const std::vector<Item>& items,
                            const std::vector<Obj>& extra = {},
                            const std::string& catalogExtra = "", bool loop = false,
                            int rootGeneration = 0, const std::string& rootExtra = "") {
    testpdf::Builder b;
    auto ref = [](int n, int g = 0) { return std::to_string(n) + " " + std::to_string(g) + " R"; };
    const int count = static_cast<int>(items.size());
    const std::string root = ref(5, rootGeneration);
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R /Outlines " + root + " " + catalogExtra + " >>");
    std::string kids;
    for (int k = 1; k <= pages; ++k) {
        kids += ref(10 * k) + " ";
        b.Add(10 * k,
              "<< /Type /Page /Parent 2 0 R /Resources << >> /Contents " + ref(10 * k + 1) + " >>");
        b.AddStream(10 * k + 1, "", "% page " + std::to_string(k));
    }
    b.Add(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) +
                 " /MediaBox [0 0 200 200] >>");
    std::string rootBody = "<< /Type /Outlines " + rootExtra + " /Count " + std::to_string(count);
    if (count) rootBody += " /First " + ref(100, items[0].generation);
    if (count) rootBody += " /Last " + ref(99 + count, items[count - 1].generation);
    b.Add(5, rootBody + " >>", rootGeneration);
    for (int i = 0; i < count; ++i) {
        std::string body =
            "<< /Title " + items[i].title + " " + items[i].target + " /Parent " + root;
        if (i > 0) body += " /Prev " + ref(99 + i, items[i - 1].generation);
        if (i + 1 < count) body += " /Next " + ref(101 + i, items[i + 1].generation);
        if (i + 1 == count && loop) body += " /Next " + ref(100, items[0].generation);
        b.Add(100 + i, body + " >>", items[i].generation);
    }
    for (const Obj& o : extra) b.Add(o.number, o.body, o.generation);
    b.SetRoot(1);
    return b.Build();
}

// Named destinations of OutlineDocument sources, in a /Names /Dests tree or a catalog /Dests
// dictionary, all of them opening page 2 (object 20) but "chap1" and "old1"; and actions.
const std::string kNameTree = "/Names << /Dests 300 0 R >>";
const std::string kOldDests = "/Dests 310 0 R";
const std::vector<Obj> kNameObjects = {
    {300, "<< /Kids [301 0 R] >>"},
    {301,
     "<< /Limits [(chap1) (chapd)] /Names [(chap1) [10 0 R /Fit] (chap2) [20 0 R /Fit] "
     "(chap3) 320 0 R (chapd) << /D [20 0 R /XYZ 0 0 0] >>] >>"},
    {310, "<< /old1 [10 0 R /Fit] /old2 [20 0 R /Fit] >>"},
    {320, "[20 0 R /FitH 5]"},
    {330, "[20 0 R /Fit]"},
    {200, "<< /S /GoTo /D [20 0 R /Fit] >>"},
    {201, "<< /S /GoTo /D (chap2) /Next 202 0 R >>"},
    {202, "<< /S /URI /URI (http://example.com/) >>"},
};

TEST(Outline, ItemIsKeptWhenItsDestinationIsAChosenPage) {
    const struct {
        const char* target;
        bool kept;
        bool oldDests = false;  // the catalog has /Dests instead of a name tree
    } cases[] = {
        {"/Dest [20 0 R /XYZ 0 0 0]", true},
        {"/Dest [10 0 R /Fit]", false},
        {"/Dest 330 0 R", true},
        {"/A 200 0 R", true},
        {"/A << /S /GoTo /D [20 0 R /Fit] >>", true},
        {"/A << /Type /Action /S /GoTo /D [20 0 R /Fit] >>", true},
        {"/A << /S /GoTo /D (chap2) >>", true},
        {"/A 201 0 R", true},
        {"/A << /S /GoTo /D [10 0 R /Fit] /Next 202 0 R >>", false},
        {"/Dest (chap2)", true},
        {"/Dest <6368617032>", true},
        {"/Dest (chap3)", true},
        {"/Dest (chapd)", true},
        {"/Dest (chap1)", false},
        {"/Dest /old2", true, true},
        {"/Dest (old2)", true, true},
        {"/Dest /old1", false, true},
        {"/Dest (chap2)", false, true},
        {"/Dest (nothing)", false},
        {"/A << /S /GoTo >>", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        TempDir dir;
        const std::string source = OutlineDocument(3, {{"(Item)", c.target}}, kNameObjects,
                                                   c.oldDests ? kOldDests : kNameTree);
        ASSERT_EQ(SplitSource(dir, source, "-s2"), "");
        OutputPdf pdf(dir / "out.pdf");
        EXPECT_EQ(pdf.Outline(), c.kept ? "Item@1" : "(none)");
        if (!c.kept) continue;
        ExpectQpdfClean(dir / "out.pdf");
        std::vector<std::pair<std::string, int>> shown;
        if (MutoolOutline(dir / "out.pdf", shown)) {
            EXPECT_EQ(shown, (std::vector<std::pair<std::string, int>>{{"Item", 1}}))
                << Shell("mutool show '" + dir / "out.pdf" + "' outline").second;
        }
    }
}

// Items that open no page of the document (a web address, a named action, a script, a layer,
// another file, a program) are kept by every output, at their level among the kept items: on
// the first level, whose order follows the pages, each after the kept item before it in the
// outline. Items of a structure element go with the element; dead go-to items go; an item
// without action stays for what it holds. Printed: the page an item opens, or its action.
TEST(Outline, ItemsThatOpenNoPageAreKeptInPlace) {
    testpdf::Builder b;
    b.Add(1,
          "<< /Type /Catalog /Pages 2 0 R /Outlines 5 0 R /StructTreeRoot 6 0 R /OCProperties "
          "<< /OCGs [7 0 R] /D << /Order [7 0 R] >> >> >>");
    std::string kids;
    for (int k = 1; k <= 4; ++k) {
        kids += std::to_string(10 * k) + " 0 R ";
        b.Add(10 * k, "<< /Type /Page /Parent 2 0 R /Resources << >> /MediaBox [0 0 9 9]" +
                          std::string(k == 2 ? " /StructParents 0" : "") + " >>");
    }
    b.Add(2, "<< /Type /Pages /Kids [" + kids + "] /Count 4 >>");
    b.Add(6, "<< /Type /StructTreeRoot /K [400 0 R] /ParentTree 8 0 R >>");
    b.Add(7, "<< /Type /OCG /Name (Layer) >>");
    b.Add(8, "<< /Nums [0 [400 0 R]] >>");
    b.Add(400, "<< /Type /StructElem /S /P /P 6 0 R /Pg 20 0 R /K 0 >>");
    // Each item: number, title, what it does, the items it holds (first, last, count).
    const struct {
        int number;
        const char* title;
        std::string target;
        std::string held;
    } items[] = {
        {100, "U", "/A << /S /URI /URI (https://example.com/) >>", ""},
        {101, "P3", "/Dest [30 0 R /Fit]", ""},
        {102, "N", "/A << /S /Named /N /NextPage >>", ""},
        {103, "J", "/A << /S /JavaScript /JS (app.alert\\(1\\)) >>", ""},
        {104, "P1", "/Dest [10 0 R /Fit]", "/First 120 0 R /Last 122 0 R /Count 3"},
        {105, "R", "/A << /S /GoToR /F (other.pdf) /D [0 /Fit] >>", ""},
        {106, "X", "/A << /S /GoTo /D [99 0 R /Fit] >>", ""},
        {107, "C", "", "/First 123 0 R /Last 124 0 R /Count -2"},
        {108, "S", "/SE 400 0 R", ""},
        {109, "E", "", "/First 125 0 R /Last 125 0 R /Count 1"},
        {110, "Launch", "/A << /S /Launch /F (notes.txt) >>", ""},
        {120, "P1a", "/Dest [10 0 R /XYZ 0 0 0]", ""},
        {121, "L", "/A << /S /SetOCGState /State [/Toggle 7 0 R] >>", ""},
        {122, "DD", "/Dest [7 0 R /Fit]", ""},
        {123, "C2", "/Dest [20 0 R /Fit]", ""},
        {124, "CW", "/A << /S /URI /URI (https://example.org/) >>", ""},
        {125, "E4", "/Dest [40 0 R /Fit]", ""},
    };
    const struct {
        int first, last, parent;
    } chains[] = {{100, 110, 5}, {120, 122, 104}, {123, 124, 107}, {125, 125, 109}};
    for (const auto& c : chains) {
        for (int n = c.first; n <= c.last; ++n) {
            const auto& it = items[n < 120 ? n - 100 : n - 120 + 11];
            std::string body = "<< /Title (" + std::string(it.title) + ") " + it.target + " " +
                               it.held + " /Parent " + std::to_string(c.parent) + " 0 R";
            if (n > c.first) body += " /Prev " + std::to_string(n - 1) + " 0 R";
            if (n < c.last) body += " /Next " + std::to_string(n + 1) + " 0 R";
            b.Add(n, body + " >>");
        }
    }
    b.Add(5, "<< /Type /Outlines /First 100 0 R /Last 110 0 R /Count 14 >>");
    const std::string source = b.SetRoot(1).Build();
    const struct {
        const char* mode;
        const char* outline;
    } cases[] = {
        {"-s1-4",
         "U@URI P1@1(P1a@1 L@SetOCGState) R@GoToR C@2:c(C2@2 CW@URI) S@-+SE P3@3 N@Named "
         "J@JavaScript E@4(E4@4) Launch@Launch"},
        {"-s3",
         "U@URI P3@1 N@Named J@JavaScript P1@-(L@SetOCGState) R@GoToR C@-:c(CW@URI) "
         "Launch@Launch"},
        {"-s2,1",
         "U@URI N@Named J@JavaScript C@1:c(C2@1 CW@URI) S@-+SE Launch@Launch "
         "P1@2(P1a@2 L@SetOCGState) R@GoToR"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDir dir;
        ASSERT_EQ(SplitSource(dir, source, c.mode), "");
        EXPECT_EQ(OutputPdf(dir / "out.pdf").Outline(), c.outline);
        ExpectQpdfClean(dir / "out.pdf");
    }
    // Items that open no page start no file of the bookmarks mode, and come into each.
    TempDir dir;
    ASSERT_EQ(SplitSource(dir, source, "bookmarks", "ch"), "");
    EXPECT_EQ(Outputs(dir), (std::vector<std::string>{"ch000002-P3.pdf", "ch000005-P1.pdf"}));
    EXPECT_EQ(OutputPdf(dir / "ch000002-P3.pdf").Outline(),
              "U@URI P3@1 N@Named J@JavaScript P1@-(L@SetOCGState) R@GoToR C@-:c(CW@URI) "
              "E@2(E4@2) Launch@Launch");
}

TEST(Outline, ItemsFollowTheSelectionAndComeOnce) {
    // A and C open page 1, D page 3, B and E page 5.
    const std::vector<Item> items = {{"(A)", "/Dest [10 0 R /Fit]"},
                                     {"(B)", "/Dest [50 0 R /Fit]"},
                                     {"(C)", "/A << /S /GoTo /D [10 0 R /XYZ 0 0 0] >>"},
                                     {"(D)", "/Dest [30 0 R /Fit]"},
                                     {"(E)", "/Dest [50 0 R /FitB]"}};
    const struct {
        const char* mode;
        const char* outline;
    } cases[] = {
        {"-s5,1", "B@1 E@1 A@2 C@2"},
        {"-s1-5", "A@1 C@1 D@3 B@5 E@5"},
        {"-s1,1", "A@1 C@1"},
        {"-s5,1,5", "B@1 E@1 A@2 C@2"},
        {"-s3", "D@1"},
        {"-s2,4", "(none)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDir dir;
        ASSERT_EQ(SplitSource(dir, OutlineDocument(5, items), c.mode), "");
        OutputPdf pdf(dir / "out.pdf");
        EXPECT_EQ(pdf.Outline(), c.outline);
        ExpectQpdfClean(dir / "out.pdf");
    }
}

TEST(Outline, NestedItemsArePrunedToTheChosenPages) {
    // Ch1 (page 1) holds S11 (page 2) and S12 (page 3), which holds T (page 4); Ch2 (page 5,
    // closed) holds S21 (page 6); Ch3 (page 7) holds S31 (page 2).
    testpdf::Builder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 5 0 R >>");
    std::string kids;
    for (int k = 1; k <= 7; ++k) {
        kids += std::to_string(10 * k) + " 0 R ";
        b.Add(10 * k, "<< /Type /Page /Parent 2 0 R /Resources << >> /MediaBox [0 0 9 9] >>");
    }
    b.Add(2, "<< /Type /Pages /Kids [" + kids + "] /Count 7 >>");
    b.Add(5, "<< /Type /Outlines /First 100 0 R /Last 102 0 R /Count 6 >>");
    auto item = [&](int n, const char* title, int page, const std::string& links) {
        b.Add(n, "<< /Title (" + std::string(title) + ") /Dest [" + std::to_string(10 * page) +
                     " 0 R /Fit] " + links + " >>");
    };
    item(100, "Ch1", 1, "/Parent 5 0 R /Next 101 0 R /First 110 0 R /Last 111 0 R /Count 3");
    item(110, "S11", 2, "/Parent 100 0 R /Next 111 0 R");
    item(111, "S12", 3, "/Parent 100 0 R /Prev 110 0 R /First 120 0 R /Last 120 0 R /Count 1");
    item(120, "T", 4, "/Parent 111 0 R");
    item(101, "Ch2", 5,
         "/Parent 5 0 R /Prev 100 0 R /Next 102 0 R /First 130 0 R /Last 130 0 R "
         "/Count -1");
    item(130, "S21", 6, "/Parent 101 0 R");
    item(102, "Ch3", 7, "/Parent 5 0 R /Prev 101 0 R /First 140 0 R /Last 140 0 R /Count 1");
    item(140, "S31", 2, "/Parent 102 0 R");
    const std::string source = b.SetRoot(1).Build();
    const struct {
        const char* mode;
        const char* outline;
    } cases[] = {
        {"-s1-7", "Ch1@1(S11@2 S12@3(T@4)) Ch2@5:c(S21@6) Ch3@7(S31@2)"},
        // Kept for what they hold, Ch1 and Ch3 open the first page of their items.
        {"-s2", "Ch1@1(S11@1) Ch3@1(S31@1)"},
        {"-s4,5", "Ch1@1(S12@1(T@1)) Ch2@2"},
        {"-s6,1", "Ch2@1:c(S21@1) Ch1@2"},
        {"odd", "Ch1@1(S12@2) Ch2@3 Ch3@4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDir dir;
        ASSERT_EQ(SplitSource(dir, source, c.mode), "");
        OutputPdf pdf(dir / "out.pdf");
        EXPECT_EQ(pdf.Outline(), c.outline);
        ExpectQpdfClean(dir / "out.pdf");
    }
}

TEST(Outline, ItemsKeepTheirEntriesAndTheRootItsOwn) {
    TempDir dir;
    const std::string source = OutlineDocument(
        2, {{"(A)", "/A 200 0 R /C [1 0 0] /F 3 /Extra (kept)"}, {"(B)", "/Dest [10 0 R /Fit]"}},
        {{200, "<< /S /GoTo /D [20 0 R /Fit] >>"}}, "", false, 0, "/Extra (root)");
    ASSERT_EQ(SplitSource(dir, source, "-s2"), "");
    OutputPdf pdf(dir / "out.pdf");
    EXPECT_EQ(pdf.Outline(), "A@1");
    CPdfObject root = pdf.CatalogEntry("Outlines");
    CPdfObject first = pdf.Resolve(root.dictValue->Get("First"));
    EXPECT_EQ(pdf.Describe(first, 1),
              "<< /A << /D [page1 /Fit] /S /GoTo >> /C [1 0 0] /Extra (kept) /F 3 /Parent << "
              "/Count 1 /Extra (root) /First R /Last R /Type /Outlines >> /Title (A) >>");
    ExpectQpdfClean(dir / "out.pdf");
}

TEST(Outline, TitlesSurviveWhole) {
    const struct {
        const char* title;
        const char* shown;  // as mutool prints it
    } cases[] = {
        {"(a (b) c)", "a (b) c"}, {"(a\\) b)", "a) b"},   {"<FEFF00410042>", "AB"},
        {"(and\\051)", "and)"},   {"40 0 R", "Indirect"}, {"()", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        TempDir dir;
        const std::vector<Obj> extra = {{40, "(Indirect)"}};
        ASSERT_EQ(
            SplitSource(dir, OutlineDocument(2, {{c.title, "/Dest [20 0 R /Fit]"}}, extra), "-s2"),
            "");
        OutputPdf pdf(dir / "out.pdf");
        EXPECT_NE(pdf.Outline(), "(none)");
        ExpectQpdfClean(dir / "out.pdf");
        std::vector<std::pair<std::string, int>> shown;
        if (MutoolOutline(dir / "out.pdf", shown)) {
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].first, c.shown);
        }
    }
}

TEST(Outline, OddSourcesStillGiveAConsistentOutline) {
    const std::string box = "/Dest [10 0 R /Fit]";
    const struct {
        const char* name;
        std::string source;
        const char* outline;
    } cases[] = {
        {"NextChainLoops",
         OutlineDocument(1, {{"(A)", box}, {"(B)", box}, {"(C)", box}}, {}, "", true),
         "A@1 B@1 C@1"},
        {"Generations",
         OutlineDocument(1, {{"(A)", "/A 200 1 R", 2}, {"(B)", box, 3}},
                         {{200, "<< /S /GoTo /D [10 0 R /Fit] >>", 1}}, "", false, 4),
         "A@1 B@1"},
        {"RootRefersToOtherObjects",
         OutlineDocument(1, {{"(A)", box}}, {{60, "(x)"}}, "", false, 0, "/Extra 60 0 R"), "A@1"},
        {"ChildOpensThePage",
         OutlineDocument(1, {{"(A)", box + " /First 150 0 R /Last 150 0 R /Count 1"}},
                         {{150, "<< /Title (child) /Dest [10 0 R /Fit] /Parent 100 0 R >>"}}),
         "A@1(child@1)"},
        {"ChildIsItsOwnParent",
         OutlineDocument(1, {{"(A)", box + " /First 100 0 R /Last 100 0 R /Count 1"}}), "A@1"},
        {"RootIsMissing",
         std::regex_replace(OutlineDocument(1, {}), std::regex("/Outlines 5 0 R"),
                            "/Outlines 9 0 R"),
         "(none)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        ASSERT_EQ(SplitSource(dir, c.source, "-s1"), "");
        OutputPdf pdf(dir / "out.pdf");
        EXPECT_EQ(pdf.Outline(), c.outline);
        ExpectQpdfClean(dir / "out.pdf");
    }
}

TEST(Outline, EveryChunkAndEverySourceLayoutCarriesItsOwnItems) {
    using testpdf::SimpleStyle;
    const struct {
        SimpleStyle style;
        bool namedDests;
    } cases[] = {{SimpleStyle::Table, false},
                 {SimpleStyle::Table, true},
                 {SimpleStyle::ObjectStreams, false},
                 {SimpleStyle::Hybrid, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.style) * 2 + c.namedDests);
        testpdf::SimpleOptions options;
        options.style = c.style;
        options.namedDests = c.namedDests;
        options.objectsPerStream = 5;
        TempDir dir;
        ASSERT_EQ(SplitSource(dir, testpdf::MakeSimpleDocument(5, options), "-s2s", "part"), "");
        const char* files[] = {"part000001-000002.pdf", "part000003-000004.pdf",
                               "part000005-000005.pdf"};
        const char* outlines[] = {"Page 1@1 Page 2@2", "Page 3@1 Page 4@2", "Page 5@1"};
        for (int f = 0; f < 3; ++f) {
            OutputPdf pdf(dir / files[f]);
            EXPECT_EQ(pdf.Outline(), outlines[f]) << files[f];
            ExpectQpdfClean(dir / files[f]);
        }
    }
}

}  // namespace
