#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class CPdfDictionary;
class CPdfObject;
class CPdfResolver;

// Which resource names a page's drawing can look up: the names in its content, in everything
// that content draws through them at any depth (forms, Type 3 glyph programs, tiling
// patterns, soft masks of graphics states) and in the appearances of its annotations.
//
// Readers look a name up in the resources of the stream that uses it, and some, failing that,
// in the page's; so a name met anywhere in that drawing counts for the page. What a shared
// object (form, font, pattern, graphics state, annotation, annotation list) draws is worked
// out once a run and remembered, so the work follows the objects, not pages times objects.
class CPdfResourceUse {
public:
    using Names = std::unordered_set<std::string>;

    explicit CPdfResourceUse(CPdfResolver& table);

    // Adds to names every name that page, drawing with resources, may look up. False when
    // something it draws cannot be read whole (damaged, cut off or undecodable data, an inline
    // image whose end is in doubt, a loop of forms, nesting or data past their bounds): then
    // any of its resources may be needed.
    bool NamesOf(const CPdfDictionary& page, const CPdfDictionary& resources, Names& names);

private:
    // The kinds of object whose drawing is worked out: resources of four kinds, annotation
    // appearance streams, annotations and lists of annotations.
    enum Kind : uint8_t {
        asXObject,
        asFont,
        asPattern,
        asGraphicsState,
        asAppearance,
        asAnnotation,
        asAnnotationList
    };
    // An object as a reference names it, with the kind it is used as.
    struct Key {
        int32_t number;
        int32_t generation;
        Kind kind;
        bool operator==(const Key& other) const {
            return number == other.number && generation == other.generation && kind == other.kind;
        }
    };
    struct KeyHash {
        size_t operator()(const Key& key) const;
    };
    static constexpr int32_t kUnreadable = -1;
    static constexpr int32_t kBusy = -2;  // being worked out: met again, it is a loop

    // Adds the names that value, used as kind, draws with; remembered for a reference.
    bool Collect(const CPdfObject& value, Kind kind, int depth, Names& names);
    // The same for the value a reference leads to (or a direct value).
    bool Compute(const CPdfObject& value, Kind kind, int depth, Names& names);
    // A stream's content names, and what they draw through its own resources.
    bool DrawingOf(const CPdfObject& stream, int depth, Names& names);
    bool Type3Glyphs(const CPdfDictionary& type3, int depth, Names& names);
    bool GraphicsState(const CPdfDictionary& state, int depth, Names& names);
    bool Appearances(const CPdfDictionary& annot, int depth, Names& names);
    // Adds what the names draw through resources, and what those draw, until nothing is new.
    bool Close(const CPdfDictionary& resources, int depth, Names& names);
    // Adds the names in the data of a content stream, or of an array of them read as one;
    // budget is what may still be read, and is lowered by what is read.
    bool ContentNames(const CPdfObject& content, size_t& budget, Names& names);
    // The same for a drawing that pages share, read within what is left of the run's budget.
    bool SharedContentNames(const CPdfObject& content, Names& names);

    CPdfResolver& xref;
    // By object: an index into lists, kUnreadable or kBusy.
    std::unordered_map<Key, int32_t, KeyHash> known;
    std::vector<std::vector<std::string>> lists{{}};  // lists[0]: draws with no name
    size_t runBudget;                                 // bytes of shared drawings still to read
};
