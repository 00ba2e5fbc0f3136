// When an arrival starts a download: once per stay, never beside an exchange or under a modal dialog.
#include "plug/ArrivalRules.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using velda::ArrivalRules;

// Steps: A arrived, L left, S the download started; x an exchange runs, m a modal dialog is open,
// . nothing runs. After each step the expected answer of shouldStart for the step's condition: '+' start,
// '-' not.
struct Case {
    const char *name;
    std::string_view steps; ///< pairs of (event or condition, expected answer)
};

TEST(ArrivalRulesTest, OneDownloadPerStayWhenNothingElseRuns) {
    const Case cases[] = {
        {"nothing on the bus", ".-"},
        {"arrival with nothing running starts", "A+.+S-.-"},
        {"arrival during an exchange waits for its end", "A+x-x-.+S-"},
        {"arrival under a modal dialog waits for it to close", "A+m-.+"},
        {"a stay is read once however long it lasts", "A+S-.-.-x-.-"},
        {"a repeated arrival event within a stay changes nothing", "A+S-A-.-"},
        {"leaving and coming back reads again", "A+S-L-.-A+S-"},
        {"leaving before the download started drops it", "A+x-L-.-"},
        {"leaving mid-download, the next arrival starts afresh", "A+S-x-L-A+x-.+"},
    };
    for (const auto &c : cases) {
        ArrivalRules rules;
        ASSERT_EQ(c.steps.size() % 2, 0u) << c.name;
        for (std::size_t i = 0; i < c.steps.size(); i += 2) {
            const char step = c.steps[i];
            bool exchange = false;
            bool modal = false;
            switch (step) {
            case 'A':
                rules.instrumentArrived();
                break;
            case 'L':
                rules.instrumentLeft();
                break;
            case 'S':
                rules.downloadStarted();
                break;
            case 'x':
                exchange = true;
                break;
            case 'm':
                modal = true;
                break;
            default:
                break;
            }
            EXPECT_EQ(rules.shouldStart(exchange, modal), c.steps[i + 1] == '+')
                << c.name << ", step " << i / 2 + 1 << " '" << step << "'";
        }
    }
}

} // namespace
