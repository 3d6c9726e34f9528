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
#include "OutputPdf.h"
#include "SplitRun.h"
#include "TestPdf.h"
#include "TestValues.h"
#include "app/CPdfFileSplit.h"
#include "object/CPdfObjectWriter.h"
#include "object/CPdfString.h"
#include "stream/CPdfCipher.h"

namespace {

namespace fs = std::filesystem;
using testpdf::Builder;
using L = testpdf::SimpleLayout;
using namespace splitrun;

const char kHead[] = "%PDF-1.4\r%\xE2\xE3\xCF\xD3\r\n";

// Text with every reference written as "R", to compare objects whatever their numbers.
std::string Normalized(const std::string& text) {
    static const std::regex ref(R"(\d+ \d+ R)");
    return CPdfObjectWriter::Compact(std::regex_replace(text, ref, "R"));
}

// The values of an output's objects (from "obj" to "endobj"), normalized.
std::multiset<std::string> Values(const OutputPdf& pdf) {
    std::multiset<std::string> values;
    for (const auto& [number, offset] : pdf.objects) {
        size_t begin = pdf.bytes.find("obj", static_cast<size_t>(offset)) + 3;
        size_t end = pdf.bytes.find("endobj", begin);
        std::string value = pdf.bytes.substr(begin, end - begin);
        value.erase(0, value.find_first_not_of(" \r\n"));
        value.erase(value.find_last_not_of(" \r\n") + 1);
        values.insert(Normalized(value));
    }
    return values;
}

// Page numbers in chunk names take six digits at least and as many as they need: numbers
// wrapped at 100,000 made page 100,001's file replace page 1's.
TEST(Split, ChunkNamesGrowPastSixDigitsInsteadOfWrapping) {
    const std::pair<uint64_t, const char*> numbers[] = {
        {0, "000000"},      {1, "000001"},        {99999, "099999"},           {100000, "100000"},
        {123456, "123456"}, {1000000, "1000000"}, {4294967295u, "4294967295"},
    };
    for (const auto& c : numbers) EXPECT_EQ(CPdfFileSplit::FormatSixDigits(c.first), c.second);
    const struct {
        uint64_t first, size, pageCount;
        const char* name;
    } chunks[] = {
        {1, 10, 25, "part000001-000010.pdf"},
        {21, 10, 25, "part000021-000025.pdf"},
        {25, 1, 25, "part000025.pdf"},
        {90001, 10000, 110000, "part090001-100000.pdf"},
        {100001, 10000, 110000, "part100001-110000.pdf"},
        {100001, 1, 110000, "part100001.pdf"},
        {1, 4294967295u, 4294967295u, "part000001-4294967295.pdf"},
        {4294967295u, 2, 4294967295u, "part4294967295-4294967295.pdf"},
    };
    for (const auto& c : chunks) {
        EXPECT_EQ(CPdfFileSplit::ChunkFileName("part", c.first, c.size, c.pageCount), c.name);
    }
}

struct ModeCase {
    int pages;
    const char* out;
    const char* mode;
    const char* message;
    std::vector<std::pair<std::string, std::vector<int>>> files;  // name, its pages
    std::vector<std::string> options = {};
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
        {0, "split", "-s10s", "No files output", {}},
        {0, "split", "-s1s", "No files output", {}},
        {5, "split", "-s1,3s", "Invalid page number", {}},
        {3, "out.pdf", "-s4", "Page number 4 greater than 3 pages in file", {}},
        {3, "out.pdf", "all", "Wrong program parameteres", {}},
        {9, "out.pdf", "-s9-5,1", "", {{"out.pdf", {9, 8, 7, 6, 5, 1}}}},
        // One file per item of a "-g" list, named like chunks.
        {12,
         "out",
         "-g1-3,4-10,11-",
         "",
         {{"out000001-000003.pdf", Range(1, 3)},
          {"out000004-000010.pdf", Range(4, 10)},
          {"out000011-000012.pdf", {11, 12}}}},
        {6, "out", "-g5,3-1", "", {{"out000005.pdf", {5}}, {"out000003-000001.pdf", {3, 2, 1}}}},
        {6, "out", "-g2,7", "Page number 7 greater than 6 pages in file", {}},
        // Output name templates.
        {3,
         "page-%03d.pdf",
         "-s1s",
         "",
         {{"page-001.pdf", {1}}, {"page-002.pdf", {2}}, {"page-003.pdf", {3}}}},
        {5,
         "p%f-%2l.pdf",
         "-s2s",
         "",
         {{"p1- 2.pdf", {1, 2}}, {"p3- 4.pdf", {3, 4}}, {"p5- 5.pdf", {5}}}},
        {5, "100%%-%d.pdf", "even", "", {{"100%-1.pdf", {2, 4}}}},
        {7, "g%d", "-g7-6,2", "", {{"g1", {7, 6}}, {"g2", {2}}}},
        // A dry run writes nothing.
        {5, "split", "-s2s", "", {}, {"--dry-run"}},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.pages) + " pages, " + c.mode);
        TempDir dir;
        WriteFile(dir / "in.pdf", testpdf::MakeSimpleDocument(c.pages));
        EXPECT_EQ(Split(dir / "in.pdf", dir / c.out, c.mode, "", c.options), c.message);
        std::vector<std::string> names;
        for (const auto& f : c.files) names.push_back(f.first);
        std::sort(names.begin(), names.end());
        ASSERT_EQ(Outputs(dir), names);
        for (const auto& [name, pages] : c.files) {
            OutputPdf pdf(dir / name);
            EXPECT_EQ(pdf.ShownPages(), pages) << name;
            // Each file holds its own pages' content only.
            for (int n = 1; n <= c.pages; ++n) {
                bool own = std::count(pages.begin(), pages.end(), n) != 0;
                std::string shown = "(Page " + std::to_string(n) + ") Tj";
                EXPECT_EQ(pdf.bytes.find(shown) != std::string::npos, own) << name << " " << n;
            }
        }
    }
}

