// Outline copying by the split job: which first-level items an output keeps (by the page their
// destination opens), their order, how they and the outline root are rewritten, and that the
// outline of an output never refers to an object the output lacks.
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
#include "SplitRun.h"
#include "TestPdf.h"
#include "app/CPdfFileSplit.h"

namespace {

namespace fs = std::filesystem;
using L = testpdf::SimpleLayout;
using namespace splitrun;

// Writes the source, runs the split job on it; "" on success, else the message.
std::string Split(const TempDir& dir, const std::string& source, const std::string& mode,
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

// An output read through its cross-reference table (the frame itself is checked elsewhere).
struct Table {
    std::string bytes;
    std::map<int, std::pair<long long, int>> objects;  // in use: offset, generation

    bool Has(int n) const { return objects.count(n) != 0; }
    std::string Object(int n) const {
        auto it = objects.find(n);
        if (it == objects.end()) return "";
        size_t at = static_cast<size_t>(it->second.first);
        return bytes.substr(at, bytes.find("endobj", at) + 7 - at);
    }
};

Table ReadTable(const std::string& name) {
    Table t;
    t.bytes = ReadFile(name);
    size_t sx = t.bytes.rfind("startxref\n");
    if (sx == std::string::npos) {
        ADD_FAILURE() << name << ": no startxref";
        return t;
    }
    size_t p = static_cast<size_t>(std::atoll(t.bytes.c_str() + sx + 10)) + 7;
    size_t eol = t.bytes.find('\r', p);
    size_t size = std::stoul(t.bytes.substr(p, eol - p));
    for (size_t k = 1; k < size; ++k) {
        std::string line = t.bytes.substr(eol + 1 + 20 * k, 20);
        if (line[17] == 'n') {
            t.objects[static_cast<int>(k)] = {std::stoll(line.substr(0, 10)),
                                              std::stoi(line.substr(11, 5))};
        }
    }
    return t;
}

// Number and generation of the reference after key, {0, 0} when there is none.
std::pair<int, int> RefAfter(const std::string& text, const std::string& key) {
    static const std::regex ref(R"(^\s*(\d+) (\d+) R)");
    size_t at = text.find(key);
    std::smatch m;
    std::string rest = at == std::string::npos ? "" : text.substr(at + key.size());
    if (!std::regex_search(rest, m, ref)) return {0, 0};
    return {std::stoi(m[1]), std::stoi(m[2])};
}

// Every reference in text names an object of the output, under its generation.
void ExpectReferencesPresent(const Table& pdf, const std::string& text) {
    static const std::regex ref(R"((\d+) (\d+) R)");
    for (std::sregex_iterator it(text.begin(), text.end(), ref), end; it != end; ++it) {
        int n = std::stoi((*it)[1]);
        EXPECT_TRUE(pdf.Has(n) && pdf.objects.at(n).second == std::stoi((*it)[2]))
            << (*it)[0] << " in\n"
            << text;
    }
}

// Walks the output's first-level outline from the root and checks its links: /Count, /Last,
// /Prev and /Parent agree with the /Next chain, and every reference in the root, the items
// and their action objects names an object of the output. Returns the items' raw titles.
std::vector<std::string> WalkOutline(const Table& pdf, std::pair<int, int> root = {5, 0}) {
    std::vector<std::string> titles;
    const std::string rootText = pdf.Object(root.first);
    if (rootText.empty()) {
        ADD_FAILURE() << "no outline root";
        return titles;
    }
    ExpectReferencesPresent(pdf, rootText);
    std::pair<int, int> previous = {0, 0};
    for (std::pair<int, int> item = RefAfter(rootText, "/First "); item.first != 0;
         item = RefAfter(pdf.Object(item.first), "/Next ")) {
        const std::string text = pdf.Object(item.first);
        ExpectReferencesPresent(pdf, text);
        EXPECT_EQ(RefAfter(text, "/Parent "), root) << text;
        EXPECT_EQ(RefAfter(text, "/Prev "), previous) << text;
        std::pair<int, int> action = RefAfter(text, "\n/A ");
        if (action.first) ExpectReferencesPresent(pdf, pdf.Object(action.first));
        size_t title = text.find("/Title");
        titles.push_back(text.substr(title + 6, text.find("\n/Parent", title) - title - 6));
        previous = item;
        if (titles.size() > 100) {
            ADD_FAILURE() << "the /Next chain does not end";
            break;
        }
    }
    EXPECT_EQ(RefAfter(rootText, "/Last "), previous) << rootText;
    std::smatch m;
    EXPECT_TRUE(std::regex_search(rootText, m, std::regex(R"(/Count (\d+)\n)")) &&
                std::stoul(m[1]) == titles.size())
        << rootText;
    return titles;
}

struct Obj {
    int number;
    std::string body;
    int generation = 0;
};

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
        b.AddStream(10 * k + 1, "", "0 g");
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
        {"/A << /S /URI /URI (http://example.com/) >>", false},
        {"/A << /S /GoToR /F (other.pdf) /D [1 /Fit] >>", false},
        {"/A << /S /GoToR /F (other.pdf) /D (chap2) >>", false},
        {"/A << /Type /Action /S /GoToR /F (other.pdf) /D (chap2) >>", false},
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
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        TempDir dir;
        const std::string source = OutlineDocument(3, {{"(Item)", c.target}}, kNameObjects,
                                                   c.oldDests ? kOldDests : kNameTree);
        ASSERT_EQ(Split(dir, source, "-s2"), "");
        Table pdf = ReadTable(dir / "out.pdf");
        EXPECT_EQ(WalkOutline(pdf), std::vector<std::string>(c.kept ? 1 : 0, " (Item)"));
        EXPECT_EQ(pdf.Has(100), c.kept);
        if (!c.kept) continue;
        // The destination or action is written as it stood.
        EXPECT_NE(pdf.Object(100).find("\n" + std::string(c.target) + "\n"), std::string::npos)
            << pdf.Object(100);
        ExpectQpdfClean(dir / "out.pdf");
        std::vector<std::pair<std::string, int>> shown;
        if (MutoolOutline(dir / "out.pdf", shown)) {
            EXPECT_EQ(shown, (std::vector<std::pair<std::string, int>>{{"Item", 1}}))
                << Shell("mutool show '" + dir / "out.pdf" + "' outline").second;
        }
    }
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
        std::vector<std::string> titles;
    } cases[] = {
        {"-s5,1", {" (B)", " (E)", " (A)", " (C)"}},
        {"-s1-5", {" (A)", " (C)", " (D)", " (B)", " (E)"}},
        {"-s1,1", {" (A)", " (C)"}},
        {"-s5,1,5", {" (B)", " (E)", " (A)", " (C)"}},
        {"-s3", {" (D)"}},
        {"-s2,4", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDir dir;
        ASSERT_EQ(Split(dir, OutlineDocument(5, items), c.mode), "");
        Table pdf = ReadTable(dir / "out.pdf");
        EXPECT_EQ(WalkOutline(pdf), c.titles);
        for (int n = 100; n < 105; ++n) {
            std::string title = " (" + std::string(1, static_cast<char>('A' + n - 100)) + ")";
            bool kept = std::find(c.titles.begin(), c.titles.end(), title) != c.titles.end();
            EXPECT_EQ(pdf.Has(n), kept) << n;
            // Each kept item is written once.
            size_t first = pdf.bytes.find("\n" + std::to_string(n) + " 0 obj");
            EXPECT_EQ(pdf.bytes.find("\n" + std::to_string(n) + " 0 obj", first + 1),
                      std::string::npos);
        }
    }
}

