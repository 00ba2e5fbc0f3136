#include "base/PdfFile.h"

#include "base/FileWriter.h"
#include "base/Texts.h"

#include <QIODevice>
#include <QPainter>
#include <QPdfWriter>

#include <zlib.h>

#include <optional>

namespace velda {
namespace {

constexpr TextPair TxtCannotStartPdf{"не удаётся начать документ PDF в %1",
                                     "Cannot start a PDF document in %1"};

// Set on the thread that writes a PDF document here, while it does.
thread_local bool tFastPageCompression = false;

class FastPageCompression {
public:
    FastPageCompression() { tFastPageCompression = true; }
    ~FastPageCompression() { tFastPageCompression = false; }
    FastPageCompression(const FastPageCompression &) = delete;
    FastPageCompression &operator=(const FastPageCompression &) = delete;
};

// The PDF writer's output: its bytes go to a FileWriter in large blocks as the pages are painted, so a
// document of any length takes no more memory than one page. The PDF writer does not look at what a write
// returns, so the first error is kept here, the bytes after it are dropped, and the caller asks error()
// once the document is done.
class StreamedPdf : public QIODevice {
public:
    explicit StreamedPdf(FileWriter &writer) : m_writer(writer) {}

    [[nodiscard]] bool isSequential() const override { return true; }

    /// Writes out what is still held; false after an error.
    bool flushBlock() {
        if (!m_error && !m_block.isEmpty()) {
            if (auto written = m_writer.write(m_block); !written) m_error = written.error();
        }
        m_block.clear();
        return !m_error;
    }

    [[nodiscard]] const std::optional<FileError> &error() const { return m_error; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override {
        if (m_error) return -1;
        m_block.append(data, size);
        if (m_block.size() >= kBlockBytes && !flushBlock()) return -1;
        return size;
    }

private:
    static constexpr qsizetype kBlockBytes = 1 << 20;
    FileWriter &m_writer;
    QByteArray m_block;
    std::optional<FileError> m_error;
};

} // namespace

Result<int, PdfError> WritePdfFile(const QString &fileName, const QString &title,
                                   const std::function<void(QPdfWriter &)> &setUp,
                                   const std::function<int(QPainter &, QPagedPaintDevice &)> &paint) {
    FileWriter file(fileName);
    if (auto opened = file.open(); !opened) {
        const bool noName = opened.error().kind == FileError::Kind::NoFileName;
        return PdfError{noName ? PdfError::Kind::NoFileName : PdfError::Kind::FileFailed,
                        opened.error().message(), opened.error()};
    }
    StreamedPdf pdf(file);
    pdf.open(QIODevice::WriteOnly);
    int pages = 0;
    {
        QPdfWriter writer(&pdf);
        writer.setResolution(300);
        writer.setCreator(QStringLiteral("VELDA-9"));
        writer.setTitle(title);
        setUp(writer);
        const FastPageCompression fast;
        QPainter painter;
        if (!painter.begin(&writer))
            return PdfError{PdfError::Kind::CannotStart, Pick(TxtCannotStartPdf).arg(fileName), std::nullopt};
        pages = paint(painter, writer);
        painter.end();
    }
    if (!pdf.flushBlock()) {
        file.cancel();
        return PdfError{PdfError::Kind::FileFailed, pdf.error()->message(), pdf.error()};
    }
    if (const auto saved = file.commit(); !saved)
        return PdfError{PdfError::Kind::FileFailed, saved.error().message(), saved.error()};
    return pages;
}

} // namespace velda

// Qt's PDF writer compresses each page with zlib at zlib's default level and offers no setting for it; on a
// long report that compression takes about half the time of the whole document, and zlib's fastest level
// does the same work in about a quarter of that for a file about a third larger. So the program supplies
// zlib's deflateInit_ itself (the dynamic linker hands this definition to Qt in place of zlib's): on a
// thread writing a PDF document through WritePdfFile it starts the fastest level, everywhere else the
// level asked for, exactly as zlib's own does. Where it is not taken (a Qt that carries its own zlib) the
// pages are compressed at the default level: slower, never different to read.
extern "C" int deflateInit_(z_streamp stream, int level, const char *version, int streamSize) {
    constexpr int kZlibDefaultMemLevel = 8;
    return deflateInit2_(stream, velda::tFastPageCompression ? Z_BEST_SPEED : level, Z_DEFLATED, MAX_WBITS,
                         kZlibDefaultMemLevel, Z_DEFAULT_STRATEGY, version, streamSize);
}