// maxsize=: files of consecutive pages in order, each at most the limit as written (the font
// that all pages share counted in each), and each as long as the limit allows: one page more
// would pass it. A page alone over the limit gets a file of its own.
TEST(Split, MaxSizeFillsEachFileUpToTheLimit) {
    TempDir dir;
    const int pages = 23;
    WriteFile(dir / "in.pdf", testpdf::MakeSimpleDocument(pages));
    auto sizeOf = [&](const std::string& list) {
        EXPECT_EQ(Split(dir / "in.pdf", dir / "probe/p.pdf", list), "");
        return static_cast<uint64_t>(fs::file_size(dir / "probe/p.pdf"));
    };
    fs::create_directory(dir / "probe");
    const uint64_t one = sizeOf("-s1"), all = sizeOf("-s1-");
    for (uint64_t limit : {uint64_t(1), one + one / 2, 3 * one, all - 1, all}) {
        SCOPED_TRACE(limit);
        fs::remove_all(dir / "out");
        fs::create_directory(dir / "out");
        ASSERT_EQ(Split(dir / "in.pdf", dir / "out/m", "maxsize=" + std::to_string(limit)), "");
        int next = 1;
        for (const std::string& name : ListDir(dir / "out")) {
            const std::regex form("m(\\d{6})(-(\\d{6}))?\\.pdf");
            std::smatch m;
            ASSERT_TRUE(std::regex_match(name, m, form)) << name;
            const int first = std::stoi(m[1]), last = m[3].matched ? std::stoi(m[3]) : first;
            EXPECT_EQ(first, next) << name;
            next = last + 1;
            const uint64_t size = fs::file_size(dir / ("out/" + name));
            EXPECT_TRUE(size <= limit || first == last) << name << " " << size;
            if (last < pages) {
                EXPECT_GT(sizeOf("-s" + std::to_string(first) + "-" + std::to_string(last + 1)),
                          limit)
                    << name;
            }
            OutputPdf pdf(dir / ("out/" + name));
            EXPECT_EQ(pdf.ShownPages(), Range(first, last)) << name;
        }
        EXPECT_EQ(next, pages + 1);
    }
    ExpectQpdfClean(dir / "probe/p.pdf");
}

TEST(Split, OutputFrameAndObjectOrder) {
    TempDir dir;
    const std::string source = testpdf::MakeSimpleDocument(5);
    WriteFile(dir / "in.pdf", source);
    ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s4,2"), "");
    OutputPdf pdf(dir / "out.pdf");
    EXPECT_EQ(pdf.bytes.rfind(kHead, 0), 0u);
    // The catalog, the page tree root, what the first page's resources name (the font), the
    // pages in selection order, then the objects they reach; the numbers run from 1 without a
    // gap.
    EXPECT_EQ(pdf.XRef()->rootNum, 1);
    EXPECT_EQ(pdf.bytes.find("2 0 obj<<\n/Type /Pages\n/Kids [ 4 0 R 5 0 R ]\n/Count 2\n"),
              pdf.objects[2]);
    EXPECT_EQ(pdf.bytes.find("3 0 obj<</Type/Font"), pdf.objects[3]);
    EXPECT_EQ(pdf.ShownPages(), (std::vector<int>{4, 2}));
    // Content, font and information are the source's values.
    const std::multiset<std::string> values = Values(pdf);
    for (int n : {L::kFont, L::kInfo, L::Content(2), L::Content(4)}) {
        size_t at = source.find("\n" + std::to_string(n) + " 0 obj\n") + 1;
        at = source.find('\n', at) + 1;
        std::string value = source.substr(at, source.find("\nendobj", at) - at);
        EXPECT_EQ(values.count(Normalized(value)), 1u) << value;
    }
    std::string trailer = pdf.trailer;
    std::transform(trailer.begin(), trailer.end(), trailer.begin(), ::tolower);
    EXPECT_EQ(trailer, "trailer\n<</size " + std::to_string(pdf.size) +
                           "/id [<000000055b7a1c3e9d2f4a6b8c0e1d3f>"
                           "<id2>]/info " +
                           std::to_string(pdf.size - 1) + " 0 r/root 1 0 r>>\n");
    ExpectQpdfClean(dir / "out.pdf");
    // The output's own /ID element follows from the page list: the same command writes the
    // same bytes, another list another element.
    ASSERT_EQ(Split(dir / "in.pdf", dir / "again.pdf", "-s4,2"), "");
    EXPECT_EQ(ReadFile(dir / "again.pdf"), pdf.bytes);
    ASSERT_EQ(Split(dir / "in.pdf", dir / "other.pdf", "-s2,4"), "");
    EXPECT_NE(OutputPdf(dir / "other.pdf").secondId, pdf.secondId);
}

// The output's own /ID element digests the source's /ID and the whole page list, which a long
// output digests a few kilobytes at a time.
TEST(Split, OutputIdDigestsTheWholePageList) {
    TempDir dir;
    testpdf::SimpleOptions options;
    options.outline = false;
    const int pages = 1500;
    WriteFile(dir / "in.pdf", testpdf::MakeSimpleDocument(pages, options));
    ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s1-"), "");
    auto bytes = [](const std::string& hex) {
        std::string out;
        for (size_t i = 0; i < hex.size(); i += 2)
            out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        return out;
    };
    const std::string first = bytes("000005DC5B7A1C3E9D2F4A6B8C0E1D3F");  // the page count first
    std::string seed = "16:" + first + bytes("0F1E2D3C4B5A69788796A5B4C3D2E1F0") + "\n";
    for (int p = 1; p <= pages; ++p) seed += std::to_string(p) + " ";
    ASSERT_GT(seed.size(), 4096u);
    EXPECT_EQ(OutputPdf(dir / "out.pdf").secondId,
              CPdfString::HexEncode(CPdfCipher::Hash(CPdfCipher::md5, seed)));
}

// The source's cross-reference form does not show in outputs: a plain table and trailer, or
// (by default where the source has object streams) a cross-reference stream of its own; either
// names /ID, /Info and /Root only.
TEST(Split, EverySourceLayoutGivesAPlainTable) {
    using testpdf::SimpleStyle;
    const struct {
        SimpleStyle style;
        bool infoAndId;
        bool packed;  // the source has object streams
    } cases[] = {
        {SimpleStyle::Table, true, false},
        {SimpleStyle::XrefStream, true, false},
        {SimpleStyle::ObjectStreams, true, true},
        {SimpleStyle::Hybrid, true, true},
        // A source without /ID gets one.
        {SimpleStyle::ObjectStreams, false, true},
        {SimpleStyle::Table, false, false},
    };
    for (const auto& c : cases) {
        for (const char* streams : {"preserve", "disable"}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(c.style) * 2 + c.infoAndId) + " " +
                         streams);
            testpdf::SimpleOptions options;
            options.style = c.style;
            options.info = options.id = c.infoAndId;
            options.objectsPerStream = 3;
            TempDir dir;
            WriteFile(dir / "in.pdf", testpdf::MakeSimpleDocument(4, options));
            ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s3", "",
                            {std::string("--object-streams=") + streams}),
                      "");
            OutputPdf pdf(dir / "out.pdf");
            const bool stream = c.packed && std::string(streams) == "preserve";
            EXPECT_EQ(pdf.xrefStream, stream);
            EXPECT_EQ(pdf.packed.empty(), !stream);
            std::string head = "trailer\n<</Size " + std::to_string(pdf.size);
            std::vector<const char*> dropped = {"/Index", "/Prev", "/XRefStm"};
            if (stream) {
                head = pdf.trailer.substr(0, pdf.trailer.find("]") + 1);
                EXPECT_EQ(head, "<</Type/XRef/Size " + std::to_string(pdf.size) + "/W[1 2 1]");
            } else {
                dropped.insert(dropped.end(),
                               {"/Type", "/W", "/Filter", "/Length", "/DecodeParms"});
            }
            EXPECT_EQ(pdf.trailer.substr(head.size(), 6), "/ID [<");
            for (const char* key : dropped) {
                EXPECT_EQ(pdf.trailer.find(key), std::string::npos) << key;
            }
            EXPECT_EQ(pdf.trailer.find("/Info") != std::string::npos, c.infoAndId);
            EXPECT_EQ(pdf.ShownPages(), std::vector<int>{3});
            ExpectQpdfClean(dir / "out.pdf");
        }
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
        OutputPdf pdf(dir / "out.pdf");
        EXPECT_EQ(pdf.bytes.substr(0, pdf.bytes.find('\n') + 1),
                  std::string(c.first) + "%\xE2\xE3\xCF\xD3\r\n");
        if (&c != &cases[0]) continue;
        EXPECT_EQ(pdf.Content(0), "(new) Tj");
        EXPECT_EQ(pdf.bytes.find("(old)"), std::string::npos);
        EXPECT_EQ(pdf.trailer, "trailer\n<</Size 5/ID [<aa><id2>]/Root 1 0 R>>\n");
    }
}

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
    std::vector<Obj> objects;  // page tree nodes and more; the catalog unless given
    std::string page;          // page object 10 (its content is 11, a font 4)
    std::vector<std::pair<std::string, std::string>> entries;  // key, value described
    std::string mutool;  // an entry that mutool reads from the output page
};

