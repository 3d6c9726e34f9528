#pragma once

// A source file written to a temporary file and open for reading, with the stream over the
// whole file and the cross-reference table that reads through it (loaded by Load).
#include <cstdio>
#include <memory>
#include <string>

#include "CPdfException.h"
#include "TempFile.h"
#include "file/CPdfXRef.h"
#include "object/CPdfDictionary.h"
#include "stream/CPdfFileStream.h"

struct SourceTable {
    explicit SourceTable(const std::string& bytes)
        : temp(bytes),
          file(std::fopen(temp.path.c_str(), "rb"), &std::fclose),
          stream(std::make_shared<CPdfFileStream>(file.get(), 0, 0)) {
        xref.stream = stream.get();
    }
    // The message that loading the table throws; empty when it loads.
    std::string Load() {
        try {
            xref.Load(stream.get());
            return "";
        } catch (const CPdfException& e) {
            return e.GetMessage();
        }
    }
    // The /M integer of object number's dictionary; -1 when the object is not such a dictionary.
    int64_t Marker(int number, int generation = 0) {
        CPdfObject o = xref.Fetch(number, generation);
        if (o.kind != kindDictionary) return -1;
        CPdfObject m = o.dictValue->Get("M");
        return m.kind == kindInteger ? m.intValue : -1;
    }

    TempFile temp;
    std::unique_ptr<FILE, int (*)(FILE*)> file;
    std::shared_ptr<CPdfFileStream> stream;
    CPdfXRef xref;
};
