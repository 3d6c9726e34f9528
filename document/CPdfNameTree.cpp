#include "document/CPdfNameTree.h"

#include <set>
#include <vector>

#include "CPdfLimits.h"
#include "object/CPdfArray.h"
#include "object/CPdfDictionary.h"

std::string CPdfNameTree::KeyBytes(const CPdfObject& key) {
    if (key.kind == kindName) return key.textValue;
    if (key.kind == kindString) return key.stringValue.Bytes();
    return std::string();
}

void CPdfNameTree::Walk(CPdfResolver* xref, const CPdfObject& root, const char* leafKey,
                        const Visitor& visit) {
    struct Node {
        CPdfObject item;
        size_t level;
    };
    std::vector<Node> work{{root, 0}};
    std::set<int32_t> seen;
    size_t visits = 0;
    while (!work.empty() && ++visits <= CPdfLimits::kMaxTreeNodes) {
        Node node = std::move(work.back());
        work.pop_back();
        if (node.item.kind == kindReference && !seen.insert(node.item.refNumber).second) continue;
        CPdfObject dict = node.item.Resolve(xref);
        if (dict.kind != kindDictionary) continue;
        CPdfObject leaves = dict.dictValue->GetResolved(leafKey);
        if (leaves.kind == kindArray) {
            const CPdfArray& a = *leaves.arrayValue;
            for (size_t i = 0; i + 1 < a.GetCount(); i += 2) {
                if (!visit(a.GetResolvedAt(i), a.GetAt(i + 1))) return;
            }
        }
        CPdfObject kids = dict.dictValue->GetResolved("Kids");
        if (kids.kind != kindArray || node.level >= CPdfLimits::kMaxTreeLevels) continue;
        for (size_t i = kids.arrayValue->GetCount(); i-- > 0;) {
            work.push_back({kids.arrayValue->GetAt(i), node.level + 1});
        }
    }
}