TEST(Split, PagesCarryWhatTheyInherit) {
    const std::string box = "/MediaBox [0 0 612 792]";
    const std::string res = "/Resources << /Font << /F1 4 0 R >> >>";
    const std::string font = "<< /BaseFont /Helvetica /Subtype /Type1 /Type /Font >>";
    const std::string root = "<< /Type /Pages /Count 1 /Kids [";
    const std::string node = "<< /Type /Pages /Parent 2 0 R /Kids [10 0 R] /Count 1 ";
    const PageCase cases[] = {
        {"BoxFromRootThroughNode",
         {{2, root + "3 0 R] " + box + " >>"}, {3, node + res + " >>"}},
         "<< /Type /Page /Parent 3 0 R /Contents 11 0 R >>",
         // The content names no font: the inherited one is not needed.
         {{"MediaBox", "[0 0 612 792]"}, {"Resources", "<< >>"}},
         "<MediaBox l=\"0\" b=\"0\" r=\"612\" t=\"792\" />"},
        {"InheritedResourcesCutToWhatTheContentNames",
         {{2, root + "10 0 R] " + box +
                  " /Resources << /ProcSet [/PDF] /Font << /F1 4 0 R "
                  "/F2 4 0 R >> /XObject << /Im#31 5 0 R /Im2 5 0 R >> >> >>"},
          {5, testpdf::StreamBody("/Subtype /Image /Width 1 /Height 1 /ColorSpace /DeviceGray "
                                  "/BitsPerComponent 8",
                                  "A")},
          {12, testpdf::StreamBody("/Filter /FlateDecode",
                                   testpdf::Deflate("BT /F2 9 Tf (/F1) Tj ET /Im1 Do"))}},
         "<< /Type /Page /Parent 2 0 R /Contents 12 0 R >>",
         {{"Resources", "<< /Font << /F2 " + font +
                            " >> /ProcSet [/PDF] /XObject << /Im1 "
                            "stream >> >>"}},
         ""},
        // What a form without resources of its own draws, or what a damaged content names,
        // is not known: every inherited resource stays.
        {"FormDrawingWithThePageResourcesKeepsThemAll",
         {{2, root + "10 0 R] " + box +
                  " /Resources << /Font << /F1 4 0 R >> /XObject << "
                  "/Fm 5 0 R >> >> >>"},
          {5, testpdf::StreamBody("/Subtype /Form /BBox [0 0 9 9]", "BT /F1 9 Tf ET")},
          {12, testpdf::StreamBody("", "/Fm Do")}},
         "<< /Type /Page /Parent 2 0 R /Contents 12 0 R >>",
         {{"Resources", "<< /Font << /F1 " + font + " >> /XObject << /Fm stream >> >>"}},
         ""},
        {"DamagedContentKeepsThemAll",
         {{2, root + "10 0 R] " + box + " " + res + " >>"},
          {12, testpdf::StreamBody("/Filter /FlateDecode",
                                   testpdf::Deflate("BT /F1 9 Tf ET").substr(0, 6))}},
         "<< /Type /Page /Parent 2 0 R /Contents 12 0 R >>",
         {{"Resources", "<< /Font << /F1 " + font + " >> >>"}},
         ""},
        {"NearestBoxWins",
         {{2, root + "3 0 R] " + box + " >>"}, {3, node + "/MediaBox [0 0 200 300.5] >>"}},
         "<< /Type /Page /Parent 3 0 R /Resources << >> >>",
         {{"MediaBox", "[0 0 200 300.5]"}},
         "<MediaBox l=\"0\" b=\"0\" r=\"200\" t=\"300.5\" />"},
        {"NoBoxAnywhereIsLetter",
         {{2, root + "10 0 R] >>"}},
         "<< /Type /Page /Parent 2 0 R /Resources << >> >>",
         {{"MediaBox", "[0 0 612 792]"}},
         "<MediaBox l=\"0\" b=\"0\" r=\"612\" t=\"792\" />"},
        {"NoResourcesAnywhereAreEmpty",
         {{2, root + "10 0 R] " + box + " >>"}},
         "<< /Type /Page /Parent 2 0 R /Contents 11 0 R >>",
         {{"Resources", "<< >>"}},
         ""},
        {"OwnIndirectBoxAndResourcesKept",
         {{2, root + "10 0 R] " + box + " " + res + " >>"}, {6, "[0 0 300 300]"}},
         "<< /Type /Page /Parent 2 0 R /MediaBox 6 0 R /Resources << >> >>",
         {{"MediaBox", "[0 0 300 300]"}, {"Resources", "<< >>"}},
         "<MediaBox l=\"0\" b=\"0\" r=\"300\" t=\"300\" />"},
        {"ResourcesByReferenceFromRoot",
         {{2, root + "10 0 R] /Resources 7 0 R " + box + " >>"}, {7, "<< /F 4 0 R >>"}},
         "<< /Type /Page /Parent 2 0 R /Contents 11 0 R >>",
         {{"Resources", "<< /F " + font + " >>"}},
         ""},
        {"CropBoxAndRotateFromNearestAncestors",
         {{2, root + "3 0 R] /Rotate 90 /CropBox [10 10 300 400] " + box + " >>"},
          {3, node + "/Rotate 180 >>"}},
         "<< /Type /Page /Parent 3 0 R /Resources << >> >>",
         {{"CropBox", "[10 10 300 400]"}, {"Rotate", "180"}},
         "<Rotate v=\"180\" />"},
        {"OwnRotateKept",
         {{2, root + "10 0 R] /Rotate 90 >>"}},
         "<< /Type /Page /Parent 2 0 R /Rotate 0 /MediaBox [0 0 5 5] /Resources << >> >>",
         {{"Rotate", "0"}, {"MediaBox", "[0 0 5 5]"}},
         "<Rotate v=\"0\" />"},
        {"PageWithoutParentGetsOne",
         {{2, root + "10 0 R] >>"}},
         "<< /Type /Page /MediaBox [0 0 5 5] /Resources << >> >>",
         {{"MediaBox", "[0 0 5 5]"}},
         ""},
        {"RootWithAGeneration",
         {{1, "<< /Type /Catalog /Pages 2 3 R >>"}, {2, root + "10 0 R] " + box + " >>", 3}},
         "<< /Type /Page /Parent 2 3 R /Resources << >> >>",
         {{"MediaBox", "[0 0 612 792]"}},
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
        OutputPdf pdf(dir / "out.pdf");
        ASSERT_EQ(pdf.PageCount(), 1u);
        const CPdfObject pageObject = pdf.Page(0);
        const CPdfDictionary& page = *pageObject.dictValue;
        for (const auto& [key, value] : c.entries) {
            EXPECT_EQ(pdf.Describe(page.Get(key)), value) << key;
        }
        EXPECT_EQ(page.Get("Parent").refNumber, 2);
        // The page tree's nodes are not copied: the output has its own root.
        size_t nodes = 0;
        for (size_t at = pdf.bytes.find("/Type /Pages"); at != std::string::npos;
             at = pdf.bytes.find("/Type /Pages", at + 1)) {
            ++nodes;
        }
        EXPECT_EQ(nodes, 1u);
        // qpdf rightly warns of the damaged content the source holds.
        if (std::string(c.name) != "DamagedContentKeepsThemAll") ExpectQpdfClean(dir / "out.pdf");
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
    OutputPdf pdf(dir / "out.pdf");
    // Pages are numbered from 4 (after the font of the first) in selection order; page 3,
    // chosen twice, is two page objects.
    std::string kids;
    for (int i = 0; i < 26; ++i) {
        kids += " " + std::to_string(4 + i) + " 0 R";
        if (i == 10 || i == 20) kids += "\n";
    }
    EXPECT_NE(pdf.bytes.find("2 0 obj<<\n/Type /Pages\n/Kids [" + kids + " ]\n/Count 26\n>>\n"),
              std::string::npos);
    std::vector<int> shown = Range(1, 25);
    std::reverse(shown.begin(), shown.end());
    shown.push_back(3);
    EXPECT_EQ(pdf.ShownPages(), shown);
    ExpectQpdfClean(dir / "out.pdf");
}

struct CollectCase {
    const char* name;
    std::string pageExtra;     // entries added to page 1 (object 10)
    std::string catalogExtra;  // entries added to the catalog
    std::vector<Obj> objects;
    std::multiset<std::string> copied;  // values of the objects copied besides the page's content
    std::string catalog = "";           // what the catalog then holds besides /Pages and /Type
};

TEST(Split, CopiesWhatTheCatalogAndTheChosenPagesReach) {
    std::vector<Obj> strings;
    for (int n = 30; n <= 36; ++n) strings.push_back({n, "(x" + std::to_string(n) + ")"});
    const CollectCase cases[] = {
        {"Plain", "", "", {}, {}},
        {"StreamDataIsNotFollowed",
         "/X 30 0 R",
         "",
         {{30, testpdf::StreamBody("/Foo 31 0 R", "q 32 0 R Q")}, {31, "(a)"}, {32, "(b)"}},
         {"<< /Foo R /Length 10 >>\nstream\nq 32 0 R Q\nendstream", "(a)"}},
        {"EveryDelimiterAfterAReference",
         "/X [30 0 R\t31 0 R[1] 32 0 R<</K 1>> 33 0 R(s) 34 0 R<65> 35 0 R/N 36 0 R]",
         "",
         strings,
         {"(x30)", "(x31)", "(x32)", "(x33)", "(x34)", "(x35)", "(x36)"}},
        {"NonzeroGeneration",
         "/X 30 2 R",
         "",
         {{30, "<< /Y 31 0 R >>", 2}, {31, "(y)"}},
         {"<< /Y R >>", "(y)"}},
        {"ChainsAndCycles",
         "/X 30 0 R",
         "",
         {{30, "<< /N 31 0 R >>"}, {31, "[32 0 R 33 0 R]"}, {32, "<< /Back 30 0 R >>"}, {33, "1"}},
         {"<< /N R >>", "[R R]", "<< /Back R >>", "1"}},
        // A page outside the output's page tree would be an orphan that readers reject.
        {"LinkedUnselectedPageIsNotCopied",
         "/Annots [30 0 R]",
         "",
         {{30, "<< /Type /Annot /Subtype /Link /Rect [0 0 9 9] /Dest [20 0 R /Fit] >>"}},
         {"<< /Type /Annot /Subtype /Link /Rect [0 0 9 9] /Dest [null /Fit] >>"}},
        // A page without /Type is known by the /Pages node it hangs from, also where the
        // walk of the tree stopped before it.
        {"LinkedUntypedPageIsNotCopied",
         "/Annots [30 0 R]",
         "",
         {{30, "<< /Type /Annot /Subtype /Link /Rect [0 0 9 9] /Dest [31 0 R /Fit] >>"},
          {31, "<< /Parent 32 0 R /Contents 21 0 R >>"},
          {32, "<< /Kids [31 0 R] /Parent 33 0 R >>"},
          {33, "<< /Type /Pages /Kids [32 0 R] /Count 1 >>"}},
         {"<< /Type /Annot /Subtype /Link /Rect [0 0 9 9] /Dest [null /Fit] >>"}},
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
        {"CatalogDoesNotBringPagesLeftOut",
         "",
         "/OpenAction [20 0 R /Fit] /Names 30 0 R",
         {{30, "<< /Dests 31 0 R >>"},
          {31, "<< /Names [(a) [20 0 R /Fit] (b) 32 0 R] >>"},
          {32, "[20 0 R /XYZ 0 0 0]"}},
         {}},
        {"CatalogKeepsWhatOpensItsPages",
         "",
         "/OpenAction [10 0 R /Fit] /Names 30 0 R /Lang (en)",
         {{30, "<< /Dests 31 0 R /JavaScript 33 0 R >>"},
          {31, "<< /Names [(a) [10 0 R /Fit] (b) 32 0 R (c) [20 0 R /Fit]] >>"},
          {32, "[10 0 R /XYZ 0 0 0]"},
          {33, "<< /Names [(js) << /S /JavaScript /JS (1) >>] >>"}},
         // The destination object is written inside the tree.
         {"<< /Names [(js) << /S /JavaScript /JS (1) >>] >>"},
         " /Lang (en) /Names << /Dests << /Names [(a) [page1 /Fit] (b) [page1 /XYZ 0 0 0]] >>"
         " /JavaScript << /Names [(js) << /JS (1) /S /JavaScript >>] >> >>"
         " /OpenAction [page1 /Fit]"},
        // Names that merely begin with "Page" do not make a destination dictionary a page.
        {"CatalogKeepsDestinationsNamedAfterPages",
         "",
         "/Dests 30 0 R",
         {{30, "<< /Page1 [10 0 R /Fit] /Page2 [20 0 R /Fit] >>"}},
         {},
         " /Dests << /Page1 [page1 /Fit] >>"},
        {"InfoAndWhatItReaches",
         "",
         "",
         {{40, "<< /Title 41 0 R /Producer (p) >>"}, {41, "(T)"}},
         {"<< /Title R /Producer (p) >>", "(T)"}},
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
        WriteFile(dir / "in.pdf", Document(objects));
        ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s1"), "");
        OutputPdf pdf(dir / "out.pdf");
        std::multiset<std::string> values = Values(pdf);
        EXPECT_EQ(values.size(), 4 + c.copied.size());  // catalog, page tree, page, content
        for (const std::string& v : c.copied) EXPECT_EQ(values.count(Normalized(v)), 1u) << v;
        EXPECT_EQ(pdf.Content(0), "0 g");
        EXPECT_EQ(pdf.Describe(pdf.Catalog()),
                  "<<" + c.catalog +
                      " /Pages << /Count 1 /Kids [page1] /Type /Pages >> /Type /Catalog >>");
        ExpectQpdfClean(dir / "out.pdf");
    }
}

// The fields of an output as text: each field's /T with its kids in parentheses, a widget
// as "@page" of the output page its /P names.
std::string Fields(const OutputPdf& pdf, const CPdfObject& list) {
    std::string out;
    for (size_t i = 0; list.kind == kindArray && i < list.arrayValue->GetCount(); ++i) {
        CPdfObject node = pdf.Resolve(list.arrayValue->GetAt(i));
        if (node.kind != kindDictionary) continue;
        const CPdfDictionary& d = *node.dictValue;
        out += i ? " " : "";
        if (d.Get("T").kind == kindString) out += d.Get("T").stringValue.Bytes();
        if (d.Get("P").kind == kindReference) {
            out += "@" + std::to_string(pdf.PageIndex(d.Get("P").refNumber) + 1);
        }
        if (d.Get("Kids").kind != kindNull) out += "(" + Fields(pdf, d.GetResolved("Kids")) + ")";
    }
    return out;
}

TEST(Split, FormKeepsTheFieldsOfTheChosenPages) {
    const std::string widget = "/Type /Annot /Subtype /Widget /Rect [0 0 9 9] ";
    const std::vector<Obj> objects = {
        {1,
         "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [70 0 R 80 0 R] /DA (/Helv 0 Tf)"
         " /NeedAppearances true /CO [71 0 R 81 0 R] /XFA 90 0 R >> >>"},
        {2, "<< /Type /Pages /Kids [10 0 R 20 0 R] /Count 2 /MediaBox [0 0 200 200] >>"},
        {10, "<< /Type /Page /Parent 2 0 R /Resources << >> /Annots [71 0 R] >>"},
        {20, "<< /Type /Page /Parent 2 0 R /Resources << >> /Annots [81 0 R 82 0 R] >>"},
        {70, "<< /T (a) /FT /Tx /V (secret-a) /Kids [71 0 R] >>"},
        {71, "<< " + widget + "/Parent 70 0 R /P 10 0 R >>"},
        {80, "<< /T (b) /FT /Tx /Kids [81 0 R 82 0 R] >>"},
        {81, "<< " + widget + "/T (b1) /V (secret-b) /Parent 80 0 R /P 20 0 R >>"},
        {82, "<< " + widget + "/T (b2) /Parent 80 0 R /P 20 0 R >>"},
        {90, "<< /Length 0 >>\nstream\n\nendstream"},
    };
    struct {
        const char* mode;
        std::string fields;  // what /Fields holds
        size_t order;        // entries of /CO
        const char* absent;  // a value of a field left out
    } cases[] = {
        {"-s1", "a(@1)", 1, "secret-b"},
        {"-s2", "b(b1@1 b2@1)", 1, "secret-a"},
        {"-s2,1", "a(@2) b(b1@1 b2@1)", 2, ""},
        // Widgets of a page chosen again are copies on that page, kids of the same field.
        {"-s2,2", "b(b1@1 b2@1 b1@2 b2@2)", 1, "secret-a"},
    };
    TempDir dir;
    WriteFile(dir / "in.pdf", Document(objects));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", c.mode), "");
        OutputPdf pdf(dir / "out.pdf");
        CPdfObject form = pdf.CatalogEntry("AcroForm");
        ASSERT_EQ(form.kind, kindDictionary);
        EXPECT_EQ(Fields(pdf, form.dictValue->GetResolved("Fields")), c.fields);
        EXPECT_EQ(form.dictValue->GetResolved("CO").arrayValue->GetCount(), c.order);
        EXPECT_EQ(form.dictValue->Get("XFA").kind, kindNull);
        EXPECT_EQ(pdf.Describe(form.dictValue->Get("NeedAppearances")), "true");
        if (*c.absent) {
            EXPECT_EQ(pdf.bytes.find(c.absent), std::string::npos);
        }
        ExpectQpdfClean(dir / "out.pdf");
    }
}

// A structure tree as text: each element's /S, its kid elements in parentheses, "#" for each
// marked-content item; checks that every element's /P names its holder.
std::string Structure(const OutputPdf& pdf, const CPdfObject& k, const CPdfObject& holder) {
    CPdfObject list = pdf.Resolve(k);
    std::string out;
    for (size_t i = 0; list.kind == kindArray && i < list.arrayValue->GetCount(); ++i) {
        CPdfObject item = list.arrayValue->GetAt(i);
        CPdfObject value = pdf.Resolve(item);
        if (value.kind != kindDictionary || value.dictValue->Get("S").kind == kindNull) {
            out += "#";
            continue;
        }
        EXPECT_EQ(value.dictValue->Get("P").refNumber, holder.refNumber);
        out +=
            (out.empty() || out.back() == '#' ? "" : " ") + pdf.Describe(value.dictValue->Get("S"));
        std::string kids = Structure(pdf, value.dictValue->Get("K"), item);
        if (!kids.empty()) out += "(" + kids + ")";
    }
    return out;
}

TEST(Split, StructureTreeKeepsTheElementsOfTheChosenPages) {
    const std::vector<Obj> objects = {
        {1,
         "<< /Type /Catalog /Pages 2 0 R /StructTreeRoot 60 0 R /MarkInfo << /Marked true >> >>"},
        {2, "<< /Type /Pages /Kids [10 0 R 20 0 R] /Count 2 /MediaBox [0 0 200 200] >>"},
        {10, "<< /Type /Page /Parent 2 0 R /Resources << >> /StructParents 0 >>"},
        {20, "<< /Type /Page /Parent 2 0 R /Resources << >> /StructParents 1 /Annots [71 0 R] >>"},
        {60,
         "<< /Type /StructTreeRoot /K 61 0 R /RoleMap << /Para /P >> /ParentTreeNextKey 6"
         " /ParentTree << /Nums [0 [62 0 R 65 0 R] 1 [63 0 R] 5 63 0 R] >>"
         " /IDTree << /Kids [<< /Limits [(a) (b)] /Names [(a) 62 0 R (b) 63 0 R] >>] >> >>"},
        {61, "<< /S /Document /P 60 0 R /K [62 0 R 63 0 R 64 0 R] >>"},
        {62, "<< /S /Para /P 61 0 R /Pg 10 0 R /K 0 >>"},
        {63, "<< /S /Para /P 61 0 R /Pg 20 0 R /K [0 << /Type /OBJR /Obj 71 0 R >>] >>"},
        {64, "<< /S /Sect /P 61 0 R /K [65 0 R] >>"},
        {65, "<< /S /Span /P 64 0 R /K [<< /Type /MCR /Pg 10 0 R /MCID 1 >>] >>"},
        {71, "<< /Type /Annot /Subtype /Link /Rect [0 0 9 9] /StructParent 5 >>"},
    };
    struct {
        const char* mode;
        const char* tree;
        const char* parents;  // the parent tree's keys
        const char* ids;
    } cases[] = {
        {"-s1", "/Document(/Para(#) /Sect(/Span(#)))", "[0 2]", "[(a) 1]"},
        {"-s2", "/Document(/Para(##))", "[1 1 5 1]", "[(b) 1]"},
        {"-s2,1", "/Document(/Para(#) /Para(##) /Sect(/Span(#)))", "[0 2 1 1 5 1]",
         "[(a) 1 (b) 1]"},
    };
    TempDir dir;
    WriteFile(dir / "in.pdf", Document(objects));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", c.mode), "");
        OutputPdf pdf(dir / "out.pdf");
        CPdfObject rootRef = pdf.Catalog().dictValue->Get("StructTreeRoot");
        CPdfObject root = pdf.Resolve(rootRef);
        ASSERT_EQ(root.kind, kindDictionary);
        EXPECT_EQ(Structure(pdf, root.dictValue->Get("K"), rootRef), c.tree);
        // Values are shown as counts of what they hold, keys as they are.
        auto keys = [&](const char* tree, const char* leaf) {
            CPdfObject list = pdf.Resolve(root.dictValue->GetResolved(tree).dictValue->Get(leaf));
            std::string out = "[";
            for (size_t i = 0; i < list.arrayValue->GetCount(); i += 2) {
                CPdfObject value = pdf.Resolve(list.arrayValue->GetAt(i + 1));
                out += (i ? " " : "") + pdf.Describe(list.arrayValue->GetAt(i)) + " " +
                       std::to_string(value.kind == kindArray ? value.arrayValue->GetCount() : 1);
            }
            return out + "]";
        };
        EXPECT_EQ(keys("ParentTree", "Nums"), c.parents);
        EXPECT_EQ(keys("IDTree", "Names"), c.ids);
        EXPECT_EQ(pdf.Describe(root.dictValue->Get("RoleMap")), "<< /Para /P >>");
        ExpectQpdfClean(dir / "out.pdf");
    }
}

