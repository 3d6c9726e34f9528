// The cross-reference reader (startxref, classic tables, cross-reference streams, /Prev chains,
// hybrid files), object lookup through it, and the opening of whole documents with the repair
// scan as fallback.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "CPdfException.h"
#include "SourceTable.h"
#include "TempFile.h"
#include "TestPdf.h"
#include "TestValues.h"
#include "document/CPdfCatalog.h"
#include "document/CPdfDocument.h"
#include "file/CPdfXRef.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfNodeEntries.h"
#include "stream/CPdfFileStream.h"

namespace {

using testpdf::Builder;
using testpdf::LineEnd;
using testpdf::PngFilter;
using testpdf::XrefOptions;
using testpdf::XrefStyle;

// The strict reader over a file whose header is at offset 0.
using Table = SourceTable;

// A file put together by hand, for cross-reference data that the builder does not write.
struct RawPdf {
    std::string text = "%PDF-1.5\n";
    long long Add(int number, const std::string& body) {
        const long long at = static_cast<long long>(text.size());
        text += std::to_string(number) + " 0 obj\n" + body + "\nendobj\n";
        return at;
    }
    long long Here() const { return static_cast<long long>(text.size()); }
    // The file with `section` appended and named by "startxref".
    std::string With(const std::string& section) const {
        return text + section + "\nstartxref\n" + std::to_string(Here()) + "\n%%EOF\n";
    }
};

std::string Line(long long offset, int generation, char kind) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%010lld %05d %c\r\n", offset, generation, kind);
    return buf;
}

std::string XrefStream(const std::string& dict, const std::string& rows) {
    return "9 0 obj\n" + testpdf::StreamBody(dict, rows) + "\nendobj";
}

