#include "file/CPdfObjectIndex.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "CPdfException.h"
#include "CPdfLimits.h"
#include "CPdfMessages.h"
#include "file/CPdfOutputFile.h"
#include "file/CPdfRawText.h"
#include "file/CPdfSecurity.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfLexer.h"
#include "object/CPdfObjectWriter.h"
#include "object/CPdfParser.h"
#include "object/CPdfReferenceMap.h"
#include "object/CPdfScan.h"
#include "stream/CPdfDeflate.h"
#include "stream/CPdfFileStream.h"
#include "stream/CPdfMemoryStream.h"

namespace {

// Whether a parsed value is one (and not a keyword, an error or the end of the bytes).
bool IsValue(const CPdfObject& value) {
    return value.kind != kindKeyword && value.kind != kindError && value.kind != kindEnd &&
           value.kind != kindNone;
}

// The scan's spans counted from the value's first byte, at valueStart.
std::vector<CPdfTextSpan> Relative(std::vector<CPdfTextSpan> spans, int64_t valueStart) {
    for (CPdfTextSpan& s : spans) {
        s.start -= valueStart;
        s.end -= valueStart;
    }
    return spans;
}

// "n g R", or "null" when the map drops the reference.
void AppendReference(std::string& out, int32_t number, int32_t generation, CPdfReferenceMap& map) {
    if (!map.Map(number, generation)) {
        out += "null";
        return;
    }
    out += CPdfObjectWriter::ReferenceText(number, generation);
}

// Whether the first token of text is the keyword word.
bool StartsWithKeyword(const std::string& text, const char* word) {
    CPdfLexer::Span span = CPdfLexer::NextSpan(text.data(), text.size(), 0);
    return span.kind == CPdfLexer::spanWord &&
           text.compare(span.start, span.end - span.start, word) == 0;
}
}  // namespace

CPdfObjectIndex::CPdfObjectIndex(CPdfXRef& table, FILE* file)
    : xref(table), source(file), ahead(fileno(file)) {}

std::string CPdfObjectIndex::ReadAt(int64_t position, size_t count) {
    if (count > CPdfReadAhead::kBlockSize) return CPdfRawText::ReadAt(source, position, count);
    size_t got = 0;
    const char* bytes = ahead.Window(position, count, got);
    return got == 0 ? std::string() : std::string(bytes, std::min(got, count));
}

CPdfObjectInfo CPdfObjectIndex::Get(int32_t number) {
    if (number <= 0 || static_cast<size_t>(number) >= xref.entries.size()) {
        return CPdfObjectInfo();
    }
    if (slots.size() < xref.entries.size()) slots.resize(xref.entries.size(), 0);
    uint32_t& slot = slots[static_cast<size_t>(number)];
    if (slot == 0) {
        CPdfObjectInfo info;
        Locate(number, info);
        const uint32_t stored = info.present ? Store(number, info) : kAbsent;
        slots[static_cast<size_t>(number)] = stored;  // Locate may have grown slots
        return info;
    }
    return slot == kAbsent ? CPdfObjectInfo() : Load(number, slot);
}

namespace {
enum RecordFlags : uint8_t {
    flagCompressed = 1,
    flagPages = 2,
    flagPage = 4,
    flagStream = 8,
    flagParent = 16,
};

void PutNumber(std::vector<uint8_t>& out, uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<uint8_t>(value));
}

uint64_t TakeNumber(const uint8_t*& at) {
    uint64_t value = 0;
    for (int shift = 0;; shift += 7) {
        const uint8_t byte = *at++;
        value |= static_cast<uint64_t>(byte & 0x7F) << shift;
        if (byte < 0x80) return value;
    }
}

