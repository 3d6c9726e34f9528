#include "document/CPdfResourceUse.h"

#include <algorithm>

#include "CPdfException.h"
#include "CPdfLimits.h"
#include "object/CPdfArray.h"
#include "object/CPdfContentScan.h"
#include "object/CPdfDictionary.h"
#include "stream/CPdfStream.h"

size_t CPdfResourceUse::KeyHash::operator()(const Key& key) const {
    const uint64_t mixed = (static_cast<uint64_t>(static_cast<uint32_t>(key.number)) << 32 |
                            static_cast<uint32_t>(key.generation)) *
                               0x9E3779B97F4A7C15ULL +
                           key.kind;
    return static_cast<size_t>(mixed ^ (mixed >> 29));
}

CPdfResourceUse::CPdfResourceUse(CPdfResolver& table)
    : xref(table), runBudget(CPdfLimits::kMaxScannedDrawingBytes) {}

bool CPdfResourceUse::NamesOf(const CPdfDictionary& page, const CPdfDictionary& resources,
                              Names& names) {
    try {
        size_t budget = CPdfLimits::kMaxScannedContentBytes;
        CPdfObject contents = page.GetResolved("Contents");
        if (contents.kind != kindNull && !ContentNames(contents, budget, names)) return false;
        CPdfObject annots = page.Get("Annots");
        if (annots.kind != kindNull && !Collect(annots, asAnnotationList, 0, names)) return false;
        return Close(resources, 0, names);
    } catch (const CPdfException&) {
        // Damage met on the way (a stream without its end, say): the drawing was not read
        // whole. What is being worked out stays marked busy, and so reads as unreadable.
        return false;
    }
}

bool CPdfResourceUse::Collect(const CPdfObject& value, Kind kind, int depth, Names& names) {
    if (depth > CPdfLimits::kMaxDrawingDepth) return false;
    if (value.kind != kindReference) return Compute(value, kind, depth, names);
    const Key key{value.refNumber, value.refGeneration, kind};
    auto it = known.find(key);
    if (it == known.end()) {
        known.emplace(key, kBusy);
        Names found;
        int32_t result = kUnreadable;
        if (Compute(value.Resolve(&xref), kind, depth, found)) {
            result = 0;
            if (!found.empty()) {
                lists.emplace_back(found.begin(), found.end());
                result = static_cast<int32_t>(lists.size() - 1);
            }
        }
        it = known.insert_or_assign(key, result).first;
    }
    if (it->second < 0) return false;  // unreadable, or a loop
    const std::vector<std::string>& list = lists[static_cast<size_t>(it->second)];
    names.insert(list.begin(), list.end());
    return true;
}

bool CPdfResourceUse::Compute(const CPdfObject& value, Kind kind, int depth, Names& names) {
    if (kind == asAnnotationList) {
        for (size_t i = 0; value.kind == kindArray && i < value.arrayValue->GetCount(); ++i) {
            if (!Collect(value.arrayValue->GetAt(i), asAnnotation, depth + 1, names)) return false;
        }
        return true;
    }
    const CPdfDictionary* dict = value.GetDict();
    if (!dict) return true;  // draws nothing
    switch (kind) {
        case asXObject:
            if (value.kind != kindStream || !dict->GetResolved("Subtype").IsName("Form"))
                return true;  // an image draws with no name
            return DrawingOf(value, depth, names);
        case asFont:
            return !dict->GetResolved("Subtype").IsName("Type3") ||
                   Type3Glyphs(*dict, depth, names);
        case asPattern:
            // A tiling pattern draws; a shading pattern may set a graphics state.
            if (value.kind == kindStream) return DrawingOf(value, depth, names);
            return Collect(dict->Get("ExtGState"), asGraphicsState, depth + 1, names);
        case asGraphicsState:
            return GraphicsState(*dict, depth, names);
        case asAppearance:
            return value.kind != kindStream || DrawingOf(value, depth, names);
        case asAnnotation:
            return Appearances(*dict, depth, names);
        case asAnnotationList:
            break;
    }
    return true;
}

bool CPdfResourceUse::DrawingOf(const CPdfObject& stream, int depth, Names& names) {
    if (!SharedContentNames(stream, names)) return false;
    CPdfObject resources =
        stream.GetDict() ? stream.GetDict()->GetResolved("Resources") : CPdfObject(kindNull);
    return resources.kind != kindDictionary || Close(*resources.dictValue, depth + 1, names);
}

