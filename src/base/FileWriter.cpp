// Files written all or nothing: an unnamed file in the target's folder (O_TMPFILE) that is given a short
// hidden name only for the rename over the target, so no target name is too long for it and an interrupted
// process leaves nothing; where a file system has no unnamed files, a hidden file removed on failure and by
// the handlers of the terminating signals.
#include "base/FileWriter.h"

#include "base/FileTarget.h"
#include "base/Texts.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velda {
namespace {

constexpr TextPair TxtNoFileName{"не указано имя файла", "no file name given"};
constexpr TextPair TxtIsFolder{"это папка, а не имя файла", "is a folder, not a file name"};
constexpr TextPair TxtMissingFolder{"папка %1 не существует", "the folder %1 does not exist"};
constexpr TextPair TxtNoPermission{"нет прав на запись в папку %1", "the folder %1 is not writable"};
constexpr TextPair TxtReadOnlyFile{"файл только для чтения", "the file is read-only"};
constexpr TextPair TxtReadOnlyFileSystem{"файловая система доступна только для чтения",
                                         "the file system is read-only"};
constexpr TextPair TxtCannotCreate{"в папке %1 нельзя создать файл",
                                   "no file can be created in the folder %1"};
constexpr TextPair TxtNameTooLong{"имя файла слишком длинное", "the file name is too long"};
constexpr TextPair TxtDiskFull{"на диске нет места", "no space left on the disk"};
constexpr TextPair TxtFileTooLarge{"файл превысил допустимый размер", "the file exceeds the size allowed"};
constexpr TextPair TxtInputOutput{"ошибка ввода-вывода диска", "the disk reported an input/output error"};
constexpr TextPair TxtSameAsInput{"это тот же файл, что и входной %1", "is the same file as the input %1"};
constexpr TextPair TxtWrongExtension{"имя файла должно оканчиваться на %1", "the file name must end in %1"};
constexpr TextPair TxtIncomplete{"файл записан не полностью", "the file came out incomplete"};
constexpr TextPair TxtOther{"не удаётся записать файл (ошибка системы %1)",
                            "the file cannot be written (system error %1)"};

// Data handed to the kernel since the last hint after which it is asked to start writing to disk.
constexpr off_t kHintBytes = 1 << 20;

// --- Named new files, removed when a terminating signal ends the process -------------------------------

constexpr std::array<int, 4> kTerminatingSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr std::size_t kSlotCount = 16;

// A slot is claimed by a writer (claimed), filled, then published to the handler (ready).
struct NamedSlot {
    std::atomic<bool> claimed{false};
    std::atomic<bool> ready{false};
    char path[PATH_MAX]{};
};
std::array<NamedSlot, kSlotCount> g_named;
std::array<struct sigaction, kTerminatingSignals.size()> g_previous{};

void OnTerminatingSignal(int signalNumber) {
    std::size_t index = 0;
    while (index < kTerminatingSignals.size() && kTerminatingSignals[index] != signalNumber)
        ++index;
    struct sigaction &previous = g_previous[index];
    // A handler of the program's own goes on running the program, which then removes its files itself.
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        const auto handler = previous.sa_handler;
        if ((previous.sa_flags & SA_RESETHAND) != 0) {
            previous.sa_handler = SIG_DFL;
            previous.sa_flags = 0;
        }
        handler(signalNumber);
        return;
    }
    for (NamedSlot &slot : g_named)
        if (slot.ready.load()) ::unlink(slot.path);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber); // delivered once the handler returns
}

void InstallSignalCleanup() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (std::size_t i = 0; i < kTerminatingSignals.size(); ++i) {
            struct sigaction previous {};
            ::sigaction(kTerminatingSignals[i], nullptr, &previous);
            // An ignored signal (nohup) does not end the process: nothing to clean up.
            if (previous.sa_handler == SIG_IGN || (previous.sa_flags & SA_SIGINFO) != 0) continue;
            g_previous[i] = previous;
            struct sigaction action {};
            action.sa_handler = OnTerminatingSignal;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESTART;
            ::sigaction(kTerminatingSignals[i], &action, nullptr);
        }
    });
}

// Publishes `path` for removal by the signal handlers. When all slots are taken the file is still removed
// on failure, just not by a signal.
void Publish(const QByteArray &path) {
    InstallSignalCleanup();
    if (path.size() >= PATH_MAX) return;
    for (NamedSlot &slot : g_named) {
        bool expected = false;
        if (!slot.claimed.compare_exchange_strong(expected, true)) continue;
        std::memcpy(slot.path, path.constData(), static_cast<std::size_t>(path.size()) + 1);
        slot.ready.store(true);
        return;
    }
}

void Withdraw(const QByteArray &path) {
    for (NamedSlot &slot : g_named) {
        if (slot.ready.load() && path == slot.path) {
            slot.ready.store(false);
            slot.claimed.store(false);
            return;
        }
    }
}

