#include "app/output/CPdfOutputObjects.h"

#include <algorithm>
#include <string>

#include "CPdfException.h"
#include "CPdfInternalError.h"
#include "CPdfMessages.h"
#include "document/CPdfCatalog.h"
#include "document/CPdfDocument.h"
#include "file/CPdfCopySet.h"
#include "file/CPdfFile.h"
#include "file/CPdfObjectIndex.h"
#include "file/CPdfSecurity.h"
#include "file/CPdfXRef.h"
#include "object/CPdfObjectWriter.h"

CPdfOutputObjects::CPdfOutputObjects(const CPdfOutputSource& from, CPdfFile& to)
    : source(from), file(to) {
    catalog = source.xref->Fetch(source.rootNumber, source.rootGeneration);
    if (catalog.kind != kindDictionary) throw CPdfException(CPdfMessages::kCatalogType);
    copies = std::make_unique<CPdfCopySet>(*source.index, source.xref->entries.size(),
                                           source.keepNumbers);
    writer = std::make_unique<CPdfObjectWriter>(*copies);
}

CPdfOutputObjects::~CPdfOutputObjects() = default;

void CPdfOutputObjects::Begin(std::vector<SelectedPage> chosen) {
    // Every part looks chosen pages up in the catalog's list, which may hold only the first
    // pages of the document (CPdfCatalog::Load).
    const size_t read = source.document->catalog->pages.size();
    for (const SelectedPage& page : chosen) {
        if (page.pageNumber == 0 || page.pageNumber > read) {
            throw CPdfInternalError("page " + std::to_string(page.pageNumber) +
                                    " was chosen but not read");
        }
    }
    copies->Begin();
    selection = std::move(chosen);
    copyNumbers.clear();
}

const std::pair<uint32_t, int32_t>* CPdfOutputObjects::CopyAt(size_t index) const {
    auto it = std::lower_bound(
        copyNumbers.begin(), copyNumbers.end(), index,
        [](const std::pair<uint32_t, int32_t>& copy, size_t i) { return copy.first < i; });
    return it != copyNumbers.end() && it->first == index ? &*it : nullptr;
}

bool CPdfOutputObjects::IsCopy(size_t index) const {
    return CopyAt(index) != nullptr;
}

int32_t CPdfOutputObjects::PageObjectAt(size_t index) const {
    if (const auto* copy = CopyAt(index)) return copy->second;
    const CPdfCatalog& cat = *source.document->catalog;
    return copies->NumberOf(cat.pages[selection[index].pageNumber - 1].objectNumber);
}

CPdfObject CPdfOutputObjects::FetchObject(int32_t number) const {
    CPdfXRef* xref = source.xref;
    if (number <= 0 || static_cast<size_t>(number) >= xref->entries.size()) {
        return CPdfObject(kindNull);
    }
    const XRefEntry& e = xref->entries[static_cast<size_t>(number)];
    return xref->Fetch(number, e.Type() == 1 ? e.Generation() : 0);
}

int32_t CPdfOutputObjects::OutputPageOf(int32_t page) const {
    int32_t number = copies->NumberOf(page);
    return number > 0 ? number : 0;
}

void CPdfOutputObjects::ForEachChosenPage(const std::function<void(int32_t)>& visit) const {
    const CPdfCatalog& cat = *source.document->catalog;
    size_t nextCopy = 0;  // in copyNumbers
    for (size_t i = 0; i < selection.size(); ++i) {
        if (nextCopy < copyNumbers.size() && copyNumbers[nextCopy].first == i) {
            ++nextCopy;
            continue;
        }
        visit(cat.pages[selection[i].pageNumber - 1].objectNumber);
    }
}

void CPdfOutputObjects::WriteValueObject(int32_t number, int32_t generation,
                                         const CPdfObject& value, bool ownStrings) {
    // Strings in an object stream are stored in clear: the stream is encrypted whole.
    const bool packed = file.Packs(generation);
    writer->transformString = nullptr;
    if (!packed && source.reencrypt) {
        const CPdfSecurity& security = *source.document->security;
        writer->transformString = [&security, number](const std::string& bytes) {
            return security.EncryptString(bytes, number);
        };
    } else if (!packed && source.keepNumbers && !ownStrings) {
        // Strings of an encrypted source stay as stored; under another number than theirs
        // they would read as garbage.
        const CPdfDocument& document = *source.document;
        writer->transformString = [&document](const std::string&) -> std::string {
            document.RequireKey();
            throw CPdfException(CPdfMessages::kPasswordRequired);
        };
    }
    file.WriteValue(number, generation, CPdfObjectWriter::Compact(writer->Text(value)));
}

void CPdfOutputObjects::WriteCopies() {
    CPdfObjectIndex& index = *source.index;
    int32_t from = 0, to = 0;
    while (copies->Next(from, to)) {
        const int32_t generation = copies->GenerationOf(from);
        const CPdfObjectInfo& info = index.Get(from);
        if (info.present && !info.isStream) {
            file.WriteValue(to, generation,
                            index.ValueText(from, file.Packs(generation) ? 0 : to, *copies));
            continue;
        }
        file.MarkWritten(to, generation);
        index.WriteObject(from, to, generation, *copies, file.Output());
    }
}