// A content stream of about `size` bytes that draws nothing.
// Comment lines of varying digits: outputs compress unfiltered streams, and these stay large.
std::string BigContent(size_t size) {
    std::string data;
    uint32_t x = 12345;
    while (data.size() < size) {
        x = x * 1103515245u + 12345u;
        data += "% " + std::to_string(x) + "\n";
    }
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
        b.AddStream(10 * n + 1, "", n >= 5 ? BigContent(400000) : "0 g");
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
    ASSERT_EQ(Outputs(dir),
              (std::vector<std::string>{"split000001-000002.pdf", "split000003-000004.pdf"}));
    EXPECT_EQ(OutputPdf(dir / "split000003-000004.pdf").PageCount(), 2u);
}

TEST(Split, StreamsStoredWithoutAFilterAreCompressedUnlessTheyMustStayAsStored) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "0 0 9 9 re f\n";
    const std::string xmp = "<x:xmpmeta>" + std::string(200, ' ') + "</x:xmpmeta>";
    Builder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R /Metadata 20 0 R /X [21 0 R 22 0 R] >>");
    b.Add(2, "<< /Type /Pages /Kids [10 0 R] /Count 1 >>");
    b.Add(10, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 9 9] /Contents 11 0 R >>");
    b.AddStream(11, "", text);
    b.AddStream(20, "/Type /Metadata /Subtype /XML", xmp);
    b.AddStream(21, "/DecodeParms << /Columns 4 >>", text);
    b.AddStream(22, "/F (data.bin)", text);
    b.SetRoot(1);
    TempDir dir;
    WriteFile(dir / "in.pdf", b.Build());
    ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s1"), "");
    OutputPdf out(dir / "out.pdf");
    EXPECT_EQ(out.Content(0), text);
    const std::string bytes = ReadFile(dir / "out.pdf");
    // The content is compressed; the metadata, and streams whose dictionary would read their
    // data otherwise, are copied as they are.
    EXPECT_NE(bytes.find(xmp), std::string::npos);
    size_t copies = 0;
    for (size_t at = bytes.find(text); at != std::string::npos; at = bytes.find(text, at + 1)) {
        ++copies;
    }
    EXPECT_EQ(copies, 2u);
}