bool CPdfResourceUse::Type3Glyphs(const CPdfDictionary& type3, int depth, Names& names) {
    CPdfObject glyphs = type3.GetResolved("CharProcs");
    if (glyphs.kind == kindDictionary) {
        for (const auto& entry : glyphs.dictValue->entries) {
            if (!SharedContentNames(entry.second, names)) return false;
        }
    }
    CPdfObject resources = type3.GetResolved("Resources");
    return resources.kind != kindDictionary || Close(*resources.dictValue, depth + 1, names);
}

bool CPdfResourceUse::GraphicsState(const CPdfDictionary& state, int depth, Names& names) {
    // A soft mask draws its group form; a font set by the state may be a Type 3 one.
    CPdfObject mask = state.GetResolved("SMask");
    if (mask.kind == kindDictionary &&
        !Collect(mask.dictValue->Get("G"), asXObject, depth + 1, names)) {
        return false;
    }
    CPdfObject fontSet = state.GetResolved("Font");
    return fontSet.kind != kindArray || fontSet.arrayValue->GetCount() == 0 ||
           Collect(fontSet.arrayValue->GetAt(0), asFont, depth + 1, names);
}

bool CPdfResourceUse::Appearances(const CPdfDictionary& annot, int depth, Names& names) {
    CPdfObject all = annot.GetResolved("AP");
    if (all.kind != kindDictionary) return true;
    for (const auto& entry : all.dictValue->entries) {
        // An appearance is a stream, or a dictionary of streams by appearance state.
        CPdfObject states = entry.second.Resolve(&xref);
        if (states.kind != kindDictionary) {
            if (!Collect(entry.second, asAppearance, depth + 1, names)) return false;
            continue;
        }
        for (const auto& state : states.dictValue->entries) {
            if (!Collect(state.second, asAppearance, depth + 1, names)) return false;
        }
    }
    return true;
}

bool CPdfResourceUse::Close(const CPdfDictionary& resources, int depth, Names& names) {
    if (depth > CPdfLimits::kMaxDrawingDepth) return false;
    static const std::pair<const char*, Kind> kKinds[] = {{"XObject", asXObject},
                                                          {"Font", asFont},
                                                          {"Pattern", asPattern},
                                                          {"ExtGState", asGraphicsState}};
    CPdfObject kinds[4];
    for (size_t k = 0; k < 4; ++k) kinds[k] = resources.GetResolved(kKinds[k].first);
    std::vector<std::string> work(names.begin(), names.end());
    while (!work.empty()) {
        const std::string name = std::move(work.back());
        work.pop_back();
        for (size_t k = 0; k < 4; ++k) {
            if (kinds[k].kind != kindDictionary) continue;
            auto entry = kinds[k].dictValue->entries.find(name);
            if (entry == kinds[k].dictValue->entries.end()) continue;
            Names drawn;
            if (!Collect(entry->second, kKinds[k].second, depth + 1, drawn)) return false;
            for (const std::string& more : drawn) {
                if (names.insert(more).second) work.push_back(more);
            }
        }
    }
    return true;
}

bool CPdfResourceUse::ContentNames(const CPdfObject& content, size_t& budget, Names& names) {
    std::vector<CPdfObject> parts;
    CPdfObject whole = content.Resolve(&xref);
    if (whole.kind == kindArray) {
        parts = whole.arrayValue->items;
    } else {
        parts.push_back(whole);
    }
    // The streams of an array are read as one content, as readers read them.
    std::string data;
    uint8_t chunk[16384];
    for (const CPdfObject& part : parts) {
        CPdfObject stream = part.Resolve(&xref);
        if (stream.kind != kindStream) return false;
        for (size_t got; (got = stream.streamValue->Read(chunk, sizeof chunk)) > 0;) {
            if (got > budget) return false;
            budget -= got;
            data.append(reinterpret_cast<const char*>(chunk), got);
        }
        if (!stream.streamValue->Complete()) return false;
        data.push_back('\n');
    }
    return CPdfContentScan::CollectNames(data.data(), data.size(), names);
}

bool CPdfResourceUse::SharedContentNames(const CPdfObject& content, Names& names) {
    size_t budget = std::min(runBudget, CPdfLimits::kMaxScannedContentBytes);
    const size_t before = budget;
    const bool whole = ContentNames(content, budget, names);
    runBudget -= before - budget;
    return whole;
}
