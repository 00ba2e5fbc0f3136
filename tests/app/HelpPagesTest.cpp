// The help command's warnings and the lookup of the page for each language.
#include "app/HelpPages.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace velda {
namespace {

TEST(HelpPagesTest, OpenReportsAMissingOrRefusedPage) {
    const QUrl page = QUrl::fromLocalFile(QStringLiteral("/opt/velda9/help/index-en.html"));
    struct Case {
        const char *name;
        QUrl page;
        std::uint8_t language;
        bool opens;
        std::optional<QString> warning;
        bool handedOver;
    };
    const Case cases[] = {
        {"opened", page, 1, true, std::nullopt, true},
        {"no page in russian", QUrl(), 0, true, "Справка не найдена: нет файла index.html", false},
        {"no page in english", QUrl(), 1, true, "Help not found: the file index-en.html is missing", false},
        {"no program opened it", page, 1, false,
         "Could not open the help page /opt/velda9/help/index-en.html: no program opened it", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LanguageIndex = c.language;
        std::vector<QUrl> handed;
        const auto open = [&](const QUrl &url) {
            handed.push_back(url);
            return c.opens;
        };
        EXPECT_EQ(OpenHelpPage(c.page, c.language, open), c.warning);
        EXPECT_EQ(handed, c.handedOver ? std::vector<QUrl>{c.page} : std::vector<QUrl>{});
    }
    LanguageIndex = 0;
}

TEST(HelpPagesTest, FolderNamedByTheEnvironmentComesFirst) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile page(QDir(dir.path()).filePath(QStringLiteral("index-en.html")));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.close();
    qputenv("VELDA9_HELP_DIR", QFile::encodeName(dir.path()));
    const QUrl english = HelpPageUrl(1);
    const QUrl russian = HelpPageUrl(0);
    qunsetenv("VELDA9_HELP_DIR");
    EXPECT_EQ(english, QUrl::fromLocalFile(QFileInfo(page).canonicalFilePath()));
    // The Russian page is not in that folder: it is looked for elsewhere, never taken from there.
    EXPECT_FALSE(russian.toLocalFile().startsWith(QFileInfo(dir.path()).canonicalFilePath()));
}

} // namespace
} // namespace velda
