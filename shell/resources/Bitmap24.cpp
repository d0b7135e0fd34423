#include "Bitmap24.h"

#include <cstdlib>

namespace talvern::pictures {

namespace {

std::uint32_t le(std::string_view bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kMaxSide = 1u << 14;

} // namespace

std::optional<Bitmap> readBitmap24(std::string_view bytes) {
    if (bytes.size() < kFileHeaderBytes + kInfoHeaderBytes || bytes.substr(0, 2) != "BM")
        return std::nullopt;
    const std::uint32_t dataOffset = le(bytes, 10, 4);
    const std::uint32_t infoSize = le(bytes, 14, 4);
    const auto width = static_cast<std::int32_t>(le(bytes, 18, 4));
    const auto signedHeight = static_cast<std::int32_t>(le(bytes, 22, 4));
    const std::uint32_t planes = le(bytes, 26, 2);
    const std::uint32_t bitCount = le(bytes, 28, 2);
    const std::uint32_t compression = le(bytes, 30, 4);
    if (infoSize < kInfoHeaderBytes || planes != 1 || bitCount != 24 || compression != 0 || width <= 0 ||
        signedHeight == 0 || signedHeight == INT32_MIN)
        return std::nullopt;
    // A negative height stores the rows top first, a positive one bottom first.
    const bool bottomUp = signedHeight > 0;
    const std::uint32_t height = static_cast<std::uint32_t>(std::abs(signedHeight));
    if (static_cast<std::uint32_t>(width) > kMaxSide || height > kMaxSide)
        return std::nullopt;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    if (dataOffset < kFileHeaderBytes + infoSize || dataOffset > bytes.size() ||
        (bytes.size() - dataOffset) / stride < height)
        return std::nullopt;

    Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = static_cast<int>(height);
    bitmap.pixels.resize(static_cast<std::size_t>(width) * height);
    for (std::uint32_t row = 0; row < height; ++row) {
        const std::uint32_t stored = bottomUp ? height - 1 - row : row;
        const char* in = bytes.data() + dataOffset + stored * stride;
        std::uint32_t* out = bitmap.pixels.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
        for (std::int32_t x = 0; x < width; ++x, in += 3) {
            const auto blue = static_cast<unsigned char>(in[0]);
            const auto green = static_cast<unsigned char>(in[1]);
            const auto red = static_cast<unsigned char>(in[2]);
            out[x] = 0xFF000000u | std::uint32_t{red} << 16 | std::uint32_t{green} << 8 | blue;
        }
    }
    return bitmap;
}

} // namespace talvern::pictures
