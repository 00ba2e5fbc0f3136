// The framed pixel matrix of the instrument's screen and its BMP encoding.
#include "screenshot/PixelMatrix.h"

#include "base/FileWriter.h"

#include <algorithm>

namespace velda {

namespace {

constexpr int kBmpFileHeaderSize = 14;
constexpr int kBmpInfoHeaderSize = 40;
constexpr int kBytesPerPixel = 3;
constexpr int kPixelsPerMetre = 2835; // 72 dots per inch

void AppendLe(QByteArray &bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace

PixelMatrix::PixelMatrix() : PixelMatrix(std::span<const std::uint8_t>{}) {}

PixelMatrix::PixelMatrix(std::span<const std::uint8_t> screen) {
    auto set = [this](int x, int y, std::uint8_t value) {
        m_pixels[static_cast<std::size_t>(y * kPixelMatrixWidth + x)] = value;
    };
    for (int x = 0; x < kPixelMatrixWidth; ++x) {
        set(x, 0, 1);
        set(x, kPixelMatrixHeight - 1, 1);
    }
    for (int y = 0; y < kPixelMatrixHeight; ++y) {
        set(0, y, 1);
        set(kPixelMatrixWidth - 1, y, 1);
    }
    // The gap and the screen area start as 0 from the member initialiser.
    const std::size_t count = std::min(screen.size(), kScreenImageSize);
    for (std::size_t k = 0; k < count; ++k) {
        const int x = 2 + static_cast<int>(k % kScreenColumns);
        const int bandTop = 2 + 8 * static_cast<int>(k / kScreenColumns);
        for (int bit = 0; bit < 8; ++bit)
            if (screen[k] & (1U << bit)) set(x, bandTop + bit, 1);
    }
}

std::uint8_t PixelMatrix::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= kPixelMatrixWidth || y >= kPixelMatrixHeight) return 0;
    return m_pixels[static_cast<std::size_t>(y * kPixelMatrixWidth + x)];
}

QByteArray EncodeBmp(const PixelMatrix &matrix, RgbColor pen, RgbColor background) {
    const int rowSize = (kPixelMatrixWidth * kBytesPerPixel + 3) / 4 * 4;
    const int imageSize = rowSize * kPixelMatrixHeight;
    const int offset = kBmpFileHeaderSize + kBmpInfoHeaderSize;
    QByteArray bmp;
    bmp.reserve(offset + imageSize);
    bmp.append("BM", 2);
    AppendLe(bmp, static_cast<std::uint32_t>(offset + imageSize), 4);
    AppendLe(bmp, 0, 4); // reserved
    AppendLe(bmp, static_cast<std::uint32_t>(offset), 4);
    AppendLe(bmp, kBmpInfoHeaderSize, 4);
    AppendLe(bmp, kPixelMatrixWidth, 4);
    AppendLe(bmp, kPixelMatrixHeight, 4); // positive: rows run bottom-up
    AppendLe(bmp, 1, 2);                  // planes
    AppendLe(bmp, 8 * kBytesPerPixel, 2); // bits per pixel
    AppendLe(bmp, 0, 4);                  // no compression
    AppendLe(bmp, static_cast<std::uint32_t>(imageSize), 4);
    AppendLe(bmp, kPixelsPerMetre, 4);
    AppendLe(bmp, kPixelsPerMetre, 4);
    AppendLe(bmp, 0, 4); // palette colours
    AppendLe(bmp, 0, 4); // important colours
    for (int y = kPixelMatrixHeight - 1; y >= 0; --y) {
        for (int x = 0; x < kPixelMatrixWidth; ++x) {
            const RgbColor colour = matrix.at(x, y) ? pen : background;
            bmp.append(static_cast<char>(colour & 0xFF));         // blue
            bmp.append(static_cast<char>((colour >> 8) & 0xFF));  // green
            bmp.append(static_cast<char>((colour >> 16) & 0xFF)); // red
        }
        for (int pad = kPixelMatrixWidth * kBytesPerPixel; pad < rowSize; ++pad)
            bmp.append('\0');
    }
    return bmp;
}

BmpFileResult WriteBmpFile(const QString &path, const QByteArray &bmp) {
    using Kind = BmpFileError::Kind;
    FileWriter file(path);
    if (auto opened = file.open(); !opened) {
        const FileError &error = opened.error();
        const Kind kind = error.kind == FileError::Kind::NoFileName     ? Kind::NoFileName
                          : error.kind == FileError::Kind::ReadOnlyFile ? Kind::ReadOnly
                                                                        : Kind::CannotOpen;
        return BmpFileError{kind, error.message()};
    }
    if (auto written = file.write(bmp); !written)
        return BmpFileError{Kind::CannotWrite, written.error().message()};
    if (auto committed = file.commit(); !committed)
        return BmpFileError{Kind::CannotReplace, committed.error().message()};
    return qint64{bmp.size()};
}

BmpFileResult WriteScreenBmp(const QString &path, std::span<const std::uint8_t> screen, RgbColor pen,
                             RgbColor background) {
    return WriteBmpFile(path, EncodeBmp(PixelMatrix(screen), pen, background));
}

} // namespace velda