// Objects 1 and 2 in the body, for sections written by hand.
RawPdf TwoObjects() {
    RawPdf p;
    p.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    p.Add(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    return p;
}

// ---------------------------------------------------------------------------------------
// startxref

TEST(FindStartXRef, TakesTheLastValueWithinTheLast1023Bytes) {
    const std::string body(2000, 'x'), pad1012(1012, ' ');
    const struct {
        const char* name;
        std::string file;
        int64_t expected;
    } cases[] = {
        {"plain", body + "startxref\n123\n%%EOF\n", 123},
        {"last of two", body + "startxref\n5\n%%EOF\nstartxref\n77\n%%EOF\n", 77},
        {"zero bytes around", body + std::string("startxref\0\0 42\n\0%%EOF", 21), 42},
        {"plus sign", body + "startxref\r\n+9\r\n%%EOF", 9},
        {"negative", body + "startxref -17\n%%EOF", -17},
        {"no digits", body + "startxref\nabc\n%%EOF", 0},
        {"none", body + "%%EOF\n", 0},
        {"keyword at the window's first byte", body + "startxref 8" + pad1012, 8},
        {"keyword one byte earlier", body + "startxref 8" + pad1012 + " ", 0},
        {"short file searched whole", "startxref 31" + std::string(588, ' '), 31},
    };
    for (const auto& c : cases) {
        Table t(c.file);
        EXPECT_EQ(t.xref.FindStartXRef(), c.expected) << c.name;
    }
}

// ---------------------------------------------------------------------------------------
// Failures of the strict reader

TEST(XRefLoad, MalformedCrossReferenceDataFailsWithItsMessage) {
    const RawPdf p = TwoObjects();
    const std::string lines = Line(0, 65535, 'f') + Line(9, 0, 'n') + Line(58, 0, 'n');
    const std::string goodTrailer = "trailer\n<< /Size 3 /Root 1 0 R >>";
    auto table = [&](const std::string& body, const std::string& trailer) {
        return p.With("xref\n" + body + trailer);
    };
    auto stream = [&](const std::string& dict, const std::string& rows) {
        return p.With(XrefStream("/Type /XRef /Root 1 0 R " + dict, rows));
    };
    const std::string row = Bytes({1, 0, 9, 0});
    const std::string threeRows = Bytes({0, 0, 0}) + Bytes({1, 9, 0}) + Bytes({1, 58, 0});
    const char* damaged = "PDF file was damaged";
    const char* badTable = "Couldn't parse an xref table";
    const char* range = "Cross-reference subsection is out of range";
    const char* tooLarge = "Cross-reference table is too large";
    const char* wType = "W item of xref Stream is wrong type";
    const struct {
        const char* name;
        std::string pdf;
        const char* message;
    } cases[] = {
        {"empty file", "", damaged},
        {"no startxref", p.text, damaged},
        {"startxref 0", p.text + "startxref\n0\n%%EOF\n", damaged},
        {"startxref not a number", p.text + "startxref\nxref\n%%EOF\n", damaged},
        {"negative startxref", p.text + "startxref\n-5\n%%EOF\n", damaged},
        {"section is a name", p.With("/xref"), "Couldn't parse an xref"},
        {"number without obj", p.With("9 0 xyz"), "Couldn't parse an xref stream"},
        {"object is no stream", p.With("9 0 obj << /Type /XRef >> endobj"),
         "Couldn't parse an xref stream"},
        {"stream /Length indirect",
         p.With("9 0 obj\n" +
                testpdf::StreamBody("/Type /XRef /Size 3 /W [1 1 1]", threeRows, "8 0 R")),
         "Couldn't parse an xref stream"},
        {"subsection header word", table("0 x\n" + lines, goodTrailer), badTable},
        {"entry keyword", table("0 1\n0000000000 65535 q\r\n", goodTrailer), badTable},
        {"entry cut short", table("0 2\n" + Line(0, 65535, 'f'), goodTrailer), badTable},
        {"trailer is an array", table("0 3\n" + lines, "trailer\n[/Root 1 0 R]"),
         "Trailer dictionary is wrong type"},
        {"trailer without Root", table("0 3\n" + lines, "trailer\n<< /Size 3 >>"), damaged},
        {"Root is a dictionary", table("0 3\n" + lines, "trailer\n<< /Root << >> >>"), damaged},
        {"negative first", table("-1 1\n" + Line(9, 0, 'n'), goodTrailer), range},
        {"negative count", table("0 -1\n", goodTrailer), range},
        {"first beyond the limit", table("9000000 1\n" + Line(9, 0, 'n'), goodTrailer), range},
        {"table beyond the limit", table("60000 60000\n", goodTrailer), tooLarge},
        {"Size missing", stream("/W [1 1 1]", threeRows), "Size of xref Stream is wrong type"},
        {"Size real", stream("/Size 3.0 /W [1 1 1]", threeRows),
         "Size of xref Stream is wrong type"},
        {"Size negative", stream("/Size -1 /W [1 1 1]", threeRows), range},
        {"Size beyond the limit", stream("/Size 9000000 /W [1 1 1]", threeRows), tooLarge},
        {"W missing", stream("/Size 3", threeRows), wType},
        {"W not an array", stream("/Size 3 /W 3", threeRows), wType},
        {"W too short", stream("/Size 3 /W [1 1]", threeRows),
         "W item of xref Stream is wrong length"},
        {"W item real", stream("/Size 3 /W [1 1.0 1]", threeRows), wType},
        {"W item reference", stream("/Size 3 /W [1 3 0 R 1]", threeRows), wType},
        {"W item wider than 8", stream("/Size 3 /W [1 9 1]", threeRows),
         "W item of xref Stream is out of range"},
        {"Index item string", stream("/Size 3 /W [1 1 1] /Index [0 (3)]", threeRows),
         "Index item of xref Stream is wrong type"},
        {"Index negative", stream("/Size 3 /W [1 1 1] /Index [-1 3]", threeRows), range},
        {"data ends inside an entry", stream("/Size 3 /W [1 1 1]", threeRows.substr(0, 7)),
         "Unexpected EOF while reading xref stream section"},
        {"entry of type 3", stream("/Size 3 /W [1 2 1]", Bytes({3, 0, 0, 0}) + row + row),
         "Wrong type of xref XRefEntry while reading xref stream section"},
    };
    for (const auto& c : cases) {
        Table t(c.pdf);
        EXPECT_EQ(t.Load(), c.message) << c.name;
    }
}

// ---------------------------------------------------------------------------------------
// Entries

TEST(XRefStream, FieldsDecodeIntoEntries) {
    const struct {
        const char* widths;
        std::string row;
        XRefEntry expected;
    } cases[] = {
        {"[1 2 1]", Bytes({1, 0, 15, 0}), {15, 0, 1}},
        {"[0 3 0]", Bytes({0, 0, 15}), {15, 0, 1}},
        {"[1 2 2]", Bytes({2, 0, 12, 0, 3}), {12, 3, 2}},
        {"[1 8 1]", Bytes({1, 0, 0, 0, 0, 0, 0, 1, 2, 7}), {258, 7, 1}},
        {"[1 1 1]", Bytes({0, 0, 7}), {0, 7, 0}},
        {"[1 4 2 9]", Bytes({1, 0, 0, 1, 0, 0, 2}), {256, 2, 1}},
        // Past what an entry holds: an offset stays past the end of the file, a generation
        // makes the entry unusable.
        {"[1 8 1]", Bytes({1, 0, 0, 1, 0, 0, 0, 0, 0, 0}), {XRefEntry::kMaxOffset, 0, 1}},
        {"[1 2 4]", Bytes({1, 0, 15, 0, 15, 255, 255}), {15, XRefEntry::kMaxGeneration, 1}},
        {"[1 2 4]", Bytes({1, 0, 15, 0, 16, 0, 0}), {-2, 0, 0}},
    };
    for (const auto& c : cases) {
        RawPdf p;
        Table t(p.With(
            XrefStream(std::string("/Size 3 /Root 1 0 R /Index [5 1] /W ") + c.widths, c.row)));
        ASSERT_EQ(t.Load(), "") << c.widths;
        const XRefEntry& e = t.xref.entries.at(5);
        EXPECT_EQ(e.Offset(), c.expected.Offset()) << c.widths;
        EXPECT_EQ(e.Generation(), c.expected.Generation()) << c.widths;
        EXPECT_EQ(e.Type(), c.expected.Type()) << c.widths;
    }
}

TEST(XRefStream, IndexPairsAreReadBackToBack) {
    RawPdf p;
    auto rowFor = [](int v) { return Bytes({1, 0, v, 0}); };
    std::string rows;
    for (int v : {10, 11, 12, 13, 14, 20, 21, 22}) rows += rowFor(v);
    Table pairs(p.With(XrefStream("/Size 3 /Root 1 0 R /W [1 2 1] /Index [0 5 10 3]", rows)));
    ASSERT_EQ(pairs.Load(), "");
    ASSERT_GE(pairs.xref.entries.size(), 13u);
    EXPECT_EQ(pairs.xref.entries[4].Offset(), 14);
    EXPECT_EQ(pairs.xref.entries[7].Offset(), -1);
    EXPECT_EQ(pairs.xref.entries[12].Offset(), 22);

    // A trailing odd element is no pair.
    Table odd(p.With(XrefStream("/Size 3 /Root 1 0 R /W [1 2 1] /Index [0 5 10]", rows)));
    ASSERT_EQ(odd.Load(), "");
    EXPECT_EQ(odd.xref.entries.size(), 5u);
}

// Every layout the builder writes: each object is found where the builder put it.
TEST(XRefLoad, EveryLayoutFindsEveryObject) {
    auto with = [](std::function<void(XrefOptions&)> change) {
        XrefOptions o;
        change(o);
        return o;
    };
    auto stream = [&](std::function<void(XrefOptions&)> change) {
        return with([&](XrefOptions& o) {
            o.style = XrefStyle::Stream;
            change(o);
        });
    };
    auto none = [](XrefOptions&) {};
    const std::vector<int> all = {1, 2, 3, 4, 5, 6}, gaps = {1, 2, 5, 6};
    const struct {
        const char* name;
        XrefOptions options;
        std::vector<int> objects;
        std::vector<int> compressed;  // put in object stream 8
        bool compressStream;
    } cases[] = {
        {"table CR LF", with(none), all, {}, true},
        {"table space LF",
         with([](XrefOptions& o) { o.lineEnd = LineEnd::SpaceLf; }),
         all,
         {},
         true},
        {"table LF", with([](XrefOptions& o) { o.lineEnd = LineEnd::Lf; }), all, {}, true},
        {"table subsections of 2",
         with([](XrefOptions& o) { o.maxSubsection = 2; }),
         all,
         {},
         true},
        {"table in-use runs", with([](XrefOptions& o) { o.onlyInUse = true; }), gaps, {}, true},
        {"stream", stream(none), all, {}, true},
        {"stream stored", stream([](XrefOptions& o) { o.compress = false; }), all, {}, true},
        {"stream W [0 4 0]",
         stream([](XrefOptions& o) {
             o.widths = {0, 4, 0};
         }),
         all,
         {},
         true},
        {"stream W [1 2 1]",
         stream([](XrefOptions& o) {
             o.widths = {1, 2, 1};
         }),
         all,
         {},
         true},
        {"stream W [2 8 2]",
         stream([](XrefOptions& o) {
             o.widths = {2, 8, 2};
         }),
         all,
         {},
         true},
        {"stream PNG Paeth",
         stream([](XrefOptions& o) {
             o.predictor = true;
             o.predictorFilter = PngFilter::Paeth;
         }),
         all,
         {},
         true},
        {"stream PNG Average",
         stream([](XrefOptions& o) {
             o.predictor = true;
             o.predictorFilter = PngFilter::Average;
         }),
         all,
         {},
         true},
        {"stream subsections", stream([](XrefOptions& o) { o.maxSubsection = 2; }), all, {}, true},
        {"stream in-use runs", stream([](XrefOptions& o) { o.onlyInUse = true; }), gaps, {}, true},
        {"object stream", stream(none), all, {3, 4}, true},
        {"object stream stored", stream(none), all, {4, 3}, false},
        {"hybrid, compressed objects left out of the table",
         with([](XrefOptions& o) {
             o.style = XrefStyle::Hybrid;
             o.onlyInUse = true;
         }),
         all,
         {3, 4},
         true},
        {"hybrid W [1 2 1]",
         with([](XrefOptions& o) {
             o.style = XrefStyle::Hybrid;
             o.onlyInUse = true;
             o.widths = {1, 2, 1};
         }),
         all,
         {5},
         true},
    };
    for (const auto& c : cases) {
        Builder b;
        for (int n : c.objects) b.Add(n, "<< /M " + std::to_string(n) + " >>");
        if (!c.compressed.empty()) b.PutInObjectStream(8, c.compressed, c.compressStream);
        b.SetXref(c.options).SetRoot(1);
        Table t(b.Build());
        ASSERT_EQ(t.Load(), "") << c.name;
        EXPECT_EQ(t.xref.rootNum, 1) << c.name;
        for (int n = 1; n <= 6; ++n) {
            const bool defined = std::count(c.objects.begin(), c.objects.end(), n) != 0;
            EXPECT_EQ(t.Marker(n), defined ? n : -1) << c.name << ", object " << n;
            const bool inStream = std::count(c.compressed.begin(), c.compressed.end(), n) != 0;
            if (!defined) continue;
            const XRefEntry& e = t.xref.entries.at(n);
            EXPECT_EQ(e.Type(), inStream ? 2 : 1) << c.name << ", object " << n;
            EXPECT_EQ(e.Offset(), inStream ? 8 : b.OffsetOf(n)) << c.name << ", object " << n;
        }
    }
}

// A hybrid file's table commonly marks the objects that only its /XRefStm stream locates as
// free; the stream's entries must still be used for them.
TEST(XRefLoad, HybridTableFreeEntriesDoNotHideStreamEntries) {
    Builder b;
    for (int n = 1; n <= 6; ++n) b.Add(n, "<< /M " + std::to_string(n) + " >>");
    b.PutInObjectStream(8, {3, 4});
    XrefOptions o;
    o.style = XrefStyle::Hybrid;
    Table t(b.SetXref(o).SetRoot(1).Build());
    ASSERT_EQ(t.Load(), "");
    for (int n = 1; n <= 6; ++n) EXPECT_EQ(t.Marker(n), n) << n;
    EXPECT_EQ(t.xref.entries.at(3).Type(), 2);

    // The same, as a whole document: it opens without the repair scan.
    testpdf::SimpleOptions simple;
    simple.style = testpdf::SimpleStyle::Hybrid;
    TempFile file(testpdf::MakeSimpleDocument(3, simple));
    CPdfDocument doc;
    doc.Open(file.path);
    EXPECT_FALSE(doc.repaired);
}

// ---------------------------------------------------------------------------------------
// Incremental updates and /Prev chains

TEST(XRefLoad, NewestSectionWins) {
    const struct {
        XrefStyle first, update;
        bool objectStream;  // object 3 starts out compressed
    } cases[] = {
        {XrefStyle::Table, XrefStyle::Table, false},  {XrefStyle::Table, XrefStyle::Stream, false},
        {XrefStyle::Stream, XrefStyle::Table, false}, {XrefStyle::Stream, XrefStyle::Stream, false},
        {XrefStyle::Stream, XrefStyle::Stream, true}, {XrefStyle::Hybrid, XrefStyle::Hybrid, true},
        {XrefStyle::Stream, XrefStyle::Table, true},
    };
    for (const auto& c : cases) {
        const std::string name = std::to_string(int(c.first)) + "->" +
                                 std::to_string(int(c.update)) + (c.objectStream ? " objstm" : "");
        XrefOptions first, update;
        first.style = c.first;
        update.style = c.update;
        Builder b;
        for (int n = 1; n <= 5; ++n) b.Add(n, "<< /M " + std::to_string(n) + " >>");
        if (c.objectStream) b.PutInObjectStream(8, {3, 4});
        b.SetXref(first).SetRoot(1).BeginUpdate();
        b.SetXref(update).SetRoot(5);
        b.Add(3, "<< /M 33 >>").Free(4).Add(6, "<< /M 6 >>");
        Table t(b.Build());
        ASSERT_EQ(t.Load(), "") << name;
        EXPECT_EQ(t.xref.rootNum, 5) << name;
        const int64_t expected[] = {-1, 1, 2, 33, -1, 5, 6};
        for (int n = 1; n <= 6; ++n) EXPECT_EQ(t.Marker(n), expected[n]) << name << " " << n;
        EXPECT_EQ(t.xref.entries.at(4).Type(), 0) << name;
    }
}

TEST(XRefLoad, PrevChainsEndWithoutError) {
    const RawPdf p = TwoObjects();
    const std::string one = "xref\n0 2\n" + Line(0, 65535, 'f') + Line(9, 0, 'n');
    const std::string two = "xref\n2 1\n" + Line(58, 0, 'n');
    auto trailer = [](const std::string& prev) {
        return "trailer\n<< /Size 3 /Root 1 0 R /Prev " + prev + " >>\n";
    };
    auto padded = [](long long v) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%010lld", v);
        return std::string(buf);
    };

    // A section whose /Prev names itself.
    Table self(p.With(one + trailer(std::to_string(p.Here()))));
    EXPECT_EQ(self.Load(), "");
    EXPECT_EQ(self.xref.entries.at(1).Offset(), 9);

    // Two sections naming each other.
    RawPdf loop = p;
    const long long a = loop.Here();
    const long long b = a + static_cast<long long>((one + trailer(padded(0))).size());
    loop.text += one + trailer(padded(b));
    Table pair(loop.With(two + trailer(padded(a))));
    EXPECT_EQ(pair.Load(), "");
    EXPECT_EQ(pair.xref.entries.at(1).Offset(), 9);
    EXPECT_EQ(pair.xref.entries.at(2).Offset(), 58);

    // A /Prev given as a reference is no offset: the older section is not read.
    RawPdf older = p;
    const long long old = older.Here();
    older.text += two + "trailer\n<< /Size 3 /Root 1 0 R >>\n";
    Table reference(older.With(one + trailer(std::to_string(old) + " 0 R")));
    EXPECT_EQ(reference.Load(), "");
    EXPECT_EQ(reference.xref.entries.size(), 2u);
}

