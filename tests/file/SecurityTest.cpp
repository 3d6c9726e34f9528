// Encrypted documents: the file key from the empty, the user or the owner password; strings
// and stream data read decrypted under their own objects, object streams decrypted whole; a
// wrong password refused; and the writer's primitives, whose output qpdf decrypts. Encrypted
// fixtures are made with qpdf from documents of the in-memory builder (skipped without qpdf).
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "CPdfException.h"
#include "CorpusDir.h"
#include "E2eTools.h"
#include "TestPdf.h"
#include "document/CPdfCatalog.h"
#include "document/CPdfDocument.h"
#include "file/CPdfSecurity.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfParser.h"
#include "stream/CPdfMemoryStream.h"
#include "stream/CPdfStream.h"

namespace {

using testpdf::Builder;

// Strings of every kind (literal with escapes, hexadecimal, empty, binary) in direct and
// indirect places, a compressed content stream and a metadata stream.
void AddSourceObjects(Builder& b) {
    b.Add(1,
          "<< /Type /Catalog /Pages 2 0 R /Metadata 5 0 R /Names << /Dests 6 0 R >> "
          "/Lang (en-GB) >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3,
          "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << >> /Contents 4 0 R "
          "/Annots "
          "[<< /Type /Annot /Subtype /Text /Rect [0 0 10 10] /Contents (Note \\(one\\)\\n) "
          "/NM <00ff10> >>] >>");
    b.AddStream(4, "/Filter /FlateDecode", testpdf::Deflate("BT /F1 12 Tf 20 20 Td (Hi) Tj ET"));
    b.AddStream(5, "/Type /Metadata /Subtype /XML", "<x:xmpmeta>caf\xc3\xa9</x:xmpmeta>");
    b.Add(6, "<< /Names [(chapter-a) [3 0 R /Fit] <6368 61> [3 0 R /XYZ 0 0 0]] >>");
    b.Add(7,
          "<< /Title (Caf\\351 \\(draft\\)) /Producer <48656c6c6f> /Empty () "
          "/Binary <000102fffe> >>");
    b.SetRoot(1);
    b.SetInfo(7);
    b.SetId("00112233445566778899aabbccddeeff", "ffeeddccbbaa99887766554433221100");
}

// Everything reachable from the trailer's /Root and /Info, written out with references
// numbered in the order they are first met (so renumbered copies compare equal), string
// bytes in hexadecimal and stream data decoded. Stream dictionaries leave out the entries a
// writer may change.
class Dump {
public:
    explicit Dump(CPdfXRef& table) : xref(table) {}

    std::string Of(const CPdfObject& trailer) {
        Value(trailer.dictValue->Get("Root"));
        Value(trailer.dictValue->Get("Info"));
        for (size_t i = 0; i < order.size(); ++i) {
            text += "\n#" + std::to_string(i) + " ";
            Value(xref.Fetch(order[i].first, order[i].second));
        }
        return text;
    }

private:
    void Value(const CPdfObject& o) {
        switch (o.kind) {
            case kindReference: {
                auto key = std::make_pair(o.refNumber, o.refGeneration);
                auto it = seen.find(key);
                if (it == seen.end()) {
                    it = seen.emplace(key, seen.size()).first;
                    order.push_back(key);
                }
                text += "#" + std::to_string(it->second);
                break;
            }
            case kindString:
                text += "<" + CPdfString::HexEncode(o.stringValue.Bytes()) + ">";
                break;
            case kindName:
                text += "/" + o.textValue;
                break;
            case kindInteger:
                text += std::to_string(o.intValue);
                break;
            case kindReal:
                text += std::to_string(o.realValue);
                break;
            case kindBoolean:
                text += o.boolValue ? "true" : "false";
                break;
            case kindArray:
                text += "[";
                for (const CPdfObject& item : o.arrayValue->items) Value(item), text += " ";
                text += "]";
                break;
            case kindDictionary:
                Dictionary(*o.dictValue, false);
                break;
            case kindStream: {
                Dictionary(*o.GetDict(), true);
                std::string data;
                for (int c; (c = o.streamValue->GetChar()) >= 0;) data.push_back(char(c));
                text += "stream(" + data + ")";
                break;
            }
            default:
                text += "null";
        }
    }
    void Dictionary(const CPdfDictionary& d, bool stream) {
        text += "<<";
        for (const auto& entry : d.entries) {
            if (entry.first == "Extensions") continue;  // qpdf adds it for AES-256
            if (stream && (entry.first == "Length" || entry.first == "Filter" ||
                           entry.first == "DecodeParms")) {
                continue;
            }
            text += "/" + entry.first + " ";
            Value(entry.second);
            text += " ";
        }
        text += ">>";
    }