TEST(Split, OutputThatCannotBeCreatedStopsTheRun) {
    TempDir dir;
    WriteFile(dir / "in.pdf", testpdf::MakeSimpleDocument(25));
    fs::create_directory(dir / "split000011-000020.pdf");
    EXPECT_EQ(Split(dir / "in.pdf", dir / "split", "-s10s"), "Output file create error");
    EXPECT_EQ(Outputs(dir),
              (std::vector<std::string>{"split000001-000010.pdf", "split000011-000020.pdf"}));
    EXPECT_EQ(OutputPdf(dir / "split000001-000010.pdf").ShownPages(), Range(1, 10));
    EXPECT_EQ(Split(dir / "in.pdf", dir / "no/such/folder/out.pdf", "-s1"),
              "Output file create error");
}

TEST(Split, OutputOverTheSourceReplacesItWhole) {
    TempDir dir;
    WriteFile(dir / "in.pdf", testpdf::MakeSimpleDocument(3));
    ASSERT_EQ(Split(dir / "in.pdf", dir / "in.pdf", "-s2"), "");
    EXPECT_TRUE(Outputs(dir).empty());
    EXPECT_EQ(OutputPdf(dir / "in.pdf").ShownPages(), std::vector<int>{2});
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
    EXPECT_EQ(Outputs(dir), std::vector<std::string>{"pipe"});
    WriteFile(dir / "copy.pdf", received);
    EXPECT_EQ(OutputPdf(dir / "copy.pdf").ShownPages(), (std::vector<int>{1, 3}));
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
    // Objects keep their numbers: their strings and streams were encrypted under them.
    OutputPdf pdf(dir / "out.pdf", false);
    std::set<int> numbers;
    for (const auto& o : pdf.objects) numbers.insert(o.first);
    EXPECT_EQ(numbers, (std::set<int>{1, 2, 10, 11, 30}));
    EXPECT_EQ(pdf.trailer,
              "trailer\n<</Size 31/ID [<0123456789abcdef><id2>]/Root 1 0 R/Encrypt 30 0 R>>\n");

    WriteFile(dir / "in.pdf", EncryptedSource(true));
    EXPECT_EQ(Split(dir / "in.pdf", dir / "out2.pdf", "-s1"), "Password required");
    EXPECT_FALSE(fs::exists(dir / "out2.pdf"));
}

