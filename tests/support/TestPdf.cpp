#include "TestPdf.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <stdexcept>
#include <utility>

namespace testpdf {

namespace {

std::string Num(long long value) {
    return std::to_string(value);
}

std::string Ref(int number, int generation = 0) {
    return Num(number) + " " + Num(generation) + " R";
}

std::string ObjectText(int number, int generation, const std::string& body) {
    return Num(number) + " " + Num(generation) + " obj\n" + body + "\nendobj\n";
}

// Strips one enclosing "<<" ">>" pair (and the blanks around it) from dictionary text.
std::string DictEntries(const std::string& dict) {
    const size_t begin = dict.find_first_not_of(" \t\r\n");
    const size_t end = dict.find_last_not_of(" \t\r\n");
    if (begin == std::string::npos) return "";
    std::string text = dict.substr(begin, end - begin + 1);
    if (text.size() >= 4 && text.compare(0, 2, "<<") == 0 &&
        text.compare(text.size() - 2, 2, ">>") == 0) {
        text = text.substr(2, text.size() - 4);
    }
    return text;
}

// Appends `value` big-endian in `width` bytes; throws when it does not fit.
void PutField(std::string& out, unsigned long long value, int width, const char* what) {
    if (width < 8 && value >> (8 * width) != 0) {
        throw std::logic_error(std::string("testpdf: ") + what + " " + Num(value) +
                               " does not fit /W width " + Num(width));
    }
    for (int i = width - 1; i >= 0; --i) {
        out += static_cast<char>(i >= 8 ? 0 : (value >> (8 * i)) & 0xFF);
    }
}

// Cuts sorted object numbers into subsections (first, count): runs of consecutive numbers,
// each at most `maxCount` long when maxCount > 0.
std::vector<std::pair<int, int>> Subsections(const std::vector<int>& numbers, int maxCount) {
    std::vector<std::pair<int, int>> runs;
    for (int n : numbers) {
        if (!runs.empty() && runs.back().first + runs.back().second == n &&
            (maxCount <= 0 || runs.back().second < maxCount)) {
            ++runs.back().second;
        } else {
            runs.emplace_back(n, 1);
        }
    }
    return runs;
}

int PaethPredictor(int left, int up, int upLeft) {
    const int p = left + up - upLeft;
    const int pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upLeft);
    if (pa <= pb && pa <= pc) return left;
    return pb <= pc ? up : upLeft;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Encoders and stream bodies

std::string Deflate(const std::string& data) {
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&out[0]), &size,
                  reinterpret_cast<const Bytef*>(data.data()), data.size(),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        throw std::runtime_error("testpdf: zlib compress2 failed");
    }
    out.resize(size);
    return out;
}

std::string PngEncode(const std::string& data, int columns, int bytesPerPixel, PngFilter filter) {
    return PngEncode(data, columns, bytesPerPixel, std::vector<PngFilter>{filter});
}

std::string PngEncode(const std::string& data, int columns, int bytesPerPixel,
                      const std::vector<PngFilter>& filters) {
    const size_t rowBytes = static_cast<size_t>(columns) * bytesPerPixel;
    if (rowBytes == 0 || bytesPerPixel <= 0 || data.size() % rowBytes != 0 || filters.empty()) {
        throw std::logic_error("testpdf: PngEncode needs whole rows and at least one filter");
    }
    const size_t bpp = bytesPerPixel;
    std::string out;
    const std::string zeros(rowBytes, '\0');
    for (size_t row = 0; row * rowBytes < data.size(); ++row) {
        const unsigned char* cur = reinterpret_cast<const unsigned char*>(&data[row * rowBytes]);
        const unsigned char* prev = reinterpret_cast<const unsigned char*>(
            row == 0 ? zeros.data() : &data[(row - 1) * rowBytes]);
        const PngFilter filter = filters[row % filters.size()];
        out += static_cast<char>(filter);
        for (size_t i = 0; i < rowBytes; ++i) {
            const int left = i >= bpp ? cur[i - bpp] : 0;
            const int up = prev[i];
            const int upLeft = i >= bpp ? prev[i - bpp] : 0;
            int predicted = 0;
            switch (filter) {
                case PngFilter::None:
                    predicted = 0;
                    break;
                case PngFilter::Sub:
                    predicted = left;
                    break;
                case PngFilter::Up:
                    predicted = up;
                    break;
                case PngFilter::Average:
                    predicted = (left + up) / 2;
                    break;
                case PngFilter::Paeth:
                    predicted = PaethPredictor(left, up, upLeft);
                    break;
            }
            out += static_cast<char>((cur[i] - predicted) & 0xFF);
        }
    }
    return out;
}

