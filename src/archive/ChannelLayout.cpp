// The channel layout rule.
#include "archive/ChannelLayout.h"

#include "base/ArchiveTable.h"
#include "base/SharedTexts.h"

namespace velda {

void ApplyChannelLayout(ChannelLayoutTarget &target, bool channel1Present, bool channel2Present) {
    if (channel1Present && channel2Present) {
        target.setWindowWidth(kTwoChannelWindowWidth);
        target.setColumnCount(kTwoChannelColCount);
        for (int k = 0; k < kChannelSlotColumns; ++k)
            target.setColumnWidth(kChannel2FirstColumn + k, target.columnWidth(kChannel1FirstColumn + k));
        target.setPanel1Caption(Pick(TxtChannel1));
        target.setPanel2Caption(Pick(TxtChannel2));
        target.setPanel2Visible(true);
        return;
    }
    target.setWindowWidth(kOneChannelWindowWidth);
    target.setColumnCount(kOneChannelColCount);
    target.setPanel2Visible(false);
    if (channel1Present) {
        target.setPanel1Caption(Pick(TxtChannel1));
    } else if (channel2Present) {
        target.setPanel1Caption(Pick(TxtChannel2));
    }
}

void PublishChannels(const ArchiveTable &shown) {
    Channel1Present.store(shown.channels().channel1);
    Channel2Present.store(shown.channels().channel2);
}

bool SecondSlotHoldsData(const ArchiveTable &table) {
    for (int row = 1; row < table.rowCount(); ++row) {
        for (int col = kChannel2FirstColumn; col < kChannel2FirstColumn + kChannelSlotColumns; ++col) {
            if (!table.cellIsEmpty(col, row)) return true;
        }
    }
    return false;
}

ChannelFlags ChannelsShown(const ArchiveTable &table, ChannelFlags flags) {
    const bool bothSlots = SecondSlotHoldsData(table);
    return {flags.channel1 || bothSlots, flags.channel2 || bothSlots};
}

} // namespace velda
