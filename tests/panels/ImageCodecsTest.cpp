#include "panels/ImageCodecs.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

namespace {

QImage pattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 37 + y) % 256, (y * 53) % 256, (x * y * 7) % 256));
    return image;
}

// Smooth enough for JPEG to keep close.
QImage gradient(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(40 + 160 * x / width, 200 - 150 * y / height, 90 + (x + y) % 3));
    return image;
}

void putLe32(QByteArray& data, int offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        data[offset + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

void putLe16(QByteArray& data, int offset, std::uint16_t value) {
    data[offset] = static_cast<char>(value & 0xff);
    data[offset + 1] = static_cast<char>(value >> 8);
}

int maxChannelDifference(const QImage& a, const QImage& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max(
                {worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

// ---- BMP ----

struct SizeRow {
    const char* name;
    int width, height;
};

class BmpRoundTrip : public testing::TestWithParam<SizeRow> {};

TEST_P(BmpRoundTrip, KeepsEveryPixelAndPadsRows) {
    const QImage original = pattern(GetParam().width, GetParam().height);
    const QByteArray bmp = ImageCodecs::encodeBmp24(original);
    const int stride = (GetParam().width * 3 + 3) / 4 * 4;
    EXPECT_EQ(bmp.size(), 54 + stride * GetParam().height);
    const QImage decoded = ImageCodecs::decodeBmp24(bmp);
    ASSERT_FALSE(decoded.isNull());
    EXPECT_EQ(decoded.format(), QImage::Format_RGB32);
    EXPECT_EQ(decoded, original);
    // Qt's own reader takes it as the same picture: the file is a plain BMP, not just our dialect.
    EXPECT_EQ(QImage::fromData(bmp, "BMP").convertToFormat(QImage::Format_RGB32), original);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BmpRoundTrip,
                         testing::Values(SizeRow{"OnePixel", 1, 1}, SizeRow{"WidthOne", 1, 5},
                                         SizeRow{"WidthTwo", 2, 3}, SizeRow{"WidthThree", 3, 2},
                                         SizeRow{"WidthFour", 4, 4}, SizeRow{"OddWide", 37, 9}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Bmp, ReadsWhatQtWrites) {
    const QImage original = pattern(13, 6);
    QByteArray written;
    QBuffer buffer(&written);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    ASSERT_TRUE(original.save(&buffer, "BMP"));
    EXPECT_EQ(ImageCodecs::decodeBmp24(written), original);
}

TEST(Bmp, StoresRowsBottomUp) {
    QImage image(1, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(1, 2, 3));
    image.setPixel(0, 1, qRgb(4, 5, 6));
    const QByteArray bmp = ImageCodecs::encodeBmp24(image);
    EXPECT_EQ(bmp.mid(54, 3), QByteArray("\x06\x05\x04", 3));
    EXPECT_EQ(bmp.mid(58, 3), QByteArray("\x03\x02\x01", 3));
}

TEST(Bmp, ReadsTopDownRows) {
    const QImage original = pattern(5, 3);
    const QByteArray bottomUp = ImageCodecs::encodeBmp24(original);
    QByteArray topDown = bottomUp.left(54);
    const int stride = 16;
    for (int row = 2; row >= 0; --row)
        topDown += bottomUp.mid(54 + row * stride, stride);
    putLe32(topDown, 22, static_cast<std::uint32_t>(-3));
    EXPECT_EQ(ImageCodecs::decodeBmp24(topDown), original);
}

TEST(Bmp, EncodesNothingForANullImage) {
    EXPECT_TRUE(ImageCodecs::encodeBmp24(QImage()).isEmpty());
}

struct BadBmpRow {
    const char* name;
    void (*spoil)(QByteArray&);
};

class MalformedBmp : public testing::TestWithParam<BadBmpRow> {};

TEST_P(MalformedBmp, DecodesToNull) {
    QByteArray bmp = ImageCodecs::encodeBmp24(pattern(7, 5));
    GetParam().spoil(bmp);
    EXPECT_TRUE(ImageCodecs::decodeBmp24(bmp).isNull());
}

INSTANTIATE_TEST_SUITE_P(
    Headers, MalformedBmp,
    testing::Values(BadBmpRow{"Empty", [](QByteArray& d) { d.clear(); }},
                    BadBmpRow{"HeaderCut", [](QByteArray& d) { d.truncate(40); }},
                    BadBmpRow{"LastByteMissing", [](QByteArray& d) { d.chop(1); }},
                    BadBmpRow{"HalfThePixels", [](QByteArray& d) { d.truncate(54 + 40); }},
                    BadBmpRow{"NotBm", [](QByteArray& d) { d[0] = 'P'; }},
                    BadBmpRow{"FileSizeBeyondData", [](QByteArray& d) { putLe32(d, 2, 10'000); }},
                    BadBmpRow{"PixelsPastTheEnd", [](QByteArray& d) { putLe32(d, 10, 200); }},
                    BadBmpRow{"PixelsInsideHeader", [](QByteArray& d) { putLe32(d, 10, 20); }},
                    BadBmpRow{"OffsetOverflows", [](QByteArray& d) { putLe32(d, 10, 0xffffffffu); }},
                    BadBmpRow{"CoreHeader", [](QByteArray& d) { putLe32(d, 14, 12); }},
                    BadBmpRow{"InfoSizeHuge", [](QByteArray& d) { putLe32(d, 14, 0x7fffffffu); }},
                    BadBmpRow{"ZeroWidth", [](QByteArray& d) { putLe32(d, 18, 0); }},
                    BadBmpRow{"NegativeWidth", [](QByteArray& d) { putLe32(d, 18, static_cast<std::uint32_t>(-7)); }},
                    BadBmpRow{"WidthTooLargeForData",
                              [](QByteArray& d) {
                                  putLe32(d, 18, 9);
                                  putLe32(d, 34, 0);
                              }},
                    BadBmpRow{"HugeWidth", [](QByteArray& d) { putLe32(d, 18, 0x7fffffffu); }},
                    BadBmpRow{"ZeroHeight", [](QByteArray& d) { putLe32(d, 22, 0); }},
                    BadBmpRow{"HugeHeight", [](QByteArray& d) { putLe32(d, 22, 0x40000000u); }},
                    BadBmpRow{"MostNegativeHeight", [](QByteArray& d) { putLe32(d, 22, 0x80000000u); }},
                    BadBmpRow{"TwoPlanes", [](QByteArray& d) { putLe16(d, 26, 2); }},
                    BadBmpRow{"ThirtyTwoBits", [](QByteArray& d) { putLe16(d, 28, 32); }},
                    BadBmpRow{"EightBits", [](QByteArray& d) { putLe16(d, 28, 8); }},
                    BadBmpRow{"RunLengthCompressed", [](QByteArray& d) { putLe32(d, 30, 1); }},
                    BadBmpRow{"ImageSizeTooSmall", [](QByteArray& d) { putLe32(d, 34, 3); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever the bytes, the decoder returns and touches nothing outside them (the sanitizer build
// turns any stray read into a failure); what it does return matches its header.
TEST(Bmp, SurvivesRandomAndMutatedInput) {
    std::mt19937 random(7);
    const QByteArray valid = ImageCodecs::encodeBmp24(pattern(6, 4));
    for (int round = 0; round < 3000; ++round) {
        QByteArray data = valid;
        if (round % 3 == 0) {
            data = QByteArray(static_cast<qsizetype>(random() % 200), '\0');
            for (char& c : data)
                c = static_cast<char>(random());
            if (data.size() > 2) data.replace(0, 2, "BM");
        } else {
            for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips)
                data[static_cast<qsizetype>(random() % 54)] = static_cast<char>(random());
            data.truncate(static_cast<qsizetype>(random() % (data.size() + 1)));
        }
        const QImage image = ImageCodecs::decodeBmp24(data);
        if (!image.isNull()) {
            EXPECT_LE(54 + (image.width() * 3 + 3) / 4 * 4 * image.height(), data.size());
        }
    }
}

// ---- JPEG ----

struct JpegRow {
    const char* name;
    int width, height, quality, tolerance;
};

class JpegRoundTrip : public testing::TestWithParam<JpegRow> {};

TEST_P(JpegRoundTrip, StaysCloseToTheOriginal) {
    const JpegRow& row = GetParam();
    const QImage original = gradient(row.width, row.height);
    const QByteArray jpeg = ImageCodecs::encodeJpeg(original, row.quality);
    ASSERT_GT(jpeg.size(), 2);
    EXPECT_EQ(jpeg.left(2), QByteArray("\xff\xd8", 2));
    const QImage decoded = ImageCodecs::decodeJpeg(jpeg);
    ASSERT_EQ(decoded.size(), original.size());
    EXPECT_EQ(decoded.format(), QImage::Format_RGB32);
    EXPECT_LE(maxChannelDifference(decoded, original), row.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Qualities, JpegRoundTrip,
                         testing::Values(JpegRow{"SkinQuality", 61, 23, 92, 12}, JpegRow{"Best", 16, 16, 100, 6},
                                         JpegRow{"OnePixel", 1, 1, 92, 8}, JpegRow{"WiderThanABlock", 700, 9, 92, 12},
                                         JpegRow{"QualityClampedUp", 20, 20, -5, 90}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Jpeg, QtsReaderAgrees) {
    const QImage original = gradient(50, 30);
    const QByteArray jpeg = ImageCodecs::encodeJpeg(original, 92);
    const QImage theirs = QImage::fromData(jpeg, "JPEG");
    if (theirs.isNull()) GTEST_SKIP() << "no JPEG image format plugin";
    EXPECT_LE(maxChannelDifference(theirs.convertToFormat(QImage::Format_RGB32), ImageCodecs::decodeJpeg(jpeg)), 2);
}

TEST(Jpeg, DecodingIsRepeatable) {
    const QByteArray jpeg = ImageCodecs::encodeJpeg(pattern(40, 30), 92);
    EXPECT_EQ(ImageCodecs::decodeJpeg(jpeg), ImageCodecs::decodeJpeg(jpeg));
}

TEST(Jpeg, EncodesNothingForANullImage) {
    EXPECT_TRUE(ImageCodecs::encodeJpeg(QImage(), 92).isEmpty());
}

qsizetype markerOffset(const QByteArray& jpeg, unsigned char marker) {
    return jpeg.indexOf(QByteArray("\xff", 1) + static_cast<char>(marker));
}

// Sets the frame's height and width (SOF0 holds them 5 and 7 bytes past the marker).
void setFrameSize(QByteArray& jpeg, int height, int width) {
    const qsizetype sof = markerOffset(jpeg, 0xc0);
    ASSERT_GT(sof, 0);
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height & 0xff);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width & 0xff);
}

struct BadJpegRow {
    const char* name;
    void (*spoil)(QByteArray&);
};

class MalformedJpeg : public testing::TestWithParam<BadJpegRow> {};

TEST_P(MalformedJpeg, DecodesToNull) {
    QByteArray jpeg = ImageCodecs::encodeJpeg(gradient(48, 40), 92);
    GetParam().spoil(jpeg);
    EXPECT_TRUE(ImageCodecs::decodeJpeg(jpeg).isNull());
}

INSTANTIATE_TEST_SUITE_P(Streams, MalformedJpeg,
                         testing::Values(BadJpegRow{"Empty", [](QByteArray& d) { d.clear(); }},
                                         BadJpegRow{"StartMarkerOnly", [](QByteArray& d) { d.truncate(2); }},
                                         BadJpegRow{"NoStartMarker", [](QByteArray& d) { d[1] = 0; }},
                                         BadJpegRow{"CutInTheHeaders", [](QByteArray& d) { d.truncate(100); }},
                                         BadJpegRow{"CutInTheScan", [](QByteArray& d) { d.truncate(d.size() / 2); }},
                                         BadJpegRow{"EndMarkerMissing", [](QByteArray& d) { d.chop(2); }},
                                         BadJpegRow{"HugeFrame", [](QByteArray& d) { setFrameSize(d, 65000, 65000); }},
                                         BadJpegRow{"ZeroHeight", [](QByteArray& d) { setFrameSize(d, 0, 48); }},
                                         BadJpegRow{"NoHuffmanTables",
                                                    [](QByteArray& d) {
                                                        for (qsizetype at; (at = markerOffset(d, 0xc4)) >= 0;)
                                                            d[at + 1] = '\xfe';
                                                    }},
                                         BadJpegRow{"TextFile", [](QByteArray& d) { d = "not a picture at all"; }}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Jpeg, SurvivesRandomAndMutatedInput) {
    std::mt19937 random(11);
    const QByteArray valid = ImageCodecs::encodeJpeg(gradient(24, 16), 92);
    for (int round = 0; round < 1500; ++round) {
        QByteArray data = valid;
        if (round % 5 == 0) {
            data = QByteArray(static_cast<qsizetype>(random() % 400), '\0');
            for (char& c : data)
                c = static_cast<char>(random());
            if (data.size() > 2) data.replace(0, 2, "\xff\xd8");
        } else {
            for (int flips = 1 + static_cast<int>(random() % 6); flips > 0; --flips)
                data[static_cast<qsizetype>(random() % data.size())] = static_cast<char>(random());
        }
        const QImage image = ImageCodecs::decodeJpeg(data);
        if (!image.isNull()) {
            EXPECT_LE(image.width() * image.height(), 65536 * 4);
        }
    }
}

} // namespace