// Spans in text order as distances: from the end of the one before, and their length.
void PutSpans(std::vector<uint8_t>& out, const std::vector<CPdfTextSpan>& spans, bool refs) {
    PutNumber(out, spans.size());
    int64_t end = 0;
    for (const CPdfTextSpan& span : spans) {
        PutNumber(out, static_cast<uint64_t>(span.start - end));
        PutNumber(out, static_cast<uint64_t>(span.end - span.start));
        if (refs) {
            PutNumber(out, static_cast<uint32_t>(span.number));
            PutNumber(out, static_cast<uint32_t>(span.generation));
        }
        end = span.end;
    }
}

void TakeSpans(const uint8_t*& at, std::vector<CPdfTextSpan>& spans, bool refs) {
    spans.resize(static_cast<size_t>(TakeNumber(at)));
    int64_t end = 0;
    for (CPdfTextSpan& span : spans) {
        span.start = end + static_cast<int64_t>(TakeNumber(at));
        span.end = span.start + static_cast<int64_t>(TakeNumber(at));
        if (refs) {
            span.number = static_cast<int32_t>(TakeNumber(at));
            span.generation = static_cast<int32_t>(TakeNumber(at));
        }
        end = span.end;
    }
}
}  // namespace

int64_t CPdfObjectIndex::Base(int32_t number, const CPdfObjectInfo& info) const {
    if (info.compressed) return 0;
    return xref.Physical(xref.entries[static_cast<size_t>(number)].Offset());
}

uint32_t CPdfObjectIndex::Store(int32_t number, const CPdfObjectInfo& info) {
    std::vector<uint8_t> record;
    record.push_back(static_cast<uint8_t>(
        (info.compressed ? flagCompressed : 0) | (info.hasPages ? flagPages : 0) |
        (info.hasPage ? flagPage : 0) | (info.isStream ? flagStream : 0) |
        (info.parent > 0 ? flagParent : 0)));
    PutNumber(record, static_cast<uint32_t>(info.generation));
    if (info.parent > 0) PutNumber(record, static_cast<uint32_t>(info.parent));
    // An object in the file body is stored as the distance from where its entry points.
    PutNumber(record, static_cast<uint64_t>(info.valueStart - Base(number, info)));
    PutNumber(record, static_cast<uint64_t>(info.valueLength));
    if (info.isStream) {
        PutNumber(record, static_cast<uint64_t>(info.dataStart - info.valueStart));
        PutNumber(record, static_cast<uint64_t>(info.dataLength));
        PutNumber(record, info.lengthAt);
        PutNumber(record, info.lengthEnd - info.lengthAt);
    }
    PutSpans(record, info.refs, true);
    PutSpans(record, info.strings, false);
    // A record never straddles two blocks; one larger than a block gets a block of its own.
    if (blocks.empty() || blockUsed + record.size() > kBlockSize) {
        if (blocks.size() >= 0xFFFF) throw CPdfException(CPdfMessages::kCorrupted);
        blocks.emplace_back(new uint8_t[std::max(kBlockSize, record.size())]);
        blockUsed = 0;
    }
    const uint32_t slot = static_cast<uint32_t>(blocks.size() << 16 | blockUsed);
    std::copy(record.begin(), record.end(), blocks.back().get() + blockUsed);
    blockUsed = record.size() > kBlockSize ? kBlockSize : blockUsed + record.size();
    return slot;
}

CPdfObjectInfo CPdfObjectIndex::Load(int32_t number, uint32_t slot) const {
    const uint8_t* at = blocks[(slot >> 16) - 1].get() + (slot & 0xFFFF);
    CPdfObjectInfo info;
    info.present = true;
    const uint8_t flags = *at++;
    info.compressed = flags & flagCompressed;
    info.hasPages = flags & flagPages;
    info.hasPage = flags & flagPage;
    info.isStream = flags & flagStream;
    info.generation = static_cast<int32_t>(TakeNumber(at));
    if (flags & flagParent) info.parent = static_cast<int32_t>(TakeNumber(at));
    info.valueStart = Base(number, info) + static_cast<int64_t>(TakeNumber(at));
    info.valueLength = static_cast<int64_t>(TakeNumber(at));
    if (info.isStream) {
        info.dataStart = info.valueStart + static_cast<int64_t>(TakeNumber(at));
        info.dataLength = static_cast<int64_t>(TakeNumber(at));
        info.lengthAt = static_cast<uint32_t>(TakeNumber(at));
        info.lengthEnd = info.lengthAt + static_cast<uint32_t>(TakeNumber(at));
    }
    TakeSpans(at, info.refs, true);
    TakeSpans(at, info.strings, false);
    return info;
}