TEST(Split, EncryptedFilesMadeByQpdfStayReadable) {
    if (!e2e::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
    TempDir dir;
    WriteFile(dir / "plain.pdf", testpdf::MakeSimpleDocument(3));
    const struct {
        std::vector<std::string> options;
        const char* message;
    } cases[] = {
        {{"--encrypt", "user", "owner", "256", "--"}, ""},
        {{"--allow-weak-crypto", "--encrypt", "user", "owner", "128", "--use-aes=n", "--"}, ""},
        {{"--object-streams=generate", "--encrypt", "user", "owner", "256", "--"},
         "Password required"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.front() + " " + c.options.back());
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {dir / "plain.pdf", dir / "in.pdf"});
        const e2e::Outcome made = e2e::Qpdf(args);
        ASSERT_TRUE(made.Exited(0)) << made.out << made.err;
        fs::remove(dir / "out.pdf");
        ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s2"), c.message);
        if (*c.message) continue;
        EXPECT_NE(ReadFile(dir / "out.pdf").find("/Encrypt "), std::string::npos);
        ExpectQpdfClean(dir / "out.pdf", "--password=user");
        const std::string plain = e2e::Qpdf({"--password=user", "--decrypt",
                                             "--stream-data=uncompress", dir / "out.pdf", "-"})
                                      .out;
        EXPECT_NE(plain.find("(Page 2) Tj"), std::string::npos);
        EXPECT_EQ(plain.find("(Page 1) Tj"), std::string::npos);
    }
}