std::string TiffEncode(const std::string& data, int columns, int colors) {
    const size_t rowBytes = static_cast<size_t>(columns) * colors;
    if (rowBytes == 0 || colors <= 0 || data.size() % rowBytes != 0) {
        throw std::logic_error("testpdf: TiffEncode needs whole rows");
    }
    std::string out = data;
    for (size_t i = 0; i < data.size(); ++i) {
        if (i % rowBytes >= static_cast<size_t>(colors)) {
            out[i] = static_cast<char>((static_cast<unsigned char>(data[i]) -
                                        static_cast<unsigned char>(data[i - colors])) &
                                       0xFF);
        }
    }
    return out;
}

std::string StreamBody(const std::string& dict, const std::string& data) {
    return StreamBody(dict, data, Num(static_cast<long long>(data.size())));
}

std::string StreamBody(const std::string& dict, const std::string& data,
                       const std::string& lengthText) {
    std::string entries = DictEntries(dict);
    if (!entries.empty()) entries += ' ';
    return "<< " + entries + "/Length " + lengthText + " >>\nstream\n" + data + "\nendstream";
}

// ---------------------------------------------------------------------------------------
// Builder

Builder::Builder(std::string header) : version(std::move(header)), sections(1) {}

Builder& Builder::SetJunkBeforeHeader(std::string bytes) {
    junk = std::move(bytes);
    return *this;
}

Builder& Builder::Add(int number, std::string body, int generation) {
    if (number <= 0) throw std::logic_error("testpdf: object numbers start at 1");
    sections.back().items.push_back({number, generation, std::move(body)});
    return *this;
}

Builder& Builder::AddStream(int number, const std::string& dict, const std::string& data,
                            int generation) {
    return Add(number, StreamBody(dict, data), generation);
}

Builder& Builder::AddRaw(std::string bytes) {
    sections.back().items.push_back({-1, 0, std::move(bytes)});
    return *this;
}

Builder& Builder::Free(int number, int nextGeneration) {
    sections.back().freed[number] = nextGeneration;
    return *this;
}

Builder& Builder::PutInObjectStream(int streamNumber, std::vector<int> objects, bool compress) {
    sections.back().objStms.push_back({streamNumber, std::move(objects), compress});
    return *this;
}

Builder& Builder::SetRoot(int number, int generation) {
    sections.back().root = Ref(number, generation);
    return *this;
}

Builder& Builder::SetInfo(int number, int generation) {
    sections.back().info = Ref(number, generation);
    return *this;
}

Builder& Builder::SetId(std::string first, std::string second) {
    sections.back().id = "[<" + first + "><" + second + ">]";
    return *this;
}

Builder& Builder::AddTrailerEntries(std::string raw) {
    std::string& extra = sections.back().extra;
    if (!extra.empty()) extra += ' ';
    extra += raw;
    return *this;
}

Builder& Builder::SetXref(XrefOptions options) {
    sections.back().xref = options;
    return *this;
}

Builder& Builder::BeginUpdate() {
    Section next;
    next.root = sections.back().root;
    next.info = sections.back().info;
    next.id = sections.back().id;
    next.xref = sections.back().xref;
    next.xref.streamNumber = 0;  // a number given for one section's stream is not reused
    sections.push_back(std::move(next));
    return *this;
}

long long Builder::OffsetOf(int number) const {
    const auto it = offsets.find(number);
    return it == offsets.end() ? -1 : it->second;
}

std::string Builder::Build() {
    std::string v = version;
    if (v.empty()) {
        v = "1.4";
        for (const Section& s : sections) {
            if (s.xref.style != XrefStyle::Table || !s.objStms.empty()) v = "1.5";
        }
    }
    offsets.clear();
    xrefOffsets.clear();
    std::string out = junk;
    const size_t headerPos = out.size();
    out += "%PDF-" + v + "\n%\xE2\xE3\xCF\xD3\n";
    int size = 1;  // object 0 always counts
    for (size_t i = 0; i < sections.size(); ++i) {
        WriteSection(sections[i], i == 0, out, headerPos, size);
    }
    return out;
}

