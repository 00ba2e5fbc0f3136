// The instrument's 128 x 64 screen image turned into a framed 132 x 68 pixel matrix, and that matrix as a
// Windows bitmap (BMP) in two colours: in memory and written to a file.
#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velda {

inline constexpr std::size_t kScreenImageSize = 1024; ///< bytes of one screen image
inline constexpr int kScreenColumns = 128;
inline constexpr int kScreenRows = 64;
inline constexpr int kPixelMatrixWidth = kScreenColumns + 4; ///< frame + gap on each side
inline constexpr int kPixelMatrixHeight = kScreenRows + 4;

/// 132 x 68 pixels, each 0 or 1: a one-pixel frame of 1, a one-pixel gap of 0 inside it, and the screen
/// image from (2, 2). Image byte k, bit b lights x = 2 + k mod 128, y = 2 + 8 * (k div 128) + b: the
/// bytes form 8 bands of 8 rows, one byte per column, bit 0 the band's top row. Any thread.
class PixelMatrix {
public:
    /// Frame and gap around a dark screen.
    PixelMatrix();
    /// Frame and gap around `screen`; bytes beyond the first 1024 are ignored, missing ones are dark.
    explicit PixelMatrix(std::span<const std::uint8_t> screen);

    /// 1 for a lit pixel (pen colour), 0 for a clear one (background); 0 outside the matrix.
    [[nodiscard]] std::uint8_t at(int x, int y) const;

private:
    std::array<std::uint8_t, kPixelMatrixWidth * kPixelMatrixHeight> m_pixels{};
};

/// A colour as 0xRRGGBB.
using RgbColor = std::uint32_t;

/// The matrix as a complete 24-bit BMP file (bottom-up rows, no compression): `pen` where the matrix is
/// 1, `background` where it is 0.
[[nodiscard]] QByteArray EncodeBmp(const PixelMatrix &matrix, RgbColor pen, RgbColor background);

/// Why a bitmap could not be saved; `message` names the file and the cause in words for the user.
struct BmpFileError {
    enum class Kind { NoFileName, ReadOnly, CannotOpen, CannotWrite, CannotReplace };
    Kind kind = Kind::CannotOpen;
    QString message;
};

/// The outcome of a save: the bytes written, or the error.
using BmpFileResult = Result<qint64, BmpFileError>;

/// Writes `bmp` to `path`. An existing file of that name is replaced only once the new one is complete,
/// so a failed save leaves the old file as it was; a read-only file (IsReadOnlyTarget) is not replaced.
[[nodiscard]] BmpFileResult WriteBmpFile(const QString &path, const QByteArray &bmp);

/// The screenshot command in one call: frames `screen` (1024 bytes), paints it in `pen` and `background`
/// and writes the BMP to `path` as WriteBmpFile does.
[[nodiscard]] BmpFileResult WriteScreenBmp(const QString &path, std::span<const std::uint8_t> screen,
                                           RgbColor pen, RgbColor background);

} // namespace velda
