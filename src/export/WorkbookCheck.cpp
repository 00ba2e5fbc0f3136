// Workbook read-back: zip central directory, inflate with CRC-32, XML part completeness.
#include "export/WorkbookCheck.h"

#include <QFile>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velda::xlsx {
namespace {

constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kZip64Locator = 0x07064b50;
constexpr std::uint32_t kZip64EndOfDirectory = 0x06064b50;
constexpr std::uint32_t kDirectoryEntry = 0x02014b50;
constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::size_t kEndOfDirectorySize = 22;
constexpr std::size_t kDirectoryEntrySize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint32_t kZip64Mark = 0xFFFFFFFF;

// Bounds-checked little-endian reads over the mapped file.
class Bytes {
public:
    Bytes(const uchar *data, qint64 size) : m_data(data), m_size(static_cast<std::uint64_t>(size)) {}
    [[nodiscard]] std::uint64_t size() const { return m_size; }
    [[nodiscard]] bool has(std::uint64_t at, std::uint64_t n) const {
        return at <= m_size && n <= m_size - at;
    }
    [[nodiscard]] std::uint64_t le(std::uint64_t at, int n) const {
        std::uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = (v << 8) | m_data[at + static_cast<std::uint64_t>(i)];
        return v;
    }
    [[nodiscard]] const uchar *at(std::uint64_t offset) const { return m_data + offset; }

private:
    const uchar *m_data;
    std::uint64_t m_size;
};

struct Part {
    std::string name;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t packedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t headerOffset = 0;
};

// The first and last bytes of a part's content, enough to see its root element and its end.
struct Ends {
    std::string head;
    std::string tail;
    void add(const uchar *data, std::size_t n) {
        constexpr std::size_t kKeep = 256;
        if (head.size() < kKeep)
            head.append(reinterpret_cast<const char *>(data), std::min(n, kKeep - head.size()));
        tail.append(reinterpret_cast<const char *>(data), n);
        if (tail.size() > kKeep) tail.erase(0, tail.size() - kKeep);
    }
};

bool IsXmlPart(std::string_view name) {
    return name.ends_with(".xml") || name.ends_with(".rels");
}

// True when the XML text that starts with `head` and ends with `tail` closes its root element.
bool XmlComplete(const std::string &head, const std::string &tail) {
    std::size_t at = 0;
    while (true) {
        at = head.find('<', at);
        if (at == std::string::npos || at + 1 >= head.size()) return false;
        if (head[at + 1] != '?' && head[at + 1] != '!') break;
        ++at;
    }
    const std::size_t nameEnd = head.find_first_of(" \t\r\n/>", at + 1);
    if (nameEnd == std::string::npos) return false;
    const std::string closing = "</" + head.substr(at + 1, nameEnd - at - 1) + ">";
    std::string_view end(tail);
    while (!end.empty() &&
           (end.back() == '\n' || end.back() == '\r' || end.back() == ' ' || end.back() == '\t'))
        end.remove_suffix(1);
    return end.ends_with(closing);
}

// Inflates (or copies) a part, checking its sizes and CRC-32; empty when sound.
std::string CheckPart(const Bytes &zip, const Part &part, Ends &ends) {
    if (!zip.has(part.headerOffset, kLocalHeaderSize) || zip.le(part.headerOffset, 4) != kLocalHeader)
        return "no local header";
    const std::uint64_t dataAt = part.headerOffset + kLocalHeaderSize + zip.le(part.headerOffset + 26, 2) +
                                 zip.le(part.headerOffset + 28, 2);
    if (!zip.has(dataAt, part.packedSize)) return "the data runs past the end of the file";
    const uchar *packed = zip.at(dataAt);
    uLong crc = crc32(0L, Z_NULL, 0);
    std::uint64_t produced = 0;
    if (part.method == 0) {
        for (std::uint64_t done = 0; done < part.packedSize;) {
            const auto n = static_cast<uInt>(std::min<std::uint64_t>(part.packedSize - done, 1U << 30));
            crc = crc32(crc, packed + done, n);
            ends.add(packed + done, n);
            done += n;
        }
        produced = part.packedSize;
    } else if (part.method == Z_DEFLATED) {
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return "cannot start inflating";
        std::array<uchar, 64 * 1024> out{};
        std::uint64_t consumed = 0;
        int status = Z_OK;
        while (status == Z_OK) {
            if (stream.avail_in == 0) {
                const auto n =
                    static_cast<uInt>(std::min<std::uint64_t>(part.packedSize - consumed, 1U << 30));
                stream.next_in = const_cast<uchar *>(packed + consumed);
                stream.avail_in = n;
                consumed += n;
            }
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            status = inflate(&stream, Z_NO_FLUSH);
            const std::size_t n = out.size() - stream.avail_out;
            crc = crc32(crc, out.data(), static_cast<uInt>(n));
            ends.add(out.data(), n);
            produced += n;
            if (status == Z_BUF_ERROR && stream.avail_in == 0 && consumed == part.packedSize) break;
        }
        inflateEnd(&stream);
        if (status != Z_STREAM_END) return "the compressed data is broken";
    } else {
        return "unknown compression method " + std::to_string(part.method);
    }
    if (produced != part.size)
        return "holds " + std::to_string(produced) + " bytes, the directory says " +
               std::to_string(part.size);
    if (crc != part.crc) return "CRC-32 mismatch";
    return {};
}

std::string Check(const Bytes &zip) {
    if (zip.size() < kEndOfDirectorySize) return "too short for a workbook";
    std::optional<std::uint64_t> end;
    const std::uint64_t lowest =
        zip.size() > kEndOfDirectorySize + 0xFFFF ? zip.size() - kEndOfDirectorySize - 0xFFFF : 0;
    for (std::uint64_t at = zip.size() - kEndOfDirectorySize + 1; at-- > lowest;)
        if (zip.le(at, 4) == kEndOfDirectory) {
            end = at;
            break;
        }
    if (!end) return "no zip directory at the end";
    std::uint64_t entries = zip.le(*end + 10, 2);
    std::uint64_t directoryAt = zip.le(*end + 16, 4);
    if (entries == 0xFFFF || directoryAt == kZip64Mark) {
        if (*end < 20 || zip.le(*end - 20, 4) != kZip64Locator) return "no ZIP64 directory locator";
        const std::uint64_t end64 = zip.le(*end - 20 + 8, 8);
        if (!zip.has(end64, 56) || zip.le(end64, 4) != kZip64EndOfDirectory) return "no ZIP64 directory end";
        entries = zip.le(end64 + 32, 8);
        directoryAt = zip.le(end64 + 48, 8);
    }
    if (entries == 0) return "no parts";
    std::uint64_t at = directoryAt;
    for (std::uint64_t i = 0; i < entries; ++i) {
        if (!zip.has(at, kDirectoryEntrySize) || zip.le(at, 4) != kDirectoryEntry)
            return "broken zip directory";
        Part part;
        part.method = static_cast<std::uint16_t>(zip.le(at + 10, 2));
        part.crc = static_cast<std::uint32_t>(zip.le(at + 16, 4));
        part.packedSize = zip.le(at + 20, 4);
        part.size = zip.le(at + 24, 4);
        part.headerOffset = zip.le(at + 42, 4);
        const std::uint64_t nameLength = zip.le(at + 28, 2);
        const std::uint64_t extraLength = zip.le(at + 30, 2);
        const std::uint64_t commentLength = zip.le(at + 32, 2);
        if (!zip.has(at + kDirectoryEntrySize, nameLength + extraLength + commentLength))
            return "broken zip directory";
        part.name.assign(reinterpret_cast<const char *>(zip.at(at + kDirectoryEntrySize)), nameLength);
        // ZIP64 sizes and offset, in this order, for the fields marked 0xFFFFFFFF.
        for (std::uint64_t x = at + kDirectoryEntrySize + nameLength;
             x + 4 <= at + kDirectoryEntrySize + nameLength + extraLength;) {
            const std::uint64_t id = zip.le(x, 2);
            const std::uint64_t length = zip.le(x + 2, 2);
            std::uint64_t field = x + 4;
            if (id == kZip64ExtraId) {
                for (std::uint64_t *value : {&part.size, &part.packedSize, &part.headerOffset})
                    if (*value == kZip64Mark && field + 8 <= x + 4 + length) {
                        *value = zip.le(field, 8);
                        field += 8;
                    }
            }
            x += 4 + length;
        }
        Ends ends;
        if (std::string fault = CheckPart(zip, part, ends); !fault.empty()) return part.name + ": " + fault;
        if (IsXmlPart(part.name) && !XmlComplete(ends.head, ends.tail))
            return part.name + ": the XML is cut off";
        at += kDirectoryEntrySize + nameLength + extraLength + commentLength;
    }
    return {};
}

} // namespace

Result<Done, WorkbookDefect> CheckWorkbookFile(const QString &path) {
    using Kind = WorkbookDefect::Kind;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return WorkbookDefect{Kind::Unreadable,
                              QStringLiteral("cannot be read back: %1").arg(file.errorString())};
    if (file.size() == 0) return WorkbookDefect{Kind::Empty, QStringLiteral("is empty")};
    const uchar *data = file.map(0, file.size());
    if (!data)
        return WorkbookDefect{Kind::Unreadable,
                              QStringLiteral("cannot be read back: %1").arg(file.errorString())};
    const std::string fault = Check(Bytes(data, file.size()));
    file.unmap(const_cast<uchar *>(data));
    if (!fault.empty()) return WorkbookDefect{Kind::Damaged, QString::fromStdString(fault)};
    return Done{};
}

} // namespace velda::xlsx