// Writes one section: its objects, its object streams and its cross-reference data with the
// trailer, "startxref" and "%%EOF". `size` is the running /Size over all sections.
void Builder::WriteSection(const Section& section, bool first, std::string& out, size_t headerPos,
                           int& size) {
    const XrefOptions& opt = section.xref;
    auto here = [&] { return static_cast<long long>(out.size() - headerPos); };
    std::map<int, Entry> entries;

    // Objects, skipping those that go into object streams.
    std::set<int> compressed;
    for (const ObjStm& stm : section.objStms) {
        compressed.insert(stm.objects.begin(), stm.objects.end());
    }
    for (const Item& item : section.items) {
        if (item.number < 0) {
            out += item.text;
        } else if (!compressed.count(item.number)) {
            entries[item.number] = {1, here(), item.generation};
            offsets[item.number] = here();
            out += ObjectText(item.number, item.generation, item.text);
        }
    }

    // Object streams: header pairs "number offset", then the objects, one per line.
    for (const ObjStm& stm : section.objStms) {
        std::string header, body;
        for (size_t k = 0; k < stm.objects.size(); ++k) {
            const int number = stm.objects[k];
            auto item = std::find_if(section.items.rbegin(), section.items.rend(),
                                     [&](const Item& it) { return it.number == number; });
            if (item == section.items.rend() || item->generation != 0) {
                throw std::logic_error("testpdf: object " + Num(number) +
                                       " for an object stream is missing or not generation 0");
            }
            header += Num(number) + " " + Num(static_cast<long long>(body.size())) + " ";
            body += item->text + "\n";
            entries[number] = {2, stm.number, static_cast<long long>(k)};
            offsets.erase(number);
        }
        const std::string data = header + body;
        std::string dict = "/Type /ObjStm /N " + Num(static_cast<long long>(stm.objects.size())) +
                           " /First " + Num(static_cast<long long>(header.size()));
        if (stm.compress) dict += " /Filter /FlateDecode";
        entries[stm.number] = {1, here(), 0};
        offsets[stm.number] = here();
        out += ObjectText(stm.number, 0, StreamBody(dict, stm.compress ? Deflate(data) : data));
    }

    for (const auto& [number, generation] : section.freed) entries[number] = {0, 0, generation};
    if (!entries.empty()) size = std::max(size, entries.rbegin()->first + 1);

    const bool hasCompressed = std::any_of(entries.begin(), entries.end(),
                                           [](const auto& e) { return e.second.type == 2; });
    if (hasCompressed && opt.style == XrefStyle::Table) {
        throw std::logic_error("testpdf: object streams need a cross-reference stream");
    }
    if (opt.predictor && !opt.compress) {
        throw std::logic_error("testpdf: the xref predictor needs compression");
    }
    int streamNumber = 0;
    if (opt.style != XrefStyle::Table) {
        streamNumber = opt.streamNumber > 0 ? opt.streamNumber : size;
        size = std::max(size, streamNumber + 1);
    }

    // The numbers listed for `list` (entries of this section), free entries linked in a chain.
    auto listing = [&](const std::map<int, Entry>& list, bool allNumbers, bool skipFree) {
        std::vector<int> numbers;
        if (first && allNumbers) {
            for (int n = 0; n < size; ++n) numbers.push_back(n);
        } else {
            if (first) numbers.push_back(0);
            for (const auto& e : list) {
                if (e.first != 0) numbers.push_back(e.first);
            }
        }
        std::vector<std::pair<int, Entry>> rows;
        for (int n : numbers) {
            auto it = list.find(n);
            Entry e = it != list.end() ? it->second : Entry{0, 0, n == 0 ? 65535 : 0};
            if (skipFree && e.type == 0) continue;
            rows.emplace_back(n, e);
        }
        int nextFree = 0;  // link the free entries: each names the next one, the last names 0
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
            if (it->second.type == 0) {
                it->second.field2 = nextFree;
                nextFree = it->first;
            }
        }
        return rows;
    };
    auto subsections = [&](const std::vector<std::pair<int, Entry>>& rows) {
        std::vector<int> numbers;
        for (const auto& row : rows) numbers.push_back(row.first);
        return Subsections(numbers, opt.maxSubsection);
    };
    auto trailerEntries = [&](long long xrefStm) {
        std::string t = "/Size " + Num(opt.sizeOverride >= 0 ? opt.sizeOverride : size);
        if (!section.root.empty()) t += " /Root " + section.root;
        if (!section.info.empty()) t += " /Info " + section.info;
        if (!section.id.empty()) t += " /ID " + section.id;
        if (!xrefOffsets.empty()) t += " /Prev " + Num(xrefOffsets.back());
        if (xrefStm >= 0) t += " /XRefStm " + Num(xrefStm);
        if (!section.extra.empty()) t += " " + section.extra;
        return t;
    };
    // A cross-reference stream object listing `rows`, with `extra` dictionary entries.
    auto writeXrefStream = [&](const std::vector<std::pair<int, Entry>>& rows,
                               const std::string& extra) {
        const auto& w = opt.widths;
        std::string data;
        for (const auto& row : rows) {
            const Entry& e = row.second;
            if (w[0] == 0 && e.type != 1) {
                throw std::logic_error("testpdf: /W [0 ...] cannot hold a compressed object");
            }
            if (w[0] > 0) PutField(data, e.type, w[0], "type");
            PutField(data, e.field2, w[1], "field");
            // A free entry's generation is dropped when it does not fit (65535 of object 0).
            const long long gen =
                e.type == 0 && w[2] < 8 ? e.field3 & ((1LL << (8 * w[2])) - 1) : e.field3;
            PutField(data, gen, w[2], "field");
        }
        const auto runs = subsections(rows);
        std::string dict = "/Type /XRef /W [" + Num(w[0]) + " " + Num(w[1]) + " " + Num(w[2]) + "]";
        if (!(runs.size() == 1 && runs[0].first == 0 && runs[0].second == size)) {
            dict += " /Index [";
            for (size_t i = 0; i < runs.size(); ++i) {
                dict += (i ? " " : "") + Num(runs[i].first) + " " + Num(runs[i].second);
            }
            dict += "]";
        }
        dict += " " + extra;
        if (opt.compress) {
            dict += " /Filter /FlateDecode";
            const int columns = w[0] + w[1] + w[2];
            if (opt.predictor) {
                dict += " /DecodeParms << /Predictor 12 /Columns " + Num(columns) + " >>";
                data = PngEncode(data, columns, 1, opt.predictorFilter);
            }
            data = Deflate(data);
        }
        out += ObjectText(streamNumber, 0, StreamBody(dict, data));
    };
    auto writeTable = [&](const std::vector<std::pair<int, Entry>>& rows, long long xrefStm) {
        const char* eol = opt.lineEnd == LineEnd::CrLf      ? "\r\n"
                          : opt.lineEnd == LineEnd::SpaceLf ? " \n"
                                                            : "\n";
        out += "xref\n";
        size_t row = 0;
        for (const auto& [firstNumber, count] : subsections(rows)) {
            out += Num(firstNumber) + " " + Num(count) + "\n";
            for (int k = 0; k < count; ++k, ++row) {
                const Entry& e = rows[row].second;
                char line[32];
                std::snprintf(line, sizeof line, "%010lld %05d %c", e.field2,
                              static_cast<int>(e.field3), e.type == 1 ? 'n' : 'f');
                out += std::string(line) + eol;
            }
        }
        out += "trailer\n<< " + trailerEntries(xrefStm) + " >>\n";
    };

    long long xrefOffset = 0;
    if (opt.style == XrefStyle::Stream) {
        xrefOffset = here();
        entries[streamNumber] = {1, xrefOffset, 0};
        offsets[streamNumber] = xrefOffset;
        writeXrefStream(listing(entries, !opt.onlyInUse, opt.widths[0] == 0), trailerEntries(-1));
    } else {
        std::map<int, Entry> table, stream;
        for (const auto& e : entries) (e.second.type == 2 ? stream : table).insert(e);
        long long xrefStm = -1;
        if (opt.style == XrefStyle::Hybrid) {
            xrefStm = here();
            table[streamNumber] = {1, xrefStm, 0};
            offsets[streamNumber] = xrefStm;
            // Listed from the compressed entries alone, never object 0 or free entries.
            std::vector<std::pair<int, Entry>> rows(stream.begin(), stream.end());
            writeXrefStream(rows, "/Size " + Num(size));
        }
        xrefOffset = here();
        writeTable(listing(table, !opt.onlyInUse, false), xrefStm);
    }
    out += "startxref\n" + Num(xrefOffset) + "\n%%EOF\n";
    xrefOffsets.push_back(xrefOffset);
}

