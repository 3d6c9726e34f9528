// Object parsing: references, containers, malformed input, stream objects read from a file,
// and a robustness run over random input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "CPdfException.h"
#include "ParamName.h"
#include "TempFile.h"
#include "TestPdf.h"
#include "TestValues.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfParser.h"
#include "stream/CPdfFileStream.h"
#include "stream/CPdfMemoryStream.h"

namespace {

// A value as short text: I:5, ref:1/0, N:A, K:obj, S:x, [..], <<A=.. B=..>>, stream, error.
std::string Describe(const CPdfObject& o) {
    switch (o.kind) {
        case kindInteger:
            return "I:" + std::to_string(o.intValue);
        case kindReal:
            return "R:" + std::to_string(o.realValue);
        case kindBoolean:
            return o.boolValue ? "true" : "false";
        case kindNull:
            return "null";
        case kindName:
            return "N:" + o.textValue;
        case kindKeyword:
            return "K:" + o.textValue;
        case kindString:
            return "S:" + o.stringValue.data;
        case kindReference:
            return "ref:" + std::to_string(o.refNumber) + "/" + std::to_string(o.refGeneration);
        case kindArray: {
            std::string out = "[";
            for (size_t i = 0; i < o.arrayValue->GetCount(); ++i) {
                out += (i ? " " : "") + Describe(o.arrayValue->GetAt(i));
            }
            return out + "]";
        }
        case kindDictionary: {
            std::string out = "<<";
            for (const auto& entry : o.dictValue->entries) {
                out += (out.size() > 2 ? " " : "") + entry.first + "=" + Describe(entry.second);
            }
            return out + ">>";
        }
        case kindStream:
            return "stream";
        case kindError:
            return "error";
        case kindEnd:
            return "end";
        default:
            return "kind " + std::to_string(o.kind);
    }
}

// Every object of the input, described, up to the end of input.
std::string ParseAll(CPdfParser& parser, size_t maxObjects) {
    std::string out;
    for (size_t i = 0; i < maxObjects; ++i) {
        CPdfObject o = parser.ParseObject();
        if (o.kind == kindEnd) return out;
        out += (out.empty() ? "" : " ") + Describe(o);
    }
    ADD_FAILURE() << "no end of input after " << maxObjects << " objects";
    return out;
}

std::shared_ptr<CPdfStream> MemoryStream(const std::string& text) {
    auto bytes = std::make_shared<const std::string>(text);
    return std::make_shared<CPdfMemoryStream>(bytes, 0, bytes->size());
}

std::string ParseText(const std::string& text) {
    CPdfParser parser(nullptr, MemoryStream(text));
    return ParseAll(parser, text.size() + 2);
}

struct ParseCase {
    const char* input;
    const char* objects;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.input;
}

std::string ParseCaseName(const ::testing::TestParamInfo<ParseCase>& info) {
    return ParamName(info.index, info.param.input);
}

class ParserObjects : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParserObjects, ParseToExpectedValues) {
    EXPECT_EQ(ParseText(GetParam().input), GetParam().objects) << "input: " << GetParam().input;
}

const ParseCase kParseCases[] = {
    // References need two integers and the keyword R.
    {"1 0 R", "ref:1/0"},
    {"1 0 obj", "I:1 I:0 K:obj"},
    {"1 2 3 R", "I:1 ref:2/3"},
    {"1 0 R 2 0 R", "ref:1/0 ref:2/0"},
    {"1 R", "I:1 K:R"},
    {"1.0 0 R", "R:1.000000 I:0 K:R"},
    {"-1 -2 R", "ref:-1/-2"},
    {"2147483647 2147483647 R", "ref:2147483647/2147483647"},
    {"4294967296 0 R 7", "null I:7"},
    {"1 -2147483649 R", "null"},
    {"[1 0 R 5]", "[ref:1/0 I:5]"},
    // Containers.
    {"[] <<>>", "[] <<>>"},
    {"[1 [2 (x)] /N]", "[I:1 [I:2 S:x] N:N]"},
    {"<< /A 1 /A 2 >>", "<<A=I:1>>"},
    {"<< /A ) /B 2 >>", "<<B=I:2>>"},
    {"<< 5 (s) /B 2 >>", "<<B=I:2>>"},
    {"<< /A /B >>", "<<A=N:B>>"},
    {"<< /A >> 5", "<<>> I:5"},
    {"<< /A 1 /B >> [", "<<A=I:1>> []"},
    {"<< /D << /E [1] >> >>", "<<D=<<E=[I:1]>>>>"},
    // Input that ends inside a container ends the container.
    {"[1 [2", "[I:1 [I:2]]"},
    {"<< /A 1", "<<A=I:1>>"},
    {"<< /A", "<<>>"},
    // So does "endobj", which stays for the reader of the object to see.
    {"<< /A [1 endobj 2 0 obj", "<<A=[I:1]>> K:endobj I:2 I:0 K:obj"},
    {"[<< /A endobj", "[<<>>] K:endobj"},
    // Stray tokens come back as they are.
    {"] >> ) endobj", "K:] K:>> error K:endobj"},
    {"", ""},
};
INSTANTIATE_TEST_SUITE_P(Parser, ParserObjects, ::testing::ValuesIn(kParseCases), ParseCaseName);

