// The notice of readings outside the limits after a download: per channel and quantity how many readings
// lay below or above and for how long, as a title, a body and one line, in Russian or English.
// Toolkit-free; the main window and `velda9-cli watch` both build it.
#pragma once

#include "base/ArchiveTable.h"
#include "base/SystemFormats.h"
#include "base/Texts.h"
#include "graph/Limits.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace velda {

/// %1 the instrument.
inline constexpr TextPair TxtLimitNoticeTitle{"%1: показания вне пределов",
                                              "%1: readings outside the limits"};
/// %1 the channel, %2 the quantity's title with its unit, %3 what lay outside.
inline constexpr TextPair TxtLimitNoticeGroup{"канал %1, %2: %3", "channel %1, %2: %3"};
/// %1 the count, %2 the duration as hours:minutes:seconds.
inline constexpr TextPair TxtLimitNoticeBelow{"ниже предела %1 за %2", "%1 below the limit for %2"};
inline constexpr TextPair TxtLimitNoticeAbove{"выше предела %1 за %2", "%1 above the limit for %2"};

/// One channel's quantity with readings outside its limit.
struct LimitCrossing {
    int channel = 1;
    Quantity quantity = Quantity::Temperature;
    std::int64_t belowCount = 0;
    std::int64_t aboveCount = 0;
    double belowSeconds = 0;
    double aboveSeconds = 0;
};

/// What a notification and a log line say about a download that crossed a limit.
struct LimitNotice {
    std::vector<LimitCrossing> crossings; ///< by channel, then quantity, as the statistics order them
    QString title;                        ///< "VELDA-9: readings outside the limits"
    QString body;                         ///< one line per crossing, LF between them
    QString line;                         ///< the title and every crossing on one line, "; " between them
};

/// The notice for `table` (channels from its own flags, values read with `formats`) under `limits`, in
/// `language` (0 Russian, 1 English) naming `instrument`; nullopt when no reading lies outside. Several
/// sensors of one channel and quantity are added together. Pure; any thread that owns `table`.
[[nodiscard]] std::optional<LimitNotice> NoticeOfLimits(const ArchiveTable &table, const Limits &limits,
                                                        const QString &instrument, std::uint8_t language,
                                                        const SystemFormats &formats = CurrentFormats());

} // namespace velda
