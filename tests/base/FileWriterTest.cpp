// The file writer against real folders: each kind of refusal as a user meets it, its words in both
// languages, and that nothing but the finished file is ever left in the folder.
#include "base/FileWriter.h"

#include "base/Texts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>

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
    Put(at("in.vd"), "input");
    Put(at("protected.xlsx"), "old");
    QFile::setPermissions(at("protected.xlsx"), QFile::ReadOwner);
    ASSERT_TRUE(QFile::link(at("in.vd"), at("link.pdf")));
    const OutputRules pdfOf{{QStringLiteral(".pdf")}, {at("in.vd")}};
    const struct {
        QString path;
        OutputRules rules;
        Kind kind;
        const char *russian; ///< the whole message; %1 is the folder or the input
        const char *english;
    } cases[] = {
        {{}, {}, Kind::NoFileName, "не указано имя файла", "no file name given"},
        {at("no/a.vd"),
         {},
         Kind::MissingFolder,
         "%0: папка %1 не существует",
         "%0: the folder %1 does not exist"},
        {at("protected.xlsx"),
         {},
         Kind::ReadOnlyFile,
         "%0: файл только для чтения",
         "%0: the file is read-only"},
        {at(QByteArray(253, 'n') + ".vd"),
         {},
         Kind::NameTooLong,
         "%0: имя файла слишком длинное",
         "%0: the file name is too long"},
        {"/proc/x.vd",
         {},
         Kind::CannotCreate,
         "%0: в папке %1 нельзя создать файл",
         "%0: no file can be created in the folder %1"},
        {at("link.pdf"), pdfOf, Kind::SameAsInput, "%0: это тот же файл, что и входной %1",
         "%0: is the same file as the input %1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const QStringList before = Entries(dir.path());
        const auto checked = CheckOutputTarget(c.path, c.rules);
        ASSERT_FALSE(checked.ok());
        const FileError &error = checked.error();
        EXPECT_EQ(error.kind, c.kind);
        for (const std::uint8_t language : {0, 1}) {
            LanguageIndex.store(language);
            const QString expected = QString::fromUtf8(language == 0 ? c.russian : c.english);
            EXPECT_EQ(error.message(), QString(expected)
                                           .replace(QLatin1String("%0"), c.path)
                                           .replace(QLatin1String("%1"), error.detail));
        }
        EXPECT_EQ(Entries(dir.path()), before);
    }
    LanguageIndex.store(0);
}

TEST(FileWriter, SystemErrorsBecomeTheProgramsOwnReasons) {
    const struct {
        int error;
        Kind kind;
        const char *russian;
    } cases[] = {
        {ENOSPC, Kind::DiskFull, "a.csv: на диске нет места"},
        {EDQUOT, Kind::DiskFull, "a.csv: на диске нет места"},
        {EFBIG, Kind::FileTooLarge, "a.csv: файл превысил допустимый размер"},
        {EROFS, Kind::ReadOnlyFileSystem, "a.csv: файловая система доступна только для чтения"},
        {EIO, Kind::InputOutput, "a.csv: ошибка ввода-вывода диска"},
        {EXDEV, Kind::Other, "a.csv: не удаётся записать файл (ошибка системы EXDEV, 18)"},
    };
    for (const auto &c : cases) {
        const FileError error = FileError::FromErrno(c.error, QStringLiteral("a.csv"));
        EXPECT_EQ(error.kind, c.kind) << c.russian;
        EXPECT_EQ(error.message(), QString::fromUtf8(c.russian));
    }
}

TEST(FileWriter, OnlyAFinishedFileReplacesTheTargetAndKeepsItsPermissions) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.bmp"));
    Put(target, "old");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const QStringList entries = Entries(dir.path());
    for (const bool commit : {false, true}) {
        {
            FileWriter writer(target);
            ASSERT_TRUE(writer.open().ok() && writer.write(QByteArray("new")).ok());
            if (commit) {
                ASSERT_TRUE(writer.commit().ok());
            }
        }
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray(commit ? "new" : "old"));
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0640u);
        EXPECT_EQ(Entries(dir.path()), entries);
    }
}

} // namespace
} // namespace velda
