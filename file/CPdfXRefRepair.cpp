#include "file/CPdfXRefRepair.h"

#include <algorithm>
#include <cstring>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "file/CPdfXRef.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfInteger.h"
#include "object/CPdfLexer.h"
#include "object/CPdfParser.h"
#include "stream/CPdfFileStream.h"

namespace {
constexpr size_t kChunk = 1 << 20;
constexpr size_t kOverlap = 64;
constexpr size_t kPeek = 512;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsWhite(char c) {
    return CPdfLexer::ClassOf(static_cast<unsigned char>(c)) == CPdfLexer::whitespace;
}
bool IsRegular(char c) {
    return CPdfLexer::ClassOf(static_cast<unsigned char>(c)) == CPdfLexer::regular;
}

// Reads "N G" backwards from just before "obj" at position at; the position of N's first
// digit, or npos.
size_t HeaderStart(const std::string& text, size_t at, int64_t& number, int64_t& generation) {
    size_t i = at;
    auto skipWhite = [&]() {
        size_t n = 0;
        while (i > 0 && IsWhite(text[i - 1])) --i, ++n;
        return n;
    };
    auto readDigits = [&](int64_t& value) {
        size_t end = i;
        while (i > 0 && IsDigit(text[i - 1]) && end - i < 10) --i;
        return CPdfInteger::Parse(text.data() + i, text.data() + end, value);
    };
    if (skipWhite() == 0 || !readDigits(generation)) return std::string::npos;
    if (skipWhite() == 0 || !readDigits(number)) return std::string::npos;
    if (i > 0 && IsRegular(text[i - 1])) return std::string::npos;
    return i;
}
}  // namespace

CPdfXRefRepair::CPdfXRefRepair(CPdfXRef& table) : xref(table) {
    ScanHeaders();
}

void CPdfXRefRepair::ScanHeaders() {
    const int64_t base = xref.start;
    // Read through the file stream's file: chunks that overlap, so that no header or keyword
    // across a boundary is missed.
    CPdfFileStream& stream = *xref.GetStream();
    std::string chunk;
    for (int64_t pos = 0; pos < xref.fileSize; pos += static_cast<int64_t>(kChunk - kOverlap)) {
        // No more room than the file has left: a small file does not get a whole chunk.
        const size_t want = static_cast<size_t>(std::min<int64_t>(kChunk, xref.fileSize - pos));
        auto sub = stream.MakeSubStream(pos, static_cast<int64_t>(want));
        chunk.resize(want);
        chunk.resize(sub->Read(reinterpret_cast<uint8_t*>(&chunk[0]), want));
        for (size_t at = chunk.find("obj"); at != std::string::npos;
             at = chunk.find("obj", at + 1)) {
            if (at + 3 < chunk.size() && IsRegular(chunk[at + 3])) continue;
            int64_t number = 0, generation = 0;
            size_t start = HeaderStart(chunk, at, number, generation);
            if (start == std::string::npos || number <= 0 || number >= xref.kMaxEntries ||
                generation > 65535 || pos > XRefEntry::kMaxOffset) {
                continue;
            }
            if (static_cast<size_t>(number) >= found.size())
                found.resize(static_cast<size_t>(number) + 1);
            found[static_cast<size_t>(number)] = XRefEntry(pos + static_cast<int64_t>(start) - base,
                                                           static_cast<int32_t>(generation), 1);
        }
        for (size_t at = chunk.find("trailer"); at != std::string::npos;
             at = chunk.find("trailer", at + 1)) {
            int64_t p = pos + static_cast<int64_t>(at);
            if (trailerPositions.empty() || trailerPositions.back() != p)
                trailerPositions.push_back(p);
        }
        if (chunk.size() < kChunk) break;
    }
}

int64_t CPdfXRefRepair::OffsetOf(int32_t number, int32_t& generation) const {
    if (number <= 0 || static_cast<size_t>(number) >= found.size()) return -1;
    const XRefEntry& e = found[static_cast<size_t>(number)];
    if (e.Type() != 1) return -1;
    generation = e.Generation();
    return e.Offset();
}

void CPdfXRefRepair::ScanTrailers() {
    for (int64_t position : trailerPositions) {
        try {
            ReadTrailerAt(position);
        } catch (const CPdfException&) {
            // a damaged trailer is passed over
        }
    }
}

