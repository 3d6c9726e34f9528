#pragma once

// An output of the split job read back through the program's own reader, for tests that
// check what an output holds without depending on the numbers its objects got: its frame
// (every object of a densely numbered table where its line says), its pages and what they
// show, its catalog, and its outline as a line of text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "SplitRun.h"
#include "document/CPdfCatalog.h"
#include "document/CPdfDocument.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfObjectWriter.h"
#include "object/CPdfReferenceMap.h"
#include "stream/CPdfStream.h"

namespace splitrun {

class OutputPdf {
public:
    // Reads the file; checks its frame: a table from startxref whose lines point at their
    // objects, and with dense set, every number in use.
    explicit OutputPdf(const std::string& name, bool dense = true) {
        bytes = ReadFile(name);
        try {
            document.Open(name);
        } catch (const CPdfException& e) {
            ADD_FAILURE() << name << ": " << e.GetMessage();
        }
        ReadTable(name, dense);
    }

    bool Opened() const { return document.open; }
    CPdfXRef* XRef() const { return document.xref.get(); }
    CPdfObject Resolve(const CPdfObject& value) const { return value.Resolve(XRef()); }
    CPdfObject Catalog() const { return XRef()->Fetch(XRef()->rootNum, XRef()->rootGen); }
    // The catalog's entry, resolved.
    CPdfObject CatalogEntry(const std::string& key) const {
        CPdfObject c = Catalog();
        return c.kind == kindDictionary ? c.dictValue->GetResolved(key) : CPdfObject(kindNull);
    }

    size_t PageCount() const { return Opened() ? document.catalog->GetPageCount() : 0; }
    int32_t PageNumber(size_t i) const { return document.catalog->pages[i].objectNumber; }
    CPdfObject Page(size_t i) const { return XRef()->Fetch(PageNumber(i), 0); }
    // The 0-based index of the page object number, -1 when it is none of the pages.
    int PageIndex(int32_t number) const {
        for (size_t i = 0; i < PageCount(); ++i) {
            if (PageNumber(i) == number) return static_cast<int>(i);
        }
        return -1;
    }
    // The decoded bytes of page i's content streams.
    std::string Content(size_t i) const {
        CPdfObject contents = Page(i).dictValue->GetResolved("Contents");
        std::vector<CPdfObject> parts;
        if (contents.kind == kindArray) {
            for (size_t k = 0; k < contents.arrayValue->GetCount(); ++k) {
                parts.push_back(contents.arrayValue->GetResolvedAt(k));
            }
        } else {
            parts.push_back(contents);
        }
        std::string data;
        for (const CPdfObject& part : parts) {
            if (part.kind != kindStream) continue;
            for (int c = part.streamValue->GetChar(); c >= 0; c = part.streamValue->GetChar()) {
                data.push_back(static_cast<char>(c));
            }
        }
        return data;
    }
    // N of the "Page N" (or "page N") that each page's content shows; -1 where none.
    std::vector<int> ShownPages() const {
        std::vector<int> shown;
        static const std::regex page("[Pp]age (\\d+)");
        for (size_t i = 0; i < PageCount(); ++i) {
            std::smatch m;
            std::string content = Content(i);
            shown.push_back(std::regex_search(content, m, page) ? std::stoi(m[1]) : -1);
        }
        return shown;
    }

    // A value as text with every reference replaced by the value it names (to three levels),
    // so that tests compare values whatever numbers their objects got.
    std::string Describe(const CPdfObject& value, int depth = 3) const {
        if (value.kind == kindReference) {
            int index = PageIndex(value.refNumber);
            if (index >= 0) return "page" + std::to_string(index + 1);
            if (depth == 0) return "R";
            return Describe(Resolve(value), depth - 1);
        }
        if (value.kind == kindArray) {
            std::string out = "[";
            for (size_t i = 0; i < value.arrayValue->GetCount(); ++i) {
                out += (i ? " " : "") + Describe(value.arrayValue->GetAt(i), depth);
            }
            return out + "]";
        }
        if (value.kind == kindDictionary) {
            std::string out = "<<";
            for (const auto& e : value.dictValue->entries) {
                out += " /" + e.first + " " + Describe(e.second, depth);
            }
            return out + " >>";
        }
        if (value.kind == kindString) return "(" + value.stringValue.Bytes() + ")";
        if (value.kind == kindStream) return "stream";
        CPdfSameNumbers same;
        return CPdfObjectWriter(same).Text(value);
    }

