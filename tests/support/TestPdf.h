#pragma once

// testpdf: builds PDF files in memory for the test suites and the sample generator.
//
// A file is made with a Builder: objects are added by number with their body text, the
// cross-reference style of each section is chosen, and Build() returns the bytes. A few
// free functions produce encoded data (Flate, PNG and TIFF predictors) and stream bodies,
// and MakeSimpleDocument() makes a complete, valid document with N distinct pages.
//
// Conventions:
// - All offsets are counted from the "%" of "%PDF-" (so junk before the header does not
//   shift them), as in every cross-reference section the builder writes.
// - Misuse that cannot produce the requested file (a value that does not fit a field width,
//   a compressed object missing from its section, ...) throws std::logic_error.
//
// Example: a two-object file with a classic table
//
//     testpdf::Builder b;
//     b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
//     b.Add(2, "<< /Type /Pages /Kids [] /Count 0 >>");
//     b.SetRoot(1);
//     std::string pdf = b.Build();

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace testpdf {

// ---------------------------------------------------------------------------------------
// Encoders and stream bodies

// zlib-wrapped Flate data of `data` (what /FlateDecode reads).
std::string Deflate(const std::string& data);

// PNG row filters; the value is the tag byte written in front of each row.
enum class PngFilter { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

// PNG predictor encoding (/Predictor 10 to 15): `data` is cut into rows of
// columns * bytesPerPixel bytes (its size must be a multiple of that), and every row is written
// as its tag byte followed by the filtered bytes. The matching parameters are
// << /Predictor 12 /Columns columns /Colors bytesPerPixel >> for 8-bit samples.
std::string PngEncode(const std::string& data, int columns, int bytesPerPixel, PngFilter filter);
// As above, row r using filters[r % filters.size()], to mix methods in one stream.
std::string PngEncode(const std::string& data, int columns, int bytesPerPixel,
                      const std::vector<PngFilter>& filters);

// TIFF predictor 2 encoding for 8-bit samples (<< /Predictor 2 /Colors colors /Columns columns
// >>): rows of columns * colors bytes, every byte minus the byte `colors` positions earlier in
// the same row (modulo 256).
std::string TiffEncode(const std::string& data, int columns, int colors);

// Body text of a stream object: "<< entries /Length n >>\nstream\n" data "\nendstream".
// `dict` holds the dictionary entries other than /Length, with or without the enclosing
// "<<" ">>".
std::string StreamBody(const std::string& dict, const std::string& data);
// As above, with /Length written as `lengthText` (a wrong number, or a reference "9 0 R").
std::string StreamBody(const std::string& dict, const std::string& data,
                       const std::string& lengthText);

// ---------------------------------------------------------------------------------------
// Builder

enum class XrefStyle {
    Table,   // classic "xref" table and "trailer" dictionary
    Stream,  // cross-reference stream carrying the trailer entries
    Hybrid,  // classic table whose trailer has /XRefStm pointing at a cross-reference stream
             // that lists the objects stored in object streams; the table lists that stream and
             // the other objects, the compressed ones being free entries or left out
};

// End of the 20-byte lines of a classic table.
enum class LineEnd {
    CrLf,     // "0000000017 00000 n\r\n"
    SpaceLf,  // "0000000017 00000 n \n"
    Lf,       // "0000000017 00000 n\n" (19 bytes: for reader tolerance tests only)
};

// How one section writes its cross-reference data.
struct XrefOptions {
    XrefStyle style = XrefStyle::Table;

    // Which entries are listed. The first section lists 0 .. Size-1 by default, numbers that
    // no object uses becoming free entries; with onlyInUse it lists object 0 and the runs of
    // numbers that this section defines. An update section always lists only its own entries
    // (one subsection per run of consecutive numbers).
    bool onlyInUse = false;
    // Subsections are cut to at most this many entries (0: no limit), giving several
    // subsections even where the numbers are consecutive.
    int maxSubsection = 0;

    // Classic tables only.
    LineEnd lineEnd = LineEnd::CrLf;

    // Cross-reference streams only (also the /XRefStm stream of a hybrid section).
    // /W byte widths. With widths[0] == 0 every entry is of type 1: free entries (object 0
    // included) are left out of /Index, and compressed objects are refused. A free entry's
    // generation is cut to its field (65535 of object 0 does not fit one byte); any other value
    // that does not fit its field is refused.
    std::array<int, 3> widths{{1, 4, 2}};
    bool compress = true;    // /Filter /FlateDecode, else the rows are stored as they are
    bool predictor = false;  // PNG predictor, /DecodeParms << /Predictor 12 /Columns sum(W) >>;
                             // needs compress
    PngFilter predictorFilter = PngFilter::Up;  // row filter used with `predictor`
    int streamNumber = 0;   // object number of the stream; 0: the next unused number
    int sizeOverride = -1;  // /Size written instead of the computed one (any style); -1: none
};

class Builder {
public:
    // `version` goes after "%PDF-"; empty: "1.5" when a section uses cross-reference or object
    // streams, else "1.4".
    explicit Builder(std::string version = "");

    // Bytes written before "%PDF-".
    Builder& SetJunkBeforeHeader(std::string junk);

    // Adds object `number` to the current section: "number generation obj\n" body "\nendobj\n".
    // Objects are written in the order they are added. Adding a number again in a later section
    // replaces the object in that update.
    Builder& Add(int number, std::string body, int generation = 0);
    // Shorthand for Add(number, StreamBody(dict, data), generation).
    Builder& AddStream(int number, const std::string& dict, const std::string& data,
                       int generation = 0);
    // Bytes written verbatim between the objects of the current section (comments, garbage).
    Builder& AddRaw(std::string bytes);
    // A free entry for `number` in the current section (an object deleted by an update);
    // `nextGeneration` is the generation the number would have when used again.
    Builder& Free(int number, int nextGeneration = 1);
    // Stores the listed objects of the current section (generation 0, added with Add in the
    // same section, in any order) in object stream `streamNumber`, in list order. /N, /First
    // and the header pairs are computed; the stream is Flate compressed unless `compress` is
    // false. Object streams are written after the section's other objects.
    Builder& PutInObjectStream(int streamNumber, std::vector<int> objects, bool compress = true);

    // Trailer entries of the current section. /Root, /Info and /ID are carried over into the
    // next section by BeginUpdate(); /Size, /Prev and /XRefStm are computed.
    Builder& SetRoot(int number, int generation = 0);
    Builder& SetInfo(int number, int generation = 0);
    // /ID [<first><second>], both given as hexadecimal digits.
    Builder& SetId(std::string first, std::string second);
    // Raw text added inside the trailer dictionary (or the cross-reference stream dictionary)
    // of the current section only, e.g. "/Custom (x)".
    Builder& AddTrailerEntries(std::string raw);
    // Cross-reference options of the current section (carried over by BeginUpdate(), except
    // streamNumber).
    Builder& SetXref(XrefOptions options);

    // Closes the current section and starts an incremental update: its objects, free entries
    // and cross-reference data follow the previous section's "%%EOF", and its trailer gets
    // /Prev with the offset of the previous section's cross-reference data.
    Builder& BeginUpdate();

    // The whole file. Can be called again after further changes.
    std::string Build();

    // After Build(): offset of the newest "N G obj" line of `number` written as an ordinary
    // object (not in an object stream), or -1.
    long long OffsetOf(int number) const;
    // After Build(): offset of each section's cross-reference data (the "xref" keyword or the
    // stream object), oldest section first; this is what "startxref" and /Prev name.
    const std::vector<long long>& XrefOffsets() const { return xrefOffsets; }

private:
    struct Item {  // an object, or raw bytes when number < 0
        int number;
        int generation;
        std::string text;
    };
    struct ObjStm {
        int number;
        std::vector<int> objects;
        bool compress;
    };
    struct Section {
        std::vector<Item> items;
        std::map<int, int> freed;  // number -> next generation
        std::vector<ObjStm> objStms;
        std::string root, info, id, extra;
        XrefOptions xref;
    };
    struct Entry {  // one cross-reference entry: type 0, 1 or 2 and its two fields
        int type;
        long long field2;
        long long field3;
    };

    void WriteSection(const Section& section, bool first, std::string& out, size_t headerPos,
                      int& size);

    std::string version;
    std::string junk;
    std::vector<Section> sections;
    std::map<int, long long> offsets;
    std::vector<long long> xrefOffsets;
};

// ---------------------------------------------------------------------------------------
// Ready-made documents

enum class SimpleStyle {
    Table,          // classic table, every object at a byte offset
    XrefStream,     // cross-reference stream, every object at a byte offset
    ObjectStreams,  // cross-reference stream, all non-stream objects in object streams
    Hybrid,         // as ObjectStreams, found through a classic table with /XRefStm
};

struct SimpleOptions {
    SimpleStyle style = SimpleStyle::Table;
    // ObjectStreams and Hybrid: at most this many objects per object stream (0: one stream).
    int objectsPerStream = 0;

    // Put /MediaBox and /Rotate on the page tree root and /Resources on the pages' parent
    // nodes instead of on the pages.
    bool inheritAttributes = false;
    // With inheritAttributes: the pages still carry their own /Resources as well.
    bool ownResources = false;
    // Kids per intermediate /Pages node; the tree gets as many levels as needed. 0: all pages
    // are kids of the root, unless inheritAttributes is set, which then uses 4.
    int kidsPerNode = 0;
    int rotate = 0;  // /Rotate value, written when not 0

    // Outline with one first-level item "Page N" per page, each with an indirect
    // << /S /GoTo /D [page /Fit] >> action.
    bool outline = true;
    // With outline: the actions name string destinations of a /Names /Dests tree instead
    // (<< /S /GoTo /D (name) >>). The names contain no digits ("page-aa", "page-ab", ...).
    bool namedDests = false;
    bool info = true;  // /Info dictionary
    bool id = true;    // /ID in the trailer
};

// Object numbers used by MakeSimpleDocument (page numbers n start at 1). Numbers of objects
// that the options leave out stay unused. Intermediate page tree nodes, then the object
// streams, then the cross-reference stream take the numbers after Action(pageCount).
struct SimpleLayout {
    static constexpr int kCatalog = 1;
    static constexpr int kPages = 2;  // page tree root
    static constexpr int kInfo = 3;
    static constexpr int kFont = 4;  // /F1, Helvetica, not embedded
    static constexpr int kOutlines = 5;
    static constexpr int kDests = 6;  // root of the /Dests name tree
    static constexpr int Page(int n) { return 6 + 4 * n; }
    static constexpr int Content(int n) { return Page(n) + 1; }
    static constexpr int OutlineItem(int n) { return Page(n) + 2; }
    static constexpr int Action(int n) { return Page(n) + 3; }
};

// A valid document of `pageCount` US Letter pages. Page n shows "Page n" in big Helvetica in
// the middle and a coloured rectangle whose place and colour depend on n; each page has its own
// uncompressed content stream.
std::string MakeSimpleDocument(int pageCount, const SimpleOptions& options = SimpleOptions());

}  // namespace testpdf