// ---------------------------------------------------------------------------------------
// Lookup

TEST(XRefFetch, LookupFailuresGiveNullOrThrow) {
    Builder b;
    b.Add(1, "<< /M 1 >>").Add(2, "<< /M 2 >>", 3).Add(3, "<< /M 3 >>");
    b.Add(5, "<< /M 5 >>").PutInObjectStream(8, {5});
    XrefOptions o;
    o.style = XrefStyle::Stream;
    Table t(b.SetXref(o).SetRoot(1).Build());
    ASSERT_EQ(t.Load(), "");
    EXPECT_EQ(t.Marker(2, 3), 2);
    EXPECT_EQ(t.Marker(2, 0), -1);  // wrong generation
    EXPECT_EQ(t.Marker(5, 0), 5);
    EXPECT_EQ(t.Marker(5, 1), -1);  // compressed objects have generation 0
    EXPECT_EQ(t.Marker(4), -1);     // free
    for (int number : {-1, static_cast<int>(t.xref.entries.size())}) {
        try {
            t.xref.Fetch(number, 0);
            ADD_FAILURE() << "no exception for " << number;
        } catch (const CPdfException& e) {
            EXPECT_STREQ(e.GetMessage(), "Corrupted PDF file");
        }
    }
}

// The page tree walk reads plain page dictionaries quickly wherever they are stored: in the
// file's body (where a dictionary followed by "stream" is not one) and in an object stream,
// where nothing follows an object's dictionary (every such page used to go to the parser).
TEST(XRefFetch, QuickReaderTakesPageDictionariesInTheBodyAndInObjectStreams) {
    const std::string page = "<< /Type /Page /Parent 1 0 R /MediaBox [0 0 612 792] >>";
    Builder b;
    b.Add(1, "<< /Type /Pages /Kids [2 0 R 3 0 R] /Count 2 >>").Add(2, page).Add(3, page);
    b.AddStream(4, "<< /Type /Page >>", "q Q");
    b.PutInObjectStream(8, {3});
    XrefOptions o;
    o.style = XrefStyle::Stream;
    Table t(b.SetXref(o).SetRoot(1).Build());
    ASSERT_EQ(t.Load(), "");
    for (int number : {2, 3, 4}) {
        CPdfNodeEntries entries(&t.xref);
        const bool taken = t.xref.FetchShallow(number, 0, entries);
        EXPECT_EQ(taken, number != 4) << number;
        if (taken) {
            EXPECT_TRUE(entries.Has(CPdfNodeEntries::keyMediaBox)) << number;
        }
    }
}

