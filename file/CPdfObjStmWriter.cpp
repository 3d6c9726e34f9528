#include "file/CPdfObjStmWriter.h"

#include "object/CPdfLexer.h"

void CPdfObjStmWriter::Add(int32_t number, const std::string& value) {
    // Two values meet without white space only where one ends or the next starts with a
    // delimiter, so that reading one from its offset never runs into the next.
    if (!values.empty() && !value.empty() &&
        CPdfLexer::ClassOf(static_cast<unsigned char>(values.back())) == CPdfLexer::regular &&
        CPdfLexer::ClassOf(static_cast<unsigned char>(value.front())) == CPdfLexer::regular) {
        values.push_back(' ');
    }
    numbers.push_back(number);
    offsets.push_back(values.size());
    values += value;
}

std::string CPdfObjStmWriter::Data(size_t& first) const {
    std::string data;
    data.reserve(numbers.size() * 16 + values.size());
    for (size_t k = 0; k < numbers.size(); ++k) {
        if (k) data.push_back(' ');
        data += std::to_string(numbers[k]) + " " + std::to_string(offsets[k]);
    }
    data.push_back('\n');
    first = data.size();
    data += values;
    return data;
}

void CPdfObjStmWriter::Clear() {
    numbers.clear();
    offsets.clear();
    values.clear();
}
