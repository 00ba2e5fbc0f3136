// The language index and text picking.
#include "base/Texts.h"

namespace velda {

std::atomic<std::uint8_t> LanguageIndex{0};

QString PickIn(const TextPair &pair, std::uint8_t language) {
    return QString::fromUtf8(language == 0 ? pair.ru : pair.en);
}

QString Pick(const TextPair &pair) {
    return PickIn(pair, LanguageIndex.load(std::memory_order_relaxed));
}

} // namespace velda