TEST(XRefFetch, EntryThatMissesItsObjectIsCorrectedByAScan) {
    RawPdf p = TwoObjects();
    const long long three = p.Add(3, "<< /M 3 >>");
    const long long four = p.Add(4, "<< /M 4 >>");
    // The lines of objects 3 and 4 are swapped; object 5's names object 3, and the file has no
    // object 5.
    const std::string section = "xref\n0 6\n" + Line(0, 65535, 'f') + Line(9, 0, 'n') +
                                Line(58, 0, 'n') + Line(four, 0, 'n') + Line(three, 0, 'n') +
                                Line(three, 0, 'n') + "trailer\n<< /Size 6 /Root 1 0 R >>";
    Table t(p.With(section));
    ASSERT_EQ(t.Load(), "");
    EXPECT_EQ(t.Marker(3), 3);
    EXPECT_EQ(t.Marker(4), 4);
    EXPECT_EQ(t.Marker(5), -1);
}

// ---------------------------------------------------------------------------------------
// Documents

// The message that opening the file throws; empty when the document opens.
std::string OpenError(CPdfDocument& doc, const TempFile& file) {
    try {
        doc.Open(file.path);
        return "";
    } catch (const CPdfException& e) {
        return e.GetMessage();
    }
}

std::string OnePage(const std::string& version, const std::string& junk) {
    Builder b(version);
    b.SetJunkBeforeHeader(junk);
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Resources << >> >>");
    return b.SetRoot(1).Build();
}

