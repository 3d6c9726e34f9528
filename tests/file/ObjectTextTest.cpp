// Objects in object streams, stream objects read through their filters, and the raw text,
// references and page keys that the object index gives the split job.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "CPdfException.h"
#include "FileBytes.h"
#include "SourceTable.h"
#include "TempFile.h"
#include "TestPdf.h"
#include "TestValues.h"
#include "file/CPdfObjectIndex.h"
#include "file/CPdfOutputFile.h"
#include "file/CPdfXRef.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfReferenceMap.h"
#include "object/CPdfString.h"
#include "stream/CPdfFileStream.h"

namespace {

using testpdf::Builder;
using testpdf::PngFilter;
using testpdf::XrefOptions;
using testpdf::XrefStyle;

// A loaded table over a file whose header is at offset 0, with an object index beside it.
struct Loaded : SourceTable {
    explicit Loaded(const std::string& bytes) : SourceTable(bytes), index(xref, file.get()) {
        xref.Load(stream.get());
    }

    CPdfObjectIndex index;
};

// One row of a /W [1 2 1] cross-reference stream.
struct Row {
    int type, field2, field3;
};

// A file of hand-written objects (whole texts, stored as given) and a /W [1 2 1]
// cross-reference stream, object 9, holding `rows` for objects 0 to 8. A row of type 1 with
// field2 -1 points at the object's text in the file.
std::string FileWith(const std::vector<std::pair<int, std::string>>& objects,
                     std::vector<Row> rows) {
    std::string out = "%PDF-1.5\n";
    rows.resize(9, Row{0, 0, 0});
    for (const auto& [number, text] : objects) {
        Row& r = rows.at(number);
        if (r.type == 1 && r.field2 == -1) r.field2 = static_cast<int>(out.size());
        out += text;
    }
    const long long xrefAt = static_cast<long long>(out.size());
    rows.push_back(Row{1, static_cast<int>(xrefAt), 0});
    std::string data;
    for (const Row& r : rows) data += Bytes({r.type, r.field2 >> 8, r.field2 & 255, r.field3});
    out += "9 0 obj\n" + testpdf::StreamBody("/Type /XRef /Size 10 /W [1 2 1] /Root 1 0 R", data) +
           "\nendobj\n";
    return out + "startxref\n" + std::to_string(xrefAt) + "\n%%EOF\n";
}

// Object stream 5, stored without a filter, with the given header and object bytes.
std::string ObjStm(int count, const std::string& header, const std::string& body,
                   const std::string& length = "") {
    const std::string dict =
        "/Type /ObjStm /N " + std::to_string(count) + " /First " + std::to_string(header.size());
    const std::string data = header + body;
    return "5 0 obj\n" +
           (length.empty() ? testpdf::StreamBody(dict, data)
                           : testpdf::StreamBody(dict, data, length)) +
           "\nendobj\n";
}

// ---------------------------------------------------------------------------------------
// Object streams

TEST(ObjectStream, ObjectsAreFoundOrRefusedWithoutLooping) {
    const std::string body = "<< /M 6 >>\n<< /M 7 >>\n";  // 6 at 0, 7 at 11
    const Row here{1, -1, 0};
    const struct {
        const char* name;
        std::string objStm;
        Row five, six, seven, eight;
        int64_t expected[3];  // markers of 6, 7, 8
    } cases[] = {
        {"by index",
         ObjStm(2, "6 0 7 11 ", body),
         here,
         {2, 5, 0},
         {2, 5, 1},
         {0, 0, 0},
         {6, 7, -1}},
        {"wrong index",
         ObjStm(2, "6 0 7 11 ", body),
         here,
         {2, 5, 1},
         {2, 5, 7},
         {2, 5, 2},
         {6, 7, -1}},
        {"offsets decrease",
         ObjStm(2, "7 11 6 0 ", body),
         here,
         {2, 5, 1},
         {2, 5, 0},
         {0, 0, 0},
         {6, 7, -1}},
        {"stream's own entry is type 2",
         ObjStm(2, "6 0 7 11 ", body),
         {2, 5, 0},
         {2, 5, 0},
         {2, 5, 1},
         {0, 0, 0},
         {-1, -1, -1}},
        {"streams name each other",
         ObjStm(2, "6 0 7 11 ", body),
         {2, 6, 0},
         {2, 5, 0},
         {2, 5, 1},
         {0, 0, 0},
         {-1, -1, -1}},
        {"stream lists itself",
         ObjStm(3, "6 0 7 11 5 0 ", body),
         here,
         {2, 5, 0},
         {2, 5, 1},
         {0, 0, 0},
         {6, 7, -1}},
        {"length lies in the stream",
         ObjStm(3, "6 0 7 11 8 22 ", body + "30", "8 0 R"),
         here,
         {2, 5, 0},
         {2, 5, 1},
         {2, 5, 2},
         {-1, -1, -1}},
        {"malformed header",
         ObjStm(2, "6 0 seven 11 ", body),
         here,
         {2, 5, 0},
         {2, 5, 1},
         {0, 0, 0},
         {-1, -1, -1}},
    };
    for (const auto& c : cases) {
        Loaded t(FileWith({{5, c.objStm}}, {{0, 0, 0},
                                            {0, 0, 0},
                                            {0, 0, 0},
                                            {0, 0, 0},
                                            {0, 0, 0},
                                            c.five,
                                            c.six,
                                            c.seven,
                                            c.eight}));
        for (int n = 6; n <= 8; ++n) {
            EXPECT_EQ(t.Marker(n), c.expected[n - 6]) << c.name << ", object " << n;
            EXPECT_EQ(t.index.Get(n).present, c.expected[n - 6] != -1) << c.name << " " << n;
        }
        EXPECT_EQ(t.Marker(6, 1), -1) << c.name;
    }
}

// ---------------------------------------------------------------------------------------
// Stream objects

// The data of a stream object is read through the decoder its dictionary asks for; data that
// no decoder reads makes the object an error value.
TEST(StreamObject, DataIsDecodedAsTheDictionarySays) {
    const std::string rows = "ABCDEFGHIJabcdefghij0123456789";
    const std::string png = testpdf::PngEncode(
        rows, 10, 1, {PngFilter::None, PngFilter::Sub, PngFilter::Up, PngFilter::Paeth});
    using testpdf::Deflate;
    const struct {
        const char* dict;
        std::string encoded;
        std::string expected;  // "error": an error value
    } cases[] = {
        {"", "plain bytes", "plain bytes"},
        {"/F /Fl /DP << /Predictor 12 /Columns 10 >>", Deflate(png), rows},
        {"/Filter /FlateDecode /DecodeParms [<< /Predictor 12 /Columns 10 >>]", Deflate(png), png},
        {"/Filter /FlateDecode /DecodeParms << /Predictor 2 /Colors 3 /Columns 2 >>",
         Deflate("\x0a\x14\x1e\x05\x05\x05"), "\x0a\x14\x1e\x0f\x19\x23"},
        {"/Filter /LZWDecode", Deflate("hello"), "error"},
        {"/Filter [/FlateDecode /ASCIIHexDecode]", Deflate("hello"), "error"},
        {"/Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 0 >>", Deflate(png), "error"},
    };
    for (const auto& c : cases) {
        Builder b;
        b.AddStream(1, c.dict, c.encoded);
        Loaded t(b.SetRoot(1).Build());
        CPdfObject o = t.xref.Fetch(1, 0);
        if (c.expected == "error") {
            EXPECT_EQ(o.kind, kindError) << c.dict;
            continue;
        }
        ASSERT_EQ(o.kind, kindStream) << c.dict;
        std::string data;
        for (int ch = o.streamValue->GetChar(); ch >= 0; ch = o.streamValue->GetChar()) {
            data.push_back(static_cast<char>(ch));
        }
        EXPECT_EQ(data, c.expected) << c.dict;
    }
}

// ---------------------------------------------------------------------------------------
// Object index

// Shifts every reference by 100 and drops those to object 13.
class ShiftBy100 : public CPdfReferenceMap {
public:
    bool Map(int32_t& number, int32_t&) override {
        number += 100;
        return number != 113;
    }
};

// What WriteObject writes for object number as output object 9.
std::string Written(Loaded& t, int number) {
    TempFile out("");
    CPdfOutputFile file;
    file.Open(out.path);
    ShiftBy100 map;
    t.index.WriteObject(number, 9, 0, map, file);
    file.Commit();
    return e2e::ReadFile(out.path);
}

TEST(ObjectIndex, ObjectIsWrittenWithItsReferencesMappedAndItsStreamLengthTrue) {
    const std::string data = "BT (endobj) Tj ET\nendobj\n";
    const std::string stream = "<</Length 25>>\nstream\n" + data + "\nendstream\nendobj\n";
    const struct {
        const char* name;
        std::string stored;    // object 6 as it stands in the file, object 7 following it
        std::string expected;  // what is written for it
    } cases[] = {
        {"LF", "6 0 obj\n<< /M 6 0 R >>\nendobj\n", "<</M 106 0 R>>\nendobj\n"},
        {"no white space", "6 0 obj<</M 6 0 R/N[7 0 R]>>endobj ",
         "<</M 106 0 R/N[107 0 R]>>\nendobj\n"},
        {"comment right after", "6 0 obj<</M 6>>endobj%x\n", "<</M 6>>\nendobj\n"},
        {"no endobj", "6 0 obj\n<< /M 6 >>\n", "<</M 6>>\nendobj\n"},
        {"comment inside", "6 0 obj\n<< /M 6 % note\r /N (a  %b) >>\nendobj\n",
         "<</M 6/N(a  %b)>>\nendobj\n"},
        {"empty names", "6 0 obj\n<< / 7 0 R /D [11 /#0b / 44 /, ] >>\nendobj\n",
         "<</ 107 0 R/D[11/#0b/ 44/,]>>\nendobj\n"},
        {"comment before stream",
         "6 0 obj\n<</Length 25>>\n% note\nstream\n" + data + "\nendstream\nendobj\n", stream},
        {"dropped reference", "6 0 obj [13 0 R 12 0 R] endobj", "[null 112 0 R]\nendobj\n"},
        {"references in strings stay", "6 0 obj << /T (3 0 R) /U <3 0 R> /V 3 0 R >> endobj",
         "<</T(3 0 R)/U<3 0 R>/V 103 0 R>>\nendobj\n"},
        {"stream data holding endobj", "6 0 obj\n" + testpdf::StreamBody("", data) + "\nendobj\n",
         stream},
        {"stream with an indirect length",
         "6 0 obj\n" + testpdf::StreamBody("", data, "8 0 R") + "\nendobj\n", stream},
        {"stream with a wrong length",
         "6 0 obj\n" + testpdf::StreamBody("", data, "5") + "\nendobj\n", stream},
        {"stream without a length", "6 0 obj\n<< /F 7 0 R >>\nstream\nxyz\nendstream\nendobj\n",
         "<</F 107 0 R/Length 3>>\nstream\nxyz\nendstream\nendobj\n"},
    };
    for (const auto& c : cases) {
        const std::string seven = "7 0 obj\n<< /M 7 >>\nendobj\n";
        const std::string length = "8 0 obj\n" + std::to_string(data.size()) + "\nendobj\n";
        Loaded t(FileWith({{6, c.stored}, {7, seven}, {8, length}}, {{0, 0, 0},
                                                                     {0, 0, 0},
                                                                     {0, 0, 0},
                                                                     {0, 0, 0},
                                                                     {0, 0, 0},
                                                                     {0, 0, 0},
                                                                     {1, -1, 0},
                                                                     {1, -1, 0},
                                                                     {1, -1, 0}}));
        EXPECT_EQ(Written(t, 6), "9 0 obj\n" + c.expected) << c.name;
        EXPECT_EQ(Written(t, 7), "9 0 obj\n<</M 7>>\nendobj\n") << c.name;
        EXPECT_FALSE(t.index.Get(6).compressed) << c.name;
    }
}

// White space that no token needs goes, other runs shrink to one space; strings stay.
TEST(ObjectIndex, CompressedObjectIsWrittenCompactly) {
    const std::string body =
        "<< /M 6 >><<  /M\n\n 7   >>\n(ei  ght)   \n\n";  // 6, 7, 8 at 0, 10, 26
    const Row here{1, -1, 0};
    const struct {
        const char* header;
        int index[3];  // of objects 6, 7 and 8
    } layouts[] = {{"6 0 7 10 8 26 ", {0, 1, 2}}, {"8 26 7 10 6 0 ", {2, 1, 0}}};
    const std::pair<int, const char*> cases[] = {
        {6, "9 0 obj\n<</M 6>>\nendobj\n"},
        {7, "9 0 obj\n<</M 7>>\nendobj\n"},
        {8, "9 0 obj\n(ei  ght)\nendobj\n"},
    };
    for (const auto& layout : layouts) {
        Loaded t(FileWith({{5, ObjStm(3, layout.header, body)}}, {{0, 0, 0},
                                                                  {0, 0, 0},
                                                                  {0, 0, 0},
                                                                  {0, 0, 0},
                                                                  {0, 0, 0},
                                                                  here,
                                                                  {2, 5, layout.index[0]},
                                                                  {2, 5, layout.index[1]},
                                                                  {2, 5, layout.index[2]}}));
        for (const auto& [number, text] : cases) {
            const CPdfObjectInfo& info = t.index.Get(number);
            EXPECT_TRUE(info.present && info.compressed) << layout.header << number;
            EXPECT_EQ(Written(t, number), text) << layout.header << number;
        }
        EXPECT_FALSE(t.index.Get(4).present);
        EXPECT_EQ(Written(t, 4), "");
    }
}

TEST(ObjectIndex, ReferencesAndPageKeysComeFromOutsideStreamData) {
    const std::string pageData = "/Pages 12 0 R /Page 13 0 R";
    const struct {
        const char* name;
        std::string body;
        std::vector<int32_t> refs;
        bool hasPage, hasPages;
    } cases[] = {
        {"nested values", "<< /A 3 0 R /B [4 2 R << /C 5 0 R >>] /D 6 >>", {3, 4, 5}, false, false},
        {"page", "<< /Type /Page /Parent 2 0 R >>", {2}, true, false},
        {"page tree node", "<< /Type /Pages /Kids [3 0 R] >>", {3}, false, true},
        // Names that merely start with "Page" do not make a page.
        {"named destinations", "<< /Page1 [3 0 R /Fit] /PageLabels 4 0 R >>", {3, 4}, false, false},
        {"stream", testpdf::StreamBody("/Length2 7 0 R /Type /Page", pageData), {7}, true, false},
        {"stream data only", testpdf::StreamBody("", pageData), {}, false, false},
        {"reference-like integers", "[1 0 R 2 0 /R 3 R]", {1}, false, false},
    };
    for (const bool compressed : {false, true}) {
        for (const auto& c : cases) {
            if (compressed && c.body.find("stream") != std::string::npos) continue;
            Builder b;
            b.Add(1, "<< /Type /Catalog >>").Add(2, c.body);
            XrefOptions o;
            o.style = XrefStyle::Stream;
            if (compressed) b.PutInObjectStream(8, {2});
            Loaded t(b.SetXref(o).SetRoot(1).Build());
            const CPdfObjectInfo& info = t.index.Get(2);
            ASSERT_TRUE(info.present) << c.name;
            EXPECT_EQ(info.compressed, compressed) << c.name;
            std::vector<int32_t> refs;
            for (const CPdfTextSpan& r : info.refs) refs.push_back(r.number);
            EXPECT_EQ(refs, c.refs) << c.name << (compressed ? ", compressed" : "");
            EXPECT_EQ(info.hasPage, c.hasPage) << c.name;
            EXPECT_EQ(info.hasPages, c.hasPages) << c.name;
        }
    }
}

}  // namespace
