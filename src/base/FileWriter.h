// The one way the program writes a file: a new file beside the target, filled, synced and renamed over the
// target only when complete; and the one check of an output target that commands run before any work.
#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <cstddef>

namespace velda {

/// Why a file could not be written, in words of the program's own (both languages), never the system's.
struct FileError {
    enum class Kind {
        NoFileName,         ///< the name is empty
        IsFolder,           ///< the name is that of a folder
        MissingFolder,      ///< the folder of the file does not exist
        NoPermission,       ///< the folder (or file) may not be written by this user
        ReadOnlyFile,       ///< an existing file protected against writing
        ReadOnlyFileSystem, ///< the file system is mounted read-only
        CannotCreate,       ///< the folder takes no new file (e.g. a system folder such as /proc)
        NameTooLong,        ///< the name is longer than the file system allows
        DiskFull,           ///< no space left (or the disk quota exceeded)
        FileTooLarge,       ///< the file-size limit of the process or the file system was reached
        InputOutput,        ///< the disk reported an input/output error
        SameAsInput,        ///< the output is one of the command's input files
        WrongExtension,     ///< the name does not end in an extension the command writes
        Incomplete,         ///< the file came out incomplete, without a reason from the system
        Other,              ///< any other system error; `detail` holds its number
    };
    Kind kind = Kind::Other;
    QString path;   ///< the output's whole path as the user gave it
    QString detail; ///< the folder, the input, the extensions or the error number the message names

    /// One line for the user in the language in force: "PATH: REASON".
    [[nodiscard]] QString message() const;
    /// The reason alone, for messages that name the file themselves.
    [[nodiscard]] QString reason() const;
    /// The kind for a system error number `error` met while writing `path` (`folder`: its folder).
    [[nodiscard]] static FileError FromErrno(int error, const QString &path, const QString &folder = {});
};

template <typename T>
using FileResult = Result<T, FileError>;

/// What a command's output must satisfy besides being a writable file.
struct OutputRules {
    /// Extensions the command writes (".pdf", any case); empty: any name.
    QStringList extensions;
    /// Files the command reads: the output may be none of them (compared by device and inode, so "./x.vd"
    /// and a symbolic link to x.vd are x.vd).
    QStringList inputs;
};

/// The one check of an output target, run by a command before it reads or downloads anything: a name is
/// given, it is no folder, its folder exists and may be written, an existing file is not protected, the
/// extension matches, it is none of the inputs, and a new file can be created there (tried without
/// leaving anything behind). Any thread.
[[nodiscard]] FileResult<Done> CheckOutputTarget(const QString &path, const OutputRules &rules = {});

/// Writes one file all or nothing. open() makes an unnamed file in the target's folder (a short hidden name
/// where the file system has no unnamed files); write() appends; commit() syncs the file, renames it over the
/// target (a symbolic link's target is replaced, the link stays; an existing file's permissions are kept)
/// and syncs the folder. Until commit() succeeds the target is untouched; a failed or cancelled writer, or
/// one destroyed without commit(), leaves nothing behind, and neither does a process ended by SIGINT,
/// SIGTERM, SIGHUP or SIGQUIT while it writes. One thread at a time may use a writer.
class FileWriter {
public:
    explicit FileWriter(QString target);
    ~FileWriter();
    FileWriter(const FileWriter &) = delete;
    FileWriter &operator=(const FileWriter &) = delete;

    /// Checks the target (as CheckOutputTarget without rules) and creates the new file.
    [[nodiscard]] FileResult<Done> open();
    /// Appends `size` bytes; asks the kernel to start writing each few megabytes out to disk at once, so
    /// that the sync in commit() waits for little more than the last of them.
    [[nodiscard]] FileResult<Done> write(const char *data, std::size_t size);
    [[nodiscard]] FileResult<Done> write(const QByteArray &bytes) {
        return write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    /// The name under which a library that opens files by name reaches the new file (after open()).
    [[nodiscard]] QByteArray openPath() const;
    /// Makes the new file the target; after a failure the target is as it was.
    [[nodiscard]] FileResult<Done> commit();
    /// Throws the new file away.
    void cancel();

    /// The target's whole path (a symbolic link resolved), known after open().
    [[nodiscard]] const QString &targetPath() const { return m_resolved; }

private:
    /// The error for a system error number met while this writer worked.
    [[nodiscard]] FileError error(int systemError) const;

    QString m_target;   ///< as given
    QString m_resolved; ///< absolute, a symbolic link followed
    QByteArray m_named; ///< the hidden name of the new file while it has one
    int m_fd = -1;
    off_t m_written = 0;
    off_t m_hinted = 0;
};

/// Replaces `path` with `bytes` through a FileWriter. Any thread.
[[nodiscard]] FileResult<Done> WriteFileBytes(const QString &path, const QByteArray &bytes);

} // namespace velda
