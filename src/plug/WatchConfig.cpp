// The watch settings file: key = value lines into command-line arguments.
#include "plug/WatchConfig.h"

#include "base/Texts.h"

#include <QDir>
#include <QStringView>

#include <array>

namespace velda {

namespace {

struct Key {
    const char *name;
    bool isSwitch;
    bool repeatable;
};

constexpr std::array<Key, 12> kKeys{{
    {"save-to", false, false},
    {"name-template", false, false},
    {"summary", true, false},
    {"set-clock", true, false},
    {"limit", false, true},
    {"history", false, false},
    {"instrument", false, false},
    {"no-history", true, false},
    {"simulate", true, false},
    {"lang", false, false},
    {"locale", false, false},
    {"timeout", false, false},
}};

// %1 the line, or the key; %2 the value.
constexpr TextPair TxtConfMalformed{"«%1» — не строка «ключ = значение»",
                                    "\"%1\" is not a line \"key = value\""};
constexpr TextPair TxtConfUnknownKey{"неизвестный ключ «%1»", "unknown key \"%1\""};
constexpr TextPair TxtConfTwice{"ключ «%1» задан дважды", "key \"%1\" given twice"};
constexpr TextPair TxtConfNoValue{"ключу «%1» нужно значение", "key \"%1\" needs a value"};
constexpr TextPair TxtConfNotSwitch{"ключ «%1» принимает true или false, а не «%2»",
                                    "key \"%1\" takes true or false, not \"%2\""};

const Key *findKey(QStringView name) {
    for (const Key &key : kKeys)
        if (name == QLatin1String(key.name)) return &key;
    return nullptr;
}

/// The option an argument names: "--limit=x" and "--limit" give "--limit"; empty for a non-option.
QString optionName(const QString &argument) {
    if (!argument.startsWith(QLatin1String("--"))) return {};
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    return equals < 0 ? argument : argument.left(equals);
}

} // namespace

QString WatchConfigPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/velda9/watch.conf");
}

std::variant<QStringList, WatchConfigError> WatchConfigArguments(const QString &text, const QString &file,
                                                                 std::uint8_t language) {
    QStringList arguments;
    QStringList seen;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const auto fail = [&](WatchConfigError::Kind kind, const QString &key, const QString &what) {
            return WatchConfigError{kind, number, key,
                                    QStringLiteral("%1:%2: %3").arg(file).arg(number).arg(what)};
        };
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = line.left(equals).trimmed();
        if (equals <= 0 || key.isEmpty())
            return fail(WatchConfigError::Kind::Malformed, key, PickIn(TxtConfMalformed, language).arg(line));
        const QString value = line.mid(equals + 1).trimmed();
        const Key *entry = findKey(key);
        if (entry == nullptr)
            return fail(WatchConfigError::Kind::UnknownKey, key,
                        PickIn(TxtConfUnknownKey, language).arg(key));
        if (seen.contains(key) && !entry->repeatable)
            return fail(WatchConfigError::Kind::BadValue, key, PickIn(TxtConfTwice, language).arg(key));
        seen.append(key);
        const QString option = QStringLiteral("--") + key;
        if (!entry->isSwitch) {
            if (value.isEmpty())
                return fail(WatchConfigError::Kind::BadValue, key, PickIn(TxtConfNoValue, language).arg(key));
            arguments.append(option + QLatin1Char('=') + value);
            continue;
        }
        const QString word = value.toLower();
        if (word == QLatin1String("true") || word == QLatin1String("yes") || word == QLatin1String("on") ||
            word == QLatin1String("1")) {
            arguments.append(option);
        } else if (word != QLatin1String("false") && word != QLatin1String("no") &&
                   word != QLatin1String("off") && word != QLatin1String("0")) {
            return fail(WatchConfigError::Kind::BadValue, key,
                        PickIn(TxtConfNotSwitch, language).arg(key, value));
        }
    }
    return arguments;
}

QStringList MergeWatchArguments(const QStringList &config, const QStringList &command) {
    QStringList typed;
    for (const QString &argument : command) {
        if (argument == QLatin1String("--")) break;
        if (const QString name = optionName(argument); !name.isEmpty()) typed.append(name);
    }
    QStringList merged;
    for (const QString &argument : config)
        if (!typed.contains(optionName(argument))) merged.append(argument);
    return merged + command;
}

} // namespace velda
