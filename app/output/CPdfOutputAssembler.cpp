#include "app/output/CPdfOutputAssembler.h"

#include "CPdfException.h"
#include "app/output/CPdfCatalogActionsPart.h"
#include "app/output/CPdfDestinationsPart.h"
#include "app/output/CPdfFormPart.h"
#include "app/output/CPdfOutlinePart.h"
#include "app/output/CPdfPageLabelsPart.h"
#include "app/output/CPdfPagesPart.h"
#include "app/output/CPdfStructurePart.h"
#include "document/CPdfCatalog.h"
#include "document/CPdfDocument.h"
#include "file/CPdfCopySet.h"
#include "file/CPdfFile.h"
#include "file/CPdfOutputFile.h"
#include "file/CPdfSecurity.h"
#include "file/CPdfXRef.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"
#include "object/CPdfObjectWriter.h"
#include "stream/CPdfCipher.h"
#include "stream/CPdfMd5.h"

CPdfOutputAssembler::CPdfOutputAssembler(const CPdfOutputSource& source, CPdfFile& file)
    : objects(source, file), pages(std::make_unique<CPdfPagesPart>(objects)) {
    // The catalog is written anew for every output; a re-encrypting output writes the
    // /Encrypt dictionary itself, once; an output in clear has none.
    objects.Copies().Skip(source.rootNumber);
    if (source.reencrypt || source.decrypt) objects.Copies().Skip(source.encryptNumber);
    auto destinations = std::make_unique<CPdfDestinationsPart>(objects);
    auto structure = std::make_unique<CPdfStructurePart>(objects);
    auto outlinePart = std::make_unique<CPdfOutlinePart>(objects, destinations->Tree(), *structure);
    outline = &outlinePart->Tree();
    // The parts in the order they are written; a part that reads the plan of another plans
    // that one first (an outline item goes with the structure element it names).
    parts.push_back(std::move(outlinePart));
    parts.push_back(std::make_unique<CPdfFormPart>(objects, *pages));
    parts.push_back(std::move(structure));
    const CPdfDestinations& named = destinations->Tree();
    parts.push_back(std::move(destinations));
    parts.push_back(std::make_unique<CPdfPageLabelsPart>(objects));
    parts.push_back(std::make_unique<CPdfCatalogActionsPart>(objects, named));
}

CPdfOutputAssembler::~CPdfOutputAssembler() = default;

int32_t CPdfOutputAssembler::ReserveNumber() {
    return objects.Copies().Reserve();
}

const CPdfOutline& CPdfOutputAssembler::Outline() const {
    return *outline;
}

void CPdfOutputAssembler::Plan(std::vector<SelectedPage> chosen) {
    objects.Begin(std::move(chosen));
    catalogOut = objects.Copies().Claim(objects.Source().rootNumber);
    pages->Begin();
    for (const auto& part : parts) part->Begin();
    pages->Plan();
    for (const auto& part : parts) part->Plan();
}

CPdfTrailerEntries CPdfOutputAssembler::Write() {
    const CPdfOutputSource& source = objects.Source();
    CPdfCopySet& copies = objects.Copies();
    pages->Write();
    objects.WriteCopies();
    for (const auto& part : parts) part->Write();
    objects.WriteCopies();
    WriteCatalog();
    CPdfTrailerEntries trailer;
    trailer.rootNumber = catalogOut;
    trailer.rootGeneration = copies.GenerationOf(source.rootNumber);
    int32_t number = source.infoNumber, generation = source.infoGeneration;
    if (number > 0 && copies.Map(number, generation)) {
        trailer.infoNumber = number;
        trailer.infoGeneration = generation;
    }
    number = source.encryptNumber;
    if (source.reencrypt) {
        trailer.encryptNumber = WriteEncryptDictionary();
    } else if (!source.decrypt && number > 0 && copies.Map(number, generation)) {
        trailer.encryptNumber = number;
        trailer.encryptGeneration = generation;
    }
    trailer.id = IdText();
    objects.WriteCopies();
    pages->WritePageTree();
    return trailer;
}

