#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "object/CPdfTextSpan.h"
#include "stream/CPdfReadAhead.h"

class CPdfObject;
class CPdfOutputFile;
class CPdfReferenceMap;
class CPdfSecurity;
struct CPdfScan;
class CPdfParser;
class CPdfXRef;

// What the split job needs to know of one source object to copy it: where its value lies,
// which objects it refers to and where, and whether it is a page or a page tree node.
struct CPdfObjectInfo {
    bool present = false;     // the object can be copied
    bool compressed = false;  // it lies in an object stream
    bool hasPages = false;    // it is a page tree node: /Type /Pages
    bool hasPage = false;     // it is a page: /Type /Page
    bool isStream = false;
    int32_t generation = 0;
    int32_t parent = 0;  // the object a top-level /Parent refers to; 0 when there is none
    // The value's bytes: a file position, or for a compressed object a position in the
    // decoded object stream; for a stream, through its dictionary's ">>".
    int64_t valueStart = 0;
    int64_t valueLength = 0;
    // A stream's data in the file.
    int64_t dataStart = 0;
    int64_t dataLength = 0;
    // A stream's /Length value, from the value's first byte (lengthEnd 0: none).
    uint32_t lengthAt = 0;
    uint32_t lengthEnd = 0;
    std::vector<CPdfTextSpan> refs;  // from the value's first byte, in text order
    // The strings in the value, in text order (number and generation unused); found only for
    // an index that re-encrypts.
    std::vector<CPdfTextSpan> strings;
};

// Finds and remembers, per source object number, where the object's value lies and which
// references it holds, so that each object is located and scanned once per run however many
// output files need it; and writes objects into outputs, byte for byte apart from the
// references, which a CPdfReferenceMap turns into the output's. Raw bytes are read through
// the split job's own handle on the source file.
class CPdfObjectIndex {
public:
    CPdfObjectIndex(CPdfXRef& xref, FILE* source);

    // The information on object number; an object that cannot be copied (free, missing,
    // unreadable) comes back with present false. Throws what reading the source throws.
    CPdfObjectInfo Get(int32_t number);

    // The object's value text (for a stream, its dictionary); empty when it has none.
    std::string ReadValue(int32_t number);

    // Makes WriteObject re-encrypt with security (which knows the file key and outlives the
    // index): every string and stream data is decrypted as stored in the source (an object of
    // an object stream is stored in clear) and encrypted for its output number, generation 0.
    // To be called before the first Get. With encrypt false every string and stream data is
    // only decrypted: the output is in clear.
    void SetReencryption(const CPdfSecurity* target, bool encrypt = true) {
        security = target;
        encryptOutput = encrypt;
    }

    // Makes WriteObject Flate-compress the data of streams that the source stores without a
    // filter (not XMP metadata, external files or streams with decode parameters), where
    // that saves bytes. Only for a source in clear: encrypted data must stay as stored.
    void SetCompression(bool on) { compressPlain = on; }

    // Writes object number as output object outNumber, generation outGeneration: its value
    // with every reference passed through map, a stream's /Length set to its data's length
    // and its data copied in blocks (re-encrypted, see SetReencryption). Nothing is written
    // for an object that is not present.
    // Throws "Output file write error", or "Corrupted PDF file" when the source ends early.
    void WriteObject(int32_t number, int32_t outNumber, int32_t outGeneration,
                     CPdfReferenceMap& map, CPdfOutputFile& out);

    // The value text of object number (not a stream) for output object outNumber: compact,
    // its references passed through map, its strings (when re-encrypting) encrypted for
    // outNumber, or with outNumber 0 (the object goes into an object stream, which is
    // encrypted as a whole) decrypted and left in clear. Empty for an object that is not
    // present or is a stream. Throws as WriteObject.
    std::string ValueText(int32_t number, int32_t outNumber, CPdfReferenceMap& map);

    // Collects the numbers of all references inside a value, in order.
    static void CollectReferences(const CPdfObject& value, std::vector<int32_t>& refs);

private:
    void Locate(int32_t number, CPdfObjectInfo& info);
    void LocateInBody(int32_t number, CPdfObjectInfo& info, bool retried = false);
    void LocateCompressed(int32_t number, CPdfObjectInfo& info);
    // Parses the value at the parser, recording its place, references, strings and page keys
    // into info; end is where it ends. False for a value that cannot be written again.
    bool ScanValue(CPdfParser& parser, CPdfScan& scan, CPdfObject& value, int64_t& end,
                   CPdfObjectInfo& info) const;
    // Finds a stream's data after its keyword "stream" (which ends at keywordEnd): where
    // /Length says when "endstream" follows it there, else up to the first "endstream". False
    // when there is no data to be found.
    bool LocateStreamData(int64_t keywordEnd, const CPdfObject& length, CPdfObjectInfo& info);
    // The value text of object number, compact, with its references passed through map, its
    // strings re-encrypted for output object outNumber (0: left in clear) and a stream's
    // /Length set to dataLength.
    std::string Rewritten(int32_t number, const CPdfObjectInfo& info, const std::string& value,
                          int32_t outNumber, CPdfReferenceMap& map, int64_t dataLength);
    // A string of object number, as its text stands in value at span, decrypted, encrypted
    // for output object outNumber (left in clear when it is 0) and written as a string.
    std::string ReencryptedString(int32_t number, const CPdfObjectInfo& info,
                                  const std::string& value, const CPdfTextSpan& span,
                                  int32_t outNumber);
    // The data of stream object number (with dictionary text value) re-encrypted for output
    // object outNumber.
    std::string ReencryptedData(int32_t number, const CPdfObjectInfo& info,
                                const std::string& value, int32_t outNumber);

    // The data of stream object number Flate-compressed, or empty when it stays as stored:
    // compression is off, its dictionary (text value) names a filter, decode parameters, an
    // external file or XMP metadata, or compressing would not save enough.
    std::string CompressedData(int32_t number, const CPdfObjectInfo& info,
                               const std::string& value);

    // count bytes of the source at position (fewer at its end); small reads come from the
    // read-ahead block.
    std::string ReadAt(int64_t position, size_t count);

    // Appends the record of object number to the blocks; returns its slot.
    uint32_t Store(int32_t number, const CPdfObjectInfo& info);
    CPdfObjectInfo Load(int32_t number, uint32_t slot) const;
    // Where the value of object number is counted from in its record: the file position its
    // entry gives (its value follows its "n g obj"), or 0 in an object stream.
    int64_t Base(int32_t number, const CPdfObjectInfo& info) const;

    CPdfXRef& xref;
    FILE* source;
    // The small reads of objects lying close together (a font's glyph programs, say) share
    // their reads of the file.
    CPdfReadAhead ahead;
    const CPdfSecurity* security = nullptr;
    bool encryptOutput = true;
    bool compressPlain = false;
    // The compressed data of streams written before, by object number, for outputs that share
    // them; its bytes are bounded by kMaxCompressedCacheBytes.
    std::unordered_map<int32_t, std::string> compressed;
    size_t compressedBytes = 0;
    // What was found of each object, by number: 0 not looked at yet, kAbsent not present,
    // else the place of its record (block index + 1, then the position in the block, 16 bits).
    // A record is a run of variable-length numbers, about a dozen bytes for most objects: the
    // index of a large document's objects costs little memory.
    std::vector<uint32_t> slots;
    std::vector<std::unique_ptr<uint8_t[]>> blocks;
    size_t blockUsed = 0;  // bytes used of the last block

    static constexpr uint32_t kAbsent = 1;
    static constexpr size_t kBlockSize = size_t(1) << 16;
};
