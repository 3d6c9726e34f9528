// The catalog and the page tree walk: the shape checks, the page order, the guards against
// cycles and deep trees, and the attributes pages inherit from their ancestors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "CPdfException.h"
#include "SourceTable.h"
#include "TempFile.h"
#include "TestPdf.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfXRef.h"
#include "stream/CPdfFileStream.h"

namespace {

using Objects = std::vector<std::pair<int, std::string>>;

// A document read with the strict reader: its table, then its catalog.
struct Doc : SourceTable {
    explicit Doc(const std::string& bytes) : SourceTable(bytes) {}
    explicit Doc(const Objects& objects) : Doc(Build(objects)) {}

    static std::string Build(const Objects& objects) {
        testpdf::Builder b;
        for (const auto& [number, body] : objects) b.Add(number, body);
        return b.SetRoot(1).Build();
    }
    // The message that loading throws; empty when the catalog loads.
    std::string Load() {
        const std::string table = SourceTable::Load();
        if (!table.empty()) return "cross-reference data: " + table;
        try {
            catalog.Load(&xref);
            return "";
        } catch (const CPdfException& e) {
            return e.GetMessage();
        }
    }

    CPdfCatalog catalog;
};

const char* const kCatalog = "<< /Type /Catalog /Pages 2 0 R >>";
const char* const kPage = "<< /Type /Page /Resources << >> >>";

std::string Nested(int depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

TEST(CatalogLoad, MalformedCatalogOrTreeFailsWithItsMessage) {
    const std::string root1 = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    const char* kidsMsg = "Kids CPdfObject is wrong type";
    const char* kidMsg = "Kid CPdfObject is wrong type";
    const char* resMsg = "Resources are not found";
    const char* cycle = "Page tree contains a cycle";
    const struct {
        const char* name;
        Objects objects;
        const char* message;
    } cases[] = {
        {"catalog is an array", {{1, "[/Type /Catalog]"}}, "Catalog CPdfObject is wrong type"},
        {"catalog is free", {{2, "<< >>"}}, "Catalog CPdfObject is wrong type"},
        {"Pages missing",
         {{1, "<< /Type /Catalog >>"}},
         "Top-level pages CPdfObject is wrong type"},
        {"Pages is an array",
         {{1, kCatalog}, {2, "[3 0 R]"}},
         "Top-level pages CPdfObject is wrong type"},
        {"Count missing",
         {{1, kCatalog}, {2, "<< /Type /Pages /Kids [] >>"}},
         "Page count in top-level pages CPdfObject is wrong type"},
        {"Count a string",
         {{1, kCatalog}, {2, "<< /Type /Pages /Kids [] /Count (0) >>"}},
         "Page count in top-level pages CPdfObject is wrong type"},
        {"root without Kids", {{1, kCatalog}, {2, "<< /Type /Pages /Count 0 >>"}}, kidsMsg},
        {"Kids a number", {{1, kCatalog}, {2, "<< /Kids 3 0 R /Count 0 >>"}, {3, "7"}}, kidsMsg},
        {"node with Kids null",
         {{1, kCatalog}, {2, root1}, {3, "<< /Type /Page /Kids null /Resources << >> >>"}},
         kidsMsg},
        {"kid an integer", {{1, kCatalog}, {2, "<< /Kids [3] /Count 1 >>"}}, kidMsg},
        {"kid a name", {{1, kCatalog}, {2, "<< /Kids [/Page] /Count 1 >>"}}, kidMsg},
        {"kid free", {{1, kCatalog}, {2, root1}, {4, kPage}}, kidMsg},
        {"resources an array",
         {{1, kCatalog}, {2, root1}, {3, "<< /Type /Page /Resources [] >>"}},
         resMsg},
        {"resources reference to an array",
         {{1, kCatalog}, {2, root1}, {3, "<< /Type /Page /Resources 4 0 R >>"}, {4, "[/PDF]"}},
         resMsg},
        {"inherited resources not a dictionary",
         {{1, kCatalog},
          {2, "<< /Kids [3 0 R] /Count 1 /Resources 5 >>"},
          {3, "<< /Type /Page >>"}},
         resMsg},
        {"annotations a dictionary on page 3",
         {{1, kCatalog},
          {2, "<< /Kids [3 0 R 3 0 R 4 0 R] /Count 3 >>"},
          {3, kPage},
          {4, "<< /Type /Page /Resources << >> /Annots << >> >>"}},
         "Page annotations object (page 3) is wrong type"},
        {"annotations a name",
         {{1, kCatalog}, {2, root1}, {3, "<< /Type /Page /Resources << >> /Annots /A >>"}},
         "Page annotations object (page 1) is wrong type"},
        {"kid is the root", {{1, kCatalog}, {2, root1}, {3, "<< /Kids [2 0 R] >>"}}, cycle},
        {"Kids names the root itself", {{1, kCatalog}, {2, "<< /Kids 2 0 R /Count 1 >>"}}, cycle},
        {"node is its own kid",
         {{1, kCatalog}, {2, root1}, {3, "<< /Kids [4 0 R 3 0 R] >>"}, {4, kPage}},
         cycle},
        {"catalog nested too deeply",
         {{1, "<< /Type /Catalog /Pages 2 0 R /X " + Nested(300) + " >>"}},
         "Objects are nested too deeply"},
        {"page nested too deeply",
         {{1, kCatalog},
          {2, root1},
          {3, "<< /Type /Page /Resources << >> /X " + Nested(300) + " >>"}},
         "Objects are nested too deeply"},
    };
    for (const auto& c : cases) {
        Doc doc(c.objects);
        EXPECT_EQ(doc.Load(), c.message) << c.name;
    }
}

// Damage that readers read through: a kid is a page when it has no /Kids (whatever its /Type),
// a /Kids that names one dictionary names the only kid, and a page without resources anywhere
// uses none.
TEST(CatalogLoad, TreesWithoutTypesOrResourcesAreReadAsReadersDo) {
    const std::string root1 = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    const struct {
        const char* name;
        Objects objects;
        std::vector<int32_t> pages;
        bool resourcesMissing;
    } cases[] = {
        {"page without /Type", {{2, root1}, {3, "<< /Resources << >> >>"}}, {3}, false},
        {"page typed /Pages",
         {{2, root1}, {3, "<< /Type /Pages /Count 1 /Resources << >> >>"}},
         {3},
         false},
        {"page /Type by reference",
         {{2, root1}, {3, "<< /Type 4 0 R /Resources << >> >>"}, {4, "/Page"}},
         {3},
         false},
        {"node without /Type",
         {{2, root1}, {3, "<< /Kids [4 0 R 5 0 R] >>"}, {4, kPage}, {5, kPage}},
         {4, 5},
         false},
        {"Kids names one page",
         {{2, "<< /Type /Pages /Kids 3 0 R /Count 1 >>"}, {3, "<< /Parent 2 0 R >>"}},
         {3},
         true},
        {"no resources", {{2, root1}, {3, "<< /Type /Page >>"}}, {3}, true},
    };
    for (const auto& c : cases) {
        Objects objects = c.objects;
        objects.push_back({1, kCatalog});
        Doc doc(objects);
        ASSERT_EQ(doc.Load(), "") << c.name;
        ASSERT_EQ(doc.catalog.GetPageCount(), c.pages.size()) << c.name;
        for (size_t i = 0; i < c.pages.size(); ++i) {
            EXPECT_EQ(doc.catalog.pages[i].objectNumber, c.pages[i]) << c.name;
            EXPECT_EQ(doc.catalog.AttributesAt(i).resourcesMissing, c.resourcesMissing) << c.name;
        }
    }
}

TEST(CatalogLoad, DeepTreesAreWalkedUpToTheLimit) {
    for (const int levels : {1000, 1100}) {
        Objects objects = {{1, kCatalog}};
        const int last = 2 + levels;
        for (int n = 2; n < last; ++n) {
            objects.push_back({n, "<< /Kids [" + std::to_string(n + 1) + " 0 R] >>"});
        }
        objects.push_back({last, "<< /Type /Page /Resources << >> >>"});
        objects[1].second = "<< /Count 1 " + objects[1].second.substr(3);
        Doc doc(objects);
        EXPECT_EQ(doc.Load(), levels < 1024 ? "" : "Page tree is too deep") << levels;
    }
}

TEST(CatalogLoad, PagesAreNumberedDepthFirst) {
    Doc doc(Objects{
        {1, "<< /Type /Catalog /Pages 2 0 R /Names << /Dests 20 0 R >> /Outlines 21 0 R >>"},
        // /Count disagrees with the leaves and is a real: neither matters.
        {2,
         "<< /Type /Pages /Kids [10 0 R 3 0 R << /Type /Page /Resources << >> >> 11 0 R] "
         "/Count 2.5 >>"},
        {3, "<< /Kids [12 0 R 4 0 R 13 0 R] >>"},  // no /Type: still a node
        {4, "<< /Type /Pages /Kids [14 0 R] /Count 1 >>"},
        {10, kPage},
        {11, kPage},
        {12, kPage},
        {13, "<< /Type /Page /Resources 15 0 R /Contents (text) /Annots 16 0 R >>"},
        {14, "<< /Type /Page /Resources << >> /Contents [] /Annots [] >>"},
        {15, "<< /Font << >> >>"},
        {20, "<< /Names [] >>"},
        {21, "<< /Type /Outlines >>"},
    });
    ASSERT_EQ(doc.Load(), "");
    const int32_t expected[] = {10, 12, 14, 13, 0, 11};
    ASSERT_EQ(doc.catalog.GetPageCount(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(doc.catalog.pages[i].objectNumber, expected[i]) << i;
    }
    // The direct kid is found in its parent's /Kids.
    int32_t node = 0, place = 0;
    doc.catalog.KidPlaceOf(4, node, place);
    EXPECT_EQ(node, 2);
    EXPECT_EQ(place, 2);
    doc.catalog.KidPlaceOf(3, node, place);
    EXPECT_EQ(node, 0);
    EXPECT_EQ(doc.catalog.pagesNumber, 2);
    EXPECT_EQ(doc.catalog.dests.kind, kindDictionary);
    EXPECT_EQ(doc.catalog.outlines.kind, kindDictionary);

    Doc empty(Objects{{1, kCatalog}, {2, "<< /Type /Pages /Kids [] /Count 0 >>"}});
    ASSERT_EQ(empty.Load(), "");
    EXPECT_EQ(empty.catalog.GetPageCount(), 0u);
    EXPECT_EQ(empty.catalog.dests.kind, kindNull);
}

// A run that needs only the first pages stops the walk there when the root's /Count vouches
// for them: what lies beyond is not read (here a broken kid), its kids met so far are listed,
// and the count is the /Count's. Otherwise the whole tree is walked as before.
TEST(CatalogLoad, WalkStopsAfterTheFirstPagesARunNeeds) {
    const struct {
        const char* name;
        uint32_t needed;
        const char* count;
        const char* lastKid;  // object 11, the root's last kid
        const char* message;
        size_t read, pageCount;
        std::vector<int32_t> unread;
    } cases[] = {
        {"stops after 2 pages", 2, "4", "42", "", 2, 4, {11, 13}},
        {"every page needed", 0, "4", "42", "Kid CPdfObject is wrong type", 0, 0, {}},
        {"Count below the pages needed", 2, "1", kPage, "", 4, 4, {}},
        {"Count not an integer", 2, "4.0", kPage, "", 4, 4, {}},
        {"Count beyond the tree", 9, "9", kPage, "", 4, 4, {}},
    };
    for (const auto& c : cases) {
        Doc doc(Objects{{1, kCatalog},
                        {2, std::string("<< /Type /Pages /Kids [10 0 R 3 0 R 11 0 R] /Count ") +
                                c.count + " >>"},
                        {3, "<< /Type /Pages /Kids [12 0 R 13 0 R] /Count 2 >>"},
                        {10, kPage},
                        {11, c.lastKid},
                        {12, kPage},
                        {13, kPage}});
        const std::string table = doc.SourceTable::Load();
        ASSERT_EQ(table, "") << c.name;
        std::string message;
        try {
            doc.catalog.Load(&doc.xref, c.needed);
        } catch (const CPdfException& e) {
            message = e.GetMessage();
        }
        EXPECT_EQ(message, c.message) << c.name;
        if (!message.empty()) continue;
        EXPECT_EQ(doc.catalog.pages.size(), c.read) << c.name;
        EXPECT_EQ(doc.catalog.GetPageCount(), c.pageCount) << c.name;
        EXPECT_EQ(doc.catalog.IsPartial(), c.read != c.pageCount) << c.name;
        EXPECT_EQ(doc.catalog.unreadKids, c.unread) << c.name;
    }
}

// Root 2 > node 3 > page 4, with attributes placed on each level.
TEST(PageAttributes, InheritedFromTheNearestAncestor) {
    const struct {
        const char* name;
        const char *root, *node, *page;
        int32_t resourcesFrom, rotateFrom, cropBoxFrom;
        int rotate;
        double mediaBox[4];
    } cases[] = {
        {"all on the page",
         "",
         "",
         "/Resources << >> /Rotate 90 /CropBox [0 0 1 1] /MediaBox [1 2 3 4]",
         0,
         0,
         0,
         90,
         {1, 2, 3, 4}},
        {"all on the root",
         "/Resources << >> /Rotate 90 /CropBox [0 0 1 1] /MediaBox [1 2 3 4]",
         "",
         "",
         2,
         2,
         2,
         90,
         {1, 2, 3, 4}},
        {"node overrides root",
         "/Resources << >> /Rotate 90 /CropBox [0 0 1 1] /MediaBox [1 2 3 4]",
         "/Resources << >> /Rotate 180 /CropBox [0 0 2 2] /MediaBox [5 6 7 8]",
         "",
         3,
         3,
         3,
         180,
         {5, 6, 7, 8}},
        {"page overrides both",
         "/Resources 9 0 R /Rotate 90 /CropBox [0 0 1 1] /MediaBox [1 2 3 4]",
         "/Rotate 180",
         "/Resources << >> /Rotate 0 /CropBox [0 0 3 3] /MediaBox [0 0 9 9]",
         0,
         0,
         0,
         0,
         {0, 0, 9, 9}},
        {"mixed levels",
         "/MediaBox [0 0 612 792] /Rotate 9 0 R",
         "/Resources 9 0 R",
         "/CropBox [0 0 1 1] /Resources << >>",
         0,
         2,
         0,
         180,
         {0, 0, 612, 792}},
        {"resources by reference on the node, no box anywhere",
         "",
         "/Resources 10 0 R",
         "",
         3,
         0,
         0,
         0,
         {0, 0, 612, 792}},
    };
    for (const auto& c : cases) {
        Doc doc(Objects{
            {1, kCatalog},
            {2, std::string("<< /Type /Pages /Kids [3 0 R] /Count 1 ") + c.root + " >>"},
            {3, std::string("<< /Type /Pages /Kids [4 0 R] /Count 1 ") + c.node + " >>"},
            {4, std::string("<< /Type /Page /Parent 3 0 R ") + c.page + " >>"},
            {9, "180"},
            {10, "<< /ProcSet [/PDF] >>"},
        });
        ASSERT_EQ(doc.Load(), "") << c.name;
        const CPdfPageAttributes& page = doc.catalog.AttributesAt(0);
        EXPECT_EQ(page.resourcesFrom, c.resourcesFrom) << c.name;
        EXPECT_EQ(page.rotateFrom, c.rotateFrom) << c.name;
        EXPECT_EQ(page.cropBoxFrom, c.cropBoxFrom) << c.name;
        EXPECT_EQ(page.rotate, c.rotate) << c.name;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(page.mediaBox[i], c.mediaBox[i]) << c.name << i;
    }
}

TEST(PageAttributes, RotationIsNormalised) {
    const std::pair<const char*, int> cases[] = {
        {"-90", 270},   {"450", 90},   {"720", 0},  {"45", 45},  {"90.0", 0},
        {"9 0 R", 180}, {"-450", 270}, {"(90)", 0}, {"-360", 0}, {"359", 359},
    };
    for (const bool inherited : {false, true}) {
        for (const auto& [value, expected] : cases) {
            const std::string rotate = std::string("/Rotate ") + value;
            Doc doc(Objects{
                {1, kCatalog},
                {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 " + (inherited ? rotate : "") + " >>"},
                {3, "<< /Type /Page /Resources << >> " + (inherited ? "" : rotate) + " >>"},
                {9, "180"},
            });
            ASSERT_EQ(doc.Load(), "") << value;
            EXPECT_EQ(doc.catalog.AttributesAt(0).rotate, expected) << value << inherited;
        }
    }
}

TEST(PageAttributes, SimpleDocumentsWithInheritedAttributes) {
    testpdf::SimpleOptions o;
    o.inheritAttributes = true;
    o.rotate = -90;
    o.kidsPerNode = 3;
    for (const bool own : {false, true}) {
        o.ownResources = own;
        Doc doc(testpdf::MakeSimpleDocument(10, o));
        ASSERT_EQ(doc.Load(), "");
        ASSERT_EQ(doc.catalog.GetPageCount(), 10u);
        for (size_t i = 0; i < doc.catalog.pages.size(); ++i) {
            EXPECT_EQ(doc.catalog.pages[i].objectNumber,
                      testpdf::SimpleLayout::Page(static_cast<int>(i + 1)));
            const CPdfPageAttributes& page = doc.catalog.AttributesAt(i);
            EXPECT_EQ(page.rotate, 270);
            EXPECT_EQ(page.rotateFrom, testpdf::SimpleLayout::kPages);
            EXPECT_EQ(page.mediaBox[3], 792);
            // Resources come from the page's parent node, never from the root.
            if (own) {
                EXPECT_EQ(page.resourcesFrom, 0);
            } else {
                EXPECT_GT(page.resourcesFrom, testpdf::SimpleLayout::Action(10));
            }
        }
    }
}

// The quick reader and the parser read integers alike: one too large for 64 bits is not an
// integer (the quick reader used to overflow on twenty digits).
TEST(Catalog, IntegersTooLargeFor64BitsAreNotIntegers) {
    const struct {
        const char* count;
        const char* rotate;
        int expected;
    } cases[] = {
        {"99999999999999999999", "99999999999999999999", 0},
        {"-9999999999999999999", "-9999999999999999999", 0},
        {"9223372036854775807", "9223372036854775807", 7},
        {"+1", "-9223372036854775808", 352},
    };
    for (const auto& c : cases) {
        Doc doc(Objects{
            {1, kCatalog},
            {2, std::string("<< /Type /Pages /Kids [3 0 R] /Count ") + c.count + " >>"},
            {3, std::string("<< /Type /Page /Resources << >> /Rotate ") + c.rotate + " >>"},
        });
        ASSERT_EQ(doc.Load(), "") << c.count;
        EXPECT_EQ(doc.catalog.AttributesAt(0).rotate, c.expected) << c.rotate;
    }
}

// Long /Kids arrays run past the first bytes the quick reader looks at; an item that is not a
// reference, a box item given by reference and boxes of reals all leave it for the ordinary
// reader or its slower paths, with the same result.
TEST(Catalog, LongKidsArraysAndUnusualBoxesReadAlike) {
    for (const bool directKid : {false, true}) {
        Objects objects{{1, kCatalog}, {3, "612.5"}};
        std::string kids;
        const int count = 1500;  // about 10 KB of references
        for (int i = 0; i < count; ++i) {
            int number = 10 + i;
            kids += (directKid && i == count / 2) ? kPage : std::to_string(number) + " 0 R ";
            const char* box = i % 3 == 0   ? "[0 0 3 0 R 792]"
                              : i % 3 == 1 ? "[-1.5 .5 612. 792]"
                                           : "[0 0 612 792]";
            objects.push_back({number, std::string("<< /Type /Page /Resources << /Font << >> >> "
                                                   "/MediaBox ") +
                                           box + " >>"});
        }
        objects.push_back({2, "<< /Type /Pages /Kids [" + kids + "] /Count 1500 >>"});
        Doc doc(objects);
        ASSERT_EQ(doc.Load(), "") << directKid;
        ASSERT_EQ(doc.catalog.GetPageCount(), static_cast<size_t>(count)) << directKid;
        for (int i = 0; i < count; ++i) {
            const CPdfPage& page = doc.catalog.pages[static_cast<size_t>(i)];
            bool direct = directKid && i == count / 2;
            EXPECT_EQ(page.objectNumber, direct ? 0 : 10 + i) << i;
            if (direct) continue;
            const double expected[3][4] = {
                {0, 0, 612.5, 792}, {-1.5, .5, 612, 792}, {0, 0, 612, 792}};
            const double* box = doc.catalog.AttributesAt(static_cast<size_t>(i)).mediaBox;
            for (int k = 0; k < 4; ++k) EXPECT_EQ(box[k], expected[i % 3][k]) << i;
        }
    }
}

// A /Kids array that names one large page thousands of times would have the page read as
// often: the walk's reading work is bounded by the file's size.
TEST(Catalog, KidsRepeatingALargePageAreBounded) {
    std::string big = "<< /Type /Page /Resources << >> /Title (a string) /Filler [";
    while (big.size() < 100000) big += "1 2 3 4 5 6 7 8 9 ";
    big += "] >>";
    std::string kids;
    for (int i = 0; i < 20000; ++i) kids += "5 0 R ";
    Doc doc(Objects{
        {1, kCatalog}, {2, "<< /Type /Pages /Kids [" + kids + "] /Count 20000 >>"}, {5, big}});
    EXPECT_EQ(doc.Load(), "Page tree is too large");

    // The same page named a few times is read each time, within the bound.
    Doc few(Objects{
        {1, kCatalog}, {2, "<< /Type /Pages /Kids [5 0 R 5 0 R 5 0 R] /Count 3 >>"}, {5, big}});
    ASSERT_EQ(few.Load(), "");
    EXPECT_EQ(few.catalog.GetPageCount(), 3u);
}

// A clean file whose pages are spread over many object streams, round-robin, with more decoded
// bytes than the reader keeps decoded at once: the work bound counts what the file makes the
// walk parse, not the streams decoded again because they were let go.
TEST(Catalog, PagesSpreadOverManyObjectStreamsAreRead) {
    const int pages = 5000, streams = 100, first = 10;
    testpdf::Builder b;
    b.Add(1, kCatalog);
    std::string kids;
    std::vector<std::vector<int>> members(streams);
    uint32_t seed = 1;  // hex digits that do not compress away: a file of about 5 MB
    for (int i = 0; i < pages; ++i) {
        kids += std::to_string(first + i) + " 0 R ";
        std::string filler(2000, '0');
        for (char& c : filler) c = "0123456789ABCDEF"[(seed = seed * 1103515245 + 12345) >> 28];
        b.Add(first + i,
              "<< /Type /Page /Parent 2 0 R /Resources << >> /PieceInfo <" + filler + "> >>");
        members[static_cast<size_t>(i % streams)].push_back(first + i);
    }
    b.Add(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    for (int k = 0; k < streams; ++k) b.PutInObjectStream(first + pages + k, members[k]);
    testpdf::XrefOptions o;
    o.style = testpdf::XrefStyle::Stream;
    Doc doc(b.SetXref(o).SetRoot(1).Build());
    ASSERT_EQ(doc.Load(), "");
    EXPECT_EQ(doc.catalog.GetPageCount(), static_cast<size_t>(pages));
}

}  // namespace
