// The table fill: row cells from decoded records, value rules per format, record kind and sensor code.
#include "archive/TableFill.h"

#include "base/ArchiveTable.h"
#include "base/Cp1251.h"
#include "base/SharedTexts.h"
#include "base/TableColumns.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace velda {
namespace {

using R = ValueRule;

bool InRange(double value, double low, double high) {
    return value >= low && value <= high;
}

struct ChannelValues {
    std::uint8_t sensor;
    double temperature;
    double humidity;
    double aux;
};

ChannelValues ValuesOf(const ArchiveRecord &r, int channel) {
    if (channel == 2) return {r.Sensor2, r.Temperature2, r.Humidity2, r.Aux2};
    return {r.Sensor1, r.Temperature1, r.Humidity1, r.Aux1};
}

// The texts of a fill as Windows-1251 bytes, encoded once per language: the same few go into every row.
class EncodedTexts {
public:
    explicit EncodedTexts(const SystemFormats &formats) : m_formats(formats) {
        const std::string separator = ToCp1251(QStringView(&formats.decimalSeparator, 1));
        m_decimalSeparator = separator.empty() ? '.' : separator.front();
        const QString &time = formats.timeSeparator;
        // The time cell is built here when the format is the plain "hh", "mm", "ss" with a separator
        // that the format language reads literally; any other format goes through QTime.
        bool literal = formats.timeFormat ==
                       QStringLiteral("hh") + time + QStringLiteral("mm") + time + QStringLiteral("ss");
        for (const QChar c : time)
            literal = literal && !c.isLetter() && c != QLatin1Char('\'');
        if (literal) m_timeSeparator = ToCp1251(time);
        m_plainTime = literal;
    }

    std::string_view pick(const TextPair &pair) {
        const std::uint8_t language = LanguageIndex.load();
        for (const Entry &e : m_entries)
            if (e.pair == &pair && e.language == language) return e.bytes;
        return m_entries.emplace_back(Entry{&pair, language, ToCp1251(PickIn(pair, language))}).bytes;
    }

    std::string_view sensorName(SensorTable table, std::uint8_t code) {
        const std::uint8_t language = LanguageIndex.load();
        for (const Name &n : m_names)
            if (n.table == table && n.code == code && n.language == language) return n.bytes;
        const auto name = SensorName(table, code, language);
        const QString text = name ? *name : PickIn(TxtUnknownSensor, language).arg(code);
        return m_names.emplace_back(Name{table, code, language, ToCp1251(text)}).bytes;
    }

    [[nodiscard]] char decimalSeparator() const { return m_decimalSeparator; }

    std::string_view time(QTime t, char (&out)[32]) {
        if (!m_plainTime || m_timeSeparator.size() > 8) {
            m_scratch = ToCp1251(FormatTimeCell(t, m_formats));
            return m_scratch;
        }
        std::size_t n = 0;
        const auto two = [&](int v) {
            out[n++] = static_cast<char>('0' + v / 10);
            out[n++] = static_cast<char>('0' + v % 10);
        };
        two(t.hour());
        m_timeSeparator.copy(out + n, m_timeSeparator.size());
        n += m_timeSeparator.size();
        two(t.minute());
        m_timeSeparator.copy(out + n, m_timeSeparator.size());
        n += m_timeSeparator.size();
        two(t.second());
        return {out, n};
    }

    // Records come in date order, so the last date's text is nearly always the one wanted.
    std::string_view date(QDate d) {
        if (d != m_lastDate) {
            m_lastDate = d;
            m_dateText = ToCp1251(FormatDateCell(d, m_formats));
        }
        return m_dateText;
    }

private:
    struct Entry {
        const TextPair *pair;
        std::uint8_t language;
        std::string bytes;
    };
    struct Name {
        SensorTable table;
        std::uint8_t code;
        std::uint8_t language;
        std::string bytes;
    };
    const SystemFormats &m_formats;
    std::deque<Entry> m_entries;
    std::deque<Name> m_names;
    char m_decimalSeparator = '.';
    std::string m_timeSeparator;
    bool m_plainTime = false;
    std::string m_scratch;
    QDate m_lastDate;
    std::string m_dateText;
};

std::string_view Decimal(std::uint64_t value, char (&out)[32]) {
    const auto end = std::to_chars(out, out + sizeof out, value).ptr;
    return {out, static_cast<std::size_t>(end - out)};
}

class RowWriter {
public:
    RowWriter(ArchiveTable &table, int row, EncodedTexts &texts)
        : m_table(table), m_row(row), m_texts(texts) {}

    void text(int col, std::string_view bytes) { m_table.setCellBytes(col, m_row, bytes); }
    void text(int col, const TextPair &pair) { text(col, m_texts.pick(pair)); }
    // A value that is not finite has no text and shows "NAN".
    void number(int col, double value) {
        char out[kMaxValueCellBytes];
        text(col, {out, CellFormatBytes(value, m_texts.decimalSeparator(), out)});
    }
    void header(int col, const TextPair &pair) { m_table.setCellBytes(col, 0, m_texts.pick(pair)); }

