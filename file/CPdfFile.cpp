#include "file/CPdfFile.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "CPdfException.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"

void CPdfFile::ResetObjectTable(size_t count) {
    if (objectTable.size() != count) {
        objectTable.assign(count, ObjectEntry());
    } else {
        for (size_t k : touched) objectTable[k] = ObjectEntry();
    }
    touched.clear();
}

void CPdfFile::MarkWritten(int32_t number, int32_t generation) {
    if (number < 0 || static_cast<size_t>(number) >= objectTable.size()) return;
    ObjectEntry& e = objectTable[static_cast<size_t>(number)];
    e.offset = output.Position();
    e.generation = generation;
    e.inUse = true;
    touched.push_back(static_cast<size_t>(number));
}

void CPdfFile::WriteHeader(const std::string& version) {
    // Readers need "%PDF-" at the start; a source without a header gets a plain 1.4 one.
    std::string text = "%" + (version.empty() ? std::string("PDF-1.4") : version) + "\r";
    text += "%\xE2\xE3\xCF\xD3\r\n";
    output.Write(text);
}

namespace {
// Writes value as count decimal digits, with leading zeros.
void PutDigits(char* at, uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}
}  // namespace

void CPdfFile::WriteXRefTable() {
    const size_t n = objectTable.size();
    output.Write("xref\n0 " + std::to_string(n) + "\r");
    // Entries that were not written are free entries pointing at object 0. The lines of a
    // table with every entry free are made once per run; each output copies runs of them and
    // writes its own lines for the objects it holds.
    if (freeLines.size() != n * 20) {
        freeLines.clear();
        freeLines.reserve(n * 20);
        if (n > 0) freeLines += "0000000000 65535 f \r";
        for (size_t k = 1; k < n; ++k) freeLines += "0000000000 00000 f \r";
    }
    std::vector<size_t> written;
    if (touched.size() * 8 > n) {
        // Most of the table is in use: reading it in order is cheaper than sorting.
        for (size_t k = 1; k < n; ++k) {
            if (objectTable[k].inUse) written.push_back(k);
        }
    } else {
        for (size_t k : touched) {
            if (k > 0 && k < n && objectTable[k].inUse) written.push_back(k);
        }
        std::sort(written.begin(), written.end());
        written.erase(std::unique(written.begin(), written.end()), written.end());
    }
    size_t next = 0;  // first line not yet written
    char line[20];
    for (size_t k : written) {
        output.Write(freeLines.data() + next * 20, (k - next) * 20);
        const ObjectEntry& e = objectTable[k];
        if (e.offset < 0 || e.offset > 9999999999LL) throw CPdfException("Output file write error");
        // "oooooooooo ggggg n \r"
        PutDigits(line, static_cast<uint64_t>(e.offset), 10);
        line[10] = ' ';
        PutDigits(line + 11, static_cast<uint64_t>(e.generation & 0xFFFF), 5);
        std::memcpy(line + 16, " n \r", 4);
        output.Write(line, 20);
        next = k + 1;
    }
    if (next < n) output.Write(freeLines.data() + next * 20, (n - next) * 20);
}

void CPdfFile::WriteTrailer(int64_t startXRef, const CPdfObject& trailer, bool keepEncrypt) {
    std::string text = "trailer\n<<\n/Size " + std::to_string(objectTable.size()) + "\n";
    if (trailer.kind == kindDictionary) {
        for (const auto& entry : trailer.dictValue->entries) {
            const std::string& key = entry.first;
            if (key != "Root" && key != "Info" && key != "ID" &&
                !(keepEncrypt && key == "Encrypt")) {
                continue;
            }
            const CPdfObject& value = entry.second;
            if (value.kind == kindInteger) {
                text += "/" + key + " " + std::to_string(value.intValue) + " \n";
            } else if (value.kind == kindReference) {
                text += "/" + key + " " + std::to_string(value.refNumber) + " " +
                        std::to_string(value.refGeneration) + " R\n";
            } else if (value.kind == kindArray) {
                text += "/" + key + " [";
                for (size_t i = 0; i < value.arrayValue->GetCount(); ++i) {
                    CPdfObject item = value.arrayValue->GetResolvedAt(i);
                    if (item.kind == kindString) text += item.stringValue.Serialize();
                }
                text += "]\n";
            }
        }
    }
    text += ">>\nstartxref\n" + std::to_string(startXRef) + "\n%%EOF";
    output.Write(text);
}