    CPdfXRef& xref;
    std::map<std::pair<int32_t, int32_t>, size_t> seen;
    std::deque<std::pair<int32_t, int32_t>> order;
    std::string text;
};

// What opening path with password gives: the dump, or "error: " and the message.
struct Opened {
    std::string dump;
    bool canDecrypt = false;
    bool owner = false;
};
Opened OpenAndDump(const std::string& path, const std::string& password) {
    Opened result;
    try {
        CPdfDocument document;
        document.Open(path, password);
        result.canDecrypt = document.CanDecrypt();
        result.owner = document.security && document.security->IsOwner();
        result.dump = Dump(*document.xref).Of(document.xref->trailer);
    } catch (const CPdfException& e) {
        result.dump = std::string("error: ") + e.GetMessage();
    }
    return result;
}

// qpdf's arguments for one way of encrypting (after the two passwords).
struct Way {
    const char* name;
    std::vector<std::string> keyArguments;
    bool objectStreams;
};

std::string Encrypt(const TempDir& dir, const std::string& plain, const Way& way,
                    const std::string& user, const std::string& name) {
    std::vector<std::string> args = {
        "--allow-weak-crypto",
        std::string("--object-streams=") + (way.objectStreams ? "generate" : "disable"),
        "--encrypt", user, "owner-pw"};
    args.insert(args.end(), way.keyArguments.begin(), way.keyArguments.end());
    args.insert(args.end(), {"--", plain, dir / name});
    const e2e::Outcome run = e2e::Qpdf(args);
    EXPECT_TRUE(run.Exited(0) || run.Exited(3)) << name << ": " << run.err;
    return dir / name;
}

// A value written back as PDF text (strings in hexadecimal), for the /Encrypt dictionary.
std::string Serialize(const CPdfObject& o) {
    switch (o.kind) {
        case kindName:
            return "/" + o.textValue;
        case kindInteger:
            return std::to_string(o.intValue);
        case kindBoolean:
            return o.boolValue ? "true" : "false";
        case kindString:
            return "<" + CPdfString::HexEncode(o.stringValue.Bytes()) + ">";
        case kindArray: {
            std::string t = "[";
            for (const CPdfObject& item : o.arrayValue->items) t += Serialize(item) + " ";
            return t + "]";
        }
        case kindDictionary: {
            std::string t = "<<";
            for (const auto& e : o.dictValue->entries)
                t += "/" + e.first + " " + Serialize(e.second) + " ";
            return t + ">>";
        }
        default:
            return "null";
    }
}

// A document written with the writer's primitives under other numbers than the source's: its
// strings and stream data encrypted for their new objects (security null: in clear).
std::string WriteRenumbered(const CPdfSecurity* security) {
    auto str = [&](const std::string& bytes, int number) {
        return "<" +
               CPdfString::HexEncode(security ? security->EncryptString(bytes, number) : bytes) +
               ">";
    };
    auto stream = [&](int number, const std::string& dict, const std::string& data) {
        CPdfParser parser(nullptr, std::make_shared<CPdfMemoryStream>(
                                       std::make_shared<const std::string>("<<" + dict + ">>"), 0,
                                       dict.size() + 4));
        CPdfObject parsed = parser.ParseObject();
        return testpdf::StreamBody(
            dict,
            security ? security->EncryptStreamData(data, parsed.dictValue.get(), number) : data);
    };
    Builder b;
    b.Add(11, "<< /Type /Catalog /Pages 12 0 R /Metadata 15 0 R /Lang " + str("en-GB", 11) + " >>");
    b.Add(12, "<< /Type /Pages /Kids [13 0 R] /Count 1 >>");
    b.Add(13,
          "<< /Type /Page /Parent 12 0 R /MediaBox [0 0 200 200] /Resources << >> /Contents 14 0 R "
          "/Annots "
          "[<< /Type /Annot /Subtype /Text /Rect [0 0 10 10] /Contents " +
              str("Note (one)\n", 13) + " /NM " + str(std::string("\0\xff", 2), 13) + " >>] >>");
    b.Add(14, stream(14, "/Filter /FlateDecode", testpdf::Deflate("BT /F1 12 Tf (Hi) Tj ET")));
    b.Add(15, stream(15, "/Type /Metadata /Subtype /XML", "<x:xmpmeta/>"));
    b.Add(16, "<< /Title " + str(std::string(40, 'x'), 16) + " /Empty " + str("", 16) +
                  " /Data 18 0 R >>");
    // A stream that names the /Identity crypt filter is stored in clear.
    b.Add(18, stream(18, "/Filter [/Crypt /FlateDecode] /DecodeParms [<< /Name /Identity >> null]",
                     testpdf::Deflate("in clear")));
    b.SetRoot(11);
    b.SetInfo(16);
    if (security) {
        b.Add(17, Serialize(security->EncryptDictionary()));
        b.AddTrailerEntries("/Encrypt 17 0 R");
        b.SetId(CPdfString::HexEncode(security->FirstId()), "00");
    }
    return b.Build();
}

class EncryptedDocument : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2e::HaveQpdf()) GTEST_SKIP() << "qpdf is needed (apt-get install qpdf)";
    }
};