void CPdfXRefRepair::ReadTrailerAt(int64_t position) {
    {
        CPdfParser parser(nullptr, xref.GetStream()->MakeSubStream(position, 0));
        if (!parser.ParseObject().IsKeyword("trailer")) return;
        CPdfObject dict = parser.ParseObject();
        if (dict.kind != kindDictionary || dict.dictValue->Get("Root").kind != kindReference)
            return;
        trailer = dict;  // the last trailer in the file is the newest
    }
}

void CPdfXRefRepair::AddObjectStreams() {
    // Objects in object streams are found through the streams themselves; an object whose
    // header stands in the file body keeps that definition. Only the start of each object is
    // looked at to find the streams, so that damaged stream data does not stop the scan.
    size_t count = xref.entries.size();
    for (size_t n = 1; n < count; ++n) {
        const XRefEntry e = xref.entries[n];
        if (e.Type() != 1) continue;
        std::string head(kPeek, '\0');
        auto sub = xref.GetStream()->MakeSubStream(xref.Physical(e.Offset()), kPeek);
        head.resize(sub->Read(reinterpret_cast<uint8_t*>(&head[0]), kPeek));
        head = head.substr(0, head.find("stream"));
        bool isObjStm = head.find("/ObjStm") != std::string::npos;
        bool isXRef = head.find("/XRef") != std::string::npos;
        if (!isObjStm && !isXRef) continue;
        try {
            if (isXRef) {
                CPdfObject object = xref.Fetch(static_cast<int32_t>(n), e.Generation());
                const CPdfDictionary* dict = object.kind == kindStream ? object.GetDict() : nullptr;
                if (trailer.kind == kindNone && dict && dict->Get("Root").kind == kindReference) {
                    trailer.SetDictionary(std::make_shared<CPdfDictionary>(*dict));
                }
                continue;
            }
            AddObjectStream(static_cast<int32_t>(n));
        } catch (const CPdfException&) {
            // an unreadable stream adds nothing
        }
    }
}

void CPdfXRefRepair::AddObjectStream(int32_t streamNumber) {
    CPdfObjStmBytes objStm(xref, streamNumber);
    for (size_t k = 0; k < objStm.numbers.size(); ++k) {
        int32_t member = objStm.numbers[k];
        if (member <= 0 || member >= xref.kMaxEntries) continue;
        if (static_cast<size_t>(member) >= xref.entries.size()) {
            xref.entries.resize(static_cast<size_t>(member) + 1);
        }
        XRefEntry& m = xref.entries[static_cast<size_t>(member)];
        if (m.Type() == 1) continue;
        m = XRefEntry(streamNumber, static_cast<int32_t>(k), 2);
    }
}

void CPdfXRefRepair::FindCatalog() {
    for (size_t n = 1; n < xref.entries.size(); ++n) {
        const XRefEntry& e = xref.entries[n];
        if (e.Type() == 0) continue;
        CPdfObject object;
        try {
            object = xref.Fetch(static_cast<int32_t>(n), e.Type() == 1 ? e.Generation() : 0);
        } catch (const CPdfException&) {
            continue;
        }
        if (object.kind == kindDictionary && object.dictValue->IsType("Catalog") &&
            object.dictValue->Has("Pages")) {
            trailer = CPdfObject();
            trailer.NewDictionary(nullptr);
            trailer.dictValue->Set(
                "Root",
                CPdfObject::Reference(static_cast<int32_t>(n), e.Type() == 1 ? e.Generation() : 0));
            return;
        }
    }
}

void CPdfXRefRepair::Rebuild() {
    xref.entries = found;
    if (xref.entries.empty()) xref.entries.resize(1);
    xref.entries[0] = XRefEntry{0, 65535, 0};
    ScanTrailers();
    AddObjectStreams();
    if (trailer.kind == kindNone) FindCatalog();
    const char* notFound = "no catalog found by scanning";
    if (trailer.kind != kindDictionary) throw CPdfException(CPdfMessages::kDamaged, notFound);
    CPdfObject root = trailer.dictValue->Get("Root");
    if (root.kind != kindReference) throw CPdfException(CPdfMessages::kDamaged, notFound);
    xref.trailer = trailer;
    xref.rootNum = root.refNumber;
    xref.rootGen = root.refGeneration;
    CPdfObject info = trailer.dictValue->Get("Info");
    xref.infoNum = info.kind == kindReference ? info.refNumber : 0;
    xref.infoGen = info.kind == kindReference ? info.refGeneration : 0;
    xref.trailer.dictValue->xref = &xref;
}