// ---------------------------------------------------------------------------------------
// Ready-made documents

namespace {

// Fixed-width lower-case letters for n >= 0, so that names sort like the numbers.
std::string LetterName(int n, int width) {
    std::string s(width, 'a');
    for (int i = width - 1; i >= 0; --i, n /= 26) s[i] = static_cast<char>('a' + n % 26);
    return s;
}

// Content of page n: a coloured square placed by n, then "Page n" centred in 72 pt Helvetica.
std::string PageContent(int n) {
    const int digits = static_cast<int>(Num(n).size());
    // Helvetica widths: P 667, a g e 556, space 278, digits 556 (thousandths of the size).
    const double textWidth = (667 + 3 * 556 + 278 + 556 * digits) * 72 / 1000.0;
    const int x = 36 + ((n - 1) % 6) * 90;
    const int y = 36 + ((n - 1) / 6 % 8) * 90;
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "q %.2f %.2f %.2f rg %d %d 72 72 re f Q\n"
                  "BT 0 g /F1 72 Tf %.1f 370 Td (Page %d) Tj ET",
                  (n * 37 % 100) / 100.0, (n * 59 % 100) / 100.0, (n * 83 % 100) / 100.0, x, y,
                  (612 - textWidth) / 2, n);
    return buf;
}

}  // namespace

