// One output at a time: the run's assembler made once, each selection planned and written
// (or only measured), and the delivery of a mode's selections under their names (or, with
// --dry-run, their listing).
#include <cstdio>
#include <utility>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "app/CPdfFileSplit.h"
#include "document/CPdfCatalog.h"
#include "file/CPdfXRef.h"
#include "object/CPdfDictionary.h"

namespace {
// Writes all of text to standard output. Throws "Output file write error".
void PrintLine(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        throw CPdfException(CPdfMessages::kOutputWriteError);
    }
}
}  // namespace

int32_t CPdfFileSplit::ReserveNumber() {
    return assembler->ReserveNumber();
}

void CPdfFileSplit::PrepareRun() {
    CPdfOutputSource from;
    from.document = &document;
    from.xref = xref;
    from.index = index.get();
    from.rootNumber = rootNumber;
    from.rootGeneration = rootGeneration;
    from.infoNumber = infoNumber;
    from.infoGeneration = infoGeneration;
    from.encryptNumber = encryptNumber;
    from.keepNumbers = keepNumbers;
    from.reencrypt = reencrypt;
    from.decrypt = decryptOutputs && encryptNumber > 0;
    // An output holds at most the source's objects, a copy of each page chosen again and
    // the objects it adds.
    ReserveObjects(xref->entries.size() + document.catalog->pages.size() + 1024);
    assembler = std::make_unique<CPdfOutputAssembler>(from, *this);
    prepared = true;
}

int64_t CPdfFileSplit::WriteOutputFile(const std::string& fileName, CPdfSelection pages,
                                       bool measureOnly) {
    if (!prepared) PrepareRun();
    pageCount = static_cast<uint32_t>(document.catalog->GetPageCount());
    ResetObjectTable(packObjects, reencrypt ? document.security.get() : nullptr);
    assembler->Plan(std::move(pages));
    if (measureOnly) {
        output.OpenMeasure();
    } else {
        output.Open(fileName);
    }
    WriteHeader(document.version);
    const CPdfTrailerEntries trailer = assembler->Write();
    WriteEnd(trailer);
    const int64_t size = output.Position();
    output.Commit();
    return size;
}

CPdfObject CPdfFileSplit::FetchObject(int32_t number) const {
    return assembler->FetchObject(number);
}

CPdfSelection CPdfFileSplit::PageRange(uint64_t first, uint64_t last) {
    CPdfSelection pages;
    const uint64_t step = first <= last ? 1 : static_cast<uint64_t>(-1);
    pages.reserve(static_cast<size_t>((first <= last ? last - first : first - last) + 1));
    for (uint64_t p = first;; p += step) {
        pages.push_back({static_cast<uint32_t>(p)});
        if (p == last) break;
    }
    return pages;
}

void CPdfFileSplit::Deliver(const std::string& usual, CPdfSelection pages,
                            const std::string& title) {
    ++filesDelivered;
    const std::string name = NameFor(usual, pages, title, filesDelivered);
    if (dryRun) {
        PrintLine(name + "\t" + CPdfPageList::Format(pages) + "\n");
        return;
    }
    const size_t count = pages.size();
    WriteOutputFile(name, std::move(pages));
    progress.FileWritten(name, count);
}
