#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "object/CPdfReferenceMap.h"

class CPdfObjectIndex;
struct CPdfObjectInfo;

// The objects of one output document and their numbers there. Objects that the output
// rebuilds (catalog, page tree root, pages, outline, ...) are claimed or reserved by their
// writers; every other source object that a written object refers to is given the next
// number when it is first met and queued, to be copied as it stands. References to page tree
// nodes, to pages the output does not hold, to objects dropped and to objects the source does
// not hold become null.
//
// Numbers are dense (1, 2, 3, ... in the order objects are met), or, with keepNumbers, the
// source's own (for sources whose encryption ties every object to its number); objects that
// have no source number then get numbers above the source's.
class CPdfCopySet : public CPdfReferenceMap {
public:
    CPdfCopySet(CPdfObjectIndex& index, size_t sourceSize, bool keepNumbers);

    // Marks a source object as one that is never copied as it stands: a page or a page tree
    // node. References to it are null unless an output claims it. Kept for the whole run.
    void Skip(int32_t source);

    // Starts a new output: forgets every number of the previous one.
    void Begin();
    // A number for an object that has no source object (or is a further copy of one).
    int32_t Reserve();
    // The number of source object source in this output, for a writer that writes it itself;
    // references to it get that number. The same number when claimed again.
    int32_t Claim(int32_t source);
    // References to source become null.
    void Drop(int32_t source);
    // The output number of source: 0 when it has none (yet), -1 when dropped.
    int32_t NumberOf(int32_t source) const;
    // The generation an output object written for source carries.
    int32_t GenerationOf(int32_t source) const;

    // CPdfReferenceMap: the output object for a reference, claimed or queued for copying.
    // Throws what reading the source throws.
    bool Map(int32_t& number, int32_t& generation) override;

    // The next queued object to copy: its source and output numbers. False when none is left.
    bool Next(int32_t& source, int32_t& outNumber);

    // The largest number used so far.
    int32_t LastNumber() const { return next - 1; }
    bool KeepsNumbers() const { return keepNumbers; }

private:
    // An entry of entries: skipped (for the run), queued, and the output number in the low
    // 30 bits (0 none, kDropped dropped). Output numbers stay below kDropped.
    static constexpr uint32_t kSkipped = uint32_t(1) << 31;
    static constexpr uint32_t kQueued = uint32_t(1) << 30;
    static constexpr uint32_t kNumberBits = kQueued - 1;
    static constexpr uint32_t kDropped = kNumberBits;

    // The output number of source n (in the table): 0 when it has none, -1 when dropped.
    int32_t Number(size_t n) const {
        const uint32_t number = entries[n] & kNumberBits;
        return number == kDropped ? -1 : static_cast<int32_t>(number);
    }
    void Assign(int32_t source, int32_t value);
    // True when the object hangs in a page tree: a /Parent (through nodes without /Type) leads
    // to a /Pages node. Such an object is a page or a node even without a /Type (the page tree
    // walk may not have read it), and is never copied as it stands.
    bool HangsFromPageTree(const CPdfObjectInfo& info) const;

    CPdfObjectIndex& index;
    const bool keepNumbers;
    std::vector<uint32_t> entries;  // by source number
    // Source numbers given a number in this output, in that order; the queued ones are the
    // queue, and queueHead is where it stands.
    std::vector<int32_t> touched;
    size_t queueHead = 0;
    int32_t next = 1;
};
