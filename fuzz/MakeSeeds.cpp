// Writes synthetic seed documents for the fuzz targets into a folder: valid documents in every
// cross-reference layout, and hand-built files with updates, free entries, object streams,
// predictors, wrong lengths and damaged tables.
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "TestPdf.h"

namespace {

using testpdf::Builder;
using testpdf::SimpleOptions;
using testpdf::SimpleStyle;
using testpdf::XrefOptions;
using testpdf::XrefStyle;

struct Seed {
    std::string name;
    std::function<std::string()> make;
};

// A small page tree: catalog 1, pages 2, one page 3 with content 4.
void AddOnePage(Builder& b) {
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>");
    b.AddStream(4, "", "0 0 m 100 100 l S");
    b.SetRoot(1);
}

std::vector<Seed> Seeds() {
    std::vector<Seed> seeds;
    const std::pair<const char*, SimpleStyle> styles[] = {
        {"table", SimpleStyle::Table},
        {"xrefstream", SimpleStyle::XrefStream},
        {"objstm", SimpleStyle::ObjectStreams},
        {"hybrid", SimpleStyle::Hybrid},
    };
    for (const auto& [styleName, style] : styles) {
        for (int pages : {1, 3, 7}) {
            SimpleOptions o;
            o.style = style;
            seeds.push_back({std::string("simple-") + styleName + "-" + std::to_string(pages),
                             [pages, o] { return testpdf::MakeSimpleDocument(pages, o); }});
        }
        SimpleOptions inherit;
        inherit.style = style;
        inherit.inheritAttributes = true;
        inherit.kidsPerNode = 2;
        inherit.rotate = 90;
        inherit.objectsPerStream = 3;
        seeds.push_back({std::string("inherit-") + styleName,
                         [inherit] { return testpdf::MakeSimpleDocument(5, inherit); }});
        SimpleOptions named;
        named.style = style;
        named.namedDests = true;
        named.info = false;
        named.id = false;
        seeds.push_back({std::string("named-dests-") + styleName,
                         [named] { return testpdf::MakeSimpleDocument(4, named); }});
    }
    SimpleOptions bare;
    bare.outline = false;
    bare.info = false;
    bare.id = false;
    seeds.push_back({"bare-2", [bare] { return testpdf::MakeSimpleDocument(2, bare); }});

    seeds.push_back({"incremental-update", [] {
                         Builder b;
                         AddOnePage(b);
                         b.BeginUpdate();
                         b.Add(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] >>");
                         b.Free(4, 1);
                         return b.Build();
                     }});
    seeds.push_back({"update-stream-over-table", [] {
                         Builder b;
                         AddOnePage(b);
                         b.BeginUpdate();
                         XrefOptions x;
                         x.style = XrefStyle::Stream;
                         x.predictor = true;
                         b.SetXref(x);
                         b.Add(5, "<< /Producer (seed) >>");
                         b.SetInfo(5);
                         return b.Build();
                     }});
    seeds.push_back({"objstm-uncompressed-tiff", [] {
                         Builder b;
                         XrefOptions x;
                         x.style = XrefStyle::Stream;
                         x.compress = false;
                         x.widths = {{1, 2, 1}};
                         b.SetXref(x);
                         AddOnePage(b);
                         b.AddStream(
                             5,
                             "/Filter /FlateDecode /DecodeParms << /Predictor 2 "
                             "/Colors 3 /Columns 4 >>",
                             testpdf::Deflate(testpdf::TiffEncode(std::string(24, 'x'), 4, 3)));
                         b.PutInObjectStream(9, {1, 2, 3}, false);
                         return b.Build();
                     }});
    seeds.push_back({"png-predictor-paeth", [] {
                         Builder b;
                         AddOnePage(b);
                         b.AddStream(5,
                                     "/Filter /FlateDecode /DecodeParms << /Predictor 15 "
                                     "/Colors 2 /Columns 3 >>",
                                     testpdf::Deflate(testpdf::PngEncode(
                                         std::string(36, 'y'), 3, 2,
                                         {testpdf::PngFilter::Paeth, testpdf::PngFilter::Sub,
                                          testpdf::PngFilter::Average})));
                         return b.Build();
                     }});
    seeds.push_back({"wrong-length-junk-header", [] {
                         Builder b;
                         b.SetJunkBeforeHeader("garbage\r\n");
                         b.Add(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 6 0 R >>");
                         b.Add(2, "<< /Type /Pages /Kids [3 0 R 3 0 R] /Count 2 >>");
                         b.Add(3,
                               "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 9 9] /Contents "
                               "4 0 R /Resources << /XObject << /X 7 0 R >> >> >>");
                         b.Add(4, testpdf::StreamBody("", "q Q", "5 0 R"));
                         b.Add(5, "99");
                         b.Add(6, "<< /Type /Outlines /First 8 0 R /Last 8 0 R /Count 1 >>");
                         b.AddStream(7, "/Type /XObject /Subtype /Form /BBox [0 0 1 1]", "");
                         b.Add(8, "<< /Title (x) /Parent 6 0 R /Dest [3 0 R /Fit] >>");
                         b.AddRaw("% comment between objects\n");
                         b.SetRoot(1);
                         b.SetId("00112233", "44556677");
                         XrefOptions x;
                         x.lineEnd = testpdf::LineEnd::Lf;
                         x.maxSubsection = 2;
                         b.SetXref(x);
                         return b.Build();
                     }});
    seeds.push_back({"encrypt-reference", [] {
                         Builder b;
                         AddOnePage(b);
                         b.Add(5, "<< /Filter /Standard /V 1 /R 2 /O (x) /U (y) /P -4 >>");
                         b.AddTrailerEntries("/Encrypt 5 0 R");
                         b.SetId("aa", "bb");
                         return b.Build();
                     }});
    seeds.push_back({"hybrid-update", [] {
                         Builder b;
                         XrefOptions x;
                         x.style = XrefStyle::Hybrid;
                         b.SetXref(x);
                         AddOnePage(b);
                         b.PutInObjectStream(7, {1, 2});
                         b.BeginUpdate();
                         b.Add(2, "<< /Type /Pages /Kids [3 0 R 3 0 R 3 0 R] /Count 3 >>");
                         return b.Build();
                     }});
    return seeds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    int written = 0;
    for (const Seed& seed : Seeds()) {
        std::string bytes = seed.make();
        std::ofstream out(folder + "/" + seed.name + ".pdf", std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", seed.name.c_str());
            return 1;
        }
        ++written;
    }
    std::printf("%d seeds written\n", written);
    return 0;
}
