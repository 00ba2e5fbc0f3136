// The watch settings file into arguments, the typed options winning, and the names of downloads' files.
#include "plug/WatchConfig.h"
#include "plug/WatchNames.h"

#include <gtest/gtest.h>

namespace velda {
namespace {

struct ConfigCase {
    const char *name;
    const char *text;
    QStringList arguments; ///< expected when the file is accepted
    int errorLine = 0;     ///< the refused line, 0 when accepted
    const char *key = "";
    WatchConfigError::Kind kind = WatchConfigError::Kind::Malformed;
};

TEST(WatchConfigTest, LinesBecomeArgumentsOrARefusalNamingTheKey) {
    using Kind = WatchConfigError::Kind;
    const ConfigCase cases[] = {
        {"comments, blanks, spaces around = and CR LF endings",
         "# watch\r\n\r\n  save-to =  /srv/velda 9 \r\nsummary=yes\r\nset-clock = off\r\n",
         {"--save-to=/srv/velda 9", "--summary"}},
        {"every switch spelling",
         "simulate = TRUE\nno-history = 1\nsummary = on\nset-clock = no\n",
         {"--simulate", "--no-history", "--summary"}},
        {"limit may repeat, a value may hold '='",
         "limit = temperature=2:8\nlimit = humidity=:60\nname-template = a={instrument}\n",
         {"--limit=temperature=2:8", "--limit=humidity=:60", "--name-template=a={instrument}"}},
        {"unknown key", "lang = en\ncolour = red\n", {}, 2, "colour", Kind::UnknownKey},
        {"no equals sign", "summary\n", {}, 1, "summary", Kind::Malformed},
        {"switch neither on nor off", "summary = maybe\n", {}, 1, "summary", Kind::BadValue},
        {"value missing", "\nsave-to =\n", {}, 2, "save-to", Kind::BadValue},
        {"key given twice", "lang = en\nlang = ru\n", {}, 2, "lang", Kind::BadValue},
    };
    for (const ConfigCase &c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = WatchConfigArguments(QString::fromUtf8(c.text), QStringLiteral("watch.conf"), 1);
        ASSERT_EQ(parsed.ok(), c.errorLine == 0);
        if (parsed.ok()) {
            EXPECT_EQ(parsed.value(), c.arguments);
            continue;
        }
        const WatchConfigError &error = parsed.error();
        EXPECT_EQ(error.kind, c.kind);
        EXPECT_EQ(error.line, c.errorLine);
        EXPECT_EQ(error.key, QString::fromUtf8(c.key));
        EXPECT_TRUE(error.message.startsWith(QStringLiteral("watch.conf:%1: ").arg(c.errorLine)));
        EXPECT_TRUE(error.message.contains(QString::fromUtf8(c.key))) << error.message.toStdString();
    }
    // The Russian message names the key too.
    const auto ru = WatchConfigArguments(QStringLiteral("цвет = red"), QStringLiteral("w.conf"), 0);
    EXPECT_EQ(ru.error().message, QStringLiteral("w.conf:1: неизвестный ключ «цвет»"));
}

TEST(WatchConfigTest, TypedOptionsWinOverTheFile) {
    const QStringList config{"--save-to=/a", "--limit=temperature=2:8", "--limit=humidity=:60", "--summary"};
    const struct {
        const char *name;
        QStringList typed;
        QStringList merged;
    } cases[] = {
        {"nothing typed", {"watch"}, config + QStringList{"watch"}},
        {"a typed folder replaces the file's",
         {"watch", "--save-to", "/b"},
         {"--limit=temperature=2:8", "--limit=humidity=:60", "--summary", "watch", "--save-to", "/b"}},
        {"one typed limit replaces every limit line",
         {"watch", "--limit=pressure=700:800"},
         {"--save-to=/a", "--summary", "watch", "--limit=pressure=700:800"}},
        {"after -- nothing counts as an option",
         {"watch", "--", "--summary"},
         config + QStringList{"watch", "--", "--summary"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MergeWatchArguments(config, c.typed), c.merged);
    }
}

TEST(WatchNamesTest, TemplatesFieldsAndFreeNames) {
    const NameFields fields{QStringLiteral("Cold/room"), QDateTime(QDate(2024, 3, 5), QTime(23, 59, 7)),
                            QDateTime(QDate(2024, 3, 6), QTime(8, 0, 1))};
    const struct {
        const char *name;
        const char *nameTemplate;
        const char *expanded; ///< nullptr: refused
        const char *problemHolds = "";
    } cases[] = {
        {"default", kDefaultNameTemplate, "Cold_room_2024-03-06_08-00-01"},
        {"last record fields", "{last-date}T{last-time}", "2024-03-05T23-59-07"},
        {"text around fields and a lone brace", "run {instrument} }{read-date}", "run Cold_room }2024-03-06"},
        {"unclosed field", "x{instrument", nullptr, "{instrument"},
        {"empty", "  ", nullptr, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto checked = CheckNameTemplate(QString::fromUtf8(c.nameTemplate), 1);
        if (c.expanded == nullptr) {
            ASSERT_FALSE(checked);
            EXPECT_TRUE(checked.error().message.contains(QString::fromUtf8(c.problemHolds)));
            EXPECT_FALSE(CheckNameTemplate(QString::fromUtf8(c.nameTemplate), 0).error().message.isEmpty());
            continue;
        }
        EXPECT_TRUE(checked.ok()) << checked.error().message.toStdString();
        EXPECT_EQ(ExpandNameTemplate(QString::fromUtf8(c.nameTemplate), fields),
                  QString::fromUtf8(c.expanded));
    }
    // Without a readable last record its fields take the download's moment.
    EXPECT_EQ(ExpandNameTemplate(QStringLiteral("{last-date}"), {QString(), QDateTime(), fields.read}),
              QStringLiteral("2024-03-06"));
}

} // namespace
} // namespace velda
