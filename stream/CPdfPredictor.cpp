#include "stream/CPdfPredictor.h"

#include <cstdlib>

#include "CPdfLimits.h"
#include "stream/CPdfFlateStream.h"

namespace {
constexpr int64_t kMaxRowBytes = CPdfLimits::kMaxPredictorRowBytes;

int Paeth(int left, int up, int upLeft) {
    int p = left + up - upLeft;
    int pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upLeft);
    if (pa <= pb && pa <= pc) return left;
    return pb <= pc ? up : upLeft;
}
}  // namespace

bool CPdfPredictor::ParametersAreSound(int64_t columns, int64_t colors, int64_t bits) {
    if (columns < 1 || colors < 1 || colors > 32) return false;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) return false;
    if (columns > kMaxRowBytes) return false;
    return (columns * colors * bits + 7) / 8 <= kMaxRowBytes;
}

CPdfPredictor::CPdfPredictor(CPdfFlateStream* o, int64_t c, int64_t columns, int64_t cols,
                             int64_t bits)
    : owner(o),
      code(c),
      colors(static_cast<int>(cols)),
      bitsPerComponent(static_cast<int>(bits)),
      valuesPerRow(columns * cols),
      bytesPerPixel(static_cast<int>((cols * bits + 7) / 8)),
      rowBytes((columns * cols * bits + 7) / 8 + bytesPerPixel),
      line(static_cast<size_t>(rowBytes), 0),
      previous(static_cast<size_t>(rowBytes), 0) {}

bool CPdfPredictor::ReadRow() {
    int method = static_cast<int>(code < 10 ? code : 10);
    if (code >= 10) {
        int tag = owner->GetRawChar();
        if (tag < 0) return false;
        method = tag + 10;
    }
    previous = line;
    for (int64_t i = bytesPerPixel; i < rowBytes; ++i) {
        int c = owner->GetRawChar();
        if (c < 0) return false;
        int up = previous[i];
        int left = line[i - bytesPerPixel];
        int upLeft = previous[i - bytesPerPixel];
        int value;
        switch (method) {
            case 11:
                value = left + c;
                break;
            case 12:
                value = up + c;
                break;
            case 13:
                value = (left + up) / 2 + c;
                break;
            case 14:
                value = Paeth(left, up, upLeft) + c;
                break;
            default:
                value = c;
                break;
        }
        line[i] = static_cast<uint8_t>(value);
    }
    if (code == 2) UndoTiffDifferencing();
    return true;
}

void CPdfPredictor::UndoTiffDifferencing() {
    uint8_t* row = line.data() + bytesPerPixel;
    const int bits = bitsPerComponent;
    const uint32_t mask = bits == 16 ? 0xFFFF : (1u << bits) - 1;
    auto get = [&](int64_t k) -> uint32_t {
        int64_t bit = k * bits;
        if (bits == 16) return (uint32_t(row[bit / 8]) << 8) | row[bit / 8 + 1];
        if (bits == 8) return row[bit / 8];
        int shift = 8 - bits - static_cast<int>(bit % 8);
        return (row[bit / 8] >> shift) & mask;
    };
    auto put = [&](int64_t k, uint32_t v) {
        int64_t bit = k * bits;
        if (bits == 16) {
            row[bit / 8] = static_cast<uint8_t>(v >> 8);
            row[bit / 8 + 1] = static_cast<uint8_t>(v);
        } else if (bits == 8) {
            row[bit / 8] = static_cast<uint8_t>(v);
        } else {
            int shift = 8 - bits - static_cast<int>(bit % 8);
            row[bit / 8] = static_cast<uint8_t>((row[bit / 8] & ~(mask << shift)) | (v << shift));
        }
    };
    for (int64_t k = colors; k < valuesPerRow; ++k) put(k, (get(k) + get(k - colors)) & mask);
}