std::string MakeSimpleDocument(int pageCount, const SimpleOptions& options) {
    using L = SimpleLayout;
    const std::string resources = "/Resources << /Font << /F1 4 0 R >> /ProcSet [/PDF /Text] >>";
    const std::string mediaBox = "/MediaBox [0 0 612 792]";
    const std::string rotateEntry = options.rotate ? "/Rotate " + Num(options.rotate) : "";
    const bool inherit = options.inheritAttributes;
    const int fanout = options.kidsPerNode > 0 ? options.kidsPerNode : inherit ? 4 : 0;
    if (fanout == 1 || pageCount < 0) throw std::logic_error("testpdf: bad simple document");

    Builder b;
    std::vector<int> plainObjects;  // everything but content streams: may go in object streams
    auto add = [&](int number, const std::string& body) {
        b.Add(number, body);
        plainObjects.push_back(number);
    };
    const bool outline = options.outline && pageCount > 0;

    // Page tree: group the pages (then the groups) by `fanout` until the root's kids fit.
    struct Node {
        int number;
        std::vector<int> kids;
        int count;
        bool pageParent;
    };
    std::vector<Node> nodes;
    std::map<int, int> parentOf, leafCount;
    std::vector<int> level;
    for (int n = 1; n <= pageCount; ++n) {
        level.push_back(L::Page(n));
        leafCount[L::Page(n)] = 1;
    }
    int next = L::Action(pageCount) + 1;
    bool pageLevel = true;
    while (fanout > 0 && !level.empty() && (pageLevel || level.size() > size_t(fanout))) {
        std::vector<int> up;
        for (size_t i = 0; i < level.size(); i += fanout) {
            Node node{next++, {}, 0, pageLevel};
            for (size_t k = i; k < std::min(level.size(), i + fanout); ++k) {
                node.kids.push_back(level[k]);
                node.count += leafCount[level[k]];
                parentOf[level[k]] = node.number;
            }
            leafCount[node.number] = node.count;
            up.push_back(node.number);
            nodes.push_back(node);
        }
        level = up;
        pageLevel = false;
    }
    nodes.push_back({L::kPages, level, pageCount, pageLevel});
    for (int kid : level) parentOf[kid] = L::kPages;

    std::string catalog = "<< /Type /Catalog /Pages " + Ref(L::kPages);
    if (outline) catalog += " /Outlines " + Ref(L::kOutlines) + " /PageMode /UseOutlines";
    if (outline && options.namedDests) catalog += " /Names << /Dests " + Ref(L::kDests) + " >>";
    add(L::kCatalog, catalog + " >>");

    std::rotate(nodes.begin(), nodes.end() - 1, nodes.end());  // the root first
    for (auto it = nodes.begin(); it != nodes.end(); ++it) {
        std::string body = "<< /Type /Pages";
        if (it->number != L::kPages) body += " /Parent " + Ref(parentOf[it->number]);
        body += " /Kids [";
        for (size_t k = 0; k < it->kids.size(); ++k) body += (k ? " " : "") + Ref(it->kids[k]);
        body += "] /Count " + Num(it->count);
        if (inherit && it->number == L::kPages)
            body += " " + mediaBox + (rotateEntry.empty() ? "" : " " + rotateEntry);
        if (inherit && it->pageParent) body += " " + resources;
        add(it->number, body + " >>");
    }

    if (options.info) {
        add(L::kInfo, "<< /Title (Sample document of " + Num(pageCount) +
                          " pages) /Author (Brantor tests) /Creator (testpdf) /Producer (testpdf)"
                          " /CreationDate (D:20240101120000Z) >>");
    }
    add(L::kFont,
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");

    int nameWidth = 2;
    for (int capacity = 26 * 26; capacity < pageCount; capacity *= 26) ++nameWidth;
    auto destName = [&](int n) { return "page-" + LetterName(n - 1, nameWidth); };
    if (outline) {
        add(L::kOutlines, "<< /Type /Outlines /First " + Ref(L::OutlineItem(1)) + " /Last " +
                              Ref(L::OutlineItem(pageCount)) + " /Count " + Num(pageCount) + " >>");
        if (options.namedDests) {
            std::string names;
            for (int n = 1; n <= pageCount; ++n) {
                names += (n > 1 ? " (" : "(") + destName(n) + ") [" + Ref(L::Page(n)) + " /Fit]";
            }
            add(L::kDests, "<< /Names [" + names + "] >>");
        }
    }

    for (int n = 1; n <= pageCount; ++n) {
        std::string page = "<< /Type /Page /Parent " + Ref(parentOf[L::Page(n)]) + " /Contents " +
                           Ref(L::Content(n));
        if (!inherit) page += " " + mediaBox + (rotateEntry.empty() ? "" : " " + rotateEntry);
        if (!inherit || options.ownResources) page += " " + resources;
        add(L::Page(n), page + " >>");
        b.AddStream(L::Content(n), "", PageContent(n));
        if (outline) {
            // /A comes before the other references, so that "/A" is the first match in the text.
            std::string item = "<< /Title (Page " + Num(n) + ") /A " + Ref(L::Action(n)) +
                               " /Parent " + Ref(L::kOutlines);
            if (n > 1) item += " /Prev " + Ref(L::OutlineItem(n - 1));
            if (n < pageCount) item += " /Next " + Ref(L::OutlineItem(n + 1));
            add(L::OutlineItem(n), item + " >>");
            add(L::Action(n), options.namedDests
                                  ? "<< /S /GoTo /D (" + destName(n) + ") >>"
                                  : "<< /S /GoTo /D [" + Ref(L::Page(n)) + " /Fit] >>");
        }
    }

    XrefOptions xref;
    switch (options.style) {
        case SimpleStyle::Table:
            xref.style = XrefStyle::Table;
            break;
        case SimpleStyle::XrefStream:
        case SimpleStyle::ObjectStreams:
            xref.style = XrefStyle::Stream;
            break;
        case SimpleStyle::Hybrid:
            xref.style = XrefStyle::Hybrid;
            break;
    }
    if (options.style == SimpleStyle::ObjectStreams || options.style == SimpleStyle::Hybrid) {
        const size_t chunk =
            options.objectsPerStream > 0 ? options.objectsPerStream : plainObjects.size();
        for (size_t i = 0; i < plainObjects.size(); i += chunk) {
            const auto end = plainObjects.begin() + std::min(plainObjects.size(), i + chunk);
            b.PutInObjectStream(next++, std::vector<int>(plainObjects.begin() + i, end));
        }
    }
    b.SetXref(xref).SetRoot(L::kCatalog);
    if (options.info) b.SetInfo(L::kInfo);
    if (options.id) {
        char first[40];
        std::snprintf(first, sizeof first, "%08X5B7A1C3E9D2F4A6B8C0E1D3F", pageCount);
        b.SetId(first, "0F1E2D3C4B5A69788796A5B4C3D2E1F0");
    }
    return b.Build();
}

}  // namespace testpdf