void CPdfObjectIndex::Locate(int32_t number, CPdfObjectInfo& info) {
    if (number <= 0 || static_cast<size_t>(number) >= xref.entries.size()) return;
    const XRefEntry& e = xref.entries[static_cast<size_t>(number)];
    if (e.Type() == 1) LocateInBody(number, info);
    if (e.Type() == 2) LocateCompressed(number, info);
}

void CPdfObjectIndex::CollectReferences(const CPdfObject& value, std::vector<int32_t>& refs) {
    // Iterative, so that no nesting of containers can exhaust the call stack.
    std::vector<const CPdfObject*> work{&value};
    while (!work.empty()) {
        const CPdfObject* v = work.back();
        work.pop_back();
        switch (v->kind) {
            case kindReference:
                refs.push_back(v->refNumber);
                break;
            case kindArray:
                for (size_t i = v->arrayValue->GetCount(); i-- > 0;) {
                    work.push_back(&v->arrayValue->GetAt(i));
                }
                break;
            case kindDictionary: {
                std::vector<const CPdfObject*> items;
                for (const auto& entry : v->dictValue->entries) items.push_back(&entry.second);
                for (size_t i = items.size(); i-- > 0;) work.push_back(items[i]);
                break;
            }
            case kindStream:
                if (v->GetDict()) {
                    for (const auto& entry : v->GetDict()->entries) {
                        std::vector<int32_t> inner;
                        CollectReferences(entry.second, inner);
                        refs.insert(refs.end(), inner.begin(), inner.end());
                    }
                }
                break;
            default:
                break;
        }
    }
}

void CPdfObjectIndex::LocateInBody(int32_t number, CPdfObjectInfo& info, bool retried) {
    const XRefEntry& e = xref.entries[static_cast<size_t>(number)];
    int64_t position = xref.Physical(e.Offset());
    if (e.Offset() < 0 || position >= xref.fileSize) {
        if (!retried && xref.RepairEntry(number)) LocateInBody(number, info, true);
        return;
    }
    CPdfParser parser(&xref, xref.GetStream()->MakeSubStream(position, 0));
    CPdfObject n = parser.ParseObject();
    CPdfObject g = parser.ParseObject();
    CPdfObject kw = parser.ParseObject();
    if (n.kind != kindInteger || n.intValue != number || g.kind != kindInteger ||
        g.intValue != e.Generation() || !kw.IsKeyword("obj")) {
        // The entry does not point at this object; it may stand elsewhere in the file.
        if (!retried && xref.RepairEntry(number)) LocateInBody(number, info, true);
        return;
    }
    CPdfScan scan;
    CPdfObject value;
    int64_t end = 0;
    if (!ScanValue(parser, scan, value, end, info)) return;
    info.generation = e.Generation();
    if (scan.streamFollows) {
        info.isStream = true;
        if (scan.length.end > scan.length.start) {
            info.lengthAt = static_cast<uint32_t>(scan.length.start - info.valueStart);
            info.lengthEnd = static_cast<uint32_t>(scan.length.end - info.valueStart);
        }
        CPdfObject length =
            value.kind == kindDictionary ? value.dictValue->Get("Length") : CPdfObject(kindNull);
        if (!LocateStreamData(scan.streamKeywordEnd, length, info)) return;
    }
    info.present = true;
}

