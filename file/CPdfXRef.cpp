#include "file/CPdfXRef.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "CPdfException.h"
#include "CPdfLimits.h"
#include "CPdfMessages.h"
#include "file/CPdfXRefRepair.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfInteger.h"
#include "object/CPdfLexer.h"
#include "object/CPdfNodeEntries.h"
#include "object/CPdfParser.h"
#include "object/CPdfScan.h"
#include "object/CPdfShallowReader.h"
#include "stream/CPdfFileStream.h"
#include "stream/CPdfMemoryStream.h"
#include "stream/CPdfReadAhead.h"

namespace {
// Restores a counter when a scope ends, also when an exception passes.
class DepthGuard {
public:
    explicit DepthGuard(int& counter) : value(counter) { ++value; }
    ~DepthGuard() { --value; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& value;
};

bool IsWhite(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Decoded object streams are kept while they add up to no more than this: a document's
// objects are reached in no particular order, and decoding a stream again for every object
// taken from it makes a run many times slower.
constexpr size_t kObjStmCacheBytes = CPdfLimits::kObjStmCacheBytes;
constexpr size_t kObjStmCacheEntries = CPdfLimits::kObjStmCacheEntries;
// A stream decoded again after it was let go counts this fraction of its decoded bytes as
// reading work: the file made us decode it once, the cache's size made us decode it again, yet
// a file must not keep the reader decoding the same large streams in turn without bound.
constexpr int64_t kRedecodeShare = 16;
}  // namespace

CPdfXRef::CPdfXRef() = default;
CPdfXRef::~CPdfXRef() = default;

void CPdfXRef::Begin(CPdfFileStream* fileStream) {
    stream = fileStream;
    start = stream->GetStart();
    fileSize = stream->GetFileSize();
    maxEntries = std::min<int64_t>(kMaxEntries, fileSize + 100000);
}

void CPdfXRef::LoadRepaired(CPdfFileStream* fileStream) {
    Begin(fileStream);
    repair = std::make_unique<CPdfXRefRepair>(*this);
    repair->Rebuild();
}

bool CPdfXRef::RepairEntry(int32_t number) {
    if (number <= 0 || static_cast<size_t>(number) >= entries.size()) return false;
    if (!repair) repair = std::make_unique<CPdfXRefRepair>(*this);
    int32_t generation = 0;
    int64_t offset = repair->OffsetOf(number, generation);
    XRefEntry& e = entries[static_cast<size_t>(number)];
    if (offset < 0 || (e.Type() == 1 && e.Offset() == offset)) return false;
    if (e.Type() == 1 && e.Generation() != generation) return false;
    e = XRefEntry(offset, generation, 1);
    entriesMisplaced = true;
    return true;
}

void CPdfXRef::Load(CPdfFileStream* fileStream) {
    Begin(fileStream);
    int64_t offset = FindStartXRef();
    if (offset <= 0) throw CPdfException(CPdfMessages::kDamaged, "no startxref");
    int64_t prev = 0;
    bool more = ReadSection(offset, prev);
    while (more) {
        // A chain that comes back to a section already read, or that runs on without end,
        // ends here.
        if (prev <= 0 || visitedSections.count(prev) ||
            visitedSections.size() >= static_cast<size_t>(kMaxSections)) {
            break;
        }
        more = ReadSection(prev, prev);
    }
    if (trailer.kind != kindDictionary) throw CPdfException(CPdfMessages::kDamaged, "no trailer");
    CPdfObject root = trailer.dictValue->Get("Root");
    if (root.kind != kindReference)
        throw CPdfException(CPdfMessages::kDamaged, "no /Root in the trailer");
    rootNum = root.refNumber;
    rootGen = root.refGeneration;
    CPdfObject info = trailer.dictValue->Get("Info");
    if (info.kind == kindReference) {
        infoNum = info.refNumber;
        infoGen = info.refGeneration;
    }
    trailer.dictValue->xref = this;
}

int64_t CPdfXRef::FindStartXRef() {
    stream->SetPos(-1023, 2);
    char window[1024];
    int n = 0;
    while (n < 1023) {
        int c = stream->GetChar();
        if (c < 0) break;
        window[n++] = c == 0 ? ' ' : static_cast<char>(c);
    }
    window[n] = 0;
    for (int i = n - 9; i >= 0; --i) {
        if (std::memcmp(window + i, "startxref", 9) != 0) continue;
        int k = i + 9;
        while (k < n && IsWhite(static_cast<unsigned char>(window[k]))) ++k;
        // A number too large for an offset is no offset: the file is read as damaged.
        int64_t value = 0;
        if (!CPdfInteger::Read(window + k, window + n, value)) value = 0;
        startXRef = value;
        return startXRef;
    }
    return 0;
}

void CPdfXRef::Grow(int64_t count) {
    if (count > maxEntries) throw CPdfException(CPdfMessages::kXRefTooLarge);
    if (count > static_cast<int64_t>(entries.size())) entries.resize(static_cast<size_t>(count));
}

// Every object an object stream may hold has an index that an entry holds.
static_assert(CPdfLimits::kMaxObjStmObjects <= int64_t(XRefEntry::kMaxGeneration) + 1,
              "an entry holds every index in an object stream");

void CPdfXRef::Define(int64_t number, int64_t offset, int64_t generation, int type) {
    Grow(number + 1);
    XRefEntry& e = entries[static_cast<size_t>(number)];
    if (e.Offset() != -1) return;  // a newer section defined it already
    // An entry that holds no usable position stays defined (so older sections cannot
    // override it) but free.
    if (offset < 0 || generation < XRefEntry::kMinGeneration ||
        generation > XRefEntry::kMaxGeneration) {
        e = XRefEntry(-2, 0, 0);
        return;
    }
    e = XRefEntry(std::min(offset, XRefEntry::kMaxOffset), static_cast<int32_t>(generation), type);
}

bool CPdfXRef::TakePrev(const CPdfDictionary& dict, int64_t& prev) {
    // Only an integer links to an older section; a reference there is not an offset.
    CPdfObject p = dict.Get("Prev");
    if (p.kind != kindInteger) return false;
    prev = p.intValue;
    return true;
}

bool CPdfXRef::ReadSection(int64_t offset, int64_t& prev) {
    visitedSections.insert(offset);
    CPdfParser parser(nullptr, stream->MakeSubStream(Physical(offset), 0));
    CPdfObject first = parser.ParseObject();
    if (first.IsKeyword("xref")) return ReadTable(parser.PreviousEnd(), prev);
    if (first.kind != kindInteger) throw CPdfException(CPdfMessages::kXRefUnreadable);
    CPdfObject generation = parser.ParseObject();
    CPdfObject keyword = parser.ParseObject();
    CPdfObject object = generation.kind == kindInteger && keyword.IsKeyword("obj")
                            ? parser.ParseObject()
                            : CPdfObject(kindNull);
    if (object.kind != kindStream) throw CPdfException(CPdfMessages::kXRefStreamUnreadable);
    return ReadXRefStream(object, prev);
}

namespace {
// Reads the tokens of a classic table from the file through the lexer, with a fast way for
// the standard entries.
class TableScanner {
public:
    explicit TableScanner(const std::shared_ptr<CPdfStream>& s) : stream(s), lexer(s) {}

