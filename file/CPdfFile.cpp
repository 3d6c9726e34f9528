#include "file/CPdfFile.h"

#include <algorithm>
#include <cstring>

#include "CPdfException.h"

void CPdfFile::ResetObjectTable() {
    objectTable.assign(1, ObjectEntry());
}

void CPdfFile::MarkWritten(int32_t number, int32_t generation) {
    if (number < 1) return;
    if (static_cast<size_t>(number) >= objectTable.size()) {
        objectTable.resize(static_cast<size_t>(number) + 1);
    }
    ObjectEntry& e = objectTable[static_cast<size_t>(number)];
    e.offset = output.Position();
    e.generation = generation;
    e.inUse = true;
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
    const size_t n = std::max<size_t>(objectTable.size(), 1);
    std::string text = "xref\n0 " + std::to_string(n) + "\r";
    text.reserve(text.size() + n * 20);
    text += "0000000000 65535 f \r";
    char line[20];
    for (size_t k = 1; k < n; ++k) {
        const ObjectEntry& e = objectTable[k];
        if (!e.inUse) {
            text += "0000000000 00000 f \r";
            continue;
        }
        if (e.offset < 0 || e.offset > 9999999999LL) throw CPdfException("Output file write error");
        // "oooooooooo ggggg n \r"
        PutDigits(line, static_cast<uint64_t>(e.offset), 10);
        line[10] = ' ';
        PutDigits(line + 11, static_cast<uint64_t>(e.generation & 0xFFFF), 5);
        std::copy_n(" n \r", 4, line + 16);
        text.append(line, 20);
    }
    output.Write(text);
}

void CPdfFile::WriteTrailer(int64_t startXRef, const CPdfTrailerEntries& entries) {
    auto ref = [](int32_t number, int32_t generation) {
        return std::to_string(number) + " " + std::to_string(generation) + " R\n";
    };
    std::string text =
        "trailer\n<<\n/Size " + std::to_string(std::max<size_t>(objectTable.size(), 1)) + "\n";
    if (!entries.id.empty()) text += "/ID " + entries.id + "\n";
    if (entries.infoNumber > 0) text += "/Info " + ref(entries.infoNumber, entries.infoGeneration);
    text += "/Root " + ref(entries.rootNumber, entries.rootGeneration);
    if (entries.encryptNumber > 0) {
        text += "/Encrypt " + ref(entries.encryptNumber, entries.encryptGeneration);
    }
    text += ">>\nstartxref\n" + std::to_string(startXRef) + "\n%%EOF";
    output.Write(text);
}
