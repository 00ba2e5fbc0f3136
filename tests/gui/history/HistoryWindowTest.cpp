// The History window driven offscreen over a real SQLite history: the instrument list, the downloads of
// the chosen instrument, a date range opened in the table, forgetting with a question that names how
// many readings go, and the menu's check item kept in the settings; naming a download that matches no
// instrument, renaming, and the queue taken up at start.
#include "history/HistoryRecords.h"
#include "history/HistorySync.h"
#include "history/HistoryView.h"
#include "history/THistoryForm.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

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

// Types `answer` into the next input dialog that opens and accepts it.
void AnswerInputDialog(const QString &answer) {
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
            dialog->setTextValue(answer);
            dialog->accept();
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(5);
}

TEST(HistoryWindow, NamesUnmatchedDownloadsRenamesAndTakesUpTheQueue) {
    QTemporaryDir dir;
    setenv("VELDA9_HISTORY", dir.filePath(QStringLiteral("h.sqlite")).toLocal8Bit().constData(), 1);
    setenv("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toLocal8Bit().constData(), 1);
    App();
    LanguageIndex.store(1);
    ASSERT_FALSE(StoreWindowDownload(test::Download(0, 10), {}).isEmpty());
    ASSERT_FALSE(StoreWindowDownload(test::Download(500, 3), QStringLiteral("Lab")).isEmpty());
    const QStringList offered{QStringLiteral("VELDA-9"), QStringLiteral("Lab")};
    for (const auto &[first, instrument, names] :
         {std::tuple{501, QStringLiteral("Lab"), QStringList()}, std::tuple{900, QString(), offered}}) {
        const DownloadNaming naming = NameWindowDownload(test::Download(first, 5));
        EXPECT_EQ(naming.instrument, instrument) << first;
        EXPECT_EQ(naming.offered, names) << first;
    }
    // Cancelled, the question keeps the default: the main window's test answers it so.
    for (const auto &[answer, instrument] : {std::pair{" Shelf ", "Shelf"}, std::pair{" ", "VELDA-9"}}) {
        AnswerInputDialog(QString::fromUtf8(answer));
        EXPECT_EQ(AskDownloadInstrument(nullptr, offered), instrument);
    }

    THistoryForm form([](ArchiveTable) {}, [](const QString &) { return true; });
    for (const auto &[to, renamed, first, status] :
         {std::tuple{"VELDA-9", false, "Lab",
                     "An instrument named \"VELDA-9\" exists already; choose another name."},
          std::tuple{"Cellar", true, "Cellar", ""}}) {
        form.Instruments->selectRow(0);
        EXPECT_EQ(form.renameChosen(QString::fromUtf8(to)), renamed) << to;
        EXPECT_EQ(Cell(form.Instruments, 0, 0), first);
        EXPECT_EQ(Cell(form.Instruments, 1, 0), QStringLiteral("VELDA-9"));
        EXPECT_EQ(form.StatusLabel->text(), status);
    }

    // At start the queue is stored; a file in it that is no download is named and left in place.
    ASSERT_TRUE(QueueDownload(DefaultHistoryQueueFolder(), test::Download(900, 4), QStringLiteral("Q")).ok());
    QFile junk(DefaultHistoryQueueFolder() + QStringLiteral("/0-junk.download"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write("junk") == 4);
    junk.close();
    EXPECT_TRUE(FlushWindowHistory().endsWith(
        QStringLiteral("0-junk.download: not a queued download; left in place")));
    EXPECT_TRUE(junk.exists());
    form.refresh();
    EXPECT_EQ(Cell(form.Instruments, 1, 0), QStringLiteral("Q"));
    LanguageIndex.store(0);
    unsetenv("VELDA9_HISTORY");
}

} // namespace
