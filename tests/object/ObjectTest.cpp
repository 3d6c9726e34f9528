// Values, dictionaries and the hexadecimal form of strings.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestValues.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfObject.h"
#include "object/CPdfObjectWriter.h"
#include "object/CPdfParser.h"
#include "object/CPdfString.h"
#include "stream/CPdfMemoryStream.h"

using namespace std::string_literals;

namespace {

CPdfObject Name(const std::string& text) {
    CPdfObject o;
    o.SetName(text);
    return o;
}

TEST(Dictionary, AbsentKeyGivesNull) {
    CPdfObject d = ParseOne("<< /A 1 /R 5 0 R >>");
    ASSERT_EQ(d.kind, kindDictionary);
    EXPECT_EQ(d.dictValue->Get("B").kind, kindNull);
    EXPECT_EQ(d.dictValue->GetResolved("B").kind, kindNull);
    EXPECT_EQ(d.dictValue->Get("a").kind, kindNull);
    EXPECT_EQ(d.dictValue->Get("").kind, kindNull);
}

TEST(Dictionary, KeysSortByUnsignedBytesPrefixFirst) {
    CPdfDictionary d(nullptr);
    for (const char* key : {"Root", "\xc3\xa9", "Info", "ID", "I", "Z", "a"}) {
        d.Set(key, CPdfObject(kindNull));
    }
    const char* expected[] = {"I", "ID", "Info", "Root", "Z", "a", "\xc3\xa9"};
    ASSERT_EQ(d.GetCount(), 7u);
    for (size_t i = 0; i < d.GetCount(); ++i) EXPECT_EQ(d.GetKeyAt(i), expected[i]) << i;
}

TEST(Dictionary, IsTypeMatchesOnlyTheExactStoredName) {
    struct {
        const char* text;
        bool isPage;
    } cases[] = {
        {"<< /Type /Page >>", true},  {"<< /Type /Pages >>", false}, {"<< /Type /page >>", false},
        {"<< /Type 3 0 R >>", false}, {"<< /Type (Page) >>", false}, {"<< /Typ /Page >>", false},
    };
    for (const auto& c : cases) {
        CPdfObject d = ParseOne(c.text);
        ASSERT_EQ(d.kind, kindDictionary);
        EXPECT_EQ(d.dictValue->IsType("Page"), c.isPage) << c.text;
    }
}

TEST(Object, CopiesShareContainersButNotStrings) {
    CPdfObject dict = ParseOne("<< /A [1] /S (abc) >>");
    CPdfObject copy = dict;
    dict.Clear();
    EXPECT_EQ(dict.kind, kindNone);
    ASSERT_EQ(copy.kind, kindDictionary);
    CPdfObject array = copy.dictValue->Get("A");
    array.arrayValue->Append(CPdfObject::Integer(2));
    EXPECT_EQ(copy.dictValue->Get("A").arrayValue->GetCount(), 2u);

    CPdfObject s = copy.dictValue->Get("S");
    s.stringValue.data = "xyz";
    EXPECT_EQ(copy.dictValue->Get("S").stringValue.data, "abc");
}

TEST(Object, NameAndKeywordTextsStopAtZeroByte) {
    EXPECT_EQ(Name("A\0B"s).textValue, "A");
    CPdfObject k;
    k.SetKeyword("ob\0j"s);
    EXPECT_TRUE(k.IsKeyword("ob"));
    EXPECT_FALSE(k.IsKeyword("obj"));
    EXPECT_FALSE(Name("obj").IsKeyword("obj"));
    EXPECT_TRUE(Name("obj").IsName("obj"));
}

struct SerializeCase {
    std::string data;
    bool decoded;
    std::string text;
};

TEST(String, SerializeWritesHexadecimalForm) {
    const SerializeCase cases[] = {
        {"", true, "<>"},          {"\x00\xff"s, true, "<00ff>"}, {"Az\n", true, "<417a0a>"},
        {"", false, "<>"},         {"4A 4b", false, "<4A 4b>"},   {"abc", false, "<abc>"},
        {"zz\n", false, "<zz\n>"},
    };
    for (const SerializeCase& c : cases) {
        CPdfString s(c.data.data(), c.data.size());
        s.decoded = c.decoded;
        EXPECT_EQ(s.Serialize(), c.text);
        EXPECT_EQ(s.Serialize(), c.text);
        EXPECT_EQ(s.data, c.data);
        EXPECT_EQ(s.decoded, c.decoded);
    }
}

TEST(String, HexStringReadFromSourceIsWrittenBackVerbatim) {
    for (const char* text : {"<4A 4B>", "<abc>", "<>", "<0A\n0b>"}) {
        CPdfObject o = ParseOne(text);
        ASSERT_EQ(o.kind, kindString);
        EXPECT_FALSE(o.stringValue.decoded);
        EXPECT_EQ(o.stringValue.Serialize(), text);
    }
    EXPECT_EQ(ParseOne("(a\\)b)").stringValue.Serialize(), "<612962>");
}

TEST(String, HexDecodeReadsBackEveryByteThatHexEncodeWrites) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    const std::string digits = CPdfString::HexEncode(all);
    ASSERT_EQ(digits.size(), 512u);
    EXPECT_EQ(digits.substr(0, 6), "000102");
    EXPECT_EQ(digits.substr(506), "fdfeff");
    EXPECT_EQ(CPdfString::HexDecode(digits), all);
}

TEST(String, HexDecodeTreatsNonDigitsAsZeroAndDropsAnOddDigit) {
    EXPECT_EQ(CPdfString::HexDecode("AbcD"), "\xab\xcd");
    EXPECT_EQ(CPdfString::HexDecode("g1"), "\x01");
    EXPECT_EQ(CPdfString::HexDecode("1g"), "\x10");
    EXPECT_EQ(CPdfString::HexDecode("abc"), "\xab");
    EXPECT_EQ(CPdfString::HexDecode(""), "");
}

}  // namespace

// What the writer writes reads back as the same value, whichever string form it chooses.
TEST(ObjectWriter, ValuesReadBackAsWritten) {
    std::string every;
    for (int c = 0; c < 256; ++c) every.push_back(static_cast<char>(c));
    const struct {
        std::string bytes;
        const char* text;  // "" where only the reading back is checked
    } strings[] = {
        {"Chapter 1", "(Chapter 1)"},
        {"a(b\\c)", "(a\\(b\\\\c\\))"},
        {"(unbalanced", "(\\(unbalanced)"},
        {std::string("\xFE\xFF\x00"
                     "A",
                     4),
         "<feff0041>"},
        {std::string("abc\n7\x01"
                     "9def",
                     10),
         "(abc\\0127\\0019def)"},
        {every, ""},
        {"", "()"},
    };
    for (const auto& c : strings) {
        std::string text = CPdfObjectWriter::StringText(c.bytes);
        if (*c.text) {
            EXPECT_EQ(text, c.text);
        }
        CPdfObject back = ParseOne(text);
        ASSERT_EQ(back.kind, kindString) << text;
        EXPECT_EQ(back.stringValue.Bytes(), c.bytes) << text;
    }
}
