#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

#include "CPdfLimits.h"
#include "file/CPdfObjStmBytes.h"
#include "file/XRefEntry.h"
#include "object/CPdfObject.h"
#include "object/CPdfResolver.h"

class CPdfFileStream;
class CPdfNodeEntries;
class CPdfParser;
class CPdfReadAhead;
class CPdfDecryptor;
class CPdfStream;
class CPdfXRefRepair;
struct CPdfScan;

// The source document's object store: its cross-reference table (where every object lives),
// the objects fetched by number through it (the resolver of every value read from the file),
// and the cache of decoded object streams. Load reads the section at "startxref" and every
// older one through /Prev (classic tables, cross-reference streams, and the stream that a
// hybrid file's /XRefStm names); the newest definition of an entry wins.
class CPdfXRef final : public CPdfResolver {
public:
    CPdfXRef();
    CPdfXRef(const CPdfXRef&) = delete;
    CPdfXRef& operator=(const CPdfXRef&) = delete;
    ~CPdfXRef();

    // Builds the whole table from the document's file stream. Throws CPdfException.
    void Load(CPdfFileStream* fileStream);
    // Builds the table by scanning a damaged file for its objects instead. Throws
    // "PDF file was damaged" when no catalog can be found.
    void LoadRepaired(CPdfFileStream* fileStream);
    // Looks for the header of object number elsewhere in the file when its entry does not
    // point at it; true when the entry was corrected (and entriesMisplaced is then set).
    bool RepairEntry(int32_t number);
    // The "startxref" value from the last 1023 bytes of the file, 0 when there is none.
    int64_t FindStartXRef();

    // The object numbered number with that generation, or null when it cannot be had.
    // Throws "Corrupted PDF file" for a number outside the table.
    CPdfObject Fetch(int32_t number, int32_t generation) override {
        return Fetch(number, generation, nullptr);
    }
    // As Fetch; with a scan, the object is read in the parser's scanning mode (see CPdfScan).
    CPdfObject Fetch(int32_t number, int32_t generation, CPdfScan* scan);

    // The kind of the object numbered number with that generation (kindNull when it cannot
    // be had), read once and remembered. Throws as Fetch does.
    CPdfKind KindOf(int32_t number, int32_t generation);

    // Reads a plain dictionary object quickly (see CPdfShallowReader); false when the object is
    // not one that the quick reader takes, and Fetch must be used.
    bool FetchShallow(int32_t number, int32_t generation, CPdfNodeEntries& out);

    // The decoded object stream that holds compressed object number, with the object's byte
    // range; nullptr when it cannot be had.
    std::shared_ptr<const CPdfObjStmBytes> GetObjStmBytes(int32_t number, size_t& begin,
                                                          size_t& end);

    // Makes Fetch decrypt the strings and streams of objects stored in the file body (and so
    // object streams) with target (the security handler), which must know the key and outlive
    // the table; nullptr reads them as stored. Forgets what was read before.
    void SetDecryptor(const CPdfDecryptor* target);

    // The file stream that the table reads through.
    CPdfFileStream* GetStream() const { return stream; }
    // Physical file position of an offset found in the file; an offset too large to move by
    // the header's position stays past the end of any file.
    int64_t Physical(int64_t offset) const {
        return offset > INT64_MAX - start ? INT64_MAX : start + offset;
    }

    CPdfFileStream* stream = nullptr;
    int64_t start = 0;
    std::vector<XRefEntry> entries;
    int32_t rootNum = 0, rootGen = 0;
    int32_t infoNum = 0, infoGen = 0;
    CPdfObject trailer;
    int64_t startXRef = 0;
    int64_t fileSize = 0;
    // Bytes of object text parsed (and of object streams decoded, a share of them when decoded
    // again) so far: the reading work done, which a caller may bound.
    int64_t bytesParsed = 0;
    // An entry was found not to point at the object it names: the table is not to be trusted.
    bool entriesMisplaced = false;

    // Most entries a table may have (also bounded by the file's size).
    static constexpr int64_t kMaxEntries = CPdfLimits::kMaxXRefEntries;
    // Most sections a /Prev chain may have.
    static constexpr int kMaxSections = CPdfLimits::kMaxXRefSections;
    // Deepest nesting of fetches (an object whose /Length is another object, and so on).
    static constexpr int kMaxFetchDepth = CPdfLimits::kMaxFetchDepth;
    // Bytes of an object that the quick reader looks at.
    static constexpr size_t kShallowWindow = CPdfLimits::kShallowWindow;

private:
    // Reads the section at offset; returns whether it names a previous section, in prev.
    bool ReadSection(int64_t offset, int64_t& prev);
    // Reads a classic table whose entries start at file position position (after "xref").
    bool ReadTable(int64_t position, int64_t& prev);
    bool ReadXRefStream(const CPdfObject& streamObject, int64_t& prev);
    void ReadStreamSection(CPdfStream& data, const int widths[3], int64_t first, int64_t count);
    // Reads the cross-reference stream that a hybrid file's trailer names with /XRefStm.
    void ReadHybridStream(int64_t offset);
    // Grows the table to hold count entries, within the limits.
    void Grow(int64_t count);
    void Define(int64_t number, int64_t offset, int64_t generation, int type);
    bool TakePrev(const CPdfDictionary& dict, int64_t& prev);

    void Begin(CPdfFileStream* fileStream);
    CPdfObject FetchInBody(int32_t number, int32_t generation, const XRefEntry& e, CPdfScan* scan);

    std::set<int64_t> visitedSections;
    std::unique_ptr<CPdfXRefRepair> repair;
    std::unique_ptr<CPdfReadAhead> readAhead;  // for FetchShallow
    const CPdfDecryptor* decryptor = nullptr;
    int fetchDepth = 0;
    std::set<int32_t> loadingStreams;
    std::set<int32_t> decodedStreams;              // object streams decoded at least once
    std::unordered_map<uint64_t, CPdfKind> kinds;  // KindOf's answers, by number and generation
    std::list<std::shared_ptr<const CPdfObjStmBytes>> objStmCache;  // most recent first
    std::unordered_map<int32_t, std::list<std::shared_ptr<const CPdfObjStmBytes>>::iterator>
        objStmIndex;             // objStmCache's entries by stream number
    size_t objStmCacheSize = 0;  // decoded bytes in objStmCache
    int64_t maxEntries = kMaxEntries;
};