TEST_F(EncryptedDocument, ReadsLikeTheOriginalWithEveryMethodAndPassword) {
    const Way ways[] = {
        {"rc4-40", {"40"}, false},
        {"rc4-40-objstm", {"40"}, true},
        {"rc4-128", {"128", "--use-aes=n"}, false},
        {"rc4-128-objstm", {"128", "--use-aes=n"}, true},
        {"aes-128-clear-metadata", {"128", "--use-aes=y", "--cleartext-metadata"}, false},
        {"aes-128-objstm", {"128", "--use-aes=y"}, true},
        {"aes-256", {"256"}, false},
        {"aes-256-objstm-clear-metadata", {"256", "--cleartext-metadata"}, true},
        {"aes-256-r5", {"256", "--force-R5"}, false},
    };
    TempDir dir("security");
    ASSERT_TRUE(dir.ok());
    Builder source;
    AddSourceObjects(source);
    const std::string plain = dir / "plain.pdf";
    ASSERT_TRUE(e2e::WriteFile(plain, source.Build()));
    const std::string expected = OpenAndDump(plain, "").dump;
    ASSERT_NE(expected.find("<436166e92028647261667429>"), std::string::npos) << expected;
    const std::string renumbered = dir / "renumbered.pdf";
    ASSERT_TRUE(e2e::WriteFile(renumbered, WriteRenumbered(nullptr)));
    const std::string expectedRenumbered = OpenAndDump(renumbered, "").dump;

    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        const std::string open = Encrypt(dir, plain, way, "", std::string(way.name) + "-open.pdf");
        const std::string locked =
            Encrypt(dir, plain, way, "user-pw", std::string(way.name) + ".pdf");

        const Opened withEmpty = OpenAndDump(open, "");
        EXPECT_TRUE(withEmpty.canDecrypt);
        EXPECT_EQ(withEmpty.dump, expected);
        for (const std::string& file : {open, locked}) {
            const Opened asOwner = OpenAndDump(file, "owner-pw");
            EXPECT_TRUE(asOwner.owner);
            EXPECT_EQ(asOwner.dump, expected);
            EXPECT_EQ(OpenAndDump(file, "not-it").dump, "error: Wrong password");
        }
        const Opened asUser = OpenAndDump(locked, "user-pw");
        EXPECT_FALSE(asUser.owner);
        EXPECT_EQ(asUser.dump, expected);

        // Without the password: read as stored, which object streams do not allow.
        CPdfDocument document;
        try {
            document.Open(locked);
            EXPECT_FALSE(way.objectStreams);
            EXPECT_TRUE(document.IsEncrypted());
            EXPECT_FALSE(document.CanDecrypt());
            EXPECT_THROW(document.RequireKey(), CPdfException);
        } catch (const CPdfException& e) {
            EXPECT_TRUE(way.objectStreams);
            EXPECT_STREQ(e.GetMessage(), "Password required");
        }

        // The writer's primitives: objects encrypted under new numbers, which qpdf decrypts to
        // the same values (and the same input always gives the same bytes).
        document.Open(locked, "user-pw");
        const std::string written = WriteRenumbered(document.security.get());
        EXPECT_EQ(written, WriteRenumbered(document.security.get()));
        const std::string output = dir / (std::string(way.name) + "-written.pdf");
        ASSERT_TRUE(e2e::WriteFile(output, written));
        EXPECT_EQ(OpenAndDump(output, "user-pw").dump, expectedRenumbered);
        const std::string decrypted = dir / (std::string(way.name) + "-decrypted.pdf");
        const e2e::Outcome run = e2e::Qpdf({"--password=user-pw", "--decrypt", output, decrypted});
        EXPECT_TRUE(run.Exited(0)) << run.err;
        EXPECT_EQ(OpenAndDump(decrypted, "").dump, expectedRenumbered);
    }
}