// A one-page document encrypted under the user password user and the owner password "owner"
// with RC4-128 (revision 3) or AES-128 (revision 4), its key made with keyId as the first /ID
// element, and idEntry ("/ID ..." or nothing) in its trailer. Without revision, in clear.
std::string EncryptedWithKeyId(int revision, const std::string& user, const std::string& keyId,
                               const std::string& idEntry) {
    const std::string pad(
        "\x28\xBF\x4E\x5E\x4E\x75\x8A\x41\x64\x00\x4E\x56\xFF\xFA\x01\x08"
        "\x2E\x2E\x00\xB6\xD0\x68\x3E\x80\x2F\x0C\xA9\xFE\x64\x53\x69\x7A",
        32);
    auto md5 = [](const std::string& data) { return CPdfCipher::Hash(CPdfCipher::md5, data); };
    auto rc4 = [](const std::string& key, const std::string& data) {
        return CPdfCipher::Apply(CPdfCipher::rc4, key, "", true, CPdfCipher::noPadding, data);
    };
    // Twenty rounds of RC4, the key's bytes xored with the round number.
    auto rounds = [&](const std::string& key, std::string data) {
        for (char i = 0; i < 20; ++i) {
            std::string k = key;
            for (char& c : k) c ^= i;
            data = rc4(k, data);
        }
        return data;
    };
    auto fifty = [&](std::string hash) {
        for (int i = 0; i < 50; ++i) hash = md5(hash);
        return hash;
    };
    const std::string o =
        rounds(fifty(md5(("owner" + pad).substr(0, 32))), (user + pad).substr(0, 32));
    const std::string p("\xD4\xFF\xFF\xFF", 4);  // /P -44
    const std::string key = fifty(md5((user + pad).substr(0, 32) + o + p + keyId));
    const std::string u = rounds(key, md5(pad + keyId)) + std::string(16, '\0');
    std::string content = "0 0 1 rg 10 10 50 50 re f";
    const std::string objectKey =
        md5(key + std::string("\4\0\0\0\0", 5) + (revision == 4 ? "sAlT" : ""));
    if (revision == 3) content = rc4(objectKey, content);
    if (revision == 4) {
        const std::string iv(16, 'v');
        content = iv + CPdfCipher::Apply(CPdfCipher::aes128Cbc, objectKey, iv, true,
                                         CPdfCipher::pdfPadding, content);
    }
    Builder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 90 90] >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Resources << >> /Contents 4 0 R >>");
    b.AddStream(4, "", content);
    b.SetRoot(1);
    if (revision == 0) return b.Build();
    b.Add(5, "<< /Filter /Standard /Length 128 /P -44 /O <" + CPdfString::HexEncode(o) + "> /U <" +
                 CPdfString::HexEncode(u) + "> " +
                 (revision == 3 ? "/V 2 /R 3"
                                : "/V 4 /R 4 /CF << /StdCF << /CFM /AESV2 /Length 16 >> >> "
                                  "/StmF /StdCF /StrF /StdCF") +
                 " >>");
    return b.AddTrailerEntries("/Encrypt 5 0 R " + idEntry).Build();
}

