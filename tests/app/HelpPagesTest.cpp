// The help command's warnings: no page for the language, or no program that opened it.
#include "app/HelpPages.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <vector>

namespace velda {
namespace {

TEST(HelpPagesTest, OpenReportsAMissingOrRefusedPage) {
    const QUrl page = QUrl::fromLocalFile(QStringLiteral("/opt/velda9/help/index-en.html"));
    const struct {
        const char *name;
        QUrl page;
        std::uint8_t language;
        bool opens;
        std::optional<QString> warning;
    } cases[] = {
        {"opened", page, 1, true, std::nullopt},
        {"no page in russian", QUrl(), 0, true, "Справка не найдена: нет файла index.html"},
        {"no page in english", QUrl(), 1, true, "Help not found: the file index-en.html is missing"},
        {"no program opened it", page, 1, false,
         "Could not open the help page /opt/velda9/help/index-en.html: no program opened it"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LanguageIndex = c.language;
        std::vector<QUrl> handed;
        const auto open = [&](const QUrl &url) {
            handed.push_back(url);
            return c.opens;
        };
        const auto opened = OpenHelpPage(c.page, c.language, open);
        EXPECT_EQ(opened.ok() ? std::nullopt : std::optional(opened.error().message), c.warning);
        EXPECT_EQ(handed, c.page.isEmpty() ? std::vector<QUrl>{} : std::vector<QUrl>{c.page});
    }
    LanguageIndex = 0;
}

} // namespace
} // namespace velda