void CPdfOutputAssembler::WriteCatalog() {
    auto dict = std::make_shared<CPdfDictionary>(*objects.Catalog().dictValue);
    pages->FillCatalog(*dict);
    for (const auto& part : parts) part->FillCatalog(*dict);
    CPdfObject value;
    value.SetDictionary(dict);
    objects.WriteValueObject(catalogOut, objects.Copies().GenerationOf(objects.Source().rootNumber),
                             value);
}

int32_t CPdfOutputAssembler::WriteEncryptDictionary() {
    // Never encrypted itself; written with every reference resolved, as nothing else of the
    // output refers to what it holds.
    const int32_t number = objects.Copies().Reserve();
    CPdfObjectWriter& writer = objects.Writer();
    writer.transformString = nullptr;
    objects.File().MarkWritten(number, 0);
    std::string text = CPdfObjectWriter::ObjectHeader(number, 0);
    writer.Write(Direct(objects.Document().security->EncryptDictionary(), 0), text);
    text += "\nendobj\n";
    objects.File().Output().Write(text);
    return number;
}

CPdfObject CPdfOutputAssembler::Direct(const CPdfObject& value, int depth) const {
    if (depth > 16) return CPdfObject(kindNull);
    CPdfObject resolved = value.Resolve(objects.Xref());
    if (resolved.kind == kindArray) {
        CPdfObject out;
        out.NewArray(nullptr);
        for (const CPdfObject& item : resolved.arrayValue->items) {
            out.arrayValue->Append(Direct(item, depth + 1));
        }
        return out;
    }
    if (resolved.kind == kindDictionary) {
        auto dict = std::make_shared<CPdfDictionary>(nullptr);
        for (const auto& entry : resolved.dictValue->entries) {
            dict->Set(entry.first, Direct(entry.second, depth + 1));
        }
        CPdfObject out;
        out.SetDictionary(dict);
        return out;
    }
    return resolved.kind == kindStream ? CPdfObject(kindNull) : resolved;
}

std::string CPdfOutputAssembler::IdText() const {
    // The first element stays the source's; for an encrypted source it is the one its key was
    // made with, empty where readers took an empty one. The second is the output's own: a
    // digest of the source's /ID and the output's page list, so the same command always writes
    // the same bytes. A source without /ID gets a first element made the same way from what
    // its table and page tree hold, unless its key depends on it.
    const CPdfXRef* xref = objects.Xref();
    const CPdfDocument& document = objects.Document();
    const std::vector<SelectedPage>& selection = objects.Selection();
    const auto pageCount = static_cast<uint32_t>(document.catalog->GetPageCount());
    std::string idParts[2];
    CPdfObject id = xref->trailer.dictValue->GetResolved("ID");
    for (size_t i = 0; id.kind == kindArray && i < 2 && i < id.arrayValue->GetCount(); ++i) {
        CPdfObject part = id.arrayValue->GetResolvedAt(i);
        if (part.kind == kindString) idParts[i] = part.stringValue.Bytes();
    }
    const bool keyed = document.security != nullptr;
    if (keyed) idParts[0] = document.security->FirstId();
    std::string seed = std::to_string(idParts[0].size()) + ":" + idParts[0] + idParts[1] + "\n";
    if (idParts[0].empty()) {
        seed = "objects " + std::to_string(xref->entries.size()) + " pages " +
               std::to_string(pageCount) + "\n";
        if (!keyed) idParts[0] = CPdfCipher::Hash(CPdfCipher::md5, seed);
    }
    // The page list is digested a few kilobytes at a time: a long output's is never held whole.
    constexpr size_t kIdChunkBytes = 4096;
    CPdfMd5 digest;
    for (const SelectedPage& s : selection) {
        if (seed.size() >= kIdChunkBytes) {
            digest.Add(seed);
            seed.clear();
        }
        seed += std::to_string(s.pageNumber);
        seed += ' ';
    }
    digest.Add(seed);
    const std::string second = digest.Finish();
    return "[<" + CPdfString::HexEncode(idParts[0]) + "><" + CPdfString::HexEncode(second) + ">]";
}
