#include "object/CPdfFilters.h"

#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "stream/CPdfFlateStream.h"
#include "stream/CPdfPredictor.h"

std::shared_ptr<CPdfStream> CPdfFilters::AddFilters(std::shared_ptr<CPdfStream> raw,
                                                    const CPdfObject& dictionary) {
    if (dictionary.kind != kindDictionary) return raw;
    const CPdfDictionary& d = *dictionary.dictValue;
    CPdfObject filter = d.GetResolved("Filter");
    if (filter.kind == kindNull) filter = d.GetResolved("F");
    CPdfObject params = d.GetResolved("DecodeParms");
    if (params.kind == kindNull) params = d.GetResolved("DP");
    // A /Crypt filter, first in the list, was applied already: encrypted data is decrypted
    // before the filters, where the document's key is known.
    size_t skip = 0;
    if (filter.kind == kindArray && filter.arrayValue->GetCount() > 0 &&
        filter.arrayValue->GetResolvedAt(0).IsName("Crypt")) {
        skip = 1;
    }
    switch (filter.kind) {
        case kindNull:
            return raw;
        case kindName:
            if (filter.IsName("Crypt")) return raw;
            return MakeFilter(filter.textValue, std::move(raw), params);
        case kindArray:
            if (skip == 1 && filter.arrayValue->GetCount() == 1) return raw;
            if (filter.arrayValue->GetCount() == skip + 1) {
                CPdfObject only = filter.arrayValue->GetResolvedAt(skip);
                if (only.kind == kindName)
                    return MakeFilter(only.textValue, std::move(raw), params);
            }
            return nullptr;
        default:
            return nullptr;
    }
}

std::shared_ptr<CPdfStream> CPdfFilters::MakeFilter(const std::string& name,
                                                    std::shared_ptr<CPdfStream> raw,
                                                    const CPdfObject& parameters) {
    if (name != "FlateDecode" && name != "Fl") return nullptr;
    int64_t values[4] = {1, 1, 1, 8};  // Predictor, Columns, Colors, BitsPerComponent
    if (parameters.kind == kindDictionary) {
        static const char* const keys[4] = {"Predictor", "Columns", "Colors", "BitsPerComponent"};
        for (int i = 0; i < 4; ++i) {
            CPdfObject v = parameters.dictValue->GetResolved(keys[i]);
            if (v.kind == kindInteger) values[i] = v.intValue;
        }
    }
    if (values[0] != 1 && !CPdfPredictor::ParametersAreSound(values[1], values[2], values[3])) {
        return nullptr;
    }
    return std::make_shared<CPdfFlateStream>(std::move(raw), values[0], values[1], values[2],
                                             values[3]);
}
