// The sensor catalogue of both sensor tables and the lookups over it.
#include "archive/SensorCatalogue.h"

#include "base/SharedTexts.h"

#include <QString>

#include <vector>

namespace velda {
namespace {

using R = ValueRule;
using S = QuantitySet;
using V = TitleVariant;
constexpr std::array<ValueRule, 3> kNone{R::None, R::None, R::None};
constexpr std::array<ValueRule, 3> kT{R::Temperature, R::Temperature, R::Temperature};
constexpr std::array<ValueRule, 3> kT0{R::TemperatureOnly, R::TemperatureOnly, R::TemperatureOnly};
constexpr std::array<ValueRule, 3> kQ{R::HeatFlux, R::HeatFlux, R::HeatFlux};
constexpr std::array<ValueRule, 3> kD{R::DewPoint, R::DewPoint, R::DewPoint};
constexpr std::array<ValueRule, 3> kP{R::Pressure, R::Pressure, R::Pressure};
constexpr std::optional<Quantity> kNoThird;
constexpr std::optional<Quantity> kDew = Quantity::DewPoint;
constexpr std::optional<Quantity> kFlux = Quantity::HeatFlux;
constexpr std::optional<Quantity> kPressure = Quantity::Pressure;

// One entry; channel 2 writes the same title whichever channel moved, and only code 0 goes unpresented
// on channel 1.
constexpr SensorEntry E(const TextPair &name, std::array<ValueRule, 3> fill, std::optional<Quantity> third,
                        S plots1, S plots2, V title1, V title2, V title1ByOther, bool presented2 = true) {
    const bool freeCode = fill == kNone;
    return {&name,
            fill,
            third,
            {plots1, plots2},
            {title1, title2},
            {title1ByOther, title2},
            {!freeCode, presented2}};
}

// Fill rules: channel 1 alone, channel 2 alone, both channels. Combinations that older programs left
// without values follow the rule the same code yields elsewhere in the same format: a probe that measures
// in one position measures the same in the others.
// The graph's sets and titles differ by channel for some probes: the platinum probes of table A plot on
// channel 2 only, those of table B title either channel but plot on channel 2 only, the plain SHT of either
// table plots on channel 1 only. The platinum thermometer of table A on
// channel 1 titles the axis only when its own axis buttons write the title.
constexpr SensorEntry kTableA[10] = {
    E(SensorTableA[0], kNone, kNoThird, S::NoPlot, S::NoPlot, V::TitleNone, V::TitleNone, V::TitleNone,
      false),
    E(SensorTableA[1], kT, kNoThird, S::ThermoOnly, S::ThermoOnly, V::TitleT, V::TitleT, V::TitleT),
    E(SensorTableA[2], kT, kNoThird, S::ThermoOnly, S::ThermoOnly, V::TitleT, V::TitleT, V::TitleT),
    E(SensorTableA[3], kT, kNoThird, S::ThermoOnly, S::ThermoOnly, V::TitleT, V::TitleT, V::TitleT),
    E(SensorTableA[4], kQ, kFlux, S::FluxOnly, S::FluxOnly, V::TitleQ, V::TitleQ, V::TitleQ),
    E(SensorTableA[5], kD, kDew, S::ThermoHygroDew, S::ThermoHygroDew, V::TitleSel, V::TitleSel, V::TitleSel),
    E(SensorTableA[6], kD, kDew, S::ThermoHygroDew, S::NoPlot, V::TitleSel, V::TitleNone, V::TitleSel),
    E(SensorTableA[7], kT, kNoThird, S::NoPlot, S::ThermoOnly, V::TitleT, V::TitleT, V::TitleNone),
    E(SensorTableA[8], kT, kNoThird, S::NoPlot, S::ThermoOnly, V::TitleNone, V::TitleT, V::TitleNone),
    E(SensorTableA[9], kT, kNoThird, S::NoPlot, S::ThermoOnly, V::TitleNone, V::TitleT, V::TitleNone),
};

// No presentation is defined for the plain SHT (code 8) on channel 2.
constexpr SensorEntry kTableB[12] = {
    E(SensorTableB[0], kNone, kNoThird, S::NoPlot, S::NoPlot, V::TitleNone, V::TitleNone, V::TitleNone,
      false),
    E(SensorTableB[1], kT0, kNoThird, S::ThermoOnly, S::ThermoOnly, V::TitleT, V::TitleT, V::TitleT),
    E(SensorTableB[2], kT0, kNoThird, S::ThermoOnly, S::ThermoOnly, V::TitleT, V::TitleT, V::TitleT),
    E(SensorTableB[3], kT0, kNoThird, S::ThermoOnly, S::ThermoOnly, V::TitleT, V::TitleT, V::TitleT),
    E(SensorTableB[4], kT0, kNoThird, S::ThermoOnly, S::ThermoOnly, V::TitleT, V::TitleT, V::TitleT),
    E(SensorTableB[5], kQ, kFlux, S::FluxOnly, S::FluxOnly, V::TitleQ, V::TitleQ, V::TitleQ),
    E(SensorTableB[6], kD, kDew, S::ThermoHygroDew, S::ThermoHygroDew, V::TitleSel, V::TitleSel, V::TitleSel),
    E(SensorTableB[7], kP, kPressure, S::ThermoHygroPressure, S::ThermoHygroPressure, V::TitleSelP,
      V::TitleSelP, V::TitleSelP),
    E(SensorTableB[8], kD, kDew, S::ThermoHygroDew, S::NoPlot, V::TitleSel, V::TitleNone, V::TitleSel, false),
    E(SensorTableB[9], {R::TemperatureOnly, R::TemperatureOnly, R::Temperature}, kNoThird, S::NoPlot,
      S::ThermoOnly, V::TitleT, V::TitleT, V::TitleT),
    E(SensorTableB[10], kT0, kNoThird, S::NoPlot, S::ThermoOnly, V::TitleT, V::TitleT, V::TitleT),
    E(SensorTableB[11], kT0, kNoThird, S::NoPlot, S::ThermoOnly, V::TitleT, V::TitleT, V::TitleT),
};

// Formats whose sensor tables are searched for a name of unknown format: table A, then table B.
constexpr int kTableAFormat = 0;
constexpr int kTableBFormat = 2;

// Both languages' names of a table, decoded once: classification runs for every change of sensor name.
struct DecodedNames {
    std::vector<QString> ru;
    std::vector<QString> en;
};

const DecodedNames &NamesOf(int archiveFormat) {
    static const auto make = [](std::span<const SensorEntry> entries) {
        DecodedNames n;
        for (const SensorEntry &e : entries) {
            n.ru.push_back(PickIn(*e.name, 0));
            n.en.push_back(PickIn(*e.name, 1));
        }
        return n;
    };
    static const DecodedNames a = make(kTableA);
    static const DecodedNames b = make(kTableB);
    return SensorTableOf(archiveFormat) == SensorTable::A ? a : b;
}

char16_t LowerLatin(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool EqualsIgnoringLatinCase(QStringView a, QStringView b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (LowerLatin(a[i].unicode()) != LowerLatin(b[i].unicode())) return false;
    }
    return true;
}

std::size_t ChannelIndex(int channel) {
    return channel == 0 ? 0 : 1;
}

} // namespace

std::span<const SensorEntry> SensorCatalogue(int archiveFormat) {
    if (SensorTableOf(archiveFormat) == SensorTable::B) return kTableB;
    return kTableA;
}

const SensorEntry &SensorEntryOf(int archiveFormat, SensorCode code) {
    const std::span<const SensorEntry> entries = SensorCatalogue(archiveFormat);
    if (code < 0 || static_cast<std::size_t>(code) >= entries.size()) return entries[0];
    return entries[static_cast<std::size_t>(code)];
}

SensorCode ClassifySensor(QStringView text, int archiveFormat) {
    const DecodedNames &names = NamesOf(archiveFormat);
    for (std::size_t code = 0; code < names.ru.size(); ++code) {
        if (EqualsIgnoringLatinCase(text, names.ru[code]) || EqualsIgnoringLatinCase(text, names.en[code]))
            return static_cast<SensorCode>(code);
    }
    return 0;
}

ValueRule RuleFor(int archiveFormat, RecordKind kind, std::uint8_t sensorCode) {
    const int index = SensorIndex(SensorTableOf(archiveFormat), sensorCode);
    if (index < 0) return R::None;
    return SensorEntryOf(archiveFormat, index).fill[static_cast<std::size_t>(kind)];
}

QuantitySet QuantitiesFor(int channel, int archiveFormat, SensorCode code) {
    return SensorEntryOf(archiveFormat, code).plots[ChannelIndex(channel)];
}

bool IsUnpresentedCode(int channel, int archiveFormat, SensorCode code) {
    return !SensorEntryOf(archiveFormat, code).presented[ChannelIndex(channel)];
}

TitleVariant TitleVariantFor(int channel, int archiveFormat, SensorCode code, bool byOtherChannel) {
    const SensorEntry &entry = SensorEntryOf(archiveFormat, code);
    return (byOtherChannel ? entry.titleByOther : entry.title)[ChannelIndex(channel)];
}

std::optional<Quantity> ThirdQuantityOf(QStringView sensorName, QStringView thirdHeader) {
    for (int format : {kTableAFormat, kTableBFormat}) {
        const SensorCode code = ClassifySensor(sensorName, format);
        if (code != 0) return SensorEntryOf(format, code).third;
    }
    for (std::uint8_t language : {0, 1}) {
        if (thirdHeader == PickIn(TxtDewPointHeader, language)) return Quantity::DewPoint;
        if (thirdHeader == PickIn(TxtPressureHeader, language)) return Quantity::Pressure;
    }
    return std::nullopt;
}

} // namespace velda
