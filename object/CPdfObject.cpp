#include "object/CPdfObject.h"

#include <iterator>

#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfResolver.h"
#include "stream/CPdfStream.h"

CPdfObject CPdfObject::Integer(int64_t value) {
    CPdfObject o(kindInteger);
    o.intValue = value;
    return o;
}

CPdfObject CPdfObject::Real(double value) {
    CPdfObject o(kindReal);
    o.realValue = value;
    return o;
}

CPdfObject CPdfObject::Boolean(bool value) {
    CPdfObject o(kindBoolean);
    o.boolValue = value;
    return o;
}

CPdfObject CPdfObject::Reference(int32_t number, int32_t generation) {
    CPdfObject o(kindReference);
    o.refNumber = number;
    o.refGeneration = generation;
    return o;
}

void CPdfObject::Clear() {
    kind = kindNone;
    textValue.clear();
    stringValue.data.clear();
    if (arrayValue) arrayValue.reset();
    if (dictValue) dictValue.reset();
    if (streamValue) streamValue.reset();
}

// Names and keywords end at a zero byte.
static void AssignText(std::string& target, const std::string& text) {
    size_t zero = text.find('\0');
    target.assign(text, 0, zero);
}

void CPdfObject::SetName(const std::string& text) {
    kind = kindName;
    AssignText(textValue, text);
}

void CPdfObject::SetKeyword(const std::string& text) {
    kind = kindKeyword;
    AssignText(textValue, text);
}

void CPdfObject::SetString(const CPdfString& text) {
    kind = kindString;
    stringValue = text;
}

void CPdfObject::NewArray(CPdfResolver* xref) {
    kind = kindArray;
    arrayValue = std::make_shared<CPdfArray>(xref);
}

void CPdfObject::NewDictionary(CPdfResolver* xref) {
    kind = kindDictionary;
    dictValue = std::make_shared<CPdfDictionary>(xref);
}

void CPdfObject::SetDictionary(std::shared_ptr<CPdfDictionary> dict) {
    kind = kindDictionary;
    dictValue = std::move(dict);
}

void CPdfObject::SetStream(std::shared_ptr<CPdfDictionary> dictionary,
                           std::shared_ptr<CPdfStream> data) {
    kind = kindStream;
    dictValue = std::move(dictionary);
    streamValue = std::move(data);
}

CPdfObject CPdfObject::Resolve(CPdfResolver* xref) const {
    if (kind == kindReference && xref) return xref->Fetch(refNumber, refGeneration);
    return *this;
}

CPdfObject CPdfDictionary::Get(const std::string& key) const {
    auto it = entries.find(key);
    return it == entries.end() ? CPdfObject(kindNull) : it->second;
}

CPdfObject CPdfDictionary::GetResolved(const std::string& key) const {
    auto it = entries.find(key);
    return it == entries.end() ? CPdfObject(kindNull) : it->second.Resolve(xref);
}

bool CPdfDictionary::IsType(const char* type) const {
    auto it = entries.find("Type");
    return it != entries.end() && it->second.IsName(type);
}

std::string CPdfDictionary::GetKeyAt(size_t index) const {
    return std::next(entries.begin(), static_cast<long>(index))->first;
}