// A hidden name beside the target, short enough for any file system whatever the target's name.
QByteArray HiddenName(const QString &folder) {
    return QFile::encodeName(folder) + "/.velda9-" +
           QByteArray::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFULL, 36) + ".part";
}

mode_t CurrentUmask() {
    // Read without changing it, as changing it is not safe with other threads creating files.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        while (!status.atEnd()) {
            const QByteArray line = status.readLine();
            if (!line.startsWith("Umask:")) continue;
            bool ok = false;
            const unsigned mask = line.mid(6).trimmed().toUInt(&ok, 8);
            if (ok) return static_cast<mode_t>(mask);
        }
    }
    return 022;
}

QString FolderOf(const QString &absolute) {
    return QFileInfo(absolute).absolutePath();
}

// The target with a symbolic link followed, or why no file can go there.
FileResult<QString> ResolveTarget(const QString &path) {
    using Kind = FileError::Kind;
    if (path.trimmed().isEmpty()) return FileError{Kind::NoFileName, path, {}};
    const QFileInfo given(path);
    QString resolved = given.absoluteFilePath();
    if (given.isSymLink()) {
        const QString canonical = given.canonicalFilePath();
        resolved = canonical.isEmpty() ? given.symLinkTarget() : canonical;
    }
    const QFileInfo target(resolved);
    if (target.isDir()) return FileError{Kind::IsFolder, path, {}};
    const QString folder = FolderOf(resolved);
    if (!QFileInfo(folder).isDir()) return FileError{Kind::MissingFolder, path, folder};
    const QByteArray name = QFile::encodeName(target.fileName());
    const long nameMax = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    if (name.size() > (nameMax > 0 ? nameMax : NAME_MAX)) return FileError{Kind::NameTooLong, path, {}};
    if (IsReadOnlyTarget(resolved)) return FileError{Kind::ReadOnlyFile, path, {}};
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return FileError::FromErrno(errno, path, folder);
    return resolved;
}

struct FileId {
    dev_t device;
    ino_t inode;
};

std::optional<FileId> IdOf(const QString &path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return std::nullopt;
    return FileId{info.st_dev, info.st_ino};
}

bool EndsWithAny(const QString &path, const QStringList &extensions) {
    for (const QString &extension : extensions)
        if (path.endsWith(extension, Qt::CaseInsensitive)) return true;
    return false;
}

} // namespace

QString FileError::reason() const {
    switch (kind) {
    case Kind::NoFileName:
        return Pick(TxtNoFileName);
    case Kind::IsFolder:
        return Pick(TxtIsFolder);
    case Kind::MissingFolder:
        return Pick(TxtMissingFolder).arg(detail);
    case Kind::NoPermission:
        return Pick(TxtNoPermission).arg(detail);
    case Kind::ReadOnlyFile:
        return Pick(TxtReadOnlyFile);
    case Kind::ReadOnlyFileSystem:
        return Pick(TxtReadOnlyFileSystem);
    case Kind::CannotCreate:
        return Pick(TxtCannotCreate).arg(detail);
    case Kind::NameTooLong:
        return Pick(TxtNameTooLong);
    case Kind::DiskFull:
        return Pick(TxtDiskFull);
    case Kind::FileTooLarge:
        return Pick(TxtFileTooLarge);
    case Kind::InputOutput:
        return Pick(TxtInputOutput);
    case Kind::SameAsInput:
        return Pick(TxtSameAsInput).arg(detail);
    case Kind::WrongExtension:
        return Pick(TxtWrongExtension).arg(detail);
    case Kind::Incomplete:
        return Pick(TxtIncomplete);
    case Kind::Other:
        break;
    }
    return Pick(TxtOther).arg(detail);
}

QString FileError::message() const {
    return path.isEmpty() ? reason() : path + QStringLiteral(": ") + reason();
}

FileError FileError::FromErrno(int error, const QString &path, const QString &folder) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return {Kind::DiskFull, path, {}};
    case EFBIG:
        return {Kind::FileTooLarge, path, {}};
    case EROFS:
        return {Kind::ReadOnlyFileSystem, path, {}};
    case EACCES:
    case EPERM:
        return {Kind::NoPermission, path, folder};
    case ENOENT:
    case ENOTDIR:
        // The folder was there when the target was checked: it takes no new file.
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) return {Kind::CannotCreate, path, folder};
        return {Kind::MissingFolder, path, folder};
    case EISDIR:
        return {Kind::IsFolder, path, {}};
    case ENAMETOOLONG:
        return {Kind::NameTooLong, path, {}};
    case EIO:
        return {Kind::InputOutput, path, {}};
    default:
        break;
    }
    const char *name = ::strerrorname_np(error);
    return {Kind::Other, path,
            name ? QStringLiteral("%1, %2").arg(QLatin1String(name)).arg(error) : QString::number(error)};
}

