// Fuzz target: the lexer and parser over arbitrary bytes held in memory.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "CPdfException.h"
#include "object/CPdfParser.h"
#include "stream/CPdfMemoryStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto bytes = std::make_shared<const std::string>(reinterpret_cast<const char*>(data), size);
    // Every object takes at least one byte, so more objects than bytes means the parser is
    // stuck; the bound keeps a broken parser from looping forever inside one input.
    const size_t maxObjects = size + 16;
    try {
        CPdfParser parser(nullptr, std::make_shared<CPdfMemoryStream>(bytes, 0, bytes->size()));
        for (size_t i = 0; i < maxObjects; ++i) {
            CPdfObject object = parser.ParseObject();
            if (object.kind == kindEnd) return 0;
        }
        __builtin_trap();  // no end of input after more objects than bytes
    } catch (const CPdfException&) {
    }
    return 0;
}
