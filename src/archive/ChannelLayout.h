// The main window's layout for the channels present: column count, window width, channel panels.
#pragma once

#include "base/ArchiveTable.h"
#include "base/TableColumns.h"

#include <QString>

namespace velda {

inline constexpr int kTwoChannelWindowWidth = 1300;
inline constexpr int kOneChannelWindowWidth = 1000;
inline constexpr int kTwoChannelColCount = column::kTwoSlotCount;
inline constexpr int kOneChannelColCount = column::kOneSlotCount;
/// First column of channel slot 1 and of channel slot 2; each slot has four columns.
inline constexpr int kChannel1FirstColumn = column::kSlot0Sensor;
inline constexpr int kChannel2FirstColumn = column::kSlot1Sensor;
inline constexpr int kChannelSlotColumns = column::kSlotWidth;

/// What the layout rule changes; the main window implements it over its widgets, tests over a record.
class ChannelLayoutTarget {
public:
    virtual ~ChannelLayoutTarget() = default;
    /// Outer width of the window in pixels; the table follows it.
    virtual void setWindowWidth(int width) = 0;
    virtual void setColumnCount(int count) = 0;
    [[nodiscard]] virtual int columnWidth(int column) const = 0;
    virtual void setColumnWidth(int column, int width) = 0;
    virtual void setPanel1Caption(const QString &caption) = 0;
    virtual void setPanel2Caption(const QString &caption) = 0;
    virtual void setPanel2Visible(bool visible) = 0;
};

/// Both channels: width 1300, 14 columns, columns 10-13 take the widths of 6-9, both panels captioned.
/// Otherwise: width 1000, 10 columns, panel 2 hidden, panel 1 names the one channel present (channel 2
/// when only it is present); with neither channel panel 1 keeps its caption. Captions in the current
/// language. GUI thread.
void ApplyChannelLayout(ChannelLayoutTarget &target, bool channel1Present, bool channel2Present);

/// True when a data row (row 1 and below) holds a text in the second slot (columns 10-13). The channel
/// flags describe only the last record, so an archive whose last record has one channel may still hold
/// both channels in earlier rows: the layout then keeps the second slot shown, or its values would be
/// hidden and left out of a saved project file.
[[nodiscard]] bool SecondSlotHoldsData(const ArchiveTable &table);

/// The channels the layout shows for `table` whose channel flags are `flags`: those flags, and both
/// whenever the second slot holds data. The main window lays out an opened or downloaded table by them,
/// and the command line shapes a loaded project with them, so both front ends show (and export) the same
/// columns.
[[nodiscard]] ChannelFlags ChannelsShown(const ArchiveTable &table, ChannelFlags flags);

/// Sets Channel1Present / Channel2Present from the channels of `shown` once it has become the shown table
/// (swapped in after a download, loaded from a project file, appended to): the one writer of the flags.
/// The thread that owns `shown`.
void PublishChannels(const ArchiveTable &shown);

} // namespace velda