TEST(DocumentOpen, HeaderIsFoundWithinItsWindow) {
    const struct {
        std::string pdf;
        int64_t start;
        const char* version;
        bool repaired;
    } cases[] = {
        {OnePage("", ""), 0, "PDF-1.4", false},
        {OnePage("", "abc"), 3, "PDF-1.4", false},
        // A header that starts at the last place looked at keeps its whole version token.
        {OnePage("", std::string(1017, 'J')), 1017, "PDF-1.4", false},
        // Too late for the header: offsets count from byte 0, so only the scan finds objects.
        {OnePage("", std::string(1018, 'J')), 0, "", true},
        {OnePage("1.7\r", ""), 0, "PDF-1.7", false},
        {OnePage("1.3%abc", ""), 0, "PDF-1.3%abc", false},
    };
    for (const auto& c : cases) {
        TempFile file(c.pdf);
        CPdfDocument doc;
        ASSERT_EQ(OpenError(doc, file), "") << c.start;
        EXPECT_EQ(doc.stream->GetStart(), c.start);
        EXPECT_EQ(doc.version, c.version);
        EXPECT_EQ(doc.repaired, c.repaired) << c.start;
        EXPECT_EQ(doc.catalog->GetPageCount(), 1u);
    }
}

// The text with the first (or last) occurrence of from replaced.
std::string Replace(std::string text, const std::string& from, const std::string& to,
                    bool last = true) {
    const size_t at = last ? text.rfind(from) : text.find(from);
    if (at == std::string::npos) throw std::logic_error("no " + from);
    return text.replace(at, from.size(), to);
}

