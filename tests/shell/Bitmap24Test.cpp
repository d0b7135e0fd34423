#include "Bitmap24.h"

#include <gtest/gtest.h>

#include <string>

// The reader of the program's pictures: every row padding, both row orders, and refusal (never a
// read past the data) for what it does not handle.
namespace talvern::pictures {
namespace {

void put(std::string& bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// A colour that differs for every pixel, so that a swapped row, column or channel shows.
std::uint32_t colourAt(int x, int y) {
    return 0xFF000000u | static_cast<std::uint32_t>(10 + x) << 16 | static_cast<std::uint32_t>(20 + y) << 8 |
           static_cast<std::uint32_t>(30 + x + y);
}

std::string makeBitmap(int width, int height, bool topDown) {
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    std::string bytes(54 + stride * static_cast<std::size_t>(height), '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    put(bytes, 2, static_cast<std::uint32_t>(bytes.size()), 4);
    put(bytes, 10, 54, 4);
    put(bytes, 14, 40, 4);
    put(bytes, 18, static_cast<std::uint32_t>(width), 4);
    put(bytes, 22, static_cast<std::uint32_t>(topDown ? -height : height), 4);
    put(bytes, 26, 1, 2);
    put(bytes, 28, 24, 2);
    for (int y = 0; y < height; ++y) {
        const int stored = topDown ? y : height - 1 - y;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colourAt(x, y);
            const std::size_t at = 54 + static_cast<std::size_t>(stored) * stride + static_cast<std::size_t>(x) * 3;
            bytes[at] = static_cast<char>(c & 0xFF);
            bytes[at + 1] = static_cast<char>(c >> 8 & 0xFF);
            bytes[at + 2] = static_cast<char>(c >> 16 & 0xFF);
        }
    }
    return bytes;
}

TEST(Bitmap24, ReadsEveryRowPaddingInBothRowOrders) {
    for (const bool topDown : {false, true}) {
        for (const int width : {1, 2, 3, 4, 5}) {
            SCOPED_TRACE(testing::Message() << "width " << width << (topDown ? " top-down" : " bottom-up"));
            const auto bitmap = readBitmap24(makeBitmap(width, 3, topDown));
            ASSERT_TRUE(bitmap);
            ASSERT_EQ(bitmap->width, width);
            ASSERT_EQ(bitmap->height, 3);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < width; ++x)
                    EXPECT_EQ(bitmap->pixels[static_cast<std::size_t>(y * width + x)], colourAt(x, y)) << x << "," << y;
        }
    }
}

TEST(Bitmap24, RefusesWhatItDoesNotRead) {
    const std::string good = makeBitmap(3, 2, false);
    struct Case {
        const char* name;
        std::size_t at;
        std::uint32_t value;
        int size;
    };
    const Case cases[] = {
        {"not a bitmap", 0, 'X', 1},
        {"32 bits a pixel", 28, 32, 2},
        {"compressed", 30, 1, 4},
        {"no width", 18, 0, 4},
        {"no height", 22, 0, 4},
        {"wider than the data", 18, 4000, 4},
        {"taller than the data", 22, 3, 4},
        {"data offset past the end", 10, 100000, 4},
        {"data offset inside the header", 10, 20, 4},
        {"two planes", 26, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = good;
        put(bytes, c.at, c.value, c.size);
        EXPECT_FALSE(readBitmap24(bytes));
    }
    EXPECT_FALSE(readBitmap24(good.substr(0, good.size() - 1))) << "cut short";
    EXPECT_FALSE(readBitmap24(good.substr(0, 30))) << "header cut short";
    EXPECT_TRUE(readBitmap24(good));
}

} // namespace
} // namespace talvern::pictures