    // The outline as text: items in order, each "title@page" (its output page, 1-based; "-"
    // when it opens none), its items in parentheses, ":c" after it when it is closed. Checks
    // that /Parent, /Prev, /Next, /First, /Last and /Count agree with the tree on the way.
    std::string Outline() const {
        CPdfObject root = CatalogEntry("Outlines");
        if (root.kind != kindDictionary) return "(none)";
        int64_t visible = 0;
        std::string text = Items(root, Catalog().dictValue->Get("Outlines"), visible, 0);
        CPdfObject count = root.dictValue->Get("Count");
        EXPECT_EQ(count.kind == kindInteger ? count.intValue : 0, visible) << "root /Count";
        return text;
    }

    std::string bytes;
    // From "trailer" through ">>\n" (or the cross-reference stream's dictionary), the /ID's
    // second element as <id2>.
    std::string trailer;
    std::string secondId;              // the /ID's second element, in hexadecimal
    std::map<int, long long> objects;  // in use, at an offset: the offset
    std::map<int, int> packed;         // in use, in an object stream: the stream's number
    size_t size = 0;                   // the table's /Size
    bool xrefStream = false;           // the file ends with a cross-reference stream

private:
    void ReadTable(const std::string& name, bool dense) {
        size_t sx = bytes.rfind("\nstartxref\n");
        if (sx == std::string::npos) {
            ADD_FAILURE() << name << ": no startxref";
            return;
        }
        const size_t start = static_cast<size_t>(std::atoll(bytes.c_str() + sx + 11));
        if (start < bytes.size() && bytes.compare(start, 7, "xref\n0 ") != 0) {
            ReadStreamTable(name, start, dense);
            return;
        }
        if (bytes.compare(start, 7, "xref\n0 ") != 0) {
            ADD_FAILURE() << name << ": startxref does not point at the table";
            return;
        }
        size_t eol = bytes.find('\r', start + 7);
        size = std::stoul(bytes.substr(start + 7, eol - start - 7));
        const size_t lines = eol + 1;
        EXPECT_EQ(bytes.substr(lines, 20), "0000000000 65535 f \r");
        for (size_t k = 1; k < size; ++k) {
            std::string line = bytes.substr(lines + 20 * k, 20);
            if (line[17] != 'n') {
                EXPECT_FALSE(dense) << name << ": entry " << k << " is free";
                continue;
            }
            long long offset = std::stoll(line.substr(0, 10));
            std::string head =
                std::to_string(k) + " " + std::to_string(std::stoi(line.substr(11, 5))) + " obj";
            EXPECT_EQ(bytes.compare(static_cast<size_t>(offset), head.size(), head), 0)
                << name << ": entry " << k;
            objects[static_cast<int>(k)] = offset;
        }
        ReadTrailer(bytes.substr(lines + 20 * size, sx + 1 - lines - 20 * size));
    }

    void ReadTrailer(const std::string& text) {
        static const std::regex id(R"((/ID \[<[0-9A-Fa-f]*>)<([0-9a-f]{32})>\])");
        std::smatch match;
        if (std::regex_search(text, match, id)) secondId = match[2];
        trailer = std::regex_replace(text, id, "$1<id2>]");
    }

    // A cross-reference stream at start: its entries as the program's reader takes them, each
    // object at an offset checked against its header.
    void ReadStreamTable(const std::string& name, size_t start, bool dense) {
        xrefStream = true;
        const size_t dict = bytes.find("<<", start), end = bytes.find(">>\nstream\n", start);
        if (bytes.compare(dict, 12, "<</Type/XRef") != 0 || end == std::string::npos || !Opened()) {
            ADD_FAILURE() << name << ": startxref does not point at a cross-reference stream";
            return;
        }
        ReadTrailer(bytes.substr(dict, end + 2 - dict));
        const std::vector<XRefEntry>& entries = XRef()->entries;
        size = entries.size();
        for (size_t k = 1; k < size; ++k) {
            const XRefEntry& e = entries[k];
            if (e.Type() == 2) {
                packed[static_cast<int>(k)] = static_cast<int>(e.Offset());
                EXPECT_EQ(entries[static_cast<size_t>(e.Offset())].Type(), 1) << name << ": " << k;
                continue;
            }
            if (e.Type() != 1) {
                EXPECT_FALSE(dense) << name << ": entry " << k << " is free";
                continue;
            }
            std::string head = std::to_string(k) + " " + std::to_string(e.Generation()) + " obj";
            EXPECT_EQ(bytes.compare(static_cast<size_t>(e.Offset()), head.size(), head), 0)
                << name << ": entry " << k;
            objects[static_cast<int>(k)] = e.Offset();
        }
    }

