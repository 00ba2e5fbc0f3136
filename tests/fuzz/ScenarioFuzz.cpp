// Fuzz target: the simulated instrument's scenario file. Any text gives a scenario the simulator can
// serve, or one line that says what is wrong.
#include "FuzzCheck.h"

#include "SimArchive.h"
#include "SimScenario.h"
#include "device/Protocol.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace velda::sim;
    const std::string text(reinterpret_cast<const char *>(data), size);
    const auto parsed = ParseScenario(text);
    if (const auto *error = std::get_if<std::string>(&parsed)) {
        FUZZ_CHECK(!error->empty());
        FUZZ_CHECK(error->find('\n') == std::string::npos);
        return 0;
    }
    const Scenario &s = std::get<Scenario>(parsed);
    FUZZ_CHECK(s.format >= 0 && s.format <= 2);
    FUZZ_CHECK(s.records.size() <= ArchiveSlots(s.format));
    FUZZ_CHECK(s.paramBlock.size() == ParamBlockBytes(s.format));
    // The parameter block announces exactly the records the scenario serves.
    const std::size_t words = s.format == 0 ? kShortBitmapWordCount : kLongBitmapWordCount;
    FUZZ_CHECK(velda::CountRecords(s.paramBlock, words) == s.records.size());
    FUZZ_CHECK(s.absentMs >= 0);
    if (s.liveScreen) FUZZ_CHECK(s.screen.size() == kScreenImageBytes);
    return 0;
}
