// Fuzz target: the quick page reader and the parser agree. Where the quick reader takes a
// dictionary, the parser reads one too, with every entry the page tree walk looks at present
// in both or in neither, and of the same value. A nested dictionary the quick reader only
// steps over (it keeps it empty; what a page holds is read with the parser when the page is
// written), so its value is not compared, nor the items of the /Contents and /Annots arrays,
// which it only classifies.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "CPdfException.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfNodeEntries.h"
#include "object/CPdfObjectWriter.h"
#include "object/CPdfParser.h"
#include "object/CPdfReferenceMap.h"
#include "object/CPdfShallowReader.h"
#include "stream/CPdfMemoryStream.h"

namespace {
// The value the quick reader keeps for key, its compact /Kids and /MediaBox as arrays.
CPdfObject QuickValue(const CPdfNodeEntries& quick, CPdfNodeEntries::Key key) {
    CPdfObject list;
    if (key == CPdfNodeEntries::keyKids && quick.compactKids) {
        list.NewArray(nullptr);
        for (const auto& kid : quick.kidRefs) {
            list.arrayValue->Append(CPdfObject::Reference(kid.number, kid.generation));
        }
        return list;
    }
    if (key == CPdfNodeEntries::keyMediaBox && quick.compactMediaBox) {
        list.NewArray(nullptr);
        for (double v : quick.mediaBox) list.arrayValue->Append(CPdfObject::Real(v));
        return list;
    }
    return quick.Get(key);
}

// Numbers as reals, so that 612 and 612.0 read alike.
std::string Text(const CPdfObjectWriter& writer, const CPdfObject& value) {
    if (value.kind == kindInteger) return writer.Text(CPdfObject::Real(double(value.intValue)));
    if (value.kind != kindArray) return writer.Text(value);
    std::string out;
    for (const CPdfObject& item : value.arrayValue->items) out += Text(writer, item) + " ";
    return out;
}

CPdfObject ParsedDictionary(const uint8_t* data, size_t size) {
    auto bytes = std::make_shared<const std::string>(reinterpret_cast<const char*>(data), size);
    try {
        CPdfParser parser(nullptr, std::make_shared<CPdfMemoryStream>(bytes, 0, bytes->size()));
        return parser.ParseObject();
    } catch (const CPdfException&) {
        return CPdfObject(kindError);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CPdfNodeEntries quick;
    size_t used = 0;
    if (CPdfShallowReader::Read(reinterpret_cast<const char*>(data), size, false, 1, 0, nullptr,
                                quick, used) != CPdfShallowReader::taken) {
        return 0;
    }
    CPdfObject parsed = ParsedDictionary(data, used);
    if (parsed.kind != kindDictionary) __builtin_trap();  // taken what the parser refuses
    CPdfNodeEntries full;
    full.TakeFrom(*parsed.dictValue);
    CPdfSameNumbers same;
    CPdfObjectWriter writer(same);
    for (int k = 0; k < CPdfNodeEntries::kKeyCount; ++k) {
        const auto key = static_cast<CPdfNodeEntries::Key>(k);
        // A bare keyword where a value belongs is kept by the parser and skipped by the quick
        // reader: neither makes the entry usable.
        const CPdfObject parsedValue = full.Get(key);
        const bool usable =
            full.Has(key) && parsedValue.kind != kindKeyword && parsedValue.kind != kindError;
        if (quick.Has(key) != usable && !(quick.Has(key) && full.Has(key))) __builtin_trap();
        if (!quick.Has(key) || !usable) continue;
        const CPdfObject a = QuickValue(quick, key), b = QuickValue(full, key);
        if (a.kind == kindDictionary) continue;
        // /Contents and /Annots arrays are only classified, not kept.
        const bool classified =
            key == CPdfNodeEntries::keyContents || key == CPdfNodeEntries::keyAnnots;
        if (classified && a.kind == kindArray) {
            if (b.kind != kindArray) __builtin_trap();
            continue;
        }
        if (Text(writer, a) != Text(writer, b)) __builtin_trap();
    }
    return 0;
}
