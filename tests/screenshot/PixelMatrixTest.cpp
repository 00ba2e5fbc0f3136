// The framed pixel matrix of the screen image and its BMP file, decoded back by a reader of our own.
#include "screenshot/PixelMatrix.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace velda {
namespace {

using Screen = std::array<std::uint8_t, kScreenImageSize>;

bool IsFrame(int x, int y) {
    return x == 0 || y == 0 || x == kPixelMatrixWidth - 1 || y == kPixelMatrixHeight - 1;
}

// A minimal reader for the uncompressed 24-bit bottom-up bitmaps the encoder writes.
struct DecodedBmp {
    int width = 0, height = 0;
    std::vector<RgbColor> pixels; // top row first
    RgbColor at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

std::uint32_t Le(const QByteArray &b, int offset, int size) {
    std::uint32_t v = 0;
    for (int i = 0; i < size; ++i)
        v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[offset + i])) << (8 * i);
    return v;
}

std::optional<DecodedBmp> DecodeBmp(const QByteArray &b) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
    if (Le(b, 2, 4) != static_cast<std::uint32_t>(b.size())) return std::nullopt;
    if (Le(b, 28, 2) != 24 || Le(b, 30, 4) != 0) return std::nullopt;
    DecodedBmp d;
    d.width = static_cast<int>(Le(b, 18, 4));
    d.height = static_cast<int>(Le(b, 22, 4));
    const int offset = static_cast<int>(Le(b, 10, 4));
    const int rowSize = (d.width * 3 + 3) / 4 * 4;
    if (offset + rowSize * d.height != b.size()) return std::nullopt;
    d.pixels.resize(static_cast<std::size_t>(d.width * d.height));
    for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x) {
            const int p = offset + (d.height - 1 - y) * rowSize + 3 * x;
            d.pixels[static_cast<std::size_t>(y * d.width + x)] = Le(b, p, 3);
        }
    return d;
}

TEST(PixelMatrixTest, ImageBitsLandOnTheirPixels) {
    struct Case {
        const char *name;
        std::size_t byte;
        std::uint8_t value;
        std::set<std::pair<int, int>> lit;
    };
    const std::vector<Case> cases = {
        {"byte 0 bit 0: top left", 0, 0x01, {{2, 2}}},
        {"byte 0 bit 7: bottom of band 0", 0, 0x80, {{2, 9}}},
        {"byte 127 bit 7: right end of band 0", 127, 0x80, {{129, 9}}},
        {"byte 128 bit 0: band 1 starts", 128, 0x01, {{2, 10}}},
        {"byte 1023 bit 7: bottom right", 1023, 0x80, {{129, 65}}},
        {"byte 1023 all bits: a column",
         1023,
         0xFF,
         {{129, 58}, {129, 59}, {129, 60}, {129, 61}, {129, 62}, {129, 63}, {129, 64}, {129, 65}}},
        {"byte 520 two bits", 520, 0x41, {{10, 34}, {10, 40}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Screen screen{};
        screen[c.byte] = c.value;
        const PixelMatrix matrix(screen);
        for (int y = 0; y < kPixelMatrixHeight; ++y)
            for (int x = 0; x < kPixelMatrixWidth; ++x) {
                const bool expected = IsFrame(x, y) || c.lit.count({x, y}) > 0;
                ASSERT_EQ(matrix.at(x, y), expected ? 1 : 0) << "x " << x << " y " << y;
            }
    }
}

TEST(PixelMatrixTest, DarkAndFullScreensKeepFrameAndGap) {
    Screen full;
    full.fill(0xFF);
    const PixelMatrix dark(Screen{}), lit(full), shortImage(std::span<const std::uint8_t>(full.data(), 128));
    for (int y = 0; y < kPixelMatrixHeight; ++y)
        for (int x = 0; x < kPixelMatrixWidth; ++x) {
            SCOPED_TRACE(testing::Message() << "x " << x << " y " << y);
            const bool gap = !IsFrame(x, y) &&
                             (x == 1 || y == 1 || x == kPixelMatrixWidth - 2 || y == kPixelMatrixHeight - 2);
            EXPECT_EQ(dark.at(x, y), IsFrame(x, y) ? 1 : 0);
            EXPECT_EQ(lit.at(x, y), IsFrame(x, y) || !gap ? 1 : 0);
            EXPECT_EQ(shortImage.at(x, y), IsFrame(x, y) || (!gap && y < 10) ? 1 : 0)
                << "missing bytes are dark";
        }
    EXPECT_EQ(dark.at(-1, 0), 0);
    EXPECT_EQ(dark.at(kPixelMatrixWidth, 0), 0);
}

TEST(PixelMatrixTest, BmpDecodesBackPixelForPixel) {
    Screen screen{};
    for (std::size_t k = 0; k < screen.size(); ++k)
        screen[k] = static_cast<std::uint8_t>(k * 37 + (k >> 3));
    const PixelMatrix matrix(screen);
    struct Colours {
        const char *name;
        RgbColor pen, background;
    };
    for (const Colours &c :
         {Colours{"black on white", 0x000000, 0xFFFFFF}, Colours{"navy on yellow", 0x000080, 0xFFFF00},
          Colours{"same colour", 0x123456, 0x123456}}) {
        SCOPED_TRACE(c.name);
        const QByteArray bmp = EncodeBmp(matrix, c.pen, c.background);
        const auto decoded = DecodeBmp(bmp);
        ASSERT_TRUE(decoded);
        ASSERT_EQ(decoded->width, 132);
        ASSERT_EQ(decoded->height, 68);
        for (int y = 0; y < 68; ++y)
            for (int x = 0; x < 132; ++x)
                ASSERT_EQ(decoded->at(x, y), matrix.at(x, y) ? c.pen : c.background)
                    << "x " << x << " y " << y;
    }
}

TEST(PixelMatrixTest, FileIsReplacedOnlyByACompleteBitmap) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("screen.bmp"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older picture");
    }
    Screen screen{};
    screen[0] = 0x01;
    const auto written = WriteScreenBmp(path, screen, 0xFF0000, 0x00FF00);
    ASSERT_TRUE(written.ok()) << written.error().message.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes, EncodeBmp(PixelMatrix(screen), 0xFF0000, 0x00FF00));
    EXPECT_EQ(written.value(), bytes.size());
    const auto decoded = DecodeBmp(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->at(2, 2), 0xFF0000u);
    EXPECT_EQ(decoded->at(3, 2), 0x00FF00u);

    struct Case {
        const char *name;
        QString path;
        BmpFileError::Kind kind;
    };
    const std::vector<Case> failures = {
        {"no name", QString(), BmpFileError::Kind::NoFileName},
        {"folder", dir.path(), BmpFileError::Kind::CannotOpen},
        {"missing folder", dir.filePath(QStringLiteral("nowhere/screen.bmp")),
         BmpFileError::Kind::CannotOpen},
    };
    for (const Case &c : failures) {
        SCOPED_TRACE(c.name);
        const auto result = WriteScreenBmp(c.path, screen, 0, 0xFFFFFF);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error().kind, c.kind);
        if (!c.path.isEmpty()) {
            EXPECT_TRUE(result.error().message.startsWith(c.path)) << result.error().message.toStdString();
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("screen.bmp")})
        << "no temporary file left behind";
}

} // namespace
} // namespace velda
