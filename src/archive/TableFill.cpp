// The table fill: row cells from decoded records, value rules per format, record kind and sensor code.
#include "archive/TableFill.h"

#include "base/ArchiveTable.h"
#include "base/SharedTexts.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <optional>

namespace velda {
namespace {

using R = ValueRule;

// Rows indexed by sensor code; columns: channel 1 alone, channel 2 alone, both channels.
// Combinations that older programs left without values follow the rule the same code yields elsewhere
// in the same format: a probe that measures in one position measures the same in the others.
constexpr ValueRule kRulesA[10][3] = {
    {R::None, R::None, R::None},                      // free
    {R::Temperature, R::Temperature, R::Temperature}, // thermocouple XA
    {R::Temperature, R::Temperature, R::Temperature}, // thermocouple XK
    {R::Temperature, R::Temperature, R::Temperature}, // DS18B20
    {R::HeatFlux, R::HeatFlux, R::HeatFlux},          // heat flux
    {R::DewPoint, R::DewPoint, R::DewPoint},          // MK SHT
    {R::DewPoint, R::DewPoint, R::DewPoint},          // SHT
    {R::Temperature, R::Temperature, R::Temperature}, // Pt resistance
    {R::Temperature, R::Temperature, R::Temperature}, // thermocouple XA + Pt
    {R::Temperature, R::Temperature, R::Temperature}, // thermocouple XK + Pt
};

constexpr ValueRule kRulesB[12][3] = {
    {R::None, R::None, R::None},                                  // free
    {R::TemperatureOnly, R::TemperatureOnly, R::TemperatureOnly}, // thermocouple XA
    {R::TemperatureOnly, R::TemperatureOnly, R::TemperatureOnly}, // thermocouple XK
    {R::TemperatureOnly, R::TemperatureOnly, R::TemperatureOnly}, // thermocouple TPR
    {R::TemperatureOnly, R::TemperatureOnly, R::TemperatureOnly}, // DS18B20
    {R::HeatFlux, R::HeatFlux, R::HeatFlux},                      // heat flux
    {R::DewPoint, R::DewPoint, R::DewPoint},                      // MK SHT
    {R::Pressure, R::Pressure, R::Pressure},                      // MK BMP280 SHT
    {R::DewPoint, R::DewPoint, R::DewPoint},                      // SHT
    {R::TemperatureOnly, R::TemperatureOnly, R::Temperature},     // Pt resistance
    {R::TemperatureOnly, R::TemperatureOnly, R::TemperatureOnly}, // thermocouple XA + Pt
    {R::TemperatureOnly, R::TemperatureOnly, R::TemperatureOnly}, // thermocouple XK + Pt
};

constexpr int kSlotColumns = 4;
constexpr int kFirstSlotColumn = 6;
constexpr int kSlotCount = 2;

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

class RowWriter {
public:
    RowWriter(ArchiveTable &table, int row, const SystemFormats &formats)
        : m_table(table), m_row(row), m_formats(formats) {}

    // Each cell is produced on its own: a text that cannot be produced shows "NAN" and the row goes on.
    void text(int col, const std::optional<QString> &value) {
        m_table.setCell(col, m_row, value ? QStringView(*value) : QStringView(u"NAN"));
    }
    void number(int col, double value) { text(col, CellFormat(value, m_formats.decimalSeparator)); }
    void header(int col, const TextPair &pair) { m_table.setCell(col, 0, Pick(pair)); }

    void channel(const ArchiveRecord &record, int channel, int slot, int archiveFormat, RecordKind kind) {
        const ChannelValues v = ValuesOf(record, channel);
        const int nameCol = kFirstSlotColumn + kSlotColumns * slot;
        const int tempCol = nameCol + 1;
        const int humCol = nameCol + 2;
        const int auxCol = nameCol + 3;

        const auto name = SensorName(record.Table, v.sensor, LanguageIndex.load());
        text(nameCol, name ? *name : Pick(TxtUnknownSensor).arg(v.sensor));

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
            text(humCol, QString());
            text(auxCol, QString());
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
    const SystemFormats &m_formats;
};

std::optional<QDateTime> RecordDateTime(const ArchiveRecord &r) {
    const QDate date(2000 + r.Year, r.Month, r.Day);
    const QTime time(r.Hour, r.Minute, r.Second);
    if (!date.isValid() || !time.isValid()) return std::nullopt;
    return QDateTime(date, time);
}

} // namespace

ValueRule RuleFor(int archiveFormat, RecordKind kind, std::uint8_t sensorCode) {
    const SensorTable table = SensorTableOf(archiveFormat);
    const int index = SensorIndex(table, sensorCode);
    if (index < 0) return R::None;
    const auto column = static_cast<std::size_t>(kind);
    return table == SensorTable::B ? kRulesB[index][column] : kRulesA[index][column];
}

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

    for (std::size_t i = 0; i < available; ++i) {
        if (context.cancelRequested && context.cancelRequested()) break;
        const int row = static_cast<int>(i) + 1;
        const ArchiveRecord r = DecodeRecord(archiveFormat, records.subspan(i * size, size));
        RowWriter out(table, row, formats);

        out.text(0, QString::number(i + 1));
        const auto stamp = RecordDateTime(r);
        out.text(1, stamp ? std::optional(FormatTimeCell(stamp->time(), formats)) : std::nullopt);
        out.text(2, stamp ? std::optional(FormatDateCell(stamp->date(), formats)) : std::nullopt);
        if (r.ModeCount == records::kContinuousMode) {
            out.text(3, Pick(TxtModeContinuous));
        } else {
            out.text(3, Pick(TxtModeSeries));
            out.text(4, QString::number(r.Number) + QLatin1String(kNumberSeparator) +
                            QString::number(r.ModeCount));
            out.text(5, QString::number(r.Series));
        }

        if ((r.Channels & 0x0F) == 1) {
            const int channel = (r.Channels >> 4) == 2 ? 2 : 1;
            Channel1Present = channel == 1;
            Channel2Present = channel == 2;
            out.channel(r, channel, 0, archiveFormat,
                        channel == 2 ? RecordKind::Channel2Alone : RecordKind::Channel1Alone);
        } else {
            // The byte counts the channels; the table has room for the first two.
            Channel1Present = true;
            Channel2Present = true;
            const int shown = std::min<int>(r.Channels, kSlotCount);
            for (int j = 0; j < shown; ++j)
                out.channel(r, j + 1, j, archiveFormat, RecordKind::BothChannels);
        }
        if (context.rowWritten) context.rowWritten(i + 1);
    }
}

} // namespace velda
