#pragma once
// Reads an uncompressed 24-bit Windows bitmap, the format of the program's two pictures.
//
// Qt's image reader would read them too, but before it reads anything it loads every image format
// plugin installed on the system, to ask each whether it wants the file; that costs more than the
// reading itself and would come before the locked window first appears.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace talvern::pictures {

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xFFRRGGBB, the top row first
};

// Nothing when bytes is not a whole uncompressed 24-bit bitmap (another depth, compression, a size
// that does not fit the data).
std::optional<Bitmap> readBitmap24(std::string_view bytes);

} // namespace talvern::pictures
