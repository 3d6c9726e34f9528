// The output side: the output file (temporary file renamed into place, direct writes to
// devices and pipes, write errors) and the header, cross-reference table and trailer writers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CPdfException.h"
#include "FileBytes.h"
#include "TempDir.h"
#include "file/CPdfFile.h"
#include "file/CPdfOutputFile.h"
#include "file/CPdfXRef.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfObjectWriter.h"
#include "object/CPdfParser.h"
#include "object/CPdfReferenceMap.h"
#include "stream/CPdfFileStream.h"
#include "stream/CPdfMemoryStream.h"

namespace {

namespace fs = std::filesystem;

using e2e::ReadFile;

// The message of the CPdfException that f throws, or "" when it throws none.
template <typename F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const CPdfException& e) {
        return e.GetMessage();
    }
    return "";
}

// Bytes of count distinct values, so that misplaced blocks show.
std::string Pattern(size_t count, size_t seed) {
    std::string s(count, '\0');
    for (size_t i = 0; i < count; ++i) s[i] = static_cast<char>((i * 131 + seed * 17) % 251);
    return s;
}

TEST(OutputFile, TargetAppearsOnlyAtCommitAndTempFileStaysInFolder) {
    TempDir dir;
    const std::string target = dir / "out.pdf";
    mode_t oldMask = umask(027);
    {
        std::ofstream(target) << "old contents";
        CPdfOutputFile out;
        out.Open(target);
        out.Write("new contents");
        // The old file is untouched until the commit; the work goes to a hidden file beside it.
        EXPECT_EQ(ReadFile(target), "old contents");
        std::vector<std::string> names = dir.Names();
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names[0].rfind(".brantor-", 0), 0u) << names[0];
        out.Commit();
    }
    umask(oldMask);
    EXPECT_EQ(ReadFile(target), "new contents");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.pdf"});
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // as a newly created file, not mkstemp's 0600
}

TEST(OutputFile, LinkIsWrittenThroughAndReplacedFileKeepsItsMode) {
    TempDir dir;
    fs::create_directory(dir / "sub");
    std::ofstream(dir / "real.pdf") << "old contents";
    ASSERT_EQ(chmod((dir / "real.pdf").c_str(), 0604), 0);
    const struct {
        std::vector<std::pair<std::string, std::string>> links;  // name, what it names
        std::string target;                                      // the file that gets the contents
        mode_t mode;
    } cases[] = {
        {{{"link.pdf", "real.pdf"}}, "real.pdf", 0604},
        // A link to a file still to be made creates that file and stays a link.
        {{{"link.pdf", "new.pdf"}}, "new.pdf", 0640},
        {{{"link.pdf", "sub/../chain.pdf"}, {"chain.pdf", "sub/end.pdf"}}, "sub/end.pdf", 0640},
        {{{"link.pdf", dir / "sub/absolute.pdf"}}, "sub/absolute.pdf", 0640},
    };
    mode_t oldMask = umask(027);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        for (const auto& [name, target] : c.links) {
            fs::remove(dir / name);
            ASSERT_EQ(symlink(target.c_str(), (dir / name).c_str()), 0);
        }
        CPdfOutputFile out;
        out.Open(dir / "link.pdf");
        out.Write("new contents");
        out.Commit();
        for (const auto& link : c.links) EXPECT_TRUE(fs::is_symlink(dir / link.first));
        EXPECT_EQ(ReadFile(dir / c.target), "new contents");
        struct stat st;
        ASSERT_EQ(lstat((dir / c.target).c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, c.mode);
    }
    umask(oldMask);
}

TEST(OutputFile, UncommittedFileIsRemoved) {
    TempDir dir;
    {
        CPdfOutputFile out;
        out.Open(dir / "a.pdf");
        out.Write(Pattern(400000, 1));  // more than the buffer: bytes reached the disk
        out.Abandon();
        EXPECT_TRUE(dir.Names().empty());
        out.Open(dir / "b.pdf");
        out.Write("x");
        // Opening again drops the unfinished file too.
        out.Open(dir / "c.pdf");
        out.Write("y");
    }  // destroyed without a commit
    EXPECT_TRUE(dir.Names().empty());
}