TEST(Parser, DictionaryKeysComeInByteOrder) {
    CPdfParser parser(nullptr, MemoryStream("<< /Root 1 0 R /Info 2 0 R /ID [<00><01>] >>"));
    CPdfObject trailer = parser.ParseObject();
    ASSERT_EQ(trailer.kind, kindDictionary);
    const CPdfDictionary& d = *trailer.dictValue;
    ASSERT_EQ(d.GetCount(), 3u);
    EXPECT_EQ(d.GetKeyAt(0), "ID");
    EXPECT_EQ(d.GetKeyAt(1), "Info");
    EXPECT_EQ(d.GetKeyAt(2), "Root");
}

std::string Nested(const std::string& open, const std::string& close, int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += open;
    for (int i = 0; i < depth; ++i) text += close;
    return text;
}

TEST(Parser, NestingUpToTheLimitIsAccepted) {
    EXPECT_NO_THROW(ParseText(Nested("[", "]", CPdfParser::kMaxDepth)));
    EXPECT_NO_THROW(ParseText(Nested("<</K ", ">>", CPdfParser::kMaxDepth)));
}

TEST(Parser, NestingBeyondTheLimitThrows) {
    for (const std::string& text : {Nested("[", "]", CPdfParser::kMaxDepth + 1),
                                    Nested("<</K [", "]>>", 200), std::string(1000000, '[')}) {
        try {
            ParseText(text);
            ADD_FAILURE() << "no exception for " << text.substr(0, 20);
        } catch (const CPdfException& e) {
            EXPECT_STREQ(e.GetMessage(), "Objects are nested too deeply");
        }
    }
}

// Parses the text from a temporary file, as objects of the source document are read.
struct FileParse {
    explicit FileParse(const std::string& text)
        : file(TempFileWith(text)),
          parser(nullptr, std::make_shared<CPdfFileStream>(file.get(), 0, 0)) {}
    FilePtr file;
    CPdfParser parser;
};

struct StreamCase {
    const char* name;
    std::string text;
    std::string data;  // expected data of the stream object, which is followed by endobj
};

TEST(ParserStream, DataStartsAfterTheLineEndAndSpansLength) {
    const std::string packed = testpdf::Deflate("hello world");
    const StreamCase cases[] = {
        {"lf", "<< /Length 5 >>\nstream\nhello\nendstream\nendobj", "hello"},
        {"crlf", "<< /Length 5 >>stream\r\nhello\r\nendstream endobj", "hello"},
        {"cr", "<< /Length 5 >>stream\rhello endstream endobj", "hello"},
        {"spaces after keyword", "<</Length 2>> stream  \nhi\nendstream endobj", "hi"},
        {"length includes eol", "<< /Length 6 >>\nstream\nhello\nendstream endobj", "hello\n"},
        {"comment before endstream", "<< /Length 1 >>stream\nx%c\nendstream endobj", "x"},
        {"flate",
         "<< /Length " + std::to_string(packed.size()) + " /Filter /FlateDecode >>stream\n" +
             packed + "\nendstream endobj",
         "hello world"},
    };
    for (const StreamCase& c : cases) {
        SCOPED_TRACE(c.name);
        FileParse p(c.text);
        CPdfObject o = p.parser.ParseObject();
        ASSERT_EQ(o.kind, kindStream);
        ASSERT_NE(o.GetDict(), nullptr);
        EXPECT_TRUE(o.GetDict()->Has("Length"));
        EXPECT_EQ(ReadAll(*o.streamValue), c.data);
        EXPECT_EQ(Describe(p.parser.ParseObject()), "K:endobj");
    }
}

// A file stream of length 0 runs to the end of the file, and the parser makes the data stream
// of a /Length 0 object that way, so its data is everything after "stream".
TEST(ParserStream, ZeroLengthStreamHasNoData) {
    FileParse p("<< /Length 0 >>\nstream\nendstream endobj");
    CPdfObject o = p.parser.ParseObject();
    ASSERT_EQ(o.kind, kindStream);
    EXPECT_EQ(ReadAll(*o.streamValue), "");
}

TEST(ParserStream, LengthEndingInsideDataOrKeywordThrows) {
    for (const char* text :
         {"<< /Length 3 >>\nstream\nhello\nendstream", "<< /Length 8 >>\nstream\nhello\nendstream",
          "<< /Length 50 >>\nstream\nhello\nendstream"}) {
        SCOPED_TRACE(text);
        FileParse p(text);
        try {
            p.parser.ParseObject();
            ADD_FAILURE() << "no exception";
        } catch (const CPdfException& e) {
            EXPECT_STREQ(e.GetMessage(), "Missing 'endstream'");
        }
    }
}