    // The items of the chain that parent's /First starts; parentRef is parent's reference.
    std::string Items(const CPdfObject& parent, const CPdfObject& parentRef, int64_t& visible,
                      int depth) const {
        std::string text;
        CPdfObject item = parent.dictValue->Get("First");
        CPdfObject previous(kindNull);
        int guard = 0;
        while (item.kind == kindReference && ++guard < 10000 && depth < 50) {
            CPdfObject dict = Resolve(item);
            if (dict.kind != kindDictionary) {
                ADD_FAILURE() << "outline item is not a dictionary";
                break;
            }
            const CPdfDictionary& d = *dict.dictValue;
            EXPECT_EQ(d.Get("Parent").refNumber, parentRef.refNumber) << "/Parent";
            EXPECT_EQ(d.Get("Prev").refNumber, previous.refNumber) << "/Prev";
            if (!text.empty()) text += " ";
            text += d.GetResolved("Title").stringValue.Bytes() + "@" + PageOfItem(d);
            // A structure element: "+SE", "+SE?" when the output does not hold it.
            if (d.Has("SE")) text += Resolve(d.Get("SE")).kind == kindDictionary ? "+SE" : "+SE?";
            ++visible;
            if (d.Has("First")) {
                int64_t below = 0;
                std::string kids = Items(dict, item, below, depth + 1);
                CPdfObject count = d.Get("Count");
                int64_t c = count.kind == kindInteger ? count.intValue : 0;
                EXPECT_EQ(c < 0 ? -c : c, below) << "/Count of " << text;
                if (c > 0) visible += below;
                text += (c < 0 ? ":c(" : "(") + kids + ")";
            }
            previous = item;
            item = d.Get("Next");
        }
        EXPECT_EQ(parent.dictValue->Get("Last").refNumber, previous.refNumber) << "/Last";
        return text;
    }

    // The page number an item opens, "-" for none, "?" for a page that is not the output's,
    // or the type of its action when that is not GoTo ("URI").
    std::string PageOfItem(const CPdfDictionary& item) const {
        CPdfObject dest = item.Get("Dest");
        if (dest.kind == kindNull) {
            CPdfObject action = item.GetResolved("A");
            if (action.kind != kindDictionary) return "-";
            CPdfObject type = action.dictValue->Get("S");
            if (!type.IsName("GoTo")) return type.kind == kindName ? type.textValue : "?";
            dest = action.dictValue->Get("D");
        }
        for (int step = 0; step < 4; ++step) {
            dest = Resolve(dest);
            if (dest.kind == kindDictionary) {
                dest = dest.dictValue->Get("D");
            } else if (dest.kind == kindString || dest.kind == kindName) {
                dest = NamedDestination(dest.kind == kindName ? dest.textValue
                                                              : dest.stringValue.Bytes());
            } else {
                break;
            }
        }
        if (dest.kind != kindArray || dest.arrayValue->GetCount() == 0) return "-";
        int index = PageIndex(dest.arrayValue->GetAt(0).refNumber);
        return index < 0 ? "?" : std::to_string(index + 1);
    }

public:
    // The value of a named destination of the output (its /Dests dictionary or the /Dests
    // name tree of its /Names, a single node or one level of kids); null when it has none.
    CPdfObject NamedDestination(const std::string& name) const {
        CPdfObject old = CatalogEntry("Dests");
        if (old.kind == kindDictionary && old.dictValue->Has(name)) {
            return old.dictValue->Get(name);
        }
        for (const auto& [key, value] : NameTree("Dests")) {
            if (key == name) return value;
        }
        return CPdfObject(kindNull);
    }
    // The pairs of the /Names name tree under key, in order (a root with /Names, or /Kids
    // that have them).
    std::vector<std::pair<std::string, CPdfObject>> NameTree(const std::string& key) const {
        std::vector<std::pair<std::string, CPdfObject>> pairs;
        CPdfObject names = CatalogEntry("Names");
        if (names.kind != kindDictionary) return pairs;
        std::vector<CPdfObject> nodes{names.dictValue->GetResolved(key)};
        for (size_t n = 0; n < nodes.size() && n < 1000; ++n) {
            if (nodes[n].kind != kindDictionary) continue;
            CPdfObject leaves = nodes[n].dictValue->GetResolved("Names");
            for (size_t i = 0; leaves.kind == kindArray && i + 1 < leaves.arrayValue->GetCount();
                 i += 2) {
                pairs.emplace_back(leaves.arrayValue->GetResolvedAt(i).stringValue.Bytes(),
                                   leaves.arrayValue->GetAt(i + 1));
            }
            CPdfObject kids = nodes[n].dictValue->GetResolved("Kids");
            for (size_t i = 0; kids.kind == kindArray && i < kids.arrayValue->GetCount(); ++i) {
                nodes.push_back(kids.arrayValue->GetResolvedAt(i));
            }
        }
        return pairs;
    }

private:
    CPdfDocument document;
};

}  // namespace splitrun