TEST(Outline, ItemsAndRootAreRewritten) {
    TempDir dir;
    ASSERT_EQ(Split(dir, testpdf::MakeSimpleDocument(5), "-s2,3"), "");
    Table pdf = ReadTable(dir / "out.pdf");
    const int item2 = L::OutlineItem(2), item3 = L::OutlineItem(3);
    EXPECT_EQ(pdf.Object(item2),
              "16 0 obj\n<<\n/Next 20 0 R\n/A 17 0 R\n/Title (Page 2)\n"
              "/Parent 5 0 R\n>>\nendobj\n");
    EXPECT_EQ(pdf.Object(item3),
              "20 0 obj\n<<\n/Prev 16 0 R\n/A 21 0 R\n/Title (Page 3)\n"
              "/Parent 5 0 R\n>>\nendobj\n");
    EXPECT_EQ(pdf.Object(L::kOutlines),
              "5 0 obj\n<<\n/Type /Outlines\n/First 16 0 R\n"
              "/Last 20 0 R\n/Count 2\n>>\nendobj\n");
    EXPECT_EQ(pdf.Object(L::Action(2)), "17 0 obj\n<< /S /GoTo /D [14 0 R /Fit] >>\nendobj\n");
    for (int n : {1, 4, 5}) EXPECT_FALSE(pdf.Has(L::OutlineItem(n)) || pdf.Has(L::Action(n)));
    ExpectQpdfClean(dir / "out.pdf");

    // An output that none of the items opens keeps an empty outline root.
    ASSERT_EQ(Split(dir, OutlineDocument(2, {{"(A)", "/Dest [10 0 R /Fit]"}}), "-s2"), "");
    pdf = ReadTable(dir / "out.pdf");
    EXPECT_EQ(pdf.Object(5), "5 0 obj\n<<\n/Type /Outlines\n/Count 0\n>>\nendobj\n");
    EXPECT_FALSE(pdf.Has(100));
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
        ASSERT_EQ(Split(dir, OutlineDocument(2, {{c.title, "/Dest [20 0 R /Fit]"}}, extra), "-s2"),
                  "");
        Table pdf = ReadTable(dir / "out.pdf");
        EXPECT_EQ(WalkOutline(pdf), std::vector<std::string>{" " + std::string(c.title)});
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
        std::vector<std::string> titles;
        std::pair<int, int> root;
    } cases[] = {
        {"NextChainLoops",
         OutlineDocument(1, {{"(A)", box}, {"(B)", box}, {"(C)", box}}, {}, "", true),
         {" (A)", " (B)", " (C)"},
         {5, 0}},
        {"Generations",
         OutlineDocument(1, {{"(A)", "/A 200 1 R", 2}, {"(B)", box, 3}},
                         {{200, "<< /S /GoTo /D [10 0 R /Fit] >>", 1}}, "", false, 4),
         {" (A)", " (B)"},
         {5, 4}},
        {"RootRefersToOtherObjects",
         OutlineDocument(1, {{"(A)", box}}, {{60, "(x)"}}, "", false, 0, "/Extra 60 0 R"),
         {" (A)"},
         {5, 0}},
        {"ChildrenAreLeftOut",
         OutlineDocument(1, {{"(A)", box + " /First 150 0 R /Last 150 0 R /Count 1"}},
                         {{150, "<< /Title (child) /Dest [10 0 R /Fit] /Parent 100 0 R >>"}}),
         {" (A)"},
         {5, 0}},
        {"RootIsMissing",
         std::regex_replace(OutlineDocument(1, {}), std::regex("/Outlines 5 0 R"),
                            "/Outlines 9 0 R"),
         {},
         {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        ASSERT_EQ(Split(dir, c.source, "-s1"), "");
        Table pdf = ReadTable(dir / "out.pdf");
        if (c.root.first) {
            EXPECT_EQ(WalkOutline(pdf, c.root), c.titles);
            EXPECT_EQ(pdf.objects[c.root.first].second, c.root.second);
        } else {
            EXPECT_FALSE(pdf.Has(9));
        }
        for (const auto& o : pdf.objects) {
            if (o.first >= 100 && o.first < 200) {
                EXPECT_EQ(pdf.Object(o.first).find("/First"), std::string::npos);
            }
        }
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
        ASSERT_EQ(Split(dir, testpdf::MakeSimpleDocument(5, options), "-s2s", "part"), "");
        const char* files[] = {"part000001-000002.pdf", "part000003-000004.pdf",
                               "part000005-000005.pdf"};
        for (int f = 0; f < 3; ++f) {
            Table pdf = ReadTable(dir / files[f]);
            std::vector<std::string> expected;
            for (int page = 2 * f + 1; page <= std::min(5, 2 * f + 2); ++page) {
                expected.push_back(" (Page " + std::to_string(page) + ")");
            }
            EXPECT_EQ(WalkOutline(pdf), expected) << files[f];
            ExpectQpdfClean(dir / files[f]);
            std::vector<std::pair<std::string, int>> shown;
            if (MutoolOutline(dir / files[f], shown)) {
                ASSERT_EQ(shown.size(), expected.size());
                for (size_t i = 0; i < shown.size(); ++i) {
                    EXPECT_EQ(shown[i].second, static_cast<int>(i) + 1);
                }
            }
        }
    }
}

}  // namespace