TEST(ParserStream, UnusableLengthOrFilterGivesError) {
    for (const char* text : {"<< >>\nstream\nhello\nendstream endobj",
                             "<< /Length 5.0 >>\nstream\nhello\nendstream endobj",
                             "<< /Length -1 >>\nstream\nhello\nendstream endobj",
                             "<< /Length 5 0 R >>\nstream\nhello\nendstream endobj",
                             "<< /Length 9223372036854775807 >>\nstream\nhello\nendstream"}) {
        SCOPED_TRACE(text);
        FileParse p(text);
        EXPECT_EQ(p.parser.ParseObject().kind, kindError);
        ParseAll(p.parser, 20);  // whatever follows is still read to the end
    }
    // An undecodable filter still checks and skips "endstream".
    FileParse p("<< /Length 5 /Filter /LZWDecode >>\nstream\nhello\nendstream endobj");
    EXPECT_EQ(ParseAll(p.parser, 5), "error K:endobj");
}

TEST(ParserStream, OnlyATopLevelDictionaryStartsAStream) {
    // Inside an array, "stream" after a dictionary is a keyword like any other: its /Length is
    // not looked up (a chain of such objects once took exponential time).
    FileParse p("[<< /Length 5 >> stream hello endstream] 7");
    EXPECT_EQ(ParseAll(p.parser, 5), "[<<Length=I:5>> K:stream K:hello K:endstream] I:7");
}

TEST(ParserStream, StreamInMemoryInputGivesError) {
    CPdfParser parser(nullptr, MemoryStream("<< /Length 5 >>\nstream\nhello\nendstream 7"));
    EXPECT_EQ(parser.ParseObject().kind, kindError);
    ParseAll(parser, 20);
}

TEST(ParserStream, IndirectLengthIsFetchedThroughTheTable) {
    testpdf::Builder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    b.Add(3, "<< /Length 4 0 R >>\nstream\nhello world\nendstream");
    b.Add(4, "11");
    b.SetRoot(1);
    FilePtr file = TempFileWith(b.Build());
    CPdfFileStream whole(file.get(), 0, 0);
    CPdfXRef xref;
    xref.Load(&whole);
    CPdfObject o = xref.Fetch(3, 0);
    ASSERT_EQ(o.kind, kindStream);
    EXPECT_EQ(ReadAll(*o.streamValue), "hello world");
}

// Random input, biased towards PDF syntax, must neither crash nor stop making progress.
TEST(ParserRobustness, RandomInputAlwaysReachesTheEnd) {
    // Fragments of PDF syntax, separated by "|".
    const std::string kFragments =
        "<<|>>|[|]|(|)|<|>|/| |\n|\r|%|\\|#|0|1|12|-|.|R|obj|stream|\nstream\r\n|endstream|{|true|"
        "null|4294967296|9223372036854775807|/Length |/Filter /FlateDecode |"
        "/DecodeParms << /Predictor 12 /Columns 3 >>";
    std::vector<std::string> pieces;
    for (size_t at = 0, bar; at <= kFragments.size(); at = bar + 1) {
        bar = std::min(kFragments.find('|', at), kFragments.size());
        pieces.push_back(kFragments.substr(at, bar - at));
    }
    std::mt19937 rng(20240611);
    FilePtr file(std::tmpfile());
    ASSERT_TRUE(file);
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        const size_t parts = rng() % 40;
        for (size_t i = 0; i < parts; ++i) {
            if (rng() % 4 == 0) {
                text.push_back(static_cast<char>(rng() & 0xFF));
            } else {
                text += pieces[rng() % pieces.size()];
            }
        }
        // Half the rounds read from a file, where stream objects get their data.
        std::shared_ptr<CPdfStream> input;
        if (round % 2 == 0) {
            input = MemoryStream(text);
        } else {
            ASSERT_EQ(ftruncate(fileno(file.get()), 0), 0);
            ASSERT_EQ(pwrite(fileno(file.get()), text.data(), text.size(), 0),
                      static_cast<ssize_t>(text.size()));
            input = std::make_shared<CPdfFileStream>(file.get(), 0, 0);
        }
        bool ended = false;
        try {
            CPdfParser parser(nullptr, input);
            for (size_t k = 0; k < text.size() + 3 && !ended; ++k) {
                CPdfObject o = parser.ParseObject();
                if (o.kind == kindStream) ReadAll(*o.streamValue);
                ended = o.kind == kindEnd;
            }
        } catch (const CPdfException&) {
            ended = true;
        }
        ASSERT_TRUE(ended) << "round " << round << " made no progress";
    }
}

}  // namespace