    void channel(const ArchiveRecord &record, int channel, int slot, int archiveFormat, RecordKind kind) {
        const ChannelValues v = ValuesOf(record, channel);
        const int nameCol = column::InSlot(slot, column::kSensorInSlot);
        const int tempCol = column::InSlot(slot, column::kTemperatureInSlot);
        const int humCol = column::InSlot(slot, column::kHumidityInSlot);
        const int auxCol = column::InSlot(slot, column::kThirdInSlot);

        text(nameCol, m_texts.sensorName(record.Table, v.sensor));

        const bool tOk = InRange(v.temperature, kMinTemperature, kMaxTemperature);
        const bool hOk = InRange(v.humidity, kMinHumidity, kMaxHumidity);
        switch (RuleFor(archiveFormat, kind, v.sensor)) {
        case R::None:
            break;
        case R::Temperature:
            if (tOk) number(tempCol, v.temperature);
            break;
        case R::TemperatureOnly:
            if (!tOk) break;
            number(tempCol, v.temperature);
            text(humCol, std::string_view());
            text(auxCol, std::string_view());
            break;
        case R::HeatFlux:
            number(auxCol, v.aux);
            break;
        case R::DewPoint:
            if (!tOk || !hOk) break;
            number(tempCol, v.temperature);
            number(humCol, v.humidity);
            header(auxCol, TxtDewPointHeader);
            number(auxCol, DewPoint(v.humidity, v.temperature));
            break;
        case R::Pressure:
            if (!tOk || !hOk || !InRange(v.aux, kMinPressure, kMaxPressure)) break;
            number(tempCol, v.temperature);
            number(humCol, v.humidity);
            header(auxCol, TxtPressureHeader);
            number(auxCol, v.aux);
            break;
        }
    }

private:
    ArchiveTable &m_table;
    int m_row;
    EncodedTexts &m_texts;
};

std::optional<std::pair<QDate, QTime>> RecordDateTime(const ArchiveRecord &r) {
    const QDate date(2000 + r.Year, r.Month, r.Day);
    const QTime time(r.Hour, r.Minute, r.Second);
    if (!date.isValid() || !time.isValid()) return std::nullopt;
    return std::pair(date, time);
}

} // namespace

double DewPoint(double h, double t) {
    if (!(h > 0)) return 0;
    const double e = std::log10(h) + (7.5 * t / (237.3 + t) + 0.66077) - 2;
    return (0.66077 - e) * 237.3 / (e - 8.16077);
}

void FillArchiveTable(ArchiveTable &table, std::span<const std::uint8_t> records, std::size_t recordCount,
                      int archiveFormat, const FillContext &context) {
    const SystemFormats &formats = context.formats ? *context.formats : CurrentFormats();
    const std::size_t size = RecordSize(archiveFormat);
    const std::size_t available = std::min(recordCount, records.size() / size);

    table.clearRowsFrom(1);
    table.setRowCount(static_cast<int>(recordCount) + 1);
    table.setArchiveFormat(static_cast<std::uint8_t>(archiveFormat));
    // Without a record the table keeps the channels it had.
    ChannelFlags channels = table.channels();
    table.reserve(0, static_cast<int>(available) + 1);

    constexpr std::string_view kNan = "NAN";
    EncodedTexts texts(formats);
    char number[32];
    char time[32];
    for (std::size_t i = 0; i < available; ++i) {
        if (context.cancelRequested && context.cancelRequested()) break;
        const int row = static_cast<int>(i) + 1;
        const ArchiveRecord r = DecodeRecord(archiveFormat, records.subspan(i * size, size));
        RowWriter out(table, row, texts);

        out.text(column::kNumber, Decimal(i + 1, number));
        const auto stamp = RecordDateTime(r);
        out.text(column::kTime, stamp ? texts.time(stamp->second, time) : kNan);
        out.text(column::kDate, stamp ? texts.date(stamp->first) : kNan);
        if (r.ModeCount == records::kContinuousMode) {
            out.text(column::kMode, TxtModeContinuous);
        } else {
            out.text(column::kMode, TxtModeSeries);
            std::string numbers(Decimal(r.Number, number));
            numbers += kNumberSeparator;
            numbers += Decimal(r.ModeCount, number);
            out.text(column::kNumberAndCount, numbers);
            out.text(column::kSeries, Decimal(r.Series, number));
        }

        if ((r.Channels & 0x0F) == 1) {
            const int channel = (r.Channels >> 4) == 2 ? 2 : 1;
            channels = {channel == 1, channel == 2};
            out.channel(r, channel, 0, archiveFormat,
                        channel == 2 ? RecordKind::Channel2Alone : RecordKind::Channel1Alone);
        } else {
            // The byte counts the channels; the table has room for the first two.
            channels = {true, true};
            const int shown = std::min<int>(r.Channels, column::kSlotCount);
            for (int j = 0; j < shown; ++j)
                out.channel(r, j + 1, j, archiveFormat, RecordKind::BothChannels);
        }
        if (context.rowWritten) context.rowWritten(i + 1);
    }
    table.setChannels(channels);
}

} // namespace velda