// Sources without a usable /ID: readers then make the key with an empty first element, or,
// for an array of another length than two, some with its first string. Each output keeps the
// element the source's key was made with, opens with the source's password and shows its page.
TEST(Split, EncryptedSourcesWithoutUsableIdKeepTheirKey) {
    if (!e2e::HaveQpdf() || !HaveTool("mutool")) GTEST_SKIP() << "qpdf or mutool missing";
    TempDir dir;
    WriteFile(dir / "plain.pdf", EncryptedWithKeyId(0, "", "", ""));
    auto render = [](const std::string& file, const std::string& password) {
        return Shell("mutool draw -q -F pam -r 18 -p '" + password + "' -o - " + file +
                     " 2>/dev/null")
            .second;
    };
    const std::string expected = render(dir / "plain.pdf", "");
    ASSERT_FALSE(expected.empty());
    const struct {
        const char* id;
        const char* keyId;
    } cases[] = {
        {"", ""},
        {"/ID (abc)", ""},
        {"/ID [<> <0102>]", ""},
        {"/ID [1 2]", ""},
        {"/ID [<616263>]", ""},
        {"/ID [<616263>]", "abc"},
        {"/ID [<616263> <01> <02>]", "abc"},
    };
    for (int revision : {3, 4}) {
        for (const std::string user : {"", "user"}) {
            for (const auto& c : cases) {
                SCOPED_TRACE(std::to_string(revision) + " '" + user + "' " + c.id + " key '" +
                             c.keyId + "'");
                WriteFile(dir / "in.pdf", EncryptedWithKeyId(revision, user, c.keyId, c.id));
                fs::remove(dir / "out.pdf");
                ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s1", user), "");
                EXPECT_NE(ReadFile(dir / "out.pdf")
                              .find("/ID [<" + CPdfString::HexEncode(c.keyId) + "><"),
                          std::string::npos);
                ExpectQpdfClean(dir / "out.pdf", "--password=" + user);
                EXPECT_TRUE(render(dir / "out.pdf", user) == expected) << "renders otherwise";
            }
        }
    }
}

// Pages that inherit an /Indexed colour table (a string) from their page tree node, encrypted
// by qpdf eight ways, with an empty and a non-empty user password: outputs are numbered anew
// and re-encrypted, render like the source, open with the same passwords and keep the method
// and permissions; without the password such a source is refused, never written wrong.
TEST(Split, EncryptedSourcesAreReencryptedUnderOutputNumbers) {
    if (!e2e::HaveQpdf() || !HaveTool("mutool")) GTEST_SKIP() << "qpdf or mutool missing";
    TempDir dir;
    Builder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2,
          "<< /Type /Pages /Kids [10 0 R 20 0 R] /Count 2 /MediaBox [0 0 90 90] /Resources "
          "<< /ColorSpace << /C [/Indexed /DeviceRGB 1 (\\377\\0\\0\\0\\200\\0)] >> >> >>");
    b.Add(10, "<< /Type /Page /Parent 2 0 R /Contents 11 0 R >>");
    b.AddStream(11, "", "/C cs 1 sc 10 10 70 70 re f");
    b.Add(20, "<< /Type /Page /Parent 2 0 R /Contents 21 0 R >>");
    b.AddStream(21, "", "/C cs 0 sc 20 20 40 40 re f");
    b.SetRoot(1).SetId("00112233445566778899AABBCCDDEEFF", "00112233445566778899AABBCCDDEEFF");
    WriteFile(dir / "plain.pdf", b.Build());
    auto render = [&](const std::string& file, const std::string& password,
                      const std::string& pages) {
        return Shell("mutool draw -q -F pam -r 18 -p '" + password + "' -o - " + file + " " +
                     pages + " 2>/dev/null");
    };
    const std::string expected = render(dir / "plain.pdf", "", "2,1,2").second;
    ASSERT_FALSE(expected.empty());
    const std::vector<std::vector<std::string>> methods = {
        // U: the user password
        {"--allow-weak-crypto", "--encrypt", "U", "owner", "40", "--"},
        {"--allow-weak-crypto", "--encrypt", "U", "owner", "128", "--use-aes=n", "--"},
        {"--encrypt", "U", "owner", "128", "--use-aes=y", "--"},
        {"--encrypt", "U", "owner", "256", "--"}};
    auto shownEncryption = [](const std::string& file, const std::string& password) {
        const e2e::Outcome run = e2e::Qpdf({"--show-encryption", "--password=" + password, file});
        return run.out + run.err;
    };
    for (const auto& method : methods) {
        for (const char* streams : {"preserve", "generate"}) {
            for (const std::string user : {"", "user"}) {
                std::vector<std::string> args = {std::string("--object-streams=") + streams};
                std::string trace;
                for (const std::string& a : method) {
                    args.push_back(a == "U" ? user : a);
                    trace += " " + args.back();
                }
                SCOPED_TRACE(trace + " objects " + streams);
                args.insert(args.end(), {dir / "plain.pdf", dir / "in.pdf"});
                const e2e::Outcome made = e2e::Qpdf(args);
                ASSERT_TRUE(made.Exited(0)) << made.out << made.err;
                fs::remove(dir / "out.pdf");
                if (!user.empty()) {
                    EXPECT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s2,1,2"),
                              "Password required");
                    EXPECT_FALSE(fs::exists(dir / "out.pdf"));
                }
                ASSERT_EQ(Split(dir / "in.pdf", dir / "out.pdf", "-s2,1,2", user), "");
                EXPECT_EQ(render(dir / "out.pdf", user, "1-3").second, expected);
                EXPECT_EQ(shownEncryption(dir / "out.pdf", user),
                          shownEncryption(dir / "in.pdf", user));
                EXPECT_EQ(e2e::Qpdf({"--requires-password", dir / "out.pdf"}).exitCode,
                          user.empty() ? 3 : 0);
                ExpectQpdfClean(dir / "out.pdf", "--password=owner");
                // --decrypt writes the output in clear, the password read from the first line
                // of a file; without the password it is refused.
                WriteFile(dir / "password", user + "\r\nnot the password\n");
                fs::remove(dir / "clear.pdf");
                ASSERT_EQ(Split(dir / "in.pdf", dir / "clear.pdf", "-s2,1,2", "",
                                {"--decrypt", "--password-file=" + (dir / "password")}),
                          "");
                EXPECT_EQ(render(dir / "clear.pdf", "", "1-3").second, expected);
                EXPECT_EQ(e2e::Qpdf({"--is-encrypted", dir / "clear.pdf"}).exitCode, 2);
                ExpectQpdfClean(dir / "clear.pdf");
                if (!user.empty()) {
                    EXPECT_EQ(Split(dir / "in.pdf", dir / "none.pdf", "-s1", "", {"--decrypt"}),
                              "Password required");
                }
                // Objects are numbered densely: three pages, two contents, the tree, the
                // catalog and the /Encrypt dictionary.
                // With object streams, one of them and the cross-reference stream.
                const std::string size =
                    std::string(streams) == "generate" ? "/Size 11/W" : "/Size 9/ID";
                EXPECT_NE(ReadFile(dir / "out.pdf").find(size), std::string::npos);
            }
        }
    }
}

}  // namespace
