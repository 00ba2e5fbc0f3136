// The settings file of `velda9-cli watch` (~/.config/velda9/watch.conf): "key = value" lines whose keys
// are the watch command's long option names, turned into the arguments they stand for. Toolkit-free.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <variant>

namespace velda {

/// Why a settings file is refused; `message` names the file, the line and the key.
struct WatchConfigError {
    enum class Kind {
        Malformed,  ///< a line that is neither blank, a comment nor "key = value"
        UnknownKey, ///< a key that is no option of watch
        BadValue,   ///< an empty value, a switch that is neither on nor off, a key given twice
    };
    Kind kind = Kind::Malformed;
    int line = 0;
    QString key;
    QString message;
};

/// `$XDG_CONFIG_HOME/velda9/watch.conf` (~/.config when the variable is unset or not absolute).
[[nodiscard]] QString WatchConfigPath();

/// The arguments `text` (the file's contents, named `file` in messages in `language`) stands for, in file
/// order:
/// "--key=value" for an option with a value, "--key" for a switch set to on (true, yes, on, 1), nothing
/// for one set to off (false, no, off, 0). Blank lines and lines starting with '#' are skipped; blanks
/// around keys and values are dropped; only `limit` may be given more than once.
[[nodiscard]] std::variant<QStringList, WatchConfigError>
WatchConfigArguments(const QString &text, const QString &file, std::uint8_t language);

/// The arguments of a run: `command` (as typed) after those of `config` whose option the command line
/// does not name, so that an option typed wins over the file's, the whole option (every `limit` line
/// gives way to one --limit typed).
[[nodiscard]] QStringList MergeWatchArguments(const QStringList &config, const QStringList &command);

} // namespace velda
