// What pages draw with is worked out once a run for the objects they share, so that the work
// follows the objects a split touches, not pages times objects.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "SourceTable.h"
#include "TempFile.h"
#include "TestPdf.h"
#include "document/CPdfResourceUse.h"
#include "file/CPdfXRef.h"
#include "object/CPdfDictionary.h"
#include "stream/CPdfFileStream.h"

namespace {

TEST(ResourceUse, SharedAnnotationsAreReadOncePerRun) {
    // Pages 10 and 11 share one list of 200 annotations, each with an appearance drawing Im1.
    testpdf::Builder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Count 2 /Kids [10 0 R 11 0 R] >>");
    b.Add(4, testpdf::StreamBody("/Subtype /Form /BBox [0 0 1 1]", "/Im1 Do"));
    std::string list = "[";
    for (int i = 0; i < 200; ++i) {
        b.Add(100 + i, "<< /Type /Annot /Subtype /Square /Rect [0 0 1 1] /AP << /N 4 0 R >> >>");
        list += std::to_string(100 + i) + " 0 R ";
    }
    b.Add(5, list + "]");
    b.Add(6, testpdf::StreamBody("", "BT /F1 9 Tf ET"));
    for (int page : {10, 11}) {
        b.Add(page, "<< /Type /Page /Parent 2 0 R /Contents 6 0 R /Annots 5 0 R >>");
    }
    SourceTable source(b.SetRoot(1).Build());
    ASSERT_EQ(source.Load(), "");
    CPdfXRef& xref = source.xref;

    CPdfResourceUse use(xref);
    const CPdfDictionary none(nullptr);
    int64_t work[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const CPdfObject page = xref.Fetch(10 + i, 0);
        const int64_t before = xref.bytesParsed;
        CPdfResourceUse::Names names;
        ASSERT_TRUE(use.NamesOf(*page.dictValue, none, names));
        EXPECT_EQ(names, (CPdfResourceUse::Names{"F1", "Im1"}));
        work[i] = xref.bytesParsed - before;
    }
    // The second page reads its content and the list's reference, not the annotations again.
    EXPECT_GT(work[0], 200 * 60);
    EXPECT_LT(work[1], 200);
}

}  // namespace