bool CPdfObjectIndex::LocateStreamData(int64_t keywordEnd, const CPdfObject& length,
                                       CPdfObjectInfo& info) {
    std::string after = ReadAt(keywordEnd, 64);
    info.dataStart =
        keywordEnd + static_cast<int64_t>(CPdfLexer::StreamDataOffset(after.data(), after.size()));

    CPdfObject value(kindNull);
    try {
        value = length.Resolve(&xref);
    } catch (const CPdfException&) {
        // a /Length that names no object: the data is found by its end
    }
    if (value.kind == kindInteger && value.intValue >= 0 &&
        value.intValue <= xref.fileSize - info.dataStart) {
        std::string tail = ReadAt(info.dataStart + value.intValue, 64);
        if (StartsWithKeyword(tail, "endstream")) {
            info.dataLength = value.intValue;
            return true;
        }
    }
    // The data does not end where /Length says: it runs to the first "endstream", without
    // the end of line that comes before it.
    int64_t hit = CPdfRawText::FindPatternInFile(source, info.dataStart, "endstream", 9);
    if (hit == 0) return false;
    int64_t end = hit - 8;
    std::string before = ReadAt(std::max(info.dataStart, end - 2), 2);
    if (before.size() == 2 && before == "\r\n") {
        end -= 2;
    } else if (!before.empty() && (before.back() == '\n' || before.back() == '\r')) {
        end -= 1;
    }
    info.dataLength = std::max<int64_t>(0, end - info.dataStart);
    return true;
}

void CPdfObjectIndex::LocateCompressed(int32_t number, CPdfObjectInfo& info) {
    size_t begin = 0, end = 0;
    std::shared_ptr<const CPdfObjStmBytes> objStm = xref.GetObjStmBytes(number, begin, end);
    if (!objStm || end <= begin) return;
    CPdfParser parser(&xref, std::make_shared<CPdfMemoryStream>(objStm->data, begin, end));
    CPdfScan scan;
    CPdfObject value;
    int64_t stop = 0;
    if (!ScanValue(parser, scan, value, stop, info)) return;
    info.compressed = true;
    info.present = true;
}

bool CPdfObjectIndex::ScanValue(CPdfParser& parser, CPdfScan& scan, CPdfObject& value, int64_t& end,
                                CPdfObjectInfo& info) const {
    scan.stopAtStream = true;
    scan.wantStrings = security != nullptr;
    parser.SetScan(&scan);
    const int64_t start = parser.CurrentStart();
    try {
        value = parser.ParseObject();
    } catch (const CPdfException&) {
        return false;  // nested too deeply to be written again
    }
    if (!IsValue(value)) return false;
    // The value ends with its last token (a stream's with its dictionary): the white space
    // after it is not kept.
    end = scan.streamFollows ? scan.dictionaryEnd : parser.PreviousEnd();
    if (end - start <= 0 || end - start > std::numeric_limits<uint32_t>::max()) return false;
    info.valueStart = start;
    info.valueLength = end - start;
    info.refs = Relative(scan.refs, start);
    info.strings = Relative(scan.strings, start);
    info.hasPage = scan.hasPage;
    info.hasPages = scan.hasPages;
    if (value.kind == kindDictionary) {
        const CPdfObject parent = value.dictValue->Get("Parent");
        if (parent.kind == kindReference && parent.refNumber > 0) info.parent = parent.refNumber;
    }
    return true;
}

std::string CPdfObjectIndex::ReadValue(int32_t number) {
    const CPdfObjectInfo info = Get(number);
    if (!info.present) return std::string();
    if (info.compressed) {
        size_t begin = 0, end = 0;
        std::shared_ptr<const CPdfObjStmBytes> objStm = xref.GetObjStmBytes(number, begin, end);
        size_t at = static_cast<size_t>(info.valueStart);
        if (!objStm || at + static_cast<size_t>(info.valueLength) > objStm->data->size()) {
            return std::string();
        }
        return objStm->data->substr(at, static_cast<size_t>(info.valueLength));
    }
    std::string text = ReadAt(info.valueStart, static_cast<size_t>(info.valueLength));
    if (static_cast<int64_t>(text.size()) != info.valueLength) {
        throw CPdfException(CPdfMessages::kCorrupted);
    }
    return text;
}

