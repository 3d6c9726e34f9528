// Checks the test-PDF builder against qpdf, used as an outside reader: every file the builder
// makes must pass "qpdf --check" cleanly, and qpdf must see the objects, pages, outline items
// and decoded stream data that the builder was asked for. Skipped when qpdf is not installed.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "Qpdf.h"
#include "TempFile.h"
#include "TestPdf.h"

namespace {

using testpdf::Builder;
using testpdf::XrefOptions;
using testpdf::XrefStyle;

struct RunResult {
    int status;  // -1 when qpdf did not exit
    std::string output;
};

// Runs "qpdf ARGS FILE" on `pdf`; stderr follows stdout in the output unless `quiet`.
RunResult Qpdf(const std::string& pdf, std::vector<std::string> args, bool quiet = false) {
    TempFile file(pdf);
    args.push_back(file.path);
    const e2e::Outcome run = e2e::Qpdf(args);
    return {run.Exited(run.exitCode) ? run.exitCode : -1, quiet ? run.out : run.out + run.err};
}

void ExpectCleanCheck(const std::string& pdf) {
    const RunResult check = Qpdf(pdf, {"--check"});
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_NE(check.output.find("No syntax or stream encoding errors found"), std::string::npos)
        << check.output;
    EXPECT_EQ(check.output.find("WARNING"), std::string::npos) << check.output;
}

std::string ShowObject(const std::string& pdf, int number) {
    std::string text = Qpdf(pdf, {"--show-object=" + std::to_string(number)}).output;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// ---------------------------------------------------------------------------------------
// File structure: one small document written in every cross-reference layout

// Catalog 1, page tree 2, page 3 with content 5, plus a string 7 and an array 8.
Builder BaseDocument(const XrefOptions& xref) {
    Builder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3,
          "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 5 0 R"
          " /Resources << >> >>");
    b.AddStream(5, "", "0 0 m 100 100 l S");
    b.Add(7, "(seven)");
    b.Add(8, "[1 2 3]");
    b.SetRoot(1).SetId("00112233445566778899AABBCCDDEEFF", "FFEEDDCCBBAA99887766554433221100");
    b.SetXref(xref);
    return b;
}

XrefOptions Xref(XrefStyle style, std::array<int, 3> widths = {{1, 4, 2}}) {
    XrefOptions o;
    o.style = style;
    o.widths = widths;
    return o;
}

struct LayoutCase {
    const char* name;
    std::function<Builder()> make;
    std::vector<std::pair<int, std::string>> objects;  // number, qpdf's text of the object
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<std::pair<int, std::string>> kBaseObjects = {{7, "(seven)"}, {8, "[ 1 2 3 ]"}};

std::vector<LayoutCase> LayoutCases() {
    auto with = [](std::function<void(XrefOptions&)> change, XrefStyle style = XrefStyle::Table) {
        return [=] {
            XrefOptions o = Xref(style);
            change(o);
            return BaseDocument(o);
        };
    };
    return {
        {"TableCrLf", with([](XrefOptions&) {}), kBaseObjects},
        {"TableSpaceLfInUseRuns", with([](XrefOptions& o) {
             o.lineEnd = testpdf::LineEnd::SpaceLf;
             o.onlyInUse = true;
             o.maxSubsection = 2;
         }),
         kBaseObjects},
        {"TableLf19Bytes", with([](XrefOptions& o) { o.lineEnd = testpdf::LineEnd::Lf; }),
         kBaseObjects},
        {"Stream142", with([](XrefOptions&) {}, XrefStyle::Stream), kBaseObjects},
        {"Stream121Uncompressed",
         with(
             [](XrefOptions& o) {
                 o.widths = {{1, 2, 1}};
                 o.compress = false;
             },
             XrefStyle::Stream),
         kBaseObjects},
        {"Stream030",
         with(
             [](XrefOptions& o) {
                 o.widths = {{0, 3, 0}};
             },
             XrefStyle::Stream),
         kBaseObjects},
        {"StreamUpPredictorRuns",
         with(
             [](XrefOptions& o) {
                 o.predictor = true;
                 o.onlyInUse = true;
                 o.maxSubsection = 3;
             },
             XrefStyle::Stream),
         kBaseObjects},
        {"StreamPaethPredictor",
         with(
             [](XrefOptions& o) {
                 o.predictor = true;
                 o.predictorFilter = testpdf::PngFilter::Paeth;
                 o.streamNumber = 40;
             },
             XrefStyle::Stream),
         kBaseObjects},
        {"ObjectStreamCompressed",
         [] {
             Builder b = BaseDocument(Xref(XrefStyle::Stream, {{1, 2, 1}}));
             b.PutInObjectStream(20, {8, 7, 1});
             return b;
         },
         kBaseObjects},
        {"ObjectStreamPlain",
         [] {
             Builder b = BaseDocument(Xref(XrefStyle::Stream));
             b.PutInObjectStream(20, {7}, false).PutInObjectStream(21, {8, 2});
             return b;
         },
         kBaseObjects},
        {"Hybrid",
         [] {
             Builder b = BaseDocument(Xref(XrefStyle::Hybrid));
             b.PutInObjectStream(20, {7, 8});
             return b;
         },
         kBaseObjects},
        {"JunkBeforeHeader",
         [] {
             Builder b = BaseDocument(Xref(XrefStyle::Table));
             b.SetJunkBeforeHeader("garbage before the header\r\n");
             return b;
         },
         kBaseObjects},
        {"IndirectLengthAndRawBytes",
         [] {
             Builder b = BaseDocument(Xref(XrefStyle::Table));
             b.AddRaw("% a comment between objects\n");
             b.Add(9, testpdf::StreamBody("<< /Kind /Test >>", "abcdef", "10 0 R"));
             b.Add(10, "6");
             return b;
         },
         {{10, "6"}}},
        {"UpdatesTableThenStreamThenTable",
         [] {
             Builder b = BaseDocument(Xref(XrefStyle::Table));
             b.BeginUpdate().Add(7, "(seven v2)").Free(8).SetXref(Xref(XrefStyle::Stream));
             b.BeginUpdate().Add(9, "(nine)").SetXref(Xref(XrefStyle::Table));
             return b;
         },
         {{7, "(seven v2)"}, {8, "null"}, {9, "(nine)"}}},
        {"UpdatesStreamThenTableWithObjectStream",
         [] {
             Builder b = BaseDocument(Xref(XrefStyle::Stream));
             b.BeginUpdate().Add(8, "(eight v2)").Add(12, "<< /New true >>");
             b.PutInObjectStream(13, {12});
             b.Free(7, 3).SetXref(Xref(XrefStyle::Hybrid));
             return b;
         },
         {{7, "null"}, {8, "(eight v2)"}, {12, "<< /New true >>"}}},
    };
}

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, QpdfReadsTheFileCleanly) {
    if (!e2e::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
    Builder builder = GetParam().make();
    const std::string pdf = builder.Build();
    ExpectCleanCheck(pdf);
    for (const auto& [number, text] : GetParam().objects) {
        EXPECT_EQ(ShowObject(pdf, number), text) << "object " << number;
    }
}

INSTANTIATE_TEST_SUITE_P(TestPdf, LayoutTest, ::testing::ValuesIn(LayoutCases()),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(TestPdfBuilder, OffsetsCountFromTheHeader) {
    Builder b = BaseDocument(Xref(XrefStyle::Table));
    b.SetJunkBeforeHeader("junk");
    b.BeginUpdate().Add(7, "(seven v2)");
    const std::string pdf = b.Build();
    EXPECT_EQ(pdf.compare(4 + b.OffsetOf(7), 8, "7 0 obj\n"), 0);
    ASSERT_EQ(b.XrefOffsets().size(), 2u);
    EXPECT_EQ(pdf.compare(4 + b.XrefOffsets()[1], 5, "xref\n"), 0);
    EXPECT_NE(pdf.find("/Prev " + std::to_string(b.XrefOffsets()[0]) + " "), std::string::npos);
}

TEST(TestPdfBuilder, RefusesWhatTheLayoutCannotHold) {
    Builder table = BaseDocument(Xref(XrefStyle::Table));
    table.PutInObjectStream(20, {7});
    EXPECT_THROW(table.Build(), std::logic_error);
    Builder narrow = BaseDocument(Xref(XrefStyle::Stream, {{0, 3, 0}}));
    narrow.PutInObjectStream(20, {7});
    EXPECT_THROW(narrow.Build(), std::logic_error);
    Builder small = BaseDocument(Xref(XrefStyle::Stream, {{1, 1, 1}}));  // offsets above 255
    EXPECT_THROW(small.Build(), std::logic_error);
}

// ---------------------------------------------------------------------------------------
// Predictor encoders: qpdf must decode the data back to the original bytes

struct PredictorCase {
    const char* name;
    std::string parms;  // /DecodeParms entries
    std::function<std::string(const std::string&)> encode;
};

TEST(TestPdfEncoders, TiffKnownAnswer) {
    EXPECT_EQ(testpdf::TiffEncode(std::string("\x0a\x14\x1e\x0f\x19\x23", 6), 2, 3),
              std::string("\x0a\x14\x1e\x05\x05\x05", 6));
}

TEST(TestPdfEncoders, QpdfDecodesPredictedData) {
    if (!e2e::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
    using F = testpdf::PngFilter;
    std::string raw;  // 64 rows of 12 pseudo-random bytes, enough for ties in Paeth's choice
    for (unsigned i = 0, x = 1; i < 768; ++i) {
        x = x * 1103515245u + 12345u;
        raw += static_cast<char>((x >> 16) & 0xFF);
    }
    const std::vector<PredictorCase> cases = {
        {"PngNone", "/Predictor 10 /Columns 12",
         [](const std::string& d) { return testpdf::PngEncode(d, 12, 1, F::None); }},
        {"PngSub", "/Predictor 11 /Columns 12",
         [](const std::string& d) { return testpdf::PngEncode(d, 12, 1, F::Sub); }},
        {"PngUp", "/Predictor 12 /Columns 12",
         [](const std::string& d) { return testpdf::PngEncode(d, 12, 1, F::Up); }},
        {"PngAverageRgb", "/Predictor 13 /Columns 4 /Colors 3",
         [](const std::string& d) { return testpdf::PngEncode(d, 4, 3, F::Average); }},
        {"PngPaethRgb", "/Predictor 14 /Columns 4 /Colors 3",
         [](const std::string& d) { return testpdf::PngEncode(d, 4, 3, F::Paeth); }},
        {"PngMixedRows", "/Predictor 15 /Columns 6 /Colors 2",
         [](const std::string& d) {
             return testpdf::PngEncode(d, 6, 2, {F::Paeth, F::None, F::Sub, F::Average, F::Up});
         }},
        {"Tiff", "/Predictor 2 /Columns 4 /Colors 3",
         [](const std::string& d) { return testpdf::TiffEncode(d, 4, 3); }},
    };
    for (const PredictorCase& c : cases) {
        Builder b = BaseDocument(Xref(XrefStyle::Table));
        b.AddStream(9, "/Filter /FlateDecode /DecodeParms << " + c.parms + " >>",
                    testpdf::Deflate(c.encode(raw)));
        const std::string pdf = b.Build();
        EXPECT_EQ(Qpdf(pdf, {"--show-object=9", "--filtered-stream-data"}, true).output, raw)
            << c.name;
    }
}

// ---------------------------------------------------------------------------------------
// Ready-made documents

struct SimpleCase {
    const char* name;
    int pages;
    testpdf::SimpleOptions options;
};

void PrintTo(const SimpleCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<SimpleCase> SimpleCases() {
    using testpdf::SimpleStyle;
    std::vector<SimpleCase> cases;
    auto add = [&](const char* name, int pages, std::function<void(testpdf::SimpleOptions&)> f) {
        testpdf::SimpleOptions o;
        f(o);
        cases.push_back({name, pages, o});
    };
    add("OnePageTable", 1, [](auto&) {});
    add("TwelvePagesXrefStream", 12, [](auto& o) { o.style = SimpleStyle::XrefStream; });
    add("ObjectStreamsInherited", 30, [](auto& o) {
        o.style = SimpleStyle::ObjectStreams;
        o.objectsPerStream = 7;
        o.inheritAttributes = true;
        o.rotate = 90;
    });
    add("HybridNamedDests", 9, [](auto& o) {
        o.style = SimpleStyle::Hybrid;
        o.namedDests = true;
    });
    add("DeepTreeOwnResources", 40, [](auto& o) {
        o.inheritAttributes = true;
        o.ownResources = true;
        o.kidsPerNode = 3;
    });
    add("BareNoOutlineNoInfo", 3, [](auto& o) {
        o.outline = false;
        o.info = false;
        o.id = false;
    });
    return cases;
}

class SimpleDocumentTest : public ::testing::TestWithParam<SimpleCase> {};

TEST_P(SimpleDocumentTest, QpdfSeesPagesOutlineAndTrailer) {
    if (!e2e::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
    const SimpleCase& c = GetParam();
    const std::string pdf = testpdf::MakeSimpleDocument(c.pages, c.options);
    ExpectCleanCheck(pdf);
    EXPECT_EQ(Qpdf(pdf, {"--show-npages"}).output, std::to_string(c.pages) + "\n");

    // Every item leads to its own page, in page order, whatever the destination kind.
    const std::string outline = Qpdf(pdf, {"--json", "--json-key=outlines"}).output;
    size_t pos = 0;
    int items = 0;
    while ((pos = outline.find("\"destpageposfrom1\": ", pos)) != std::string::npos) {
        pos += 20;
        EXPECT_EQ(std::atoi(outline.c_str() + pos), ++items);
    }
    EXPECT_EQ(items, c.options.outline ? c.pages : 0);

    const std::string page = ShowObject(pdf, testpdf::SimpleLayout::Page(1));
    const bool inherit = c.options.inheritAttributes;
    EXPECT_EQ(page.find("/MediaBox") == std::string::npos, inherit) << page;
    EXPECT_EQ(page.find("/Resources") == std::string::npos, inherit && !c.options.ownResources)
        << page;
    const std::string trailer = Qpdf(pdf, {"--show-object=trailer"}).output;
    EXPECT_EQ(trailer.find("/Info 3 0 R") != std::string::npos, c.options.info) << trailer;
    EXPECT_EQ(trailer.find("/ID [") != std::string::npos, c.options.id) << trailer;
}

INSTANTIATE_TEST_SUITE_P(TestPdf, SimpleDocumentTest, ::testing::ValuesIn(SimpleCases()),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(TestPdfSimpleDocument, PagesDrawDifferentContent) {
    const std::string pdf = testpdf::MakeSimpleDocument(13);
    std::vector<std::string> contents;
    for (int n : {1, 7, 13}) {
        const std::string marker = std::to_string(testpdf::SimpleLayout::Content(n)) + " 0 obj\n";
        const size_t at = pdf.find(marker);
        ASSERT_NE(at, std::string::npos);
        const std::string body = pdf.substr(at, pdf.find("endstream", at) - at);
        EXPECT_NE(body.find("(Page " + std::to_string(n) + ") Tj"), std::string::npos) << body;
        contents.push_back(body.substr(body.find("stream\n") + 7, 40));
    }
    // The first line draws the rectangle, whose place and colour follow the page number.
    EXPECT_NE(contents[0], contents[1]);
    EXPECT_NE(contents[0], contents[2]);
    EXPECT_NE(contents[1], contents[2]);
}

}  // namespace
