#pragma once

#include <cstddef>
#include <cstdint>

// Every bound on the work and memory that a document can make the program spend, in one place.
// Each keeps a hostile or broken file from making a run loop, recurse or allocate without end;
// none is reached by a document that readers display. The classes that apply a bound name it
// here (their own constants are these values).
namespace CPdfLimits {

// --- Cross-reference data (file/CPdfXRef) ---
// Entries of one table: 8 million objects, far beyond real documents (the largest seen hold a
// few million); the file's size bounds them further.
constexpr int64_t kMaxXRefEntries = int64_t(1) << 23;
// Sections of a /Prev chain: incremental updates come in tens, a loop or a crafted chain in
// thousands.
constexpr int kMaxXRefSections = 4096;
// Nested fetches (an object whose /Length is another object, and so on): real nesting is one
// or two levels.
constexpr int kMaxFetchDepth = 32;
// Bytes of an object that the quick page reader looks at before handing it to the parser.
constexpr size_t kShallowWindow = 1024;

// --- Object streams (file/CPdfObjStmBytes, file/CPdfXRef) ---
// Compact bytes kept of one decoded object stream: real ones hold a few hundred kilobytes.
constexpr size_t kMaxObjStmBytes = size_t(64) << 20;
// Bytes decoded from one object stream, white space padding included: beyond this it is a
// decompression bomb, not a document.
constexpr uint64_t kMaxObjStmRawBytes = uint64_t(1) << 30;
// Objects one object stream may declare (/N).
constexpr int64_t kMaxObjStmObjects = 1000000;
// Decoded object streams kept for reuse, by bytes and by count. The readers go through a
// document's objects (its page tree, its destinations, an output's objects) in about the order
// they are stored, so a few megabytes save most decoding again; keeping every stream of a long
// manual would take its whole memory budget (16 MB).
constexpr size_t kObjStmCacheBytes = size_t(4) << 20;
constexpr size_t kObjStmCacheEntries = size_t(1) << 16;
// An object stream that an output writes is closed at this many objects or value bytes: the
// objects gathered are held in memory until then, and a reader decodes a whole stream to
// reach one of its objects. Past this, grouping more objects barely shrinks the file.
constexpr size_t kOutputObjStmObjects = 200;
constexpr size_t kOutputObjStmBytes = size_t(64) << 10;

// --- Parsing (object/CPdfParser) ---
// Nesting of arrays and dictionaries inside one value: real values nest a few levels; the
// bound keeps the recursive parser's stack small.
constexpr int kMaxValueDepth = 256;

// --- Page tree (document/CPdfCatalog) ---
// Levels of /Pages nodes above a page: real trees have a handful.
constexpr size_t kMaxPageTreeDepth = 1024;
// Links of /Parent followed up from an object met by reference to find whether it hangs in the
// page tree (through nodes without /Type): enough for any real tree, and bounded so that
// chains of /Parent in a hostile file cost little per object.
constexpr size_t kMaxParentChain = 64;
// Bytes the page tree walk may parse: this many per byte of the file, plus the allowance. A
// tree whose nodes are reached many times over (shared subtrees) costs more than its file.
constexpr int64_t kWorkPerFileByte = 8;
constexpr int64_t kWorkAllowance = int64_t(16) << 20;

// --- Document-level trees (document/) ---
// Nodes of a name tree or number tree visited (named destinations, page labels, structure
// parent trees): well above the largest trees written by real producers.
constexpr size_t kMaxTreeNodes = 100000;
// Levels of a name tree, number tree, outline, form or structure tree below its root: real
// trees have a handful; a deeper one is a loop or an attack on the stack.
constexpr size_t kMaxTreeLevels = 256;
// Outline items, form fields and structure elements read from one document.
constexpr size_t kMaxItems = 4000000;

// --- Stream data (stream/, document/CPdfResourceUse) ---
// Decoded bytes of a page's content read to find the resources it names: beyond this the page
// keeps every resource it inherits.
constexpr size_t kMaxScannedContentBytes = size_t(16) << 20;
// Decoded bytes of the shared drawings (forms, glyph programs, patterns, appearances) read in
// one run to find the names they use, each once: beyond this, pages that draw with unread ones
// keep every resource they inherit.
constexpr size_t kMaxScannedDrawingBytes = size_t(256) << 20;
// Drawings inside drawings (a form that draws a form ...): real documents nest a few levels.
constexpr int kMaxDrawingDepth = 64;
// Stored data of one stream that the output compresses (unfiltered streams in a source in clear):
// larger ones are copied as they are, in blocks, never held whole.
constexpr int64_t kMaxCompressedStreamBytes = int64_t(4) << 20;
// Compressed stream data kept for the outputs that share a stream.
constexpr size_t kMaxCompressedCacheBytes = size_t(8) << 20;
// Bytes of one predictor row: images are a few thousand pixels wide.
constexpr int64_t kMaxPredictorRowBytes = int64_t(1) << 24;

}  // namespace CPdfLimits
