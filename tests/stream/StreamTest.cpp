// Raw streams: windows onto a file, onto bytes in memory, and onto another stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "CPdfException.h"
#include "CPdfInternalError.h"
#include "TempFile.h"
#include "TestValues.h"
#include "stream/CPdfEmbedStream.h"
#include "stream/CPdfFileStream.h"
#include "stream/CPdfMemoryStream.h"

namespace {

// Bytes that differ from their neighbours and never repeat within a buffer's length.
std::string Pattern(size_t size) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 7 + i / 251) % 256);
    return out;
}

TEST(FileStream, WindowDeliversItsRangeThenEndsForGood) {
    const std::string content = Pattern(100000);
    FilePtr file = TempFileWith(content);
    struct {
        int64_t start, length;
        std::string expected;
    } cases[] = {
        {0, 0, content},
        {5, 0, content.substr(5)},
        {5, 10, content.substr(5, 10)},
        {100, 70000, content.substr(100, 70000)},
        {int64_t(content.size()) - 3, 10, content.substr(content.size() - 3)},
        {int64_t(content.size()) + 5, 0, ""},
    };
    for (const auto& c : cases) {
        CPdfFileStream s(file.get(), c.start, c.length);
        EXPECT_EQ(s.GetStart(), c.start);
        EXPECT_EQ(s.GetLength(), c.length);
        EXPECT_EQ(ReadAll(s), c.expected) << "start " << c.start << " length " << c.length;
        EXPECT_EQ(s.GetChar(), -1);
        EXPECT_EQ(s.LookChar(), -1);
    }
}

TEST(FileStream, StreamsSharingAFileInterleaveTheirReads) {
    const std::string content = Pattern(200000);
    FilePtr file = TempFileWith(content);
    CPdfFileStream a(file.get(), 10, 0);
    CPdfFileStream b(file.get(), 100000, 50000);
    std::string gotA, gotB;
    for (int i = 0; i < 80000; ++i) {
        gotA.push_back(static_cast<char>(a.GetChar()));
        int c = b.GetChar();
        if (c >= 0) gotB.push_back(static_cast<char>(c));
    }
    EXPECT_EQ(gotA, content.substr(10, 80000));
    EXPECT_EQ(gotB, content.substr(100000, 50000));
}

TEST(FileStream, PositionsAreAbsoluteFileOffsets) {
    const std::string content = Pattern(10000);
    FilePtr file = TempFileWith(content);
    CPdfFileStream s(file.get(), 100, 0);
    EXPECT_EQ(s.GetPos(), 100);
    s.GetChar();
    s.LookChar();
    EXPECT_EQ(s.GetPos(), 101);
    s.SetPos(5000, 0);
    EXPECT_EQ(s.GetPos(), 5000);
    EXPECT_EQ(s.GetChar(), static_cast<unsigned char>(content[5000]));
    s.SetPos(-2, 1);
    EXPECT_EQ(s.GetChar(), static_cast<unsigned char>(content[4999]));
    s.SetPos(-3, 2);
    EXPECT_EQ(s.GetPos(), 9997);
    EXPECT_EQ(ReadAll(s), content.substr(9997));
    s.SetPos(20, 0);  // before the window: offsets are not clamped to it
    EXPECT_EQ(s.GetChar(), static_cast<unsigned char>(content[20]));
    s.Reset();
    EXPECT_EQ(s.GetPos(), 100);
    s.MoveStart(50);
    EXPECT_EQ(s.GetStart(), 150);
    EXPECT_EQ(s.GetChar(), static_cast<unsigned char>(content[150]));
    EXPECT_EQ(s.GetFileSize(), 10000);
}