TEST(OutputFile, BlocksOfEverySizeArriveInOrder) {
    const std::vector<std::vector<size_t>> runs = {
        {1, 2, 3},
        {16383, 16384, 16385},
        {262143, 1, 16384, 5},
        {262144, 262144},
        {100, 300000, 7, 262144 - 107, 1},
        {70000, 70000, 70000, 70000, 70000},
    };
    TempDir dir;
    for (size_t r = 0; r < runs.size(); ++r) {
        std::string expected;
        CPdfOutputFile out;
        out.Open(dir / "out.bin");
        for (size_t k = 0; k < runs[r].size(); ++k) {
            std::string block = Pattern(runs[r][k], k + r);
            out.Write(block);
            expected += block;
            EXPECT_EQ(out.Position(), static_cast<int64_t>(expected.size()));
        }
        out.Commit();
        EXPECT_TRUE(ReadFile(dir / "out.bin") == expected) << "run " << r;
    }
}

TEST(OutputFile, CopyFromTakesBytesOfAnotherFile) {
    TempDir dir;
    const std::string source = Pattern(600000, 9);
    std::ofstream(dir / "src.bin", std::ios::binary) << source;
    int fd = open((dir / "src.bin").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    CPdfOutputFile out;
    out.Open(dir / "out.bin");
    out.Write("head");
    out.CopyFrom(fd, 10, 5);
    out.CopyFrom(fd, 1000, 550000);  // crosses the buffer
    out.CopyFrom(fd, 0, 0);
    EXPECT_EQ(out.Position(), 4 + 5 + 550000);
    // A source that ends before the count is a damaged source, and nothing past it is read.
    EXPECT_EQ(MessageOf([&] { out.CopyFrom(fd, 599990, 20); }), "Corrupted PDF file");
    out.Abandon();
    out.Open(dir / "out.bin");
    out.Write("head");
    out.CopyFrom(fd, 10, 5);
    out.CopyFrom(fd, 1000, 550000);
    out.Commit();
    close(fd);
    EXPECT_TRUE(ReadFile(dir / "out.bin") ==
                "head" + source.substr(10, 5) + source.substr(1000, 550000));
}

TEST(OutputFile, OpenFailuresAreCreateErrors) {
    TempDir dir;
    fs::create_directory(dir / "folder");
    ASSERT_EQ(symlink("loop-b.pdf", (dir / "loop-a.pdf").c_str()), 0);
    ASSERT_EQ(symlink("loop-a.pdf", (dir / "loop-b.pdf").c_str()), 0);
    const std::vector<std::string> names = {dir / "missing/out.pdf", dir / "folder",
                                            dir / "loop-a.pdf"};
    for (const std::string& name : names) {
        CPdfOutputFile out;
        EXPECT_EQ(MessageOf([&] { out.Open(name); }), "Output file create error") << name;
    }
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_TRUE(fs::is_symlink(dir / "loop-a.pdf"));
}

// A read-only file in a folder that the user may write: the rename could replace it, but the
// user asked to write a file that they may not write. Run as an unprivileged user, since the
// superuser may write any file.
TEST(OutputFile, ReadOnlyFileIsNotReplaced) {
    TempDir dir;
    const std::string target = dir / "readonly.pdf";
    std::ofstream(target) << "old contents";
    ASSERT_EQ(chmod(target.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && setuid(65534) != 0) std::_Exit(2);
            CPdfOutputFile out;
            std::string message = MessageOf([&] { out.Open(target); });
            out.Abandon();
            std::_Exit(message == "Output file create error" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(target), "old contents");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"readonly.pdf"});
}

TEST(OutputFile, DeviceIsWrittenDirectlyAndWriteErrorsAreReported) {
    struct stat st;
    if (stat("/dev/full", &st) != 0 || !S_ISCHR(st.st_mode)) GTEST_SKIP() << "no /dev/full";
    for (size_t size : {size_t(10), size_t(1) << 20}) {
        CPdfOutputFile out;
        std::string message = MessageOf([&] {
            out.Open("/dev/full");
            out.Write(Pattern(size, 3));
            out.Commit();
        });
        EXPECT_EQ(message, "Output file write error") << size;
    }
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(OutputFile, PipeIsWrittenDirectly) {
    TempDir dir;
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(fifo); });
    const std::string data = Pattern(300000, 4);
    std::string message = MessageOf([&] {
        CPdfOutputFile out;
        out.Open(fifo);
        out.Write(data);
        out.Commit();
    });
    reader.join();
    EXPECT_EQ(message, "");
    EXPECT_TRUE(received == data);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"pipe"});
}

// The writers of CPdfFile, reached through a minimal job.
class FileWriter : public CPdfFile {
public:
    bool ParseArguments(int, char**) override { return true; }
    bool Run() override { return true; }
    int32_t ReserveNumber() override { return ++reserved; }
    int32_t reserved = 100000;  // above every number the tests write

