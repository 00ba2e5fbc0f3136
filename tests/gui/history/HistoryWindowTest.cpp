// The History window driven offscreen over a real SQLite history: the instrument list, the downloads of
// the chosen instrument, a date range opened in the table, forgetting with a question that names how
// many readings go, and the menu's check item kept in the settings.
#include "history/HistoryRecords.h"
#include "history/HistoryView.h"
#include "history/THistoryForm.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace velda;

namespace {

QApplication &App() {
    static int argc = 1;
    static char name[] = "HistoryWindowTest";
    static char *argv[] = {name, nullptr};
    static auto *app = new QApplication(argc, argv);
    return *app;
}

QString Cell(const QTableWidget *list, int row, int col) {
    const QTableWidgetItem *item = list->item(row, col);
    return item ? item->text() : QString();
}

TEST(HistoryWindow, ListsOpensRangesAndForgetsWithTheCountNamed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("history.sqlite"));
    setenv("VELDA9_HISTORY", file.toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit().constData(), 1);
    App();
    LanguageIndex.store(1);
    {
        HistoryLocation location;
        location.path = file;
        auto store = HistoryStore::open(location);
        ASSERT_TRUE(store.ok());
        ASSERT_TRUE(store.value()->add(test::Download(0, 10)).ok());
        ASSERT_TRUE(store.value()->add(test::Download(5, 10)).ok());
        ASSERT_TRUE(store.value()->add(test::Download(500, 3), QStringLiteral("Lab")).ok());
    }

    std::optional<ArchiveTable> opened;
    QStringList questions;
    THistoryForm form([&opened](ArchiveTable table) { opened = std::move(table); },
                      [&questions](const QString &question) {
                          questions << question;
                          return true;
                      });
    ASSERT_EQ(form.Instruments->rowCount(), 2);
    EXPECT_EQ(Cell(form.Instruments, 0, 0), QStringLiteral("Lab"));
    EXPECT_EQ(Cell(form.Instruments, 1, 0), QStringLiteral("VELDA-9"));
    EXPECT_EQ(Cell(form.Instruments, 1, 3), QStringLiteral("15"));

    form.Instruments->selectRow(1);
    ASSERT_EQ(form.Downloads->rowCount(), 2);
    EXPECT_EQ(Cell(form.Downloads, 0, 2), QStringLiteral("10"));
    EXPECT_EQ(form.FromEdit->dateTime().toString(Qt::ISODate), QStringLiteral("2024-01-01T00:00:00Z"));
    EXPECT_EQ(form.ToEdit->dateTime().toString(Qt::ISODate), QStringLiteral("2024-01-01T00:14:00Z"));

    form.FromEdit->setDateTime(QDateTime(QDate(2024, 1, 1), QTime(0, 3), Qt::UTC));
    form.ToEdit->setDateTime(QDateTime(QDate(2024, 1, 1), QTime(0, 6), Qt::UTC));
    form.OpenButton->click();
    ASSERT_TRUE(opened.has_value());
    ASSERT_EQ(opened->rowCount(), 5);
    EXPECT_EQ(opened->cell(1, 1), QStringLiteral("00:03:00"));

    form.Downloads->selectRow(0);
    form.ForgetDownloadButton->click();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions.back().contains(QStringLiteral("The 5 readings")))
        << questions.back().toStdString();
    ASSERT_EQ(form.Instruments->rowCount(), 2);
    EXPECT_EQ(Cell(form.Instruments, 1, 3), QStringLiteral("10"));

    form.Instruments->selectRow(0);
    form.ForgetInstrumentButton->click();
    ASSERT_EQ(questions.size(), 2);
    EXPECT_TRUE(questions.back().contains(QStringLiteral("\"Lab\"")) &&
                questions.back().contains(QStringLiteral("3")));
    ASSERT_EQ(form.Instruments->rowCount(), 1);

    QMenu menu;
    QAction *first = menu.addAction(QStringLiteral("first"));
    AddHistoryItems(&menu, first, [] {});
    ASSERT_EQ(menu.actions().size(), 3);
    QAction *keep = menu.actions().at(2);
    EXPECT_TRUE(keep->isChecked());
    keep->trigger();
    EXPECT_FALSE(HistoryEnabled());
    keep->trigger();
    EXPECT_TRUE(HistoryEnabled());
    LanguageIndex.store(0);
    unsetenv("VELDA9_HISTORY");
}

} // namespace
