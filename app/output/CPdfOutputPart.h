#pragma once

class CPdfDictionary;
class CPdfObject;

// One part of an output document (its pages, outline, form, ...): what the output keeps of the
// source's, planned anew for each output, then its objects and its catalog entries written.
// The source data a part reads (trees, tables) is loaded once a run, when the part is made,
// and kept apart from its plan of the current output.
class CPdfOutputPart {
public:
    CPdfOutputPart() = default;
    CPdfOutputPart(const CPdfOutputPart&) = delete;
    CPdfOutputPart& operator=(const CPdfOutputPart&) = delete;
    virtual ~CPdfOutputPart() = default;

    // Starts a new output: the plan of the previous one no longer counts.
    void Begin() { planned = false; }
    // Works out what the output keeps of the part and claims numbers for what it writes anew.
    // Runs once an output: a part that reads the plan of another plans that one first.
    void Plan() {
        if (planned) return;
        planned = true;
        PlanOutput();
    }
    // Writes the objects of the part that the output keeps.
    virtual void Write() {}
    // Sets the part's entries of the output's catalog (a copy of the source's), removing those
    // the output does not keep; writes the objects those entries need.
    virtual void FillCatalog(CPdfDictionary& catalog) = 0;

protected:
    virtual void PlanOutput() {}
    // Sets key of catalog to value, or removes it where value is null.
    static void Replace(CPdfDictionary& catalog, const char* key, const CPdfObject& value);

private:
    bool planned = false;
};