    struct Object {
        int number;
        int generation;
    };
    // One output: header, the given objects (each "N G obj" text), table and trailer.
    std::string Write(const std::string& name, const std::vector<Object>& objects,
                      const CPdfTrailerEntries& entries = CPdfTrailerEntries(),
                      const std::string& version = "PDF-1.4") {
        ResetObjectTable();
        output.Open(name);
        WriteHeader(version);
        for (const Object& o : objects) {
            MarkWritten(o.number, o.generation);
            output.Write(std::to_string(o.number) + " " + std::to_string(o.generation) +
                         " obj\nnull\nendobj\n");
        }
        int64_t start = output.Position();
        WriteXRefTable();
        WriteTrailer(start, entries);
        output.Commit();
        return ReadFile(name);
    }

    // One output with object streams: the values as objects 1, 2, ..., then object 1 again
    // with generation 3 (never packed), and the frame. Returns the file's bytes.
    std::string WritePacked(const std::string& name, const std::vector<std::string>& values) {
        ResetObjectTable(true);
        output.Open(name);
        WriteHeader("PDF-1.4");
        for (size_t i = 0; i < values.size(); ++i) {
            WriteValue(static_cast<int32_t>(i + 1), 0, values[i]);
        }
        WriteValue(static_cast<int32_t>(values.size() + 1), 3, "(apart)");
        CPdfTrailerEntries entries;
        entries.rootNumber = 1;
        WriteEnd(entries);
        output.Commit();
        return ReadFile(name);
    }
};

// A value's text as the program's writer gives it back, references kept.
std::string Written(const CPdfObject& value) {
    CPdfSameNumbers same;
    return CPdfObjectWriter(same).Text(value);
}

std::string Reparsed(const std::string& text) {
    auto bytes = std::make_shared<const std::string>(text);
    CPdfParser parser(nullptr, std::make_shared<CPdfMemoryStream>(bytes, 0, bytes->size()));
    return Written(parser.ParseObject());
}

// Every object written into the object streams of an output reads back equal, whatever bytes
// it starts and ends with and wherever a stream is cut; an object of another generation
// stays outside them. The cross-reference stream says where each one is.
TEST(FileWriter, ObjectStreamsReadBackEveryObject) {
    const std::vector<std::string> kinds = {"1",
                                            "-2",
                                            "3.25",
                                            ".5",
                                            "true",
                                            "false",
                                            "null",
                                            "/Name",
                                            "/A#20B",
                                            "5 0 R",
                                            "(a (nested \\) one))",
                                            "()",
                                            "<414243>",
                                            "<>",
                                            "[1 2 3]",
                                            "[]",
                                            "[/a(b)<63>[true]]",
                                            "<</K 1/L[2 3]/M<</N null>>>>",
                                            "<<>>",
                                            "(% not a comment)",
                                            "[1 %c\n2]",
                                            "4 %c\n",
                                            std::string("(") + std::string(70000, 'x') + ")"};
    std::vector<std::string> values;
    // Enough objects to fill several streams, each kind next to every other.
    while (values.size() < 2 * CPdfObjStmWriter::kMaxObjects + 7) {
        for (const std::string& a : kinds) {
            for (const std::string& b : kinds) {
                if (b.size() < 1000) values.insert(values.end(), {a, b});
            }
        }
    }
    TempDir dir;
    FileWriter w;
    const std::string bytes = w.WritePacked(dir / "p.pdf", values);
    EXPECT_EQ(bytes.substr(0, 9), "%PDF-1.5\r");

    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen((dir / "p.pdf").c_str(), "rb"),
                                               &std::fclose);
    auto stream = std::make_shared<CPdfFileStream>(file.get(), 0, 0);
    CPdfXRef xref;
    xref.Load(stream.get());
    ASSERT_GT(xref.entries.size(), values.size() + 1);
    size_t packed = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const int32_t number = static_cast<int32_t>(i + 1);
        packed += xref.entries[i + 1].Type() == 2;
        ASSERT_EQ(Written(xref.Fetch(number, 0)), Reparsed(values[i]))
            << number << " " << values[i];
    }
    EXPECT_EQ(packed, values.size());
    // Readers that parse an object from its offset on, without stopping at the next one, read
    // it the same.
    for (size_t k = 1; k < xref.entries.size(); ++k) {
        CPdfObject objStm = xref.entries[k].Type() == 1 ? xref.Fetch(static_cast<int32_t>(k), 0)
                                                        : CPdfObject(kindNull);
        if (objStm.kind != kindStream) continue;
        std::string data;
        for (int c = objStm.streamValue->GetChar(); c >= 0; c = objStm.streamValue->GetChar()) {
            data.push_back(static_cast<char>(c));
        }
        const int64_t first = objStm.GetDict()->Get("First").intValue;
        auto decoded = std::make_shared<const std::string>(data);
        CPdfParser header(nullptr, std::make_shared<CPdfMemoryStream>(decoded, 0, first));
        for (CPdfObject n = header.ParseObject(); n.kind == kindInteger; n = header.ParseObject()) {
            const size_t at = static_cast<size_t>(first + header.ParseObject().intValue);
            EXPECT_EQ(Reparsed(data.substr(at)),
                      Reparsed(values[static_cast<size_t>(n.intValue - 1)]))
                << n.intValue;
        }
    }
    const int32_t apart = static_cast<int32_t>(values.size() + 1);
    EXPECT_EQ(xref.entries[static_cast<size_t>(apart)].Type(), 1);
    EXPECT_EQ(Written(xref.Fetch(apart, 3)), "(apart)");
}