std::string CPdfObjectIndex::ReencryptedString(int32_t number, const CPdfObjectInfo& info,
                                               const std::string& value, const CPdfTextSpan& span,
                                               int32_t outNumber) {
    auto text = std::make_shared<const std::string>(value, static_cast<size_t>(span.start),
                                                    static_cast<size_t>(span.end - span.start));
    CPdfParser parser(nullptr, std::make_shared<CPdfMemoryStream>(text, 0, text->size()));
    CPdfObject string = parser.ParseObject();
    std::string bytes = string.kind == kindString ? string.stringValue.Bytes() : std::string();
    if (!info.compressed) bytes = security->DecryptString(bytes, number, info.generation);
    // In an object stream the string is stored in clear: the stream is encrypted as a whole.
    if (outNumber > 0 && encryptOutput) bytes = security->EncryptString(bytes, outNumber);
    return CPdfObjectWriter::StringText(bytes);
}

std::string CPdfObjectIndex::ReencryptedData(int32_t number, const CPdfObjectInfo& info,
                                             const std::string& value, int32_t outNumber) {
    std::string data = ReadAt(info.dataStart, static_cast<size_t>(info.dataLength));
    if (static_cast<int64_t>(data.size()) != info.dataLength) {
        throw CPdfException(CPdfMessages::kCorrupted);
    }
    // The dictionary names the crypt filter; its references resolve through the table.
    auto text = std::make_shared<const std::string>(value);
    CPdfParser parser(&xref, std::make_shared<CPdfMemoryStream>(text, 0, text->size()));
    CPdfObject dict = parser.ParseObject();
    const CPdfDictionary* streamDict = dict.kind == kindDictionary ? dict.dictValue.get() : nullptr;
    data = security->DecryptStreamData(data, streamDict, number, info.generation);
    return encryptOutput ? security->EncryptStreamData(data, streamDict, outNumber) : data;
}

std::string CPdfObjectIndex::CompressedData(int32_t number, const CPdfObjectInfo& info,
                                            const std::string& value) {
    if (!compressPlain || info.dataLength < 64 ||
        info.dataLength > CPdfLimits::kMaxCompressedStreamBytes) {
        return std::string();
    }
    auto known = compressed.find(number);
    if (known != compressed.end()) return known->second;
    // Decided on the dictionary's own text: a /Filter given by reference counts as a filter.
    auto text = std::make_shared<const std::string>(value);
    CPdfParser parser(nullptr, std::make_shared<CPdfMemoryStream>(text, 0, text->size()));
    const CPdfObject dict = parser.ParseObject();
    if (dict.kind != kindDictionary || value.size() < 2 ||
        value.compare(value.size() - 2, 2, ">>") != 0) {
        return std::string();
    }
    const CPdfDictionary& entries = *dict.dictValue;
    if (entries.Has("Filter") || entries.Has("DecodeParms") || entries.Has("F") ||
        entries.Get("Type").IsName("Metadata")) {
        return std::string();
    }
    const std::string data = ReadAt(info.dataStart, static_cast<size_t>(info.dataLength));
    if (static_cast<int64_t>(data.size()) != info.dataLength) {
        throw CPdfException(CPdfMessages::kCorrupted);
    }
    std::string packed = CPdfDeflate::Compress(data);
    // Worth it only where it saves more than the filter's name costs, and a little more.
    if (packed.size() + 32 >= data.size()) packed.clear();
    if (compressedBytes + packed.size() <= CPdfLimits::kMaxCompressedCacheBytes) {
        compressedBytes += packed.size();
        compressed.emplace(number, packed);
    }
    return packed;
}

