#include "panels/Bmp24.h"
#include "panels/Jpeg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// The platform's JPEG decoder (libjpeg on Linux, the Windows Imaging Component on Windows) against
// libjpeg's pixels of a piece of a skin. skin-piece.jpg is a crop of the BRW774 skin encoded as the
// artwork tool encodes skins; skin-piece.bmp is libjpeg's decoding of it.
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes fileBytes(const std::string& name) {
    std::ifstream in(std::filesystem::path(LUMEVANTA_TEST_DATA) / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Decoders may round the inverse transform differently by a few levels, never more.
constexpr int MaxDifference = 8;
constexpr double MaxMeanDifference = 2.0;

TEST(JpegDecode, ASkinDecodesToLibjpegsPixels) {
    const auto reference = Bmp24::decode(fileBytes("skin-piece.bmp"));
    const auto decoded = Jpeg::decode(fileBytes("skin-piece.jpg"));
    ASSERT_TRUE(reference);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->width, reference->width);
    ASSERT_EQ(decoded->height, reference->height);
    int largest = 0;
    double total = 0;
    for (std::size_t i = 0; i < reference->rgb.size(); ++i) {
        const int difference = std::abs(decoded->rgb[i] - reference->rgb[i]);
        largest = std::max(largest, difference);
        total += difference;
    }
    const double mean = total / static_cast<double>(reference->rgb.size());
    std::printf("largest difference %d, mean %.3f per channel\n", largest, mean);
    EXPECT_LE(largest, MaxDifference);
    EXPECT_LE(mean, MaxMeanDifference);
}

TEST(JpegDecode, DataItCannotReadGivesNothing) {
    const Bytes skin = fileBytes("skin-piece.jpg");
    ASSERT_GT(skin.size(), 1000u);
    Bytes claimsToBeHuge = skin;
    // The frame header's height and width, just after its marker's length and precision.
    for (std::size_t i = 0; i + 8 < claimsToBeHuge.size(); ++i)
        if (claimsToBeHuge[i] == 0xFF && (claimsToBeHuge[i + 1] == 0xC0 || claimsToBeHuge[i + 1] == 0xC2)) {
            claimsToBeHuge[i + 5] = claimsToBeHuge[i + 6] = claimsToBeHuge[i + 7] = claimsToBeHuge[i + 8] = 0xFF;
            break;
        }
    struct Row {
        const char* why;
        Bytes data;
    } rows[] = {
        {"nothing", {}},
        {"not a JPEG", Bytes(4096, 0x55)},
        {"only the start marker", {0xFF, 0xD8}},
        {"the header alone", Bytes(skin.begin(), skin.begin() + 600)},
        {"a BMP, which this decoder is not for", fileBytes("skin-piece.bmp")},
        {"a frame that claims 65535 by 65535 pixels", claimsToBeHuge},
    };
    for (const Row& row : rows)
        EXPECT_FALSE(Jpeg::decode(row.data)) << row.why;
}

} // namespace
