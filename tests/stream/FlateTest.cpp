// Flate decoding, PNG and TIFF predictors, and the choice of decoder for a stream dictionary.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "TestPdf.h"
#include "TestValues.h"
#include "object/CPdfFilters.h"
#include "object/CPdfParser.h"
#include "stream/CPdfFlateStream.h"
#include "stream/CPdfMemoryStream.h"

using namespace std::string_literals;
using testpdf::PngFilter;

namespace {

// The stream that AddFilters gives for the encoded bytes and the dictionary text.
std::shared_ptr<CPdfStream> Decoder(const std::string& encoded, const std::string& dictText) {
    return CPdfFilters::AddFilters(Memory(encoded), ParseOne(dictText));
}

std::string Decode(const std::string& encoded, const std::string& dictText) {
    std::shared_ptr<CPdfStream> s = Decoder(encoded, dictText);
    if (!s) return "(no decoder)";
    return ReadAll(*s);
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(rng() & 0xFF);
    return out;
}

std::string Text(size_t size) {
    std::string out;
    for (size_t i = 0; out.size() < size; ++i) out += "line " + std::to_string(i * i) + "\n";
    return out.substr(0, size);
}

TEST(AddFilters, DecoderDependsOnFilterEntry) {
    // "raw": the data is read as stored; "none": no decoder; else the decoded data.
    const std::pair<const char*, const char*> cases[] = {
        {"<< >>", "raw"},
        {"<< /Filter null >>", "raw"},
        {"<< /Filter /FlateDecode >>", "hello"},
        {"<< /Filter [/FlateDecode] >>", "hello"},
        {"<< /F /Fl >>", "hello"},
        {"<< /F [/Fl] >>", "hello"},
        {"<< /Filter /FlateDecode /F /LZWDecode >>", "hello"},
        {"<< /Filter [/FlateDecode /ASCIIHexDecode] >>", "none"},
        {"<< /Filter /ASCIIHexDecode >>", "none"},
        {"<< /Filter /LZWDecode >>", "none"},
        {"<< /Filter [] >>", "none"},
        {"<< /Filter /flatedecode >>", "none"},
        {"<< /Filter /Flate >>", "none"},
        {"<< /Filter (FlateDecode) >>", "none"},
        {"<< /Filter [[/FlateDecode]] >>", "none"},
        {"<< /Filter 5 0 R >>", "none"},
    };
    for (const auto& c : cases) {
        std::shared_ptr<CPdfStream> raw = Memory(testpdf::Deflate("hello"));
        std::shared_ptr<CPdfStream> s = CPdfFilters::AddFilters(raw, ParseOne(c.first));
        EXPECT_EQ(s == raw ? "raw" : s ? ReadAll(*s) : "none", c.second) << c.first;
    }
}

TEST(Flate, LargeDataIsInflatedWhole) {
    const std::string data = Text(300000) + RandomBytes(50000, 1);
    const std::string encoded = testpdf::Deflate(data);
    EXPECT_EQ(Decode(encoded, "<< /Filter /FlateDecode >>"), data);

    std::shared_ptr<CPdfStream> s = Decoder(encoded, "<< /Filter /FlateDecode >>");
    std::string bulk(data.size() + 10, '\0');
    EXPECT_EQ(s->Read(reinterpret_cast<uint8_t*>(&bulk[0]), bulk.size()), data.size());
    EXPECT_EQ(bulk.substr(0, data.size()), data);
}

TEST(Flate, DataEndsAtTheEndOfTheCompressedData) {
    EXPECT_EQ(Decode(testpdf::Deflate("hello") + "trailing junk", "<< /Filter /FlateDecode >>"),
              "hello");
    EXPECT_EQ(Decode(testpdf::Deflate(""), "<< /Filter /FlateDecode >>"), "");
}

TEST(Flate, DamagedDataEndsEarlyWithoutError) {
    const std::string data = Text(200000);
    const std::string encoded = testpdf::Deflate(data);
    std::shared_ptr<CPdfStream> s =
        Decoder(encoded.substr(0, encoded.size() / 2), "<< /Filter /FlateDecode >>");
    const std::string prefix = ReadAll(*s);
    EXPECT_GT(prefix.size(), 0u);
    EXPECT_LT(prefix.size(), data.size());
    EXPECT_EQ(prefix, data.substr(0, prefix.size()));
    EXPECT_EQ(s->GetChar(), -1);
    EXPECT_EQ(s->LookChar(), -1);

    EXPECT_EQ(Decode("hello, no header", "<< /Filter /FlateDecode >>"), "");
    EXPECT_EQ(Decode("", "<< /Filter /FlateDecode >>"), "");
    std::string corrupt = encoded;
    for (size_t i = corrupt.size() / 3; i < corrupt.size(); i += 97) corrupt[i] ^= 0x5A;
    EXPECT_LE(Decode(corrupt, "<< /Filter /FlateDecode >>").size(), data.size() * 2);
}

struct PngCase {
    int columns;
    int colors;
    std::vector<PngFilter> filters;
    int predictor;
    int rows;
};

TEST(PngPredictor, RowsDecodeToTheOriginalBytes) {
    const PngCase cases[] = {
        {5, 1, {PngFilter::None}, 12, 20},
        {5, 1, {PngFilter::Sub}, 12, 20},
        {5, 1, {PngFilter::Up}, 12, 20},
        {5, 1, {PngFilter::Average}, 12, 20},
        {5, 1, {PngFilter::Paeth}, 12, 20},
        {4, 3, {PngFilter::Sub}, 10, 20},
        {4, 3, {PngFilter::Average}, 15, 20},
        {4, 3, {PngFilter::Paeth}, 14, 20},
        {7,
         2,
         {PngFilter::None, PngFilter::Sub, PngFilter::Up, PngFilter::Average, PngFilter::Paeth},
         12,
         40},
        {1000, 3, {PngFilter::Paeth, PngFilter::Up}, 11, 30},
        {1, 1, {PngFilter::Up}, 12, 1},
    };
    unsigned seed = 0;
    for (const PngCase& c : cases) {
        const std::string data = RandomBytes(size_t(c.columns * c.colors * c.rows), ++seed);
        const std::string dict = "<< /Filter /FlateDecode /DecodeParms << /Predictor " +
                                 std::to_string(c.predictor) + " /Columns " +
                                 std::to_string(c.columns) + " /Colors " +
                                 std::to_string(c.colors) + " >> >>";
        SCOPED_TRACE(dict);
        EXPECT_EQ(Decode(testpdf::Deflate(testpdf::PngEncode(data, c.columns, c.colors, c.filters)),
                         dict),
                  data);
    }
}

TEST(PngPredictor, UnknownTagsCopyTheRow) {
    const std::string rows =
        "\x00"
        "abcde"
        "\x07"
        "fghij"
        "\x05"
        "klmno"s;
    EXPECT_EQ(Decode(testpdf::Deflate(rows),
                     "<< /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 5 >> >>"),
              "abcdefghijklmno");
}

TEST(PngPredictor, ParametersAreReadOnlyFromAnIntegerInADictionary) {
    const std::string data = "\x01\x02\x03\x04\x05\x06"s;
    const std::string byOne = testpdf::Deflate(testpdf::PngEncode(data, 1, 1, PngFilter::Up));
    const std::string byThree = testpdf::Deflate(testpdf::PngEncode(data, 3, 1, PngFilter::Up));
    // A real /Columns counts as absent.
    EXPECT_EQ(Decode(byOne,
                     "<< /Filter /FlateDecode /DecodeParms << /Predictor 12 "
                     "/Columns 3.0 >> >>"),
              data);
    // Parameters in an array leave the predictor off: the tag bytes stay in the data.
    EXPECT_EQ(Decode(byThree,
                     "<< /Filter [/FlateDecode] /DecodeParms [<< /Predictor 12 "
                     "/Columns 3 >>] >>"),
              testpdf::PngEncode(data, 3, 1, PngFilter::Up));
    // The short names work like the long ones.
    EXPECT_EQ(Decode(byThree, "<< /F /Fl /DP << /Predictor 12 /Columns 3 >> >>"), data);
}

TEST(PngPredictor, IncompleteLastRowIsDropped) {
    const std::string data = RandomBytes(15, 7);
    std::string encoded = testpdf::PngEncode(data, 5, 1, PngFilter::Sub);
    encoded.resize(encoded.size() - 2);
    EXPECT_EQ(Decode(testpdf::Deflate(encoded),
                     "<< /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 5 >> >>"),
              data.substr(0, 10));
}

TEST(PngPredictor, LookCharShowsThePredictedByte) {
    const std::string data = RandomBytes(600, 9);
    std::shared_ptr<CPdfStream> s =
        Decoder(testpdf::Deflate(testpdf::PngEncode(data, 6, 1, PngFilter::Paeth)),
                "<< /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 6 >> >>");
    ASSERT_NE(s, nullptr);
    for (size_t i = 0; i < data.size(); ++i) {
        ASSERT_EQ(s->LookChar(), static_cast<unsigned char>(data[i])) << i;
        ASSERT_EQ(s->GetChar(), static_cast<unsigned char>(data[i])) << i;
    }
    EXPECT_EQ(s->LookChar(), -1);
    EXPECT_EQ(s->GetChar(), -1);
}

TEST(TiffPredictor, SamplesAddTheSampleOnePixelEarlier) {
    const struct {
        int bits, colors, columns;
        std::string rows, expected;
    } cases[] = {
        {8, 3, 2, "\x0a\x14\x1e\x05\x05\x05", "\x0a\x14\x1e\x0f\x19\x23"},
        {8, 1, 4, "\xfa\x0a\x0a\x0a", "\xfa\x04\x0e\x18"},
        {8, 1, 2, "\x01\x01\x02\x02", "\x01\x02\x02\x04"},  // each row starts afresh
        {1, 1, 8, "\x80\x01", "\xff\x01"},
        {2, 2, 2, "\x65", "\x6b"},
        {4, 1, 2, "\x12", "\x13"},
        {4, 1, 3, "\x11\x10", "\x12\x30"},
        {16, 1, 2, "\x00\x01\xff\xff\x80\x00\x00\x01"s, "\x00\x01\x00\x00\x80\x00\x80\x01"s},
        {16, 2, 2, "\x00\x01\x00\x02\xff\xff\x00\x03"s, "\x00\x01\x00\x02\x00\x00\x00\x05"s},
    };
    for (const auto& c : cases) {
        const std::string dict = "<< /Filter /FlateDecode /DecodeParms << /Predictor 2 /Colors " +
                                 std::to_string(c.colors) + " /Columns " +
                                 std::to_string(c.columns) + " /BitsPerComponent " +
                                 std::to_string(c.bits) + " >> >>";
        EXPECT_EQ(Decode(testpdf::Deflate(c.rows), dict), c.expected) << dict;
    }
    const std::string data = RandomBytes(4 * 3 * 25, 11);
    EXPECT_EQ(Decode(testpdf::Deflate(testpdf::TiffEncode(data, 4, 3)),
                     "<< /Filter /FlateDecode /DecodeParms << /Predictor 2 /Colors 3 /Columns 4 "
                     ">> >>"),
              data);
}

TEST(MakeFilter, UnsoundPredictorParametersGiveNoDecoder) {
    const char* const unsound[] = {
        "/Predictor 12 /Columns 0",
        "/Predictor 12 /Columns -5",
        "/Predictor 12 /Colors 0",
        "/Predictor 12 /Colors 33",
        "/Predictor 12 /BitsPerComponent 3",
        "/Predictor 12 /BitsPerComponent 32",
        "/Predictor 2 /BitsPerComponent 0",
        "/Predictor 12 /Columns 1099511627776",
        "/Predictor 12 /Columns 9223372036854775807 /Colors 32 /BitsPerComponent 16",
        "/Predictor 12 /Columns 16777216 /Colors 32 /BitsPerComponent 16",
    };
    for (const char* params : unsound) {
        EXPECT_EQ(CPdfFilters::MakeFilter("FlateDecode", Memory(""),
                                          ParseOne(std::string("<<") + params + ">>")),
                  nullptr)
            << params;
    }
    const char* const sound[] = {
        "/Predictor 12 /Columns 1 /Colors 32 /BitsPerComponent 16",
        "/Predictor 2 /Columns 7 /Colors 1 /BitsPerComponent 1",
        "/Predictor 15 /Columns 100000",
    };
    for (const char* params : sound) {
        EXPECT_NE(
            CPdfFilters::MakeFilter("Fl", Memory(""), ParseOne(std::string("<<") + params + ">>")),
            nullptr)
            << params;
    }
}

}  // namespace