TEST(MemoryStream, RangeIsClippedToTheBytes) {
    const std::string text = "0123456789";
    EXPECT_EQ(ReadAll(*Memory(text)), text);
    EXPECT_EQ(ReadAll(*Memory(text, 3, 7)), "3456");
    EXPECT_EQ(ReadAll(*Memory(text, 8, 100)), "89");
    EXPECT_EQ(ReadAll(*Memory(text, 20, 30)), "");
    EXPECT_EQ(ReadAll(*Memory(text, 7, 3)), "");
    auto s = Memory(text, 3, 7);
    EXPECT_EQ(s->GetPos(), 3);
    EXPECT_EQ(s->GetLength(), 4);
    ReadAll(*s);
    EXPECT_EQ(s->GetPos(), 7);
    s->Reset();
    EXPECT_EQ(s->GetChar(), '3');
    EXPECT_EQ(s->MakeSubStream(0, 2), nullptr);
}

TEST(EmbedStream, LimitDecidesHowMuchOfTheSourceIsDelivered) {
    struct {
        bool limited;
        int64_t length;
        std::string expected;
    } cases[] = {
        {true, 0, ""},          {true, 3, "abc"},       {true, 100, "abcdefgh"},
        {false, 0, "abcdefgh"}, {false, 3, "abcdefgh"}, {true, -1, "abcdefgh"},
    };
    for (const auto& c : cases) {
        auto source = Memory("abcdefgh");
        CPdfEmbedStream window(source.get(), c.limited, c.length);
        EXPECT_EQ(ReadAll(window), c.expected) << c.limited << " " << c.length;
        EXPECT_EQ(window.GetChar(), -1);
    }
    // A window limited to nothing does not read its source.
    auto source = Memory("abc");
    CPdfEmbedStream empty(source.get(), true, 0);
    EXPECT_EQ(empty.LookChar(), -1);
    EXPECT_EQ(source->GetChar(), 'a');
}

TEST(EmbedStream, ConsecutiveWindowsSplitTheSourceExactly) {
    const std::string content = Pattern(5000);
    auto source = Memory(content);
    source->GetChar();  // a window starts wherever the source stands
    const int64_t sizes[] = {1, 2000, 0, 1500};
    size_t at = 1;
    for (int64_t size : sizes) {
        CPdfEmbedStream window(source.get(), true, size);
        EXPECT_EQ(ReadAll(window), content.substr(at, size_t(size)));
        at += size_t(size);
    }
    CPdfEmbedStream rest(source.get(), false, 0);
    EXPECT_EQ(ReadAll(rest), content.substr(at));
}

TEST(Streams, LookCharShowsTheByteGetCharReturns) {
    const std::string content = Pattern(3000);
    FilePtr file = TempFileWith(content);
    auto memory = Memory(content);
    const std::function<std::shared_ptr<CPdfStream>()> makers[] = {
        [&] { return std::make_shared<CPdfFileStream>(file.get(), 0, 0); },
        [&] { return Memory(content); },
        [&] { return std::make_shared<CPdfEmbedStream>(memory.get(), true, 3000); },
    };
    for (const auto& make : makers) {
        std::shared_ptr<CPdfStream> s = make();
        for (size_t i = 0; i < content.size(); ++i) {
            int seen = s->LookChar();
            ASSERT_EQ(seen, s->LookChar());
            ASSERT_EQ(s->GetChar(), seen);
            ASSERT_EQ(seen, static_cast<unsigned char>(content[i])) << i;
        }
        EXPECT_EQ(s->LookChar(), -1);
    }
}

// A broken invariant reads as a bug of the program, not as a fault of the file.
TEST(Streams, RawCharIsRefusedByStreamsThatDoNotDecode) {
    FilePtr file = TempFileWith("abc");
    auto memory = Memory("abc");
    CPdfFileStream f(file.get(), 0, 0);
    CPdfEmbedStream e(memory.get(), false, 0);
    for (CPdfStream* s : {static_cast<CPdfStream*>(&f), static_cast<CPdfStream*>(&e),
                          static_cast<CPdfStream*>(memory.get())}) {
        try {
            s->GetRawChar();
            ADD_FAILURE() << "no exception";
        } catch (const CPdfInternalError& ex) {
            EXPECT_STREQ(ex.GetMessage(), "Internal error (a bug in brantor)");
            EXPECT_NE(ex.GetDetail().find("GetRawChar"), std::string::npos) << ex.GetDetail();
            EXPECT_NE(ex.GetDetail().find("please report it"), std::string::npos);
        }
    }
}

}  // namespace