std::string Line(long long offset, int generation) {
    char line[32];
    std::snprintf(line, sizeof line, "%010lld %05d n \r", offset, generation);
    return line;
}

const char kFree[] = "0000000000 00000 f \r";
const char kHead[] = "%PDF-1.4\r%\xE2\xE3\xCF\xD3\r\n";

TEST(FileWriter, HeaderCarriesTheSourceVersion) {
    TempDir dir;
    FileWriter w;
    const struct {
        const char* version;
        const char* first;
    } cases[] = {{"PDF-1.7", "%PDF-1.7\r"}, {"PDF-2.0", "%PDF-2.0\r"}, {"", "%PDF-1.4\r"}};
    for (const auto& c : cases) {
        std::string bytes = w.Write(dir / "h.pdf", {}, CPdfTrailerEntries(), c.version);
        EXPECT_EQ(bytes.substr(0, bytes.find('\n') + 1),
                  std::string(c.first) + "%\xE2\xE3\xCF\xD3\r\n")
            << c.version;
    }
}

TEST(FileWriter, TableHasOneLinePerEntryAndForgetsEarlierOutputs) {
    TempDir dir;
    FileWriter w;
    const size_t objectLength = std::string("1 0 obj\nnull\nendobj\n").size();
    std::string first = w.Write(dir / "a.pdf", {{1, 0}, {4, 7}, {2, 0}, {-1, 0}});
    const long long o1 = 16, o4 = o1 + objectLength, o2 = o4 + objectLength;
    std::string table =
        "xref\n0 5\r0000000000 65535 f \r" + Line(o1, 0) + Line(o2, 0) + kFree + Line(o4, 7);
    long long start = o2 + 2 * objectLength + 1;  // -1 is written but not listed
    EXPECT_EQ(first.substr(static_cast<size_t>(start), table.size() + 8), table + "trailer\n");

    // The second output of a run starts from an empty table.
    std::string second = w.Write(dir / "b.pdf", {{3, 0}, {3, 0}});
    table = "xref\n0 4\r0000000000 65535 f \r" + std::string(kFree) + kFree +
            Line(16 + objectLength, 0);  // the later copy of 3 counts
    EXPECT_EQ(second.substr(16 + 2 * objectLength, table.size()), table);

    EXPECT_EQ(w.Write(dir / "c.pdf", {}),
              std::string(kHead) +
                  "xref\n0 1\r0000000000 65535 f \rtrailer\n<</Size 1/Root 0 0 R"
                  ">>\nstartxref\n16\n%%EOF");
}

TEST(FileWriter, TrailerNamesRootInfoIdAndEncrypt) {
    CPdfTrailerEntries all;
    all.rootNumber = 1;
    all.infoNumber = 3;
    all.encryptNumber = 7;
    all.encryptGeneration = 2;
    all.id = "[<ab01><cd02>]";
    CPdfTrailerEntries rootOnly;
    rootOnly.rootNumber = 4;
    const struct {
        CPdfTrailerEntries entries;
        const char* text;  // what follows "/Size 1"
    } cases[] = {
        {all, "/ID [<ab01><cd02>]/Info 3 0 R/Root 1 0 R/Encrypt 7 2 R"},
        {rootOnly, "/Root 4 0 R"},
    };
    TempDir dir;
    FileWriter w;
    for (const auto& c : cases) {
        std::string bytes = w.Write(dir / "t.pdf", {}, c.entries);
        std::string expected =
            "trailer\n<</Size 1" + std::string(c.text) + ">>\nstartxref\n16\n%%EOF";
        EXPECT_EQ(bytes.substr(16 + 9 + 20), expected) << c.text;
    }
}

}  // namespace
