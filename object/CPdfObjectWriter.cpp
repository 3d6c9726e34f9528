#include "object/CPdfObjectWriter.h"

#include <charconv>
#include <cmath>

#include "object/CPdfArray.h"
#include "object/CPdfCompactor.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfLexer.h"
#include "object/CPdfReferenceMap.h"

CPdfObject CPdfObjectWriter::Verbatim(const std::string& text) {
    CPdfObject value(kindKeyword);
    value.textValue = text;
    return value;
}

CPdfObject CPdfObjectWriter::OutputReference(int32_t number, int32_t generation) {
    return Verbatim(ReferenceText(number, generation));
}

std::string CPdfObjectWriter::ReferenceText(int32_t number, int32_t generation) {
    return std::to_string(number) + " " + std::to_string(generation) + " R";
}

std::string CPdfObjectWriter::ObjectHeader(int32_t number, int32_t generation) {
    return std::to_string(number) + " " + std::to_string(generation) + " obj\n";
}

std::string CPdfObjectWriter::Compact(const std::string& text) {
    return CPdfCompactor::Compact(text);
}

std::string CPdfObjectWriter::StringText(const std::string& bytes) {
    // A literal string escapes ( ) and \ with a backslash and other bytes outside printable
    // ASCII as three octal digits; the hexadecimal form takes two digits a byte.
    size_t literalSize = 2;
    for (unsigned char c : bytes) {
        bool plain = c >= 0x20 && c < 0x7F && c != '(' && c != ')' && c != '\\';
        literalSize += plain ? 1 : (c >= 0x20 && c < 0x7F) ? 2 : 4;
    }
    if (literalSize > 2 * bytes.size() + 2) return "<" + CPdfString::HexEncode(bytes) + ">";
    std::string out = "(";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            if (c == '(' || c == ')' || c == '\\') out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('\\');
            out.push_back(static_cast<char>('0' + (c >> 6)));
            out.push_back(static_cast<char>('0' + ((c >> 3) & 7)));
            out.push_back(static_cast<char>('0' + (c & 7)));
        }
    }
    return out + ")";
}

std::string CPdfObjectWriter::NameText(const std::string& name) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size());
    for (unsigned char c : name) {
        if (c > 0x20 && c < 0x7F && c != '#' && CPdfLexer::ClassOf(c) == CPdfLexer::regular) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('#');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
    }
    return out;
}

std::string CPdfObjectWriter::RealText(double value) {
    if (!std::isfinite(value)) return "0";
    char text[400];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (result.ec != std::errc()) return "0";
    return std::string(text, result.ptr);
}

void CPdfObjectWriter::Write(const CPdfObject& value, std::string& out) const {
    switch (value.kind) {
        case kindBoolean:
            out += value.boolValue ? "true" : "false";
            return;
        case kindInteger:
            out += std::to_string(value.intValue);
            return;
        case kindReal:
            out += RealText(value.realValue);
            return;
        case kindString: {
            std::string bytes = value.stringValue.Bytes();
            out += StringText(transformString ? transformString(bytes) : bytes);
            return;
        }
        case kindName:
            out += "/" + NameText(value.textValue);
            return;
        case kindArray: {
            out += "[";
            const CPdfArray& items = *value.arrayValue;
            for (size_t i = 0; i < items.GetCount(); ++i) {
                if (i) out += " ";
                Write(items.GetAt(i), out);
            }
            out += "]";
            return;
        }
        case kindDictionary:
            out += "<<";
            for (const auto& entry : value.dictValue->entries) {
                out += " /" + NameText(entry.first) + " ";
                Write(entry.second, out);
            }
            out += " >>";
            return;
        case kindReference: {
            int32_t number = value.refNumber, generation = value.refGeneration;
            if (!map.Map(number, generation)) {
                out += "null";
                return;
            }
            out += ReferenceText(number, generation);
            return;
        }
        case kindKeyword:
            out += value.textValue;
            return;
        default:
            out += "null";
    }
}
