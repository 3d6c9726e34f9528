#include "file/CPdfFile.h"

#include <algorithm>
#include <cstring>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "file/CPdfSecurity.h"
#include "object/CPdfLexer.h"
#include "object/CPdfObjectWriter.h"
#include "stream/CPdfDeflate.h"
#include "stream/CPdfDeflater.h"

namespace {
// Writes value as count decimal digits, with leading zeros.
void PutDigits(char* at, uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

// Bytes of the shortest big-endian field that holds value.
int FieldWidth(uint64_t value) {
    int width = 0;
    for (; value > 0; value >>= 8) ++width;
    return width;
}

void PutField(std::string& out, uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Whether version ("PDF-M.m") names a version below 1.5; true when it cannot be read.
bool BeforeObjectStreams(const std::string& version) {
    if (version.compare(0, 4, "PDF-") != 0 || version.size() < 7 || version[5] != '.') return true;
    const char major = version[4], minor = version[6];
    if (major < '0' || major > '9' || minor < '0' || minor > '9') return true;
    return major < '1' || (major == '1' && minor < '5');
}

// The trailer entries as they follow /Size.
std::string EntriesText(const CPdfTrailerEntries& entries) {
    auto ref = [](int32_t number, int32_t generation) {
        return CPdfObjectWriter::ReferenceText(number, generation);
    };
    std::string text;
    if (!entries.id.empty()) text += "/ID " + entries.id;
    if (entries.infoNumber > 0) text += "/Info " + ref(entries.infoNumber, entries.infoGeneration);
    text += "/Root " + ref(entries.rootNumber, entries.rootGeneration);
    if (entries.encryptNumber > 0) {
        text += "/Encrypt " + ref(entries.encryptNumber, entries.encryptGeneration);
    }
    return text;
}
}  // namespace

void CPdfFile::ReserveObjects(size_t count) {
    objectTable.reserve(count);
}

void CPdfFile::ResetObjectTable(bool objectStreams, const CPdfSecurity* security) {
    objectTable.assign(1, ObjectEntry());
    packing = objectStreams;
    streamSecurity = security;
    objectStream.Clear();
}

ObjectEntry& CPdfFile::Entry(int32_t number) {
    if (static_cast<size_t>(number) >= objectTable.size()) {
        objectTable.resize(static_cast<size_t>(number) + 1);
    }
    return objectTable[static_cast<size_t>(number)];
}

void CPdfFile::MarkWritten(int32_t number, int32_t generation) {
    if (number < 1) return;
    if (output.Position() > ObjectEntry::kMaxOffset)
        throw CPdfException(CPdfMessages::kOutputWriteError);
    Entry(number) = ObjectEntry(1, output.Position(), generation);
}

void CPdfFile::WriteValueHead(int32_t number, int32_t generation) {
    MarkWritten(number, generation);
    output.Write(CPdfObjectWriter::ObjectHeader(number, generation));
}

void CPdfFile::WriteValue(int32_t number, int32_t generation, const std::string& value) {
    if (number < 1) return;
    // A very large value (the page tree root of a long output) is written as it is: packing
    // it would hold it in memory twice more.
    if (!Packs(generation) || value.size() > CPdfObjStmWriter::kMaxValueBytes) {
        // No white space where the value starts or ends with a delimiter.
        auto delimits = [](char c) {
            return CPdfLexer::ClassOf(static_cast<unsigned char>(c)) != CPdfLexer::regular;
        };
        MarkWritten(number, generation);
        std::string head = CPdfObjectWriter::ObjectHeader(number, generation);
        if (!value.empty() && delimits(value.front())) head.pop_back();
        output.Write(head);
        output.Write(value);
        if (!value.empty() && delimits(value.back())) {
            output.Write("endobj\n", 7);
        } else {
            WriteValueEnd();
        }
        return;
    }
    Entry(number) = ObjectEntry(2, 0, 0);  // its place is set when the stream is written
    objectStream.Add(number, value);
    if (objectStream.Full()) WriteObjectStream();
}

void CPdfFile::WriteObjectStream() {
    if (objectStream.Empty()) return;
    const int32_t number = ReserveNumber();
    size_t first = 0;
    std::string data = CPdfDeflate::Compress(objectStream.Data(first));
    if (streamSecurity) data = streamSecurity->EncryptStreamData(data, nullptr, number);
    const std::vector<int32_t>& members = objectStream.Numbers();
    for (size_t k = 0; k < members.size(); ++k) {
        Entry(members[k]) = ObjectEntry(2, number, static_cast<int32_t>(k));
    }
    MarkWritten(number, 0);
    output.Write(CPdfObjectWriter::ObjectHeader(number, 0) + "<</Type/ObjStm/N " +
                 std::to_string(members.size()) + "/First " + std::to_string(first) +
                 "/Filter/FlateDecode/Length " + std::to_string(data.size()) + ">>\nstream\n");
    output.Write(data);
    output.Write("\nendstream\nendobj\n");
    objectStream.Clear();
}

void CPdfFile::WriteHeader(const std::string& version) {
    // Readers need "%PDF-" at the start; a source without a header gets a plain 1.4 one.
    std::string name = version.empty() ? std::string("PDF-1.4") : version;
    if (packing && BeforeObjectStreams(name)) name = "PDF-1.5";
    output.Write("%" + name + "\r%\xE2\xE3\xCF\xD3\r\n");
}

void CPdfFile::WriteEnd(const CPdfTrailerEntries& entries) {
    if (!packing) {
        const int64_t start = output.Position();
        WriteXRefTable();
        WriteTrailer(start, entries);
        return;
    }
    WriteObjectStream();
    CPdfDeflate::Release();
    WriteXRefStream(entries);
}

void CPdfFile::WriteXRefTable() {
    const size_t n = std::max<size_t>(objectTable.size(), 1);
    output.Write("xref\n0 " + std::to_string(n) + "\r0000000000 65535 f \r");
    // Written in blocks, so that a large table is never held whole.
    // Lines of 20 bytes, 4096 to a block.
    constexpr size_t kBlockBytes = size_t{20} * 4096;
    std::string text;
    text.reserve(kBlockBytes);
    char line[20];
    for (size_t k = 1; k < n; ++k) {
        const ObjectEntry& e = objectTable[k];
        if (e.Type() != 1) {
            text += "0000000000 00000 f \r";
        } else {
            if (e.Offset() > 9999999999LL) throw CPdfException(CPdfMessages::kOutputWriteError);
            // "oooooooooo ggggg n \r"
            PutDigits(line, static_cast<uint64_t>(e.Offset()), 10);
            line[10] = ' ';
            PutDigits(line + 11, static_cast<uint64_t>(e.Generation()), 5);
            std::copy_n(" n \r", 4, line + 16);
            text.append(line, 20);
        }
        if (text.size() >= kBlockBytes) {
            output.Write(text);
            text.clear();
        }
    }
    output.Write(text);
}

void CPdfFile::WriteTrailer(int64_t startXRef, const CPdfTrailerEntries& entries) {
    std::string text =
        "trailer\n<</Size " + std::to_string(std::max<size_t>(objectTable.size(), 1));
    text += EntriesText(entries);
    text += ">>\nstartxref\n" + std::to_string(startXRef) + "\n%%EOF";
    output.Write(text);
}

void CPdfFile::WriteXRefStream(const CPdfTrailerEntries& entries) {
    const int32_t number = ReserveNumber();
    MarkWritten(number, 0);  // the stream lists itself
    const int64_t start = output.Position();
    uint64_t largest[2] = {0, 0};
    bool compressed = false;
    for (const ObjectEntry& e : objectTable) {
        largest[0] = std::max(largest[0], static_cast<uint64_t>(e.Offset()));
        largest[1] = std::max(largest[1], static_cast<uint64_t>(e.Generation()));
        compressed |= e.Type() == 2;
    }
    const int widths[3] = {1, std::max(1, FieldWidth(largest[0])),
                           std::max(compressed ? 1 : 0, FieldWidth(largest[1]))};
    const size_t columns = static_cast<size_t>(widths[0]) + static_cast<size_t>(widths[1]) +
                           static_cast<size_t>(widths[2]);
    // The rows as they are, or with the PNG Up predictor (each byte less the one above it),
    // which makes the columns of offsets that grow slowly compress better: the form whose
    // first block compresses smaller (for most outputs, the whole table) is compressed as it
    // is made, a block at a time.
    const size_t kBlockRows = 65536 / (columns + 1);
    auto deflated = [&](bool predictor, size_t rowCount) {
        CPdfDeflater deflater;
        std::string rows, previous(columns, '\0');
        for (size_t k = 0; k < rowCount; ++k) {
            const ObjectEntry& e = objectTable[k];
            std::string row;
            row.push_back(static_cast<char>(e.Type()));
            PutField(row, static_cast<uint64_t>(e.Offset()), widths[1]);
            PutField(row, static_cast<uint64_t>(e.Generation()), widths[2]);
            if (predictor) {
                rows.push_back('\x02');
                for (size_t i = 0; i < columns; ++i) {
                    rows.push_back(static_cast<char>(row[i] - previous[i]));
                }
                previous = row;
            } else {
                rows += row;
            }
            if (rows.size() >= 65536 || k + 1 == rowCount) {
                deflater.Add(rows);
                rows.clear();
            }
        }
        return deflater.Finish();
    };
    const size_t sampleRows = std::min(objectTable.size(), kBlockRows);
    std::string data = deflated(false, sampleRows);
    std::string withPredictor = deflated(true, sampleRows);
    const bool usePredictor = withPredictor.size() < data.size();
    if (usePredictor) data.swap(withPredictor);
    withPredictor.clear();
    if (sampleRows < objectTable.size()) data = deflated(usePredictor, objectTable.size());
    std::string text = CPdfObjectWriter::ObjectHeader(number, 0) + "<</Type/XRef/Size " +
                       std::to_string(objectTable.size()) + "/W[" + std::to_string(widths[0]) +
                       " " + std::to_string(widths[1]) + " " + std::to_string(widths[2]) + "]";
    text += EntriesText(entries);
    text += "/Filter/FlateDecode";
    if (usePredictor)
        text += "/DecodeParms<</Columns " + std::to_string(columns) + "/Predictor 12>>";
    text += "/Length " + std::to_string(data.size()) + ">>\nstream\n";
    output.Write(text);
    output.Write(data);
    output.Write("\nendstream\nendobj\nstartxref\n" + std::to_string(start) + "\n%%EOF");
}