FileResult<Done> CheckOutputTarget(const QString &path, const OutputRules &rules) {
    if (const std::optional<FileId> output = IdOf(path)) {
        for (const QString &input : rules.inputs) {
            const std::optional<FileId> in = IdOf(input);
            if (in && in->device == output->device && in->inode == output->inode)
                return FileError{FileError::Kind::SameAsInput, path, input};
        }
    }
    if (QFileInfo(path).isDir()) return FileError{FileError::Kind::IsFolder, path, {}};
    if (!rules.extensions.isEmpty() && !path.trimmed().isEmpty() && !EndsWithAny(path, rules.extensions))
        return FileError{FileError::Kind::WrongExtension, path, rules.extensions.join(QStringLiteral(", "))};
    // Opening the writer creates an unnamed file that vanishes with it: whether the folder takes a new
    // file at all (a system folder such as /proc does not) is known before any work is done.
    FileWriter probe(path);
    return probe.open();
}

FileWriter::FileWriter(QString target) : m_target(std::move(target)) {}

FileWriter::~FileWriter() {
    cancel();
}

FileError FileWriter::error(int systemError) const {
    return FileError::FromErrno(systemError, m_target, FolderOf(m_resolved));
}

FileResult<Done> FileWriter::open() {
    cancel();
    auto resolved = ResolveTarget(m_target);
    if (!resolved) return resolved.error();
    m_resolved = resolved.value();
    const QByteArray folder = QFile::encodeName(FolderOf(m_resolved));
    m_fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed files: a hidden one, published for the signal handlers.
        for (int attempt = 0; attempt < 16 && m_fd < 0; ++attempt) {
            QByteArray name = HiddenName(FolderOf(m_resolved));
            m_fd = ::open(name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666 & ~CurrentUmask());
            if (m_fd >= 0) {
                Publish(name);
                m_named = std::move(name);
            } else if (errno != EEXIST) {
                break;
            }
        }
    }
    if (m_fd < 0) return error(errno);
    // A replaced file keeps its permissions; a new one gets those of the process's umask (O_TMPFILE has
    // applied it already).
    struct stat existing {};
    if (::stat(QFile::encodeName(m_resolved).constData(), &existing) == 0)
        (void)::fchmod(m_fd, existing.st_mode & 07777);
    m_written = 0;
    m_hinted = 0;
    return Done{};
}

FileResult<Done> FileWriter::write(const char *data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        // A write that takes nothing without an error has met the end of the room on the disk.
        if (n <= 0) return error(n == 0 ? ENOSPC : errno);
        data += n;
        size -= static_cast<std::size_t>(n);
        m_written += n;
    }
    if (m_written - m_hinted >= kHintBytes) {
        // Only a hint: whether it is taken changes the timing, not the content or the final sync.
        (void)::sync_file_range(m_fd, m_hinted, m_written - m_hinted, SYNC_FILE_RANGE_WRITE);
        m_hinted = m_written;
    }
    return Done{};
}

QByteArray FileWriter::openPath() const {
    return m_named.isEmpty() ? "/proc/self/fd/" + QByteArray::number(m_fd) : m_named;
}

FileResult<Done> FileWriter::commit() {
    if (m_fd < 0) return error(EBADF);
    if (::fsync(m_fd) != 0) {
        const FileError failed = error(errno);
        cancel();
        return failed;
    }
    // The user may have protected the file while it was being written.
    if (IsReadOnlyTarget(m_resolved)) {
        cancel();
        return FileError{FileError::Kind::ReadOnlyFile, m_target, {}};
    }
    if (m_named.isEmpty()) {
        const QByteArray self = openPath();
        for (int attempt = 0; attempt < 16 && m_named.isEmpty(); ++attempt) {
            QByteArray name = HiddenName(FolderOf(m_resolved));
            Publish(name);
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
                m_named = std::move(name);
                break;
            }
            const int failed = errno;
            Withdraw(name);
            if (failed != EEXIST) {
                cancel();
                return error(failed);
            }
        }
    }
    const QByteArray target = QFile::encodeName(m_resolved);
    if (::rename(m_named.constData(), target.constData()) != 0) {
        const FileError failed = error(errno);
        cancel();
        return failed;
    }
    Withdraw(m_named);
    m_named.clear();
    ::close(m_fd);
    m_fd = -1;
    // The rename is durable once the folder's entry is synced as the file's bytes were.
    const QByteArray folder = QFile::encodeName(FolderOf(m_resolved));
    if (const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return Done{};
}

void FileWriter::cancel() {
    if (!m_named.isEmpty()) {
        ::unlink(m_named.constData());
        Withdraw(m_named);
        m_named.clear();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FileResult<Done> WriteFileBytes(const QString &path, const QByteArray &bytes) {
    FileWriter writer(path);
    if (auto opened = writer.open(); !opened) return opened;
    if (auto written = writer.write(bytes); !written) return written;
    return writer.commit();
}

} // namespace velda
