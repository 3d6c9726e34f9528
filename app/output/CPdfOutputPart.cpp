#include "app/output/CPdfOutputPart.h"

#include "object/CPdfDictionary.h"

void CPdfOutputPart::Replace(CPdfDictionary& catalog, const char* key, const CPdfObject& value) {
    catalog.entries.erase(key);
    if (value.kind != kindNull) catalog.Set(key, value);
}
