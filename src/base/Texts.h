// Two-language texts: the process-wide language index and the Russian/English pairs every module picks from.
#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

namespace velda {

/// 0 Russian, 1 English; 0 at every start. Written only by the Language menu commands on the GUI thread;
/// read by any thread at the moment a text is needed (the table fill reads it on the exchange thread).
extern std::atomic<std::uint8_t> LanguageIndex;

/// A Russian text and its English text (UTF-8 literals). A text that is the same in both languages
/// holds it twice. Each module keeps its pairs as constants next to the code that shows them.
struct TextPair {
    const char *ru;
    const char *en;
};

/// The text of `pair` in the language active now.
[[nodiscard]] QString Pick(const TextPair &pair);

/// The text of `pair` in `language` (0 Russian, anything else English).
[[nodiscard]] QString PickIn(const TextPair &pair, std::uint8_t language);

} // namespace velda
