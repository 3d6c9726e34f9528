#include "file/CPdfObjectIndex.h"

#include <cstring>

#include "CPdfException.h"
#include "file/CPdfOutputFile.h"
#include "file/CPdfRawText.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfLexer.h"
#include "object/CPdfParser.h"
#include "object/CPdfScan.h"
#include "stream/CPdfFileStream.h"
#include "stream/CPdfMemoryStream.h"

namespace {

bool IsWhite(int c) {
    return CPdfLexer::ClassOf(c) == CPdfLexer::whitespace;
}

std::string CompressedHeader(int32_t number) {
    return std::to_string(number) + " 0 obj\r";
}

// The text of a compressed object: its header, its bytes and "endobj". Bytes that do not end
// in white space get a line feed, so that their last token does not run into "endobj".
const char* CompressedTail(const std::string& data, size_t begin, size_t end) {
    return end > begin && !IsWhite(static_cast<unsigned char>(data[end - 1])) ? "\nendobj\r"
                                                                              : "endobj\r";
}

std::string CompressedText(int32_t number, const std::string& data, size_t begin, size_t end) {
    std::string text = CompressedHeader(number);
    text.append(data, begin, end - begin);
    return text + CompressedTail(data, begin, end);
}
}  // namespace

CPdfObjectIndex::CPdfObjectIndex(CPdfXRef& table, FILE* file) : xref(table), source(file) {}

const CPdfObjectInfo& CPdfObjectIndex::Get(int32_t number) {
    auto it = infos.find(number);
    if (it != infos.end()) return it->second;
    CPdfObjectInfo info;
    Locate(number, info);
    return infos.emplace(number, std::move(info)).first->second;
}