    // The next token's text where it is a keyword; isInteger tells whether it is an integer.
    const std::string& Next(bool& isInteger, int64_t& value) {
        lexer.NextToken(token);
        tokenStart = lexer.TokenStart();
        isInteger = token.kind == kindInteger;
        if (isInteger) value = token.intValue;
        if (token.kind != kindKeyword) token.textValue.clear();
        return token.textValue;
    }
    int64_t TokenStart() const { return tokenStart; }

    // A standard entry ("oooooooooo ggggg n" followed by white space) read straight from the
    // buffer, which is how nearly every table is written; false, with nothing consumed, for
    // anything else, which Next then reads token by token.
    bool FixedEntry(int64_t& offset, int64_t& generation, bool& inUse) {
        const uint8_t *p, *end;
        if (!stream->Window(p, end)) return false;
        while (p < end && CPdfLexer::ClassOf(*p) == CPdfLexer::whitespace) ++p;
        if (end - p < 19 || p[10] != ' ' || p[16] != ' ' || (p[17] != 'n' && p[17] != 'f') ||
            CPdfLexer::ClassOf(p[18]) != CPdfLexer::whitespace) {
            return false;
        }
        if (!Digits(p, 10, offset) || !Digits(p + 11, 5, generation)) return false;
        inUse = p[17] == 'n';
        stream->Advance(p + 18);
        return true;
    }

private:
    // Exactly count digits at p, without a sign.
    static bool Digits(const uint8_t* p, int count, int64_t& value) {
        return p[0] >= '0' && p[0] <= '9' && CPdfInteger::Read(p, p + count, value) == p + count;
    }
    std::shared_ptr<CPdfStream> stream;
    CPdfLexer lexer;  // reads the same stream: the fast way and the lexer take turns
    CPdfObject token;
    int64_t tokenStart = 0;
};
}  // namespace

namespace {
// One entry of a table written in some other way than the standard 20 bytes.
void ReadEntry(TableScanner& scanner, int64_t value[2], bool& inUse) {
    bool isInt[3];
    int64_t ignored = 0;
    scanner.Next(isInt[0], value[0]);
    scanner.Next(isInt[1], value[1]);
    const std::string& kw = scanner.Next(isInt[2], ignored);
    inUse = kw == "n";
    if (!isInt[0] || !isInt[1] || (!inUse && kw != "f")) {
        throw CPdfException(CPdfMessages::kXRefTableUnreadable);
    }
}
}  // namespace

bool CPdfXRef::ReadTable(int64_t position, int64_t& prev) {
    TableScanner scanner(stream->MakeSubStream(position, 0));
    std::vector<int64_t> freedHere;  // entries this table defined as free
    bool isInt[3];
    int64_t value[3] = {0, 0, 0};
    for (;;) {
        const std::string& word = scanner.Next(isInt[0], value[0]);
        if (word == "trailer") break;
        scanner.Next(isInt[1], value[1]);
        if (!isInt[0] || !isInt[1]) throw CPdfException(CPdfMessages::kXRefTableUnreadable);
        int64_t first = value[0], count = value[1];
        if (first < 0 || count < 0 || first > maxEntries || count > maxEntries) {
            throw CPdfException(CPdfMessages::kXRefSubsectionRange);
        }
        Grow(first + count);
        for (int64_t k = 0; k < count; ++k) {
            bool inUse = false;
            if (!scanner.FixedEntry(value[0], value[1], inUse)) ReadEntry(scanner, value, inUse);
            int64_t number = first + k;
            if (!inUse && entries[static_cast<size_t>(number)].Offset() == -1) {
                freedHere.push_back(number);
            }
            Define(number, value[0], value[1], inUse ? 1 : 0);
        }
    }
    CPdfParser parser(nullptr, stream->MakeSubStream(scanner.TokenStart(), 0));
    parser.ParseObject();  // "trailer"
    CPdfObject dict = parser.ParseObject();
    if (dict.kind != kindDictionary) throw CPdfException(CPdfMessages::kTrailerType);
    if (trailer.kind == kindNone) trailer = dict;
    CPdfObject hybrid = dict.dictValue->Get("XRefStm");
    if (hybrid.kind == kindInteger) {
        // The table of a hybrid file marks the objects that only its cross-reference stream
        // lists (those in object streams) as free: the stream's entries replace those.
        for (int64_t number : freedHere) entries[static_cast<size_t>(number)] = XRefEntry();
        ReadHybridStream(hybrid.intValue);
        for (int64_t number : freedHere) {
            XRefEntry& e = entries[static_cast<size_t>(number)];
            if (e.Offset() == -1) e = XRefEntry{0, 0, 0};
        }
    }
    return TakePrev(*dict.dictValue, prev);
}

void CPdfXRef::ReadHybridStream(int64_t offset) {
    if (offset <= 0 || visitedSections.count(offset)) return;
    visitedSections.insert(offset);
    CPdfParser parser(nullptr, stream->MakeSubStream(Physical(offset), 0));
    CPdfObject number = parser.ParseObject();
    CPdfObject generation = parser.ParseObject();
    CPdfObject keyword = parser.ParseObject();
    if (number.kind != kindInteger || generation.kind != kindInteger || !keyword.IsKeyword("obj")) {
        throw CPdfException(CPdfMessages::kXRefStreamUnreadable);
    }
    CPdfObject object = parser.ParseObject();
    if (object.kind != kindStream) throw CPdfException(CPdfMessages::kXRefStreamUnreadable);
    CPdfObject saved = trailer;
    int64_t ignored = 0;
    if (trailer.kind == kindNone) trailer = CPdfObject(kindNull);
    ReadXRefStream(object, ignored);
    trailer = saved;
}

bool CPdfXRef::ReadXRefStream(const CPdfObject& streamObject, int64_t& prev) {
    CPdfStream& data = *streamObject.streamValue;
    const CPdfDictionary* dict = streamObject.GetDict();
    if (!dict) throw CPdfException(CPdfMessages::kXRefSizeType);
    CPdfObject size = dict->Get("Size");
    if (size.kind != kindInteger) throw CPdfException(CPdfMessages::kXRefSizeType);
    if (size.intValue < 0) throw CPdfException(CPdfMessages::kXRefSubsectionRange);
    Grow(size.intValue);
    CPdfObject w = dict->Get("W");
    if (w.kind != kindArray) throw CPdfException(CPdfMessages::kXRefWType);
    if (w.arrayValue->GetCount() < 3) throw CPdfException(CPdfMessages::kXRefWLength);
    int widths[3];
    for (int i = 0; i < 3; ++i) {
        CPdfObject item = w.arrayValue->GetResolvedAt(i);
        if (item.kind != kindInteger) throw CPdfException(CPdfMessages::kXRefWType);
        if (item.intValue > 8) throw CPdfException(CPdfMessages::kXRefWRange);
        widths[i] = static_cast<int>(std::max<int64_t>(item.intValue, -1));
    }
    data.Reset();
    CPdfObject index = dict->Get("Index");
    if (index.kind == kindArray) {
        const CPdfArray& a = *index.arrayValue;
        for (size_t i = 0; i + 1 < a.GetCount(); i += 2) {
            CPdfObject f = a.GetResolvedAt(i), c = a.GetResolvedAt(i + 1);
            if (f.kind != kindInteger || c.kind != kindInteger) {
                throw CPdfException(CPdfMessages::kXRefIndexType);
            }
            ReadStreamSection(data, widths, f.intValue, c.intValue);
        }
    } else {
        ReadStreamSection(data, widths, 0, size.intValue);
    }
    if (trailer.kind == kindNone) {
        trailer = CPdfObject();
        trailer.SetDictionary(std::make_shared<CPdfDictionary>(*dict));
    }
    return TakePrev(*dict, prev);
}

void CPdfXRef::ReadStreamSection(CPdfStream& data, const int widths[3], int64_t first,
                                 int64_t count) {
    if (first < 0 || count < 0 || first > maxEntries || count > maxEntries) {
        throw CPdfException(CPdfMessages::kXRefSubsectionRange);
    }
    Grow(first + count);
    for (int64_t k = 0; k < count; ++k) {
        uint64_t fields[3] = {1, 0, 0};
        for (int f = 0; f < 3; ++f) {
            if (widths[f] < 0 && f == 0) fields[0] = 0;
            if (widths[f] <= 0) continue;
            uint64_t value = 0;
            for (int b = 0; b < widths[f]; ++b) {
                int c = data.GetChar();
                if (c < 0) throw CPdfException(CPdfMessages::kXRefStreamEnd);
                value = (value << 8) | static_cast<unsigned>(c);
            }
            fields[f] = value;
        }
        if (fields[0] > 2) {
            throw CPdfException(CPdfMessages::kXRefEntryType);
        }
        int64_t offset =
            fields[1] > static_cast<uint64_t>(INT64_MAX) ? -1 : static_cast<int64_t>(fields[1]);
        int64_t gen =
            fields[2] > static_cast<uint64_t>(INT32_MAX) ? -1 : static_cast<int64_t>(fields[2]);
        if (fields[0] == 0) gen = std::max<int64_t>(gen, 0);
        Define(first + k, fields[0] == 0 ? std::max<int64_t>(offset, 0) : offset, gen,
               static_cast<int>(fields[0]));
    }
}

CPdfObject CPdfXRef::Fetch(int32_t number, int32_t generation, CPdfScan* scan) {
    if (number < 0 || static_cast<size_t>(number) >= entries.size()) {
        throw CPdfException(CPdfMessages::kCorrupted);
    }
    if (fetchDepth >= kMaxFetchDepth) return CPdfObject(kindNull);
    DepthGuard guard(fetchDepth);
    const XRefEntry e = entries[static_cast<size_t>(number)];
    if (e.Type() == 1) {
        if (e.Generation() != generation) return CPdfObject(kindNull);
        CPdfObject out = FetchInBody(number, generation, e, scan);
        // An entry that does not point at its object: the object may stand elsewhere.
        if (out.kind == kindNone && RepairEntry(number)) {
            out = FetchInBody(number, generation, entries[static_cast<size_t>(number)], scan);
        }
        return out.kind == kindNone ? CPdfObject(kindNull) : out;
    }
    if (e.Type() == 2) {
        if (generation != 0) return CPdfObject(kindNull);
        size_t begin = 0, end = 0;
        std::shared_ptr<const CPdfObjStmBytes> objStm = GetObjStmBytes(number, begin, end);
        if (!objStm) return CPdfObject(kindNull);
        CPdfParser parser(this, std::make_shared<CPdfMemoryStream>(objStm->data, begin, end));
        parser.SetScan(scan);
        bytesParsed += static_cast<int64_t>(end - begin);
        return parser.ParseObject();
    }
    return CPdfObject(kindNull);
}

void CPdfXRef::SetDecryptor(const CPdfDecryptor* target) {
    decryptor = target;
    kinds.clear();
    objStmCache.clear();
    objStmIndex.clear();
    objStmCacheSize = 0;
}

CPdfKind CPdfXRef::KindOf(int32_t number, int32_t generation) {
    uint64_t key = static_cast<uint64_t>(static_cast<uint32_t>(number)) << 32 |
                   static_cast<uint32_t>(generation);
    auto it = kinds.find(key);
    if (it != kinds.end()) return it->second;
    CPdfScan scan;
    scan.buildArrays = 0;
    scan.buildDictionaries = 0;
    CPdfKind kind = Fetch(number, generation, &scan).kind;
    kinds.emplace(key, kind);
    return kind;
}

bool CPdfXRef::FetchShallow(int32_t number, int32_t generation, CPdfNodeEntries& out) {
    if (number < 0 || static_cast<size_t>(number) >= entries.size()) return false;
    const XRefEntry& e = entries[static_cast<size_t>(number)];
    if (e.Type() == 1) {
        if (e.Generation() != generation || e.Offset() < 0 || Physical(e.Offset()) >= fileSize)
            return false;
        if (!readAhead) readAhead = std::make_unique<CPdfReadAhead>(fileno(stream->GetFile()));
        // A page takes a few hundred bytes; a node with a long /Kids array is read again
        // with more bytes while it runs past them.
        for (size_t window = kShallowWindow; window <= CPdfReadAhead::kLargestWindow; window *= 4) {
            size_t got = 0;
            const char* text = readAhead->Window(Physical(e.Offset()), window, got);
            if (got == 0) return false;
            size_t used = 0;
            CPdfShallowReader::Result result = CPdfShallowReader::Read(
                text, std::min(got, window), true, number, generation, this, out, used);
            bytesParsed += static_cast<int64_t>(used);
            if (result != CPdfShallowReader::truncated || got < window) {
                return result == CPdfShallowReader::taken;
            }
            out.Reset();
        }
        return false;
    }
    if (e.Type() == 2 && generation == 0) {
        size_t begin = 0, end = 0;
        std::shared_ptr<const CPdfObjStmBytes> objStm = GetObjStmBytes(number, begin, end);
        if (!objStm) return false;
        // The object's bytes end where the next one starts; a space closes the last token.
        std::string text = objStm->data->substr(begin, end - begin) + " ";
        size_t used = 0;
        bool taken = CPdfShallowReader::Read(text.data(), text.size(), false, number, generation,
                                             this, out, used) == CPdfShallowReader::taken;
        bytesParsed += static_cast<int64_t>(used);
        return taken;
    }
    return false;
}

// The object at the entry's offset; kindNone when the header there is not "number
// generation obj".
CPdfObject CPdfXRef::FetchInBody(int32_t number, int32_t generation, const XRefEntry& e,
                                 CPdfScan* scan) {
    if (e.Offset() < 0 || Physical(e.Offset()) >= fileSize) return CPdfObject();
    CPdfParser parser(this, stream->MakeSubStream(Physical(e.Offset()), 0));
    CPdfObject n = parser.ParseObject();
    CPdfObject g = parser.ParseObject();
    CPdfObject kw = parser.ParseObject();
    if (n.kind != kindInteger || n.intValue != number || g.kind != kindInteger ||
        g.intValue != generation || !kw.IsKeyword("obj")) {
        return CPdfObject();
    }
    parser.SetScan(scan);
    if (decryptor) parser.SetDecryption(decryptor, number, generation);
    CPdfObject value = parser.ParseObject();
    // Stream data is stepped over, not read.
    int64_t end = parser.StreamDataStart() >= 0 ? parser.StreamDataStart() : parser.PreviousEnd();
    bytesParsed += std::max<int64_t>(0, end - Physical(e.Offset()));
    return value.kind == kindNone ? CPdfObject(kindNull) : value;
}

std::shared_ptr<const CPdfObjStmBytes> CPdfXRef::GetObjStmBytes(int32_t number, size_t& begin,
                                                                size_t& end) {
    if (number < 0 || static_cast<size_t>(number) >= entries.size()) return nullptr;
    const XRefEntry e = entries[static_cast<size_t>(number)];
    if (e.Type() != 2) return nullptr;
    // An object stream must itself lie in the file body, and must not be one that is
    // being loaded right now (a stream that contains itself).
    if (e.Offset() < 0 || e.Offset() >= static_cast<int64_t>(entries.size()) ||
        e.Offset() == number) {
        return nullptr;
    }
    int32_t streamNumber = static_cast<int32_t>(e.Offset());
    if (entries[static_cast<size_t>(streamNumber)].Type() != 1) return nullptr;
    std::shared_ptr<const CPdfObjStmBytes> found;
    auto cached = objStmIndex.find(streamNumber);
    if (cached != objStmIndex.end()) {
        objStmCache.splice(objStmCache.begin(), objStmCache, cached->second);
        found = objStmCache.front();
    } else {
        if (loadingStreams.count(streamNumber)) return nullptr;
        loadingStreams.insert(streamNumber);
        try {
            found = std::make_shared<CPdfObjStmBytes>(*this, streamNumber);
            const int64_t decoded = static_cast<int64_t>(found->data->size());
            bytesParsed +=
                decodedStreams.insert(streamNumber).second ? decoded : decoded / kRedecodeShare;
        } catch (...) {
            loadingStreams.erase(streamNumber);
            throw;
        }
        loadingStreams.erase(streamNumber);
        objStmCache.push_front(found);
        objStmIndex[streamNumber] = objStmCache.begin();
        objStmCacheSize += found->data->size();
        // The least recently used streams go first; the newest one always stays.
        while (objStmCache.size() > 1 &&
               (objStmCacheSize > kObjStmCacheBytes || objStmCache.size() > kObjStmCacheEntries)) {
            objStmCacheSize -= objStmCache.back()->data->size();
            objStmIndex.erase(objStmCache.back()->streamNum);
            objStmCache.pop_back();
        }
    }
    if (!found->Find(number, e.Generation(), begin, end)) return nullptr;
    return found;
}
