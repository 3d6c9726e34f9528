// A page that inherits its resources keeps every image, form and font that its drawing can look
// up, at any depth, and keeps them all where that drawing cannot be read whole.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "E2eTools.h"
#include "OutputPdf.h"
#include "SplitRun.h"
#include "TestPdf.h"
#include "TestValues.h"
#include "object/CPdfDictionary.h"

namespace {

using namespace splitrun;

struct DrawCase {
    const char* name;
    std::string content;             // the page's content stream (object 12)
    std::string xobjects;            // more entries of the inherited /XObject
    std::string more;                // more inherited resources
    std::vector<Obj> objects;        // forms, fonts, patterns, annotations ...
    std::string pageEntries;         // more entries of the page
    bool cut;                        // the drawing is read whole: /Unused goes
    std::string contentLength = "";  // a /Length other than the data's
};

std::string Form(const std::string& extra, const std::string& data) {
    return testpdf::StreamBody("/Type /XObject /Subtype /Form /BBox [0 0 20 20] " + extra, data);
}

const char kImage[] = "q 20 0 0 20 0 0 cm /Im1 Do Q";
const char kText[] = "BT /F1 9 Tf 2 2 Td (x) Tj ET";

// The source: one page inheriting /F1, /Im1 and an /Unused of each kind from the page tree.
std::string Source(const DrawCase& c) {
    const bool font = c.xobjects.rfind("F:", 0) == 0;
    const std::string fonts = font ? c.xobjects.substr(2) : "";
    const std::string xobjects = font ? "" : c.xobjects;
    testpdf::Builder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2,
          "<< /Type /Pages /Count 1 /Kids [10 0 R] /MediaBox [0 0 20 20] /Resources << "
          "/Font << /F1 4 0 R /Unused 4 0 R " +
              fonts + " >> /XObject << /Im1 5 0 R /Unused 5 0 R " + xobjects + " >> " + c.more +
              " >> >>");
    b.Add(4, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    b.Add(5, testpdf::StreamBody("/Type /XObject /Subtype /Image /Width 1 /Height 1 "
                                 "/ColorSpace /DeviceGray /BitsPerComponent 8",
                                 "\x80"));
    b.Add(10, "<< /Type /Page /Parent 2 0 R /Contents 12 0 R " + c.pageEntries + " >>");
    b.Add(12, c.contentLength.empty() ? testpdf::StreamBody("", c.content)
                                      : testpdf::StreamBody("", c.content, c.contentLength));
    for (const Obj& o : c.objects) b.Add(o.number, o.body);
    return b.SetRoot(1).Build();
}

std::set<std::string> Keys(const OutputPdf& pdf, const CPdfDictionary& resources,
                           const char* kind) {
    std::set<std::string> keys;
    CPdfObject sub = pdf.Resolve(resources.Get(kind));
    if (sub.kind != kindDictionary) return keys;
    for (const auto& entry : sub.dictValue->entries) keys.insert(entry.first);
    return keys;
}

TEST(ResourceCut, InheritedResourcesKeepWhatTheDrawingLooksUp) {
    const std::string type3 =
        "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1 1] /FontMatrix [0.05 0 0 0.05 0 0] "
        "/CharProcs << /a 14 0 R >> /Encoding << /Type /Encoding /Differences [97 /a] >> "
        "/FirstChar 97 /LastChar 97 /Widths [20] /Resources << /XObject << /G 15 0 R >> >> >>";
    const DrawCase cases[] = {
        {"InlineImageDataHoldingParentheses",
         "BI /W 2 /H 1 /BPC 8 /CS /G ID (( EI " + std::string(kImage) + " " + kText,
         "",
         "",
         {},
         "",
         true},
        {"InlineImageEndByItsLength",
         "BI /W 4 /H 1 /BPC 8 /CS /G /L 4 ID  EI( EI " + std::string(kImage) + " " + kText,
         "",
         "",
         {},
         "",
         true},
        {"CommentHoldingAParenthesis",
         "% a ( in a comment\n" + std::string(kImage) + " " + kText,
         "",
         "",
         {},
         "",
         true},
        {"FormWithResourcesDrawingAFormWithout",
         "/Fm1 Do",
         "/Fm1 6 0 R",
         "",
         {{6, Form("/Resources << /XObject << /Fm2 7 0 R >> >>", "/Fm2 Do")},
          {7, Form("", std::string(kImage) + " " + kText)}},
         "",
         true},
        {"TilingPatternWithoutResources",
         "/Pattern cs /P1 scn 0 0 20 20 re f",
         "",
         "/Pattern << /P1 8 0 R >>",
         {{8, testpdf::StreamBody("/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 20 20] "
                                  "/XStep 20 /YStep 20",
                                  std::string(kImage) + " " + kText)}},
         "",
         true},
        {"SoftMaskGroupWithoutResources",
         "/GS1 gs 0 g 0 0 20 20 re f",
         "",
         "/ExtGState << /GS1 << /SMask << /S /Luminosity /G 9 0 R >> >> >>",
         {{9, Form("/Group << /S /Transparency /CS /DeviceGray >>", kImage)}},
         "",
         true},
        {"Type3GlyphDrawingAFormWithout",
         "BT /T3 1 Tf 0 0 Td (a) Tj ET",
         "F:/T3 13 0 R",
         "",
         {{13, type3},
          {14, testpdf::StreamBody("", "20 0 0 0 20 20 d1 /G Do")},
          {15, Form("", kImage)}},
         "",
         true},
        {"AnnotationAppearanceDrawingAFormWithout",
         kText,
         "",
         "",
         {{16, "<< /Type /Annot /Subtype /Square /Rect [0 0 20 20] /AP << /N 17 0 R >> >>"},
          {17, Form("/Resources << /XObject << /Fa 18 0 R >> >>", "/Fa Do")},
          {18, Form("", kImage)}},
         "/Annots [16 0 R]",
         true},
        {"DamagedFormKeepsThemAll",
         "/Fm1 Do " + std::string(kImage) + " " + kText,
         "/Fm1 6 0 R",
         "",
         {{6, testpdf::StreamBody("/Type /XObject /Subtype /Form /BBox [0 0 20 20] /Resources "
                                  "<< >> /Filter /FlateDecode",
                                  testpdf::Deflate("0 g 0 0 5 5 re f").substr(0, 6))}},
         "",
         false},
        {"WrongContentLengthKeepsThemAll",
         std::string(kImage) + " " + kText,
         "",
         "",
         {},
         "",
         false,
         "5"},
        {"LoopOfFormsKeepsThemAll",
         "/Fm1 Do " + std::string(kText),
         "/Fm1 6 0 R",
         "",
         {{6, Form("/Resources << /XObject << /Fm1 6 0 R >> >>", "/Fm1 Do")}},
         "",
         false},
        {"InlineImageWithoutItsEndKeepsThemAll",
         std::string(kImage) + " " + kText + " BI /W 1 /H 1 /BPC 8 /CS /G ID x",
         "",
         "",
         {},
         "",
         false},
    };
    for (const DrawCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "in.pdf", Source(c));
        ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s1"), "");
        OutputPdf pdf(dir / "out.pdf");
        ASSERT_EQ(pdf.PageCount(), 1u);
        const CPdfObject resources = pdf.Resolve(pdf.Page(0).dictValue->Get("Resources"));
        ASSERT_EQ(resources.kind, kindDictionary);
        for (const char* kind : {"Font", "XObject"}) {
            const std::set<std::string> keys = Keys(pdf, *resources.dictValue, kind);
            EXPECT_EQ(keys.count("Unused"), c.cut ? 0u : 1u) << kind;
            if (std::string(kind) == "XObject") {
                EXPECT_EQ(keys.count("Im1"), 1u);
            }
        }
        if (Source(c).find("/F1 9 Tf") != std::string::npos) {
            EXPECT_EQ(Keys(pdf, *resources.dictValue, "Font").count("F1"), 1u);
        }
        if (e2e::HaveMutool()) {
            for (const std::string& problem :
                 e2e::CompareRendering(dir / "in.pdf", {1}, dir / "out.pdf", dir.path())) {
                ADD_FAILURE() << problem;
            }
        }
    }
}

}  // namespace
