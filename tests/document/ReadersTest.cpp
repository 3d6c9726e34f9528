// The readers of what the catalog names besides the pages: name and number trees, page labels,
// the outline, the form's field tree and the structure tree. Each test pins what a reader hands
// the split job, which an output shows only in part.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "TempFile.h"
#include "TestPdf.h"
#include "document/CPdfAcroForm.h"
#include "document/CPdfDestinations.h"
#include "document/CPdfDocument.h"
#include "document/CPdfNameTree.h"
#include "document/CPdfOutline.h"
#include "document/CPdfPageLabels.h"
#include "document/CPdfStructTree.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"

namespace {

// A document of three pages (objects 3, 4 and 5) whose catalog holds catalogEntries, with
// more objects, opened with the strict reader.
struct Source {
    Source(const std::string& catalogEntries, const std::vector<std::pair<int, std::string>>& more)
        : temp(Build(catalogEntries, more)) {
        document.Open(temp.path);
    }
    static std::string Build(const std::string& catalogEntries,
                             const std::vector<std::pair<int, std::string>>& more) {
        testpdf::Builder b;
        b.Add(1, "<< /Type /Catalog /Pages 2 0 R " + catalogEntries + " >>");
        b.Add(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>");
        for (int page : {3, 4, 5}) b.Add(page, "<< /Type /Page /Parent 2 0 R /Resources << >> >>");
        for (const auto& [number, body] : more) b.Add(number, body);
        return b.SetRoot(1).Build();
    }
    CPdfXRef* XRef() const { return document.xref.get(); }
    CPdfObject Catalog() const { return XRef()->Fetch(1, 0); }

    TempFile temp;
    CPdfDocument document;
};

// The object numbers of the records at these indices.
template <typename Record>
std::vector<int32_t> Numbers(const std::vector<Record>& records, const std::vector<int32_t>& at) {
    std::vector<int32_t> out;
    for (int32_t i : at) out.push_back(records[static_cast<size_t>(i)].number);
    return out;
}

TEST(NameTree, LeavesComeInTreeOrderEachNodeOnceUntilTheVisitorStops) {
    // Node 11 is listed twice and node 13 leads back to the root: each is read once.
    const Source s("", {{10, "<< /Kids [11 0 R 12 0 R 11 0 R] >>"},
                        {11, "<< /Names [(a) 1 /b 2] >>"},
                        {12, "<< /Kids [13 0 R] >>"},
                        {13, "<< /Names [(c) 3] /Kids [10 0 R] >>"}});
    const struct {
        const char* stopAt;  // the key after which the visitor stops
        const char* expected;
    } cases[] = {{"", "a1 b2 c3 "}, {"b", "a1 b2 "}};
    for (const auto& c : cases) {
        std::string seen;
        CPdfNameTree::Walk(s.XRef(), CPdfObject::Reference(10, 0), "Names",
                           [&](const CPdfObject& key, const CPdfObject& value) {
                               const std::string name = CPdfNameTree::KeyBytes(key);
                               seen += name + std::to_string(value.intValue) + " ";
                               return name != c.stopAt;
                           });
        EXPECT_EQ(seen, c.expected) << "stop at " << c.stopAt;
    }
}

TEST(PageLabels, OutputRangesStartWhereTheSourceNumberingBreaks) {
    // Page index 0 lies before every range; 1 and 2 are roman from i; 3 on are A-5, A-6, ...
    const Source s("/PageLabels << /Kids [30 0 R] >>",
                   {{30, "<< /Nums [3 << /S /D /P (A-) /St 5 >> 1 << /S /r >>] >>"}});
    CPdfPageLabels labels;
    labels.Load(s.XRef(), s.Catalog());
    ASSERT_TRUE(labels.IsPresent());
    const std::pair<std::vector<uint32_t>, const char*> cases[] = {{{0, 1, 2}, "0:D1 1:r1 "},
                                                                   {{1, 2, 3, 4}, "0:r1 2:A-D5 "},
                                                                   {{4, 3}, "0:A-D6 1:A-D5 "},
                                                                   {{2, 2}, "0:r2 1:r2 "}};
    for (const auto& [pages, expected] : cases) {
        const CPdfObject nums = labels.Rebuild(pages);
        std::string text;
        for (size_t i = 0; i + 1 < nums.arrayValue->GetCount(); i += 2) {
            const CPdfDictionary& label = *nums.arrayValue->GetAt(i + 1).dictValue;
            text += std::to_string(nums.arrayValue->GetAt(i).intValue) + ":" +
                    label.Get("P").stringValue.Bytes() + label.Get("S").textValue +
                    std::to_string(label.Get("St").intValue) + " ";
        }
        EXPECT_EQ(text, expected) << pages.size() << " pages from " << pages[0];
    }
}

TEST(Outline, ItemsAreFiledByThePageTheyOpenAndALoopEndsItsChain) {
    // 43 leads back to 41 and 44 to itself; 44 opens a named destination.
    const Source s("/Outlines 40 0 R /Dests << /named [5 0 R /Fit] >>",
                   {{40, "<< /First 41 0 R >>"},
                    {41, "<< /Dest [3 0 R /Fit] /Next 42 0 R /First 44 0 R >>"},
                    {42, "<< /A << /S /URI /URI (x) >> /Next 43 0 R >>"},
                    {43, "<< /A << /S /GoTo /D [4 0 R /Fit] >> /Next 41 0 R >>"},
                    {44, "<< /Dest /named /Next 44 0 R >>"}});
    CPdfDestinations dests;
    dests.Load(s.XRef(), s.Catalog());
    CPdfOutline outline;
    outline.Load(s.XRef(), s.Catalog(), dests);
    auto numbers = [&](const std::vector<int32_t>& at) { return Numbers(outline.items, at); };
    EXPECT_EQ(outline.items.size(), 4u);
    EXPECT_EQ(numbers(outline.top), (std::vector<int32_t>{41, 42, 43}));
    const std::pair<int32_t, std::vector<int32_t>> byPage[] = {
        {3, {41}}, {4, {43}}, {5, {44}}, {2, {}}};
    for (const auto& [page, items] : byPage) {
        EXPECT_EQ(numbers(outline.ItemsOpening(page)), items) << "page " << page;
    }
    EXPECT_EQ(numbers(outline.ItemsOpeningNoPage()), (std::vector<int32_t>{42}));
}

TEST(AcroForm, FieldTreeReadsEachNodeOnceAndMarksWidgets) {
    // 50 is listed twice and 53 leads back to it.
    const Source s("/AcroForm << /Fields [50 0 R 51 0 R 50 0 R] >>",
                   {{50, "<< /T (name) /Kids [52 0 R 53 0 R] >>"},
                    {51, "<< /T (sig) /FT /Sig /Subtype /Widget >>"},
                    {52, "<< /Subtype /Widget /Parent 50 0 R >>"},
                    {53, "<< /Subtype /Widget /Parent 50 0 R /Kids [50 0 R] >>"}});
    CPdfAcroForm form;
    form.Load(s.XRef(), s.Catalog());
    // Each node as its number, w for a widget, and its kids in brackets.
    std::function<std::string(int32_t)> describe = [&](int32_t i) {
        const CPdfFormNode& node = form.nodes[static_cast<size_t>(i)];
        std::string text = std::to_string(node.number) + (node.widget ? "w" : "");
        if (node.kids.empty()) return text;
        text += "(";
        for (int32_t kid : node.kids) text += describe(kid) + " ";
        return text + ")";
    };
    std::string tree;
    for (int32_t field : form.fields) tree += describe(field) + " ";
    EXPECT_EQ(tree, "50(52w 53w ) 51w ");
    EXPECT_EQ(form.NodeOf(53), 2);
    EXPECT_EQ(form.NodeOf(5), -1);
}

TEST(StructTree, ElementsAreFiledUnderThePagesTheirContentLiesOn) {
    // 61: marked content on its own /Pg (3) and on an MCR's (4); 62 and the element 63 it holds
    // inherit 62's /Pg (5); 65 has content on no page.
    const Source s("/StructTreeRoot 60 0 R",
                   {{60,
                     "<< /Type /StructTreeRoot /K [61 0 R 62 0 R 65 0 R] "
                     "/ParentTree << /Nums [1 63 0 R 0 [61 0 R]] >> >>"},
                    {61, "<< /S /P /Pg 3 0 R /K [0 << /Type /MCR /Pg 4 0 R /MCID 1 >>] >>"},
                    {62, "<< /S /Div /Pg 5 0 R /K [63 0 R << /Type /OBJR /Obj 9 0 R >>] >>"},
                    {63, "<< /S /Span /P 62 0 R /K 2 >>"},
                    {65, "<< /S /Note /K 0 >>"}});
    CPdfStructTree tree;
    tree.Load(s.XRef(), s.Catalog());
    auto numbers = [&](const std::vector<int32_t>& at) { return Numbers(tree.elements, at); };
    const std::pair<int32_t, std::vector<int32_t>> byPage[] = {{3, {61}}, {4, {61}}, {5, {62, 63}}};
    for (const auto& [page, elements] : byPage) {
        EXPECT_EQ(numbers(tree.ElementsOn(page)), elements) << "page " << page;
    }
    EXPECT_EQ(numbers(tree.unplaced), (std::vector<int32_t>{65}));
    EXPECT_EQ(tree.ParentTreeValue(1).refNumber, 63);
    EXPECT_EQ(tree.ParentTreeValue(0).kind, kindArray);
}

}  // namespace