void CPdfObjectIndex::Locate(int32_t number, CPdfObjectInfo& info) {
    if (number <= 0 || static_cast<size_t>(number) >= xref.entries.size()) return;
    const XRefEntry& e = xref.entries[static_cast<size_t>(number)];
    if (e.type == 1) LocateInBody(number, info);
    if (e.type == 2) LocateCompressed(number, info);
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
                if (v->streamValue->GetDict()) {
                    for (const auto& entry : v->streamValue->GetDict()->entries) {
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

void CPdfObjectIndex::TestType(const CPdfObject& value, CPdfObjectInfo& info) {
    if (value.kind != kindDictionary) return;
    if (value.dictValue->IsType("Page")) info.hasPage = true;
    if (value.dictValue->IsType("Pages")) info.hasPages = true;
}

void CPdfObjectIndex::LocateInBody(int32_t number, CPdfObjectInfo& info, bool retried) {
    const XRefEntry& e = xref.entries[static_cast<size_t>(number)];
    int64_t position = xref.Physical(e.offset);
    if (e.offset < 0 || position >= xref.fileSize) {
        if (!retried && xref.RepairEntry(number)) LocateInBody(number, info, true);
        return;
    }
    CPdfParser parser(&xref, xref.GetStream()->MakeSubStream(position, 0, CPdfObject(kindNull)));
    int64_t textStart = parser.CurrentStart();
    CPdfObject n = parser.ParseObject();
    CPdfObject g = parser.ParseObject();
    CPdfObject kw = parser.ParseObject();
    if (n.kind != kindInteger || n.intValue != number || g.kind != kindInteger ||
        g.intValue != e.generation || !kw.IsKeyword("obj")) {
        // The entry does not point at this object; it may stand elsewhere in the file.
        if (!retried && xref.RepairEntry(number)) LocateInBody(number, info, true);
        return;
    }
    info.generation = e.generation;
    info.textStart = textStart;
    int64_t textEnd = 0;
    bool searchEnd = false;
    try {
        CPdfScan scan;
        parser.SetScan(&scan);
        parser.ParseObject();
        bool isStream = parser.StreamDictionary().kind == kindDictionary;
        info.refs = std::move(scan.refs);
        info.hasPage = scan.hasPage;
        info.hasPages = scan.hasPages;
        if (isStream && parser.StreamDataStart() < 0) {
            searchEnd = true;  // no usable /Length: the data's extent is unknown
        } else if (parser.Current().IsKeyword("endobj")) {
            textEnd = parser.CurrentEnd();
        } else {
            textEnd = parser.PreviousEnd();
            info.closeObject = true;
        }
    } catch (const CPdfException&) {
        searchEnd = true;  // the data does not end where /Length says
        info.refs.clear();
    }
    if (searchEnd) {
        // Take the text through the first "endobj", as stored, and the references from the
        // dictionary before the data.
        int64_t hit = CPdfRawText::FindPatternInFile(source, position, "endobj", 6);
        if (hit == 0) return;
        textEnd = hit + 1;
        std::string text =
            CPdfRawText::ReadAt(source, textStart, static_cast<size_t>(textEnd - textStart));
        size_t at = CPdfRawText::FindPattern(text.data(), 0, text.size(), "stream", 6);
        std::string head = at ? text.substr(0, at + 1) : text;
        CPdfParser dict(nullptr, std::make_shared<CPdfMemoryStream>(
                                     std::make_shared<const std::string>(head), 0, head.size()));
        for (int k = 0; k < 3; ++k) dict.ParseObject();
        CPdfObject value = dict.ParseObject();
        if (info.refs.empty()) CollectReferences(value, info.refs);
        TestType(value, info);
    }
    if (textEnd <= textStart) return;
    std::string after = CPdfRawText::ReadAt(source, textEnd, 1);
    if (!info.closeObject && !after.empty() && IsWhite(static_cast<unsigned char>(after[0]))) {
        ++textEnd;
    } else if (!info.closeObject) {
        info.newlineAfter = true;
    }
    info.textLength = textEnd - textStart;
    info.present = true;
}

void CPdfObjectIndex::LocateCompressed(int32_t number, CPdfObjectInfo& info) {
    size_t begin = 0, end = 0;
    std::shared_ptr<const CPdfObjStmBytes> objStm = xref.GetObjStmBytes(number, begin, end);
    if (!objStm || end <= begin) return;
    info.compressed = true;
    info.present = true;
    info.textLength =
        static_cast<int64_t>(CompressedText(number, *objStm->data, begin, end).size());
    CPdfParser parser(&xref, std::make_shared<CPdfMemoryStream>(objStm->data, begin, end));
    CPdfScan scan;
    parser.SetScan(&scan);
    parser.ParseObject();
    info.refs = std::move(scan.refs);
    info.hasPage = scan.hasPage;
    info.hasPages = scan.hasPages;
}

std::string CPdfObjectIndex::ReadText(int32_t number) {
    const CPdfObjectInfo& info = Get(number);
    if (!info.present) return std::string();
    if (info.compressed) {
        size_t begin = 0, end = 0;
        std::shared_ptr<const CPdfObjStmBytes> objStm = xref.GetObjStmBytes(number, begin, end);
        if (!objStm) return std::string();
        return CompressedText(number, *objStm->data, begin, end);
    }
    std::string text =
        CPdfRawText::ReadAt(source, info.textStart, static_cast<size_t>(info.textLength));
    if (info.closeObject) text += "\nendobj\n";
    if (info.newlineAfter) text += "\n";
    return text;
}

void CPdfObjectIndex::CopyText(int32_t number, CPdfOutputFile& out) {
    const CPdfObjectInfo& info = Get(number);
    if (!info.present) return;
    if (info.compressed) {
        // Written from the decoded stream in pieces: a document's objects may be copied into
        // thousands of outputs.
        size_t begin = 0, end = 0;
        std::shared_ptr<const CPdfObjStmBytes> objStm = xref.GetObjStmBytes(number, begin, end);
        if (!objStm) return;
        out.Write(CompressedHeader(number));
        out.Write(objStm->data->data() + begin, end - begin);
        const char* tail = CompressedTail(*objStm->data, begin, end);
        out.Write(tail, std::strlen(tail));
        return;
    }
    out.CopyFrom(fileno(source), info.textStart, info.textLength);
    if (info.closeObject) out.Write("\nendobj\n", 8);
    if (info.newlineAfter) out.Write("\n", 1);
}
