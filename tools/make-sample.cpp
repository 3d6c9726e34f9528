// make-sample OUT.pdf: writes the 12-page sample document that the README splits.
//
// The pages differ in their content; the document has an outline with one item per page, an
// /Info dictionary, and a page tree whose intermediate /Pages nodes carry the /Resources and
// /MediaBox that the pages inherit.

#include <cstdio>
#include <fstream>

#include "TestPdf.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-sample OUT.pdf\n");
        return 2;
    }
    testpdf::SimpleOptions options;
    options.inheritAttributes = true;
    options.ownResources = false;
    options.kidsPerNode = 4;
    const std::string pdf = testpdf::MakeSimpleDocument(12, options);

    std::ofstream out(argv[1], std::ios::binary);
    out.write(pdf.data(), static_cast<std::streamsize>(pdf.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make-sample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
