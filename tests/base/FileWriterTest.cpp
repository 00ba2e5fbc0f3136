// The file writer's check of a target against real folders: each kind of refusal as a user meets it, its
// words in both languages, and nothing left in the folder by the check.
#include "base/FileWriter.h"

#include "base/Texts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace velda {
namespace {

using Kind = FileError::Kind;

QStringList Entries(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

void Put(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

TEST(FileWriter, EachRefusalHasItsKindAndOwnWordsInBothLanguages) {
    QTemporaryDir dir;
    const auto at = [&](const QByteArray &name) { return dir.filePath(QString::fromUtf8(name)); };
    Put(at("protected.xlsx"), "old");
    QFile::setPermissions(at("protected.xlsx"), QFile::ReadOwner);
    const struct {
        QString path;
        Kind kind;
        const char *russian; ///< the reason; %1 is the folder
        const char *english;
    } cases[] = {
        {{}, Kind::NoFileName, "не указано имя файла", "no file name given"},
        {at("no/a.vd"), Kind::MissingFolder, "папка %1 не существует", "the folder %1 does not exist"},
        {at("protected.xlsx"), Kind::ReadOnlyFile, "файл только для чтения", "the file is read-only"},
        {at(QByteArray(253, 'n') + ".vd"), Kind::NameTooLong, "имя файла слишком длинное",
         "the file name is too long"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const QStringList before = Entries(dir.path());
        const auto checked = CheckOutputTarget(c.path);
        ASSERT_FALSE(checked.ok());
        const FileError &error = checked.error();
        EXPECT_EQ(error.kind, c.kind);
        for (const std::uint8_t language : {0, 1}) {
            LanguageIndex.store(language);
            const QString reason = QString::fromUtf8(language == 0 ? c.russian : c.english);
            EXPECT_EQ(error.reason(),
                      reason.contains(QLatin1String("%1")) ? reason.arg(error.detail) : reason);
            EXPECT_EQ(error.message(), c.path.isEmpty() ? error.reason() : c.path + ": " + error.reason());
        }
        EXPECT_EQ(Entries(dir.path()), before);
    }
    LanguageIndex.store(0);
}

} // namespace
} // namespace velda