std::string Simple(testpdf::SimpleStyle style) {
    testpdf::SimpleOptions o;
    o.style = style;
    o.objectsPerStream = 7;
    return testpdf::MakeSimpleDocument(5, o);
}

TEST(DocumentOpen, DamagedCrossReferenceDataIsRepairedByScanning) {
    using testpdf::SimpleStyle;
    auto startxref = [](const std::string& pdf, const char* value) {
        const size_t at = pdf.rfind("startxref\n") + 10;
        return pdf.substr(0, at) + value + pdf.substr(pdf.find('\n', at));
    };
    const std::string table = Simple(SimpleStyle::Table);
    const struct {
        const char* name;
        std::string pdf;
        bool repaired;
    } cases[] = {
        {"intact table", table, false},
        {"intact object streams", Simple(SimpleStyle::ObjectStreams), false},
        {"startxref into the body", startxref(table, "20"), true},
        {"startxref missing", table.substr(0, table.rfind("startxref")), true},
        {"xref keyword damaged", Replace(table, "xref\n0", "xrex\n0"), true},
        {"offsets shifted", Replace(table, "\n1 0 obj", "\n%%%%%%%%%%%%%%%%1 0 obj", false), true},
        {"object streams, startxref wrong", startxref(Simple(SimpleStyle::ObjectStreams), "20"),
         true},
        {"hybrid, startxref wrong", startxref(Simple(SimpleStyle::Hybrid), "20"), true},
        {"xref stream, startxref wrong", startxref(Simple(SimpleStyle::XrefStream), "20"), true},
    };
    for (const auto& c : cases) {
        TempFile file(c.pdf);
        CPdfDocument doc;
        ASSERT_EQ(OpenError(doc, file), "") << c.name;
        EXPECT_TRUE(doc.open) << c.name;
        EXPECT_EQ(doc.repaired, c.repaired) << c.name;
        EXPECT_EQ(doc.catalog->GetPageCount(), 5u) << c.name;
        EXPECT_EQ(doc.xref->rootNum, testpdf::SimpleLayout::kCatalog) << c.name;
    }
}

