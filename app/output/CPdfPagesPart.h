#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "app/CPdfPageList.h"
#include "app/output/CPdfOutputPart.h"
#include "object/CPdfObject.h"

class CPdfOutputObjects;
class CPdfResourceUse;

// The pages of an output: each chosen page rewritten with what it inherits from the page tree
// (its inherited images, forms and fonts cut to those its drawing looks up), a page chosen
// again as a page object of its own with copies of its annotations, and a new one-level page
// tree root over them.
class CPdfPagesPart : public CPdfOutputPart {
public:
    // Marks the source's pages and page tree nodes as never copied by reference.
    explicit CPdfPagesPart(CPdfOutputObjects& objects);
    ~CPdfPagesPart() override;

    // Writes every chosen page (after Plan).
    void Write() override;
    // Sets /Pages to the new page tree root.
    void FillCatalog(CPdfDictionary& catalog) override;
    // Writes the page tree root; the root of a long output is written as it is made.
    void WritePageTree();
    // Annotations copied for pages chosen again: source number, output number of the copy.
    const std::vector<std::pair<int32_t, int32_t>>& AnnotationCopies() const {
        return annotationCopies;
    }

private:
    // Numbers for the page tree root and every chosen page.
    void PlanOutput() override;
    // Numbers what the first page's own resources name ahead of the pages (see the .cpp).
    void NumberFirstResources(const SelectedPage& first);
    // Writes the chosen page at index (from 0) of the selection.
    void WritePage(size_t index);
    // The page dictionary of the page at index (from 0): its object, or the dictionary written
    // into its parent's /Kids. Throws "Corrupted PDF file" when that is not a dictionary.
    CPdfObject PageDictionary(size_t pageIndex) const;
    // Gives a page chosen again copies of its annotations, each naming that page; returns the
    // copies to write, with their numbers.
    std::vector<std::pair<int32_t, CPdfObject>> CopyAnnotations(CPdfDictionary& page,
                                                                int32_t pageOut);
    // Sets key in page to what the page inherits from node, unless the page has key. True when
    // the value set holds a string.
    bool Inherit(CPdfDictionary& page, const char* key, int32_t node) const;
    // Cuts the images, forms and fonts a page inherits down to those its drawing can look up
    // (see CPdfResourceUse); all stay when that drawing cannot be read whole.
    void KeepUsedResources(CPdfDictionary& page) const;

    CPdfOutputObjects& objects;
    int32_t pagesNumber = 0;  // the source's page tree root
    // What pages and the objects they share draw with, worked out once a run.
    std::unique_ptr<CPdfResourceUse> resourceUse;

    // The current output.
    int32_t pagesOut = 0;
    std::vector<std::pair<int32_t, int32_t>> annotationCopies;
};