std::string CPdfObjectIndex::ValueText(int32_t number, int32_t outNumber, CPdfReferenceMap& map) {
    const CPdfObjectInfo info = Get(number);
    if (!info.present || info.isStream) return std::string();
    return Rewritten(number, info, ReadValue(number), outNumber, map, 0);
}

std::string CPdfObjectIndex::Rewritten(int32_t number, const CPdfObjectInfo& info,
                                       const std::string& value, int32_t outNumber,
                                       CPdfReferenceMap& map, int64_t dataLength) {
    std::string text;
    text.reserve(value.size() + 16);
    size_t done = 0;
    const bool hasLength = info.isStream && info.lengthEnd > info.lengthAt;
    bool lengthWritten = false;
    auto writeLength = [&]() {
        text.append(value, done, info.lengthAt - done);
        text += std::to_string(dataLength);
        done = info.lengthEnd;
        lengthWritten = true;
    };
    // References and strings, in text order (they never overlap).
    size_t r = 0, k = 0;
    while (r < info.refs.size() || k < info.strings.size()) {
        const bool isString = k < info.strings.size() &&
                              (r == info.refs.size() || info.strings[k].start < info.refs[r].start);
        const CPdfTextSpan& span = isString ? info.strings[k++] : info.refs[r++];
        const auto at = static_cast<size_t>(span.start);
        if (hasLength && !lengthWritten && at >= info.lengthAt) writeLength();
        if (at < done) continue;  // inside the /Length value
        text.append(value, done, at - done);
        if (isString) {
            text += ReencryptedString(number, info, value, span, outNumber);
        } else {
            AppendReference(text, span.number, span.generation, map);
        }
        done = static_cast<size_t>(span.end);
    }
    if (hasLength && !lengthWritten) writeLength();
    if (info.isStream && !hasLength) {
        // A stream without /Length gets one before its dictionary's ">>".
        text.append(value, done, value.size() - 2 - done);
        text += " /Length " + std::to_string(dataLength) + " ";
        done = value.size() - 2;
    }
    text.append(value, done, std::string::npos);
    return CPdfObjectWriter::Compact(text);
}

void CPdfObjectIndex::WriteObject(int32_t number, int32_t outNumber, int32_t outGeneration,
                                  CPdfReferenceMap& map, CPdfOutputFile& out) {
    const CPdfObjectInfo info = Get(number);
    if (!info.present) return;
    const std::string value = ReadValue(number);
    std::string data;  // re-encrypted or compressed stream data
    if (security && info.isStream) data = ReencryptedData(number, info, value, outNumber);
    if (!security && info.isStream) data = CompressedData(number, info, value);
    const bool ownData = security || !data.empty();
    const int64_t dataLength = ownData ? static_cast<int64_t>(data.size()) : info.dataLength;
    std::string text = CPdfObjectWriter::ObjectHeader(outNumber, outGeneration) +
                       Rewritten(number, info, value, outNumber, map, dataLength);
    if (!security && !data.empty()) text.insert(text.size() - 2, "/Filter/FlateDecode");
    if (!info.isStream) {
        text += "\nendobj\n";
        out.Write(text);
        return;
    }
    text += "\nstream\n";
    out.Write(text);
    if (ownData) {
        out.Write(data);
    } else if (!out.IsMeasuring() &&
               info.dataLength <= static_cast<int64_t>(CPdfReadAhead::kBlockSize)) {
        // Small data (a glyph program, a short page) comes with the objects around it.
        data = ReadAt(info.dataStart, static_cast<size_t>(info.dataLength));
        if (static_cast<int64_t>(data.size()) != info.dataLength) {
            throw CPdfException(CPdfMessages::kCorrupted, "the file ends inside an object");
        }
        out.Write(data);
    } else {
        out.CopyFrom(fileno(source), info.dataStart, info.dataLength);
    }
    out.Write("\nendstream\nendobj\n", 18);
}