TEST(DocumentOpen, FailureReportsTheStrictMessageAndLeavesItClosed) {
    Builder noCatalog;
    noCatalog.Add(1, "[/Type /Catalog /Pages 2 0 R]").Add(2, "<< /Type /Pages /Count 0 >>");
    const struct {
        std::string pdf;
        const char* message;
    } cases[] = {
        {"", "PDF file was damaged"},
        {"%PDF-1.4\nstartxref\n3\n%%EOF\n", "Couldn't parse an xref"},
        {noCatalog.SetRoot(1).Build(), "Catalog CPdfObject is wrong type"},
        {Replace(OnePage("", ""), "/Resources << >>", "/Resources [0 0]"),
         "Resources are not found"},
    };
    for (const auto& c : cases) {
        TempFile file(c.pdf);
        CPdfDocument doc;
        EXPECT_EQ(OpenError(doc, file), c.message);
        EXPECT_FALSE(doc.open);
        EXPECT_FALSE(doc.file);
        EXPECT_EQ(doc.xref, nullptr);
        EXPECT_EQ(doc.catalog, nullptr);
    }
    for (const char* name : {"/nonexistent/brantor.pdf", "/"}) {
        CPdfDocument doc;
        try {
            doc.Open(name);
            ADD_FAILURE() << "opened " << name;
        } catch (const CPdfException& e) {
            EXPECT_STREQ(e.GetMessage(), "Can't open file") << name;
        }
    }
}

}  // namespace