// An /Encrypt dictionary from its text, with hex strings of the given sizes.
std::string Hex(size_t bytes) {
    return "<" + std::string(bytes * 2, 'a') + ">";
}

TEST(SecurityHandler, HostileEncryptDictionariesEndWithOneMessage) {
    const std::string r3 = "/Filter /Standard /V 2 /R 3 /P -4 ";
    const std::string r6 =
        "/Filter /Standard /V 5 /R 6 /P -4 /CF << /StdCF << /CFM /AESV3 >> >> "
        "/StmF /StdCF /StrF /StdCF ";
    const std::string damaged = "Encryption dictionary is damaged";
    const std::string unsupported = "Encryption method is not supported";
    // "": the dictionary is read, and the empty password is not the user password.
    const std::pair<std::string, std::string> cases[] = {
        {r3 + "/Length 128 /O " + Hex(32) + " /U " + Hex(32), ""},
        {r3 + "/Length 128 /O " + Hex(40) + " /U " + Hex(127), ""},
        {r3 + "/O " + Hex(32) + " /U " + Hex(32), ""},
        {r3 + "/Length 7 /O " + Hex(32) + " /U " + Hex(32), damaged},
        {r3 + "/Length 1024 /O " + Hex(32) + " /U " + Hex(32), damaged},
        {r3 + "/Length 9223372036854775807 /O " + Hex(32) + " /U " + Hex(32), damaged},
        {r3 + "/Length 128 /O " + Hex(31) + " /U " + Hex(32), damaged},
        {r3 + "/Length 128 /O " + Hex(32), damaged},
        {r3 + "/Length 128 /O 5 /U " + Hex(32), damaged},
        {r3 + "/Length (128) /O " + Hex(32) + " /U " + Hex(32), damaged},
        {"/Filter /Standard /V 2 /R 3 /P (x) /O " + Hex(32) + " /U " + Hex(32), damaged},
        {"/Filter /Standard /V 3 /R 3 /O " + Hex(32) + " /U " + Hex(32), unsupported},
        {"/Filter /Standard /V 2 /R 7 /O " + Hex(32) + " /U " + Hex(32), unsupported},
        {"/Filter /Adobe.PubSec /V 2 /R 3 /O " + Hex(32) + " /U " + Hex(32), unsupported},
        {"/V 2 /R 3 /O " + Hex(32) + " /U " + Hex(32), unsupported},
        {"/Filter /Standard /V 4 /R 4 /StmF /StdCF /O " + Hex(32) + " /U " + Hex(32), damaged},
        {"/Filter /Standard /V 4 /R 4 /CF << /StdCF << /CFM /Foo >> >> /StmF /StdCF /O " + Hex(32) +
             " /U " + Hex(32),
         unsupported},
        {"/Filter /Standard /V 4 /R 4 /CF << /StdCF << /CFM /AESV3 >> >> /StmF /StdCF /O " +
             Hex(32) + " /U " + Hex(32),
         unsupported},
        {"/Filter /Standard /V 4 /R 5 /O " + Hex(48) + " /U " + Hex(48), unsupported},
        {r6 + "/O " + Hex(48) + " /U " + Hex(48) + " /OE " + Hex(32) + " /UE " + Hex(32), ""},
        {r6 + "/O " + Hex(48) + " /U " + Hex(48) + " /OE " + Hex(32) + " /UE " + Hex(32) +
             " /Perms " + Hex(16),
         ""},
        {r6 + "/O " + Hex(48) + " /U " + Hex(47) + " /OE " + Hex(32) + " /UE " + Hex(32), damaged},
        {r6 + "/O " + Hex(48) + " /U " + Hex(48) + " /OE " + Hex(31) + " /UE " + Hex(32), damaged},
        {r6 + "/O " + Hex(48) + " /U " + Hex(48) + " /OE " + Hex(32), damaged},
        {r6 + "/O " + Hex(48) + " /U " + Hex(48) + " /OE " + Hex(32) + " /UE " + Hex(32) +
             " /Perms " + Hex(15),
         damaged},
    };
    for (const auto& c : cases) {
        const std::string text = "<<" + c.first + ">>";
        CPdfParser parser(nullptr, std::make_shared<CPdfMemoryStream>(
                                       std::make_shared<const std::string>(text), 0, text.size()));
        CPdfObject dict = parser.ParseObject();
        ASSERT_EQ(dict.kind, kindDictionary) << text;
        std::string message;
        try {
            CPdfSecurity security(*dict.dictValue, "0123456789abcdef", 9);
            EXPECT_FALSE(security.Authenticate(""));
            EXPECT_FALSE(security.CanDecrypt());
        } catch (const CPdfException& e) {
            message = e.GetMessage();
        }
        EXPECT_EQ(message, c.second) << text;
    }
}

// The corpus's encrypted files that open with an empty user password (shared/corpus beside the
// repository; skipped where it is absent).
TEST(EncryptedCorpus, FilesWithAnEmptyUserPasswordOpenDecrypted) {
    const std::string corpus = CorpusDir();
    std::ifstream manifest(corpus + "/manifest.tsv");
    if (!manifest) GTEST_SKIP() << CorpusMissing(corpus);
    int opened = 0;
    for (std::string line; std::getline(manifest, line);) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string field; std::getline(cells, field, '\t');) fields.push_back(field);
        if (fields.size() < 6 || fields[5] != "y-emptypw") continue;
        CPdfDocument document;
        try {
            document.Open(corpus + "/" + fields[0]);
            EXPECT_TRUE(document.CanDecrypt()) << fields[0];
            EXPECT_GT(document.catalog->GetPageCount(), 0u) << fields[0];
            ++opened;
        } catch (const CPdfException& e) {
            ADD_FAILURE() << fields[0] << ": " << e.GetMessage();
        }
    }
    EXPECT_GT(opened, 0);
}

}  // namespace
