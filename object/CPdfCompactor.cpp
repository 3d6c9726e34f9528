#include "object/CPdfCompactor.h"

#include "object/CPdfLexer.h"

void CPdfCompactor::Add(const char* bytes, size_t count) {
    pending.append(bytes, count);
    // A long token held back is scanned again only when the bytes held have doubled, so that
    // its cost stays in proportion to its length.
    if (pending.size() < rescanAt) return;
    Scan(false);
    rescanAt = 2 * pending.size();
}

void CPdfCompactor::EndValue() {
    Scan(true);
    pending.clear();
    rescanAt = 0;
    tail = Tail::none;
    gap = false;
    inComment = false;
}

void CPdfCompactor::Scan(bool final) {
    size_t at = 0;
    for (;;) {
        const CPdfLexer::Span span =
            CPdfLexer::NextSpan(pending.data(), pending.size(), at, inComment);
        gap = gap || inComment || span.start > at;
        inComment = false;
        if (span.kind == CPdfLexer::spanEnd) {
            inComment = span.inComment;
            at = pending.size();
            break;
        }
        if (!final && span.open) {
            at = span.start;
            break;
        }
        const char first = pending[span.start];
        const bool join =
            (tail == Tail::regularBytes &&
             CPdfLexer::ClassOf(static_cast<unsigned char>(first)) == CPdfLexer::regular) ||
            (tail == Tail::greaterThan && first == '>');
        if (gap && join) out.push_back(' ');
        out.append(pending, span.start, span.end - span.start);
        switch (span.kind) {
            case CPdfLexer::spanName:
            case CPdfLexer::spanNumber:
            case CPdfLexer::spanWord:
                tail = Tail::regularBytes;
                break;
            default:
                tail = span.kind == CPdfLexer::spanError && first == '>' ? Tail::greaterThan
                                                                         : Tail::nothing;
        }
        gap = false;
        at = span.end;
    }
    pending.erase(0, at);
}

std::string CPdfCompactor::Compact(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    CPdfCompactor compactor(out);
    compactor.Add(text.data(), text.size());
    compactor.EndValue();
    return out;
}
