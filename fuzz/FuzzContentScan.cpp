// Fuzz target: the content scan that decides which resources a page keeps. For any bytes it
// reads whole, the names it finds include every name that the lexer finds as an operand of an
// operator that looks a resource up (Do, Tf, gs, sh, cs, CS, scn, SCN, BDC, DP), inline image
// data stepped over as the scan steps over it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "object/CPdfContentScan.h"
#include "object/CPdfLexer.h"
#include "stream/CPdfMemoryStream.h"

namespace {

bool LooksUp(const std::string& op) {
    static const std::unordered_set<std::string> ops = {"Do", "Tf",  "gs",  "sh",  "cs",
                                                        "CS", "scn", "SCN", "BDC", "DP"};
    return ops.count(op) != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::unordered_set<std::string> names;
    if (!CPdfContentScan::CollectNames(input.data(), input.size(), names)) return 0;

    // The operands since the last operator, read by NextToken.
    std::vector<std::string> operands;
    size_t from = 0;
    bool inImage = false;
    int64_t declared = -1;  // an inline image's /L or /Length
    bool lengthNext = false;
    while (from <= size) {
        auto bytes = std::make_shared<const std::string>(input, from);
        CPdfLexer lexer(std::make_shared<CPdfMemoryStream>(bytes, 0, bytes->size()));
        CPdfObject token;
        size_t next = size + 1;
        for (;;) {
            lexer.NextToken(token);
            if (token.kind == kindEnd) break;
            const bool wasLength = lengthNext;
            lengthNext = false;
            if (token.kind == kindName) {
                operands.push_back(token.textValue);
                lengthNext = inImage && (token.textValue == "L" || token.textValue == "Length");
                continue;
            }
            if (token.kind == kindInteger && wasLength) declared = token.intValue;
            if (token.kind != kindKeyword) continue;
            if (LooksUp(token.textValue)) {
                for (const std::string& name : operands) {
                    if (!names.count(name)) __builtin_trap();
                }
            }
            operands.clear();
            if (token.textValue == "BI") {
                inImage = true;
                declared = -1;
            }
            if (token.textValue == "ID" && inImage) {
                size_t after = 0;
                CPdfLexer::InlineImageEnd(input.data(), size,
                                          from + static_cast<size_t>(lexer.TokenEnd()), declared,
                                          after);
                next = after;
                inImage = false;
                break;
            }
        }
        if (next > size) break;
        from = next;
    }
    return 0;
}
