#pragma once

#include <cstdint>
#include <vector>

class CPdfFlateStream;

// Undoes a PNG (Predictor >= 10) or TIFF (Predictor 2) predictor, one row at a time, on the
// bytes that the owning Flate stream inflates.
class CPdfPredictor {
public:
    CPdfPredictor(CPdfFlateStream* owner, int64_t code, int64_t columns, int64_t colors,
                  int64_t bitsPerComponent);

    // True when the parameters describe a row that can be decoded: positive counts,
    // 1, 2, 4, 8 or 16 bits per component, and a row of sane size.
    static bool ParametersAreSound(int64_t columns, int64_t colors, int64_t bitsPerComponent);

    // Decodes the next row into line; false when no complete row is left.
    bool ReadRow();

    const uint8_t* RowBegin() const { return line.data() + bytesPerPixel; }
    const uint8_t* RowEnd() const { return line.data() + rowBytes; }

private:
    void UndoTiffDifferencing();

    CPdfFlateStream* owner;
    int64_t code;
    int colors;
    int bitsPerComponent;
    int64_t valuesPerRow;
    int bytesPerPixel;
    int64_t rowBytes;
    std::vector<uint8_t> line;
    std::vector<uint8_t> previous;
};
