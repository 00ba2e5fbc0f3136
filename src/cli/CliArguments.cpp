// Command line of velda9-cli: parsing into Options, colours, the help and version texts.
#include "cli/CliArguments.h"

#include "base/BuildDate.h"
#include "base/Texts.h"

#include <QLocale>
#include <QStringView>

#include "cli/HistoryArguments.h"
#include "export/CsvExport.h"
#include "plug/WatchNames.h"

#include <array>
#include <initializer_list>
#include <optional>

namespace velda::cli {

namespace {

enum OptionBit : unsigned {
    OptOutput = 1U << 0,
    OptSimulate = 1U << 1,
    OptLang = 1U << 2,
    OptLocale = 1U << 3,
    OptTimeout = 1U << 4,
    OptPen = 1U << 5,
    OptBackground = 1U << 6,
    OptLimit = 1U << 7,
    OptJson = 1U << 8,
    OptDelimiter = 1U << 9,
    OptIsoDate = 1U << 10,
    OptWidth = 1U << 11,
    OptHeight = 1U << 12,
    OptHistory = 1U << 13,
    OptInstrument = 1U << 14,
    OptNoHistory = 1U << 15,
    OptFrom = 1U << 16,
    OptTo = 1U << 17,
    OptDownload = 1U << 18,
    OptSaveTo = 1U << 19,
    OptNameTemplate = 1U << 20,
    OptSummary = 1U << 21,
    OptSetClock = 1U << 22,
};

struct CommandEntry {
    const char *name;
    Command command;
    int minFiles;         ///< project-file arguments at least
    int maxFiles;         ///< and at most
    bool needsOutput;     ///< -o is required
    unsigned allowed;     ///< options the command accepts
    const char *synopsis; ///< the command line after "velda9-cli "
    TextPair purpose;     ///< what the command does, for its own --help
};

// --lang and --locale are accepted everywhere: they only choose texts and formats; --history names the
// history store for every command.
constexpr unsigned kAnywhere = OptLang | OptLocale | OptHistory;

constexpr int kManyFiles = 1 << 20;

constexpr std::array<CommandEntry, 12> kCommands{{
    {"read",
     Command::Read,
     0,
     0,
     true,
     kAnywhere | OptOutput | OptSimulate | OptTimeout | OptInstrument | OptNoHistory,
     "read -o FILE.vd [--simulate] [--lang ru|en] [--locale NAME] [--timeout SECONDS]\n"
     "       [--instrument NAME] [--no-history] [--history PATH|postgresql://...]",
     {"Считывает архив прибора и сохраняет его как файл проекта. Если связь прервалась, полученные записи\n"
      "сохраняются; существующий файл при этом не заменяется: записи ложатся рядом, в ИМЯ-partial.vd.",
      "Downloads the instrument's archive and saves it as a project file. When the link fails, the records\n"
      "received are saved; an existing file is then never replaced: they go beside it, to NAME-partial.vd."}},
    {"dump",
     Command::Dump,
     1,
     1,
     false,
     kAnywhere,
     "dump FILE.vd",
     {"Выводит все ячейки файла проекта как текст UTF-8: строка на строку таблицы, TAB между столбцами.",
      "Prints every cell of a project file as UTF-8 text: one line per row, a TAB between columns."}},
    {"export",
     Command::Export,
     1,
     1,
     true,
     kAnywhere | OptOutput | OptDelimiter | OptIsoDate,
     "export FILE.vd -o FILE.xlsx|FILE.csv [--lang ru|en] [--delimiter ';'|','|tab] [--iso-date]\n"
     "       [--locale NAME]",
     {"Записывает таблицу проекта в книгу (.xlsx) или в текст CSV (.csv).",
      "Writes the project's table to a workbook (.xlsx) or to CSV text (.csv)."}},
    {"report",
     Command::Report,
     1,
     1,
     true,
     kAnywhere | OptOutput,
     "report FILE.vd -o FILE.pdf [--lang ru|en] [--locale NAME]",
     {"Печатает таблицу проекта в отчёт PDF (A4, альбомная).",
      "Prints the project's table as a PDF report (A4 landscape)."}},
    {"set-clock",
     Command::SetClock,
     0,
     0,
     false,
     kAnywhere | OptSimulate | OptTimeout,
     "set-clock [--simulate] [--timeout SECONDS]",
     {"Устанавливает часы прибора по местному времени компьютера.",
      "Sets the instrument's clock from this computer's local time."}},
    {"screenshot",
     Command::Screenshot,
     0,
     0,
     true,
     kAnywhere | OptOutput | OptSimulate | OptTimeout | OptPen | OptBackground,
     "screenshot -o FILE.bmp [--simulate] [--pen COLOR] [--background COLOR] [--timeout SECONDS]",
     {"Сохраняет экран прибора как рисунок 132 x 68.",
      "Saves the instrument's screen as a 132 x 68 bitmap."}},
    {"stats",
     Command::Stats,
     1,
     1,
     false,
     kAnywhere | OptLimit | OptJson,
     "stats FILE.vd [--limit QUANTITY=LOW:HIGH]... [--json] [--lang ru|en] [--locale NAME]",
     {"Число значений, период, минимум, максимум, среднее, стандартное отклонение и средняя кинетическая\n"
      "температура по каналам, датчикам и величинам.",
      "Count, period, minimum, maximum, mean, standard deviation and mean kinetic temperature per channel,\n"
      "sensor and quantity."}},
    {"summary",
     Command::Summary,
     1,
     1,
     true,
     kAnywhere | OptOutput | OptLimit,
     "summary FILE.vd -o FILE.pdf [--limit QUANTITY=LOW:HIGH]... [--lang ru|en] [--locale NAME]",
     {"Сводка PDF: страница A4 на канал с графиком, статистикой и пределами.",
      "A PDF summary: one A4 page per channel with chart, statistics and limits."}},
    {"merge",
     Command::Merge,
     2,
     kManyFiles,
     true,
     kAnywhere | OptOutput,
     "merge A.vd B.vd [C.vd ...] -o OUT.vd [--locale NAME]",
     {"Объединяет строки нескольких файлов проекта в порядке даты и времени, каждую строку один раз.\n"
      "Файлы на другом языке или с другими форматами даты и чисел не принимаются.",
      "Joins the rows of several project files in date and time order, each row once. Files in another\n"
      "language or with other date and number formats are refused."}},
    {"plot",
     Command::Plot,
     1,
     1,
     true,
     kAnywhere | OptOutput | OptWidth | OptHeight,
     "plot FILE.vd -o FILE.png|FILE.svg|FILE.pdf [--width PX] [--height PX] [--lang ru|en] [--locale NAME]",
     {"Рисует график проекта, как его показывает окно графика, в файл рисунка.",
      "Draws the project's chart, as the graph window shows it, into a picture file."}},
    // The sub-command and its arguments are positional; FinishHistoryArguments checks them.
    {"history",
     Command::History,
     0,
     kManyFiles,
     false,
     kAnywhere | OptOutput | OptJson | OptInstrument | OptFrom | OptTo | OptDownload | OptDelimiter |
         OptIsoDate,
     "history list [INSTRUMENT] [--json] | show INSTRUMENT [--from DATE] [--to DATE]\n"
     "       | export INSTRUMENT [--from DATE] [--to DATE] -o FILE.vd|.xlsx|.csv|.pdf\n"
     "       | import FILE.vd... --instrument NAME | forget INSTRUMENT [--download ID]",
     {"История всех загрузок: приборы, их показания по диапазону дат, экспорт, импорт файлов проекта и\n"
      "удаление загрузки или прибора.",
      "The history of every download: instruments, their readings by date range, export, import of project\n"
      "files and forgetting a download or an instrument."}},
    {"watch",
     Command::Watch,
     0,
     0,
     false,
     kAnywhere | OptSimulate | OptTimeout | OptLimit | OptInstrument | OptNoHistory | OptSaveTo |
         OptNameTemplate | OptSummary | OptSetClock,
     "watch [--simulate] [--save-to DIR] [--name-template T] [--summary] [--set-clock]\n"
     "       [--limit QUANTITY=LOW:HIGH]... [--instrument NAME] [--no-history] [--history PATH|URI]\n"
     "       [--lang ru|en] [--locale NAME] [--timeout SECONDS]",
     {"Ждёт подключения прибора и при каждом подключении считывает архив в историю; строка на событие.\n"
      "Работает до SIGINT/SIGTERM (код 0). Ключи по умолчанию берутся из ~/.config/velda9/watch.conf\n"
      "(строки «ключ = значение», ключи — имена параметров без «--»); параметры командной строки важнее.\n"
      "Поля шаблона имени: {instrument}, {last-date}, {last-time} (последняя запись), {read-date},\n"
      "{read-time} (загрузка); даты yyyy-MM-dd, время HH-mm-ss; занятое имя получает суффикс -2, -3, ...",
      "Waits for the instrument and downloads its archive into the history at each arrival; one line per\n"
      "event. Runs until SIGINT/SIGTERM (exit 0). Defaults come from ~/.config/velda9/watch.conf (\"key =\n"
      "value\" lines, the keys being the option names without \"--\"); options typed win.\n"
      "Name template fields: {instrument}, {last-date}, {last-time} (the last record), {read-date},\n"
      "{read-time} (the download); dates yyyy-MM-dd, times HH-mm-ss; a name taken gets -2, -3, ..."}},
}};

struct OptionEntry {
    const char *longName;
    const char *shortName; ///< nullptr when there is none
    OptionBit bit;
    bool takesValue;
    const char *spelled; ///< how a command's help shows it
    TextPair meaning;    ///< what it does, for a command's help
};

constexpr std::array<OptionEntry, 23> kOptions{{
    {"--output",
     "-o",
     OptOutput,
     true,
     "-o, --output FILE",
     {"файл для записи (существующий заменяется)", "file to write (an existing file is replaced)"}},
    {"--simulate",
     nullptr,
     OptSimulate,
     false,
     "--simulate",
     {"обмен с имитатором прибора вместо устройства USB",
      "talk to the simulated instrument instead of the USB device"}},
    {"--lang",
     nullptr,
     OptLang,
     true,
     "--lang ru|en",
     {"язык заголовков, текстов ячеек и сообщений (по умолчанию ru)",
      "language of table headers, cell texts and messages (default ru)"}},
    {"--locale",
     nullptr,
     OptLocale,
     true,
     "--locale NAME",
     {"форматы даты, времени и чисел, например ru_RU, en_US, de_DE (по умолчанию системные)",
      "date, time and decimal formats, e.g. ru_RU, en_US, de_DE (default: the system's)"}},
    {"--timeout",
     nullptr,
     OptTimeout,
     true,
     "--timeout SECONDS",
     {"сколько секунд ждать без продвижения, от 1 (по умолчанию 30)",
      "seconds to wait without progress, 1 or more (default 30)"}},
    {"--pen",
     nullptr,
     OptPen,
     true,
     "--pen COLOR",
     {"цвет светящихся точек (по умолчанию black)", "colour of lit pixels (default black)"}},
    {"--background",
     nullptr,
     OptBackground,
     true,
     "--background COLOR",
     {"цвет тёмных точек (по умолчанию white)", "colour of dark pixels (default white)"}},
    {"--limit",
     nullptr,
     OptLimit,
     true,
     "--limit QUANTITY=LOW:HIGH",
     {"пределы величины temperature, humidity, dewpoint, pressure или heatflux",
      "limits of temperature, humidity, dewpoint, pressure or heatflux"}},
    {"--json",
     nullptr,
     OptJson,
     false,
     "--json",
     {"статистика в JSON вместо таблицы", "the statistics as JSON instead of a text table"}},
    {"--delimiter",
     nullptr,
     OptDelimiter,
     true,
     "--delimiter D",
     {"разделитель полей CSV: ';', ',' или tab", "CSV field delimiter: ';', ',' or tab"}},
    {"--iso-date",
     nullptr,
     OptIsoDate,
     false,
     "--iso-date",
     {"даты CSV в виде yyyy-MM-dd (читаются в форматах --locale)",
      "CSV dates as yyyy-MM-dd (read with the --locale formats)"}},
    {"--width",
     nullptr,
     OptWidth,
     true,
     "--width PX",
     {"ширина рисунка в точках (по умолчанию 1600)", "picture width in pixels (default 1600)"}},
    {"--height",
     nullptr,
     OptHeight,
     true,
     "--height PX",
     {"высота рисунка в точках (по умолчанию 1000)", "picture height in pixels (default 1000)"}},
    {"--history",
     nullptr,
     OptHistory,
     true,
     "--history PATH|URI",
     {"хранилище истории: файл SQLite или postgresql://пользователь@узел/база (иначе VELDA9_HISTORY)",
      "the history store: an SQLite file or postgresql://user@host/db (else VELDA9_HISTORY)"}},
    {"--instrument",
     nullptr,
     OptInstrument,
     true,
     "--instrument NAME",
     {"имя прибора в истории", "the instrument's name in the history"}},
    {"--no-history",
     nullptr,
     OptNoHistory,
     false,
     "--no-history",
     {"не сохранять загрузку в истории", "do not keep the download in the history"}},
    {"--from",
     nullptr,
     OptFrom,
     true,
     "--from DATE",
     {"первый день диапазона (yyyy-MM-dd)", "first day of the range (yyyy-MM-dd)"}},
    {"--to",
     nullptr,
     OptTo,
     true,
     "--to DATE",
     {"последний день диапазона (yyyy-MM-dd)", "last day of the range (yyyy-MM-dd)"}},
    {"--download",
     nullptr,
     OptDownload,
     true,
     "--download ID",
     {"номер загрузки из history list ПРИБОР", "download number from history list INSTRUMENT"}},
    {"--save-to",
     nullptr,
     OptSaveTo,
     true,
     "--save-to DIR",
     {"сохранять каждую загрузку и в файл проекта в этой папке",
      "also save each download as a project file in this folder"}},
    {"--name-template",
     nullptr,
     OptNameTemplate,
     true,
     "--name-template T",
     {"имя файла загрузки (по умолчанию {instrument}_{read-date}_{read-time})",
      "file name of a download (default {instrument}_{read-date}_{read-time})"}},
    {"--summary",
     nullptr,
     OptSummary,
     false,
     "--summary",
     {"рядом с файлом проекта — сводка PDF", "a PDF summary beside the project file"}},
    {"--set-clock",
     nullptr,
     OptSetClock,
     false,
     "--set-clock",
     {"после загрузки установить часы прибора", "set the instrument's clock after the download"}},
}};

constexpr TextPair TxtNeedsSaveTo{"--name-template и --summary действуют только с --save-to ПАПКА",
                                  "--name-template and --summary need --save-to DIR"};

// Options that may be given more than once.
constexpr unsigned kRepeatable = OptLimit;

// Largest accepted --timeout: a day; anything longer is a typo rather than a wish.
constexpr int kMaxTimeoutSeconds = 24 * 60 * 60;

const OptionEntry *findOption(QStringView name) {
    for (const OptionEntry &entry : kOptions) {
        if (name == QLatin1String(entry.longName) ||
            (entry.shortName != nullptr && name == QLatin1String(entry.shortName)))
            return &entry;
    }
    return nullptr;
}

const CommandEntry *findCommand(QStringView name) {
    for (const CommandEntry &entry : kCommands) {
        if (name == QLatin1String(entry.name)) return &entry;
    }
    return nullptr;
}

UsageError usage(const QString &message) {
    return UsageError{message + QStringLiteral(" (see velda9-cli --help)")};
}

Options onlyCommand(Command command) {
    Options options;
    options.command = command;
    return options;
}

struct PendingOption {
    const OptionEntry *entry;
    QString spelled; ///< as the user wrote it, for messages
    QString value;
};

bool EndsWithAny(const QString &path, std::initializer_list<const char *> suffixes) {
    for (const char *suffix : suffixes)
        if (path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) return true;
    return false;
}

} // namespace

bool IsCsvName(const QString &path) {
    return EndsWithAny(path, {".csv"});
}

bool IsPictureName(const QString &path) {
    return EndsWithAny(path, {".png", ".svg", ".pdf"});
}

bool LocaleNameKnown(const QString &name) {
    if (name.isEmpty()) return false;
    if (name == QLatin1String("C") || name == QLatin1String("POSIX")) return true;
    // QLocale falls back to the C locale for names it does not know.
    return QLocale(name).language() != QLocale::C;
}

std::optional<Rgb> ParseColor(QStringView text) {
    const QString lower = text.trimmed().toString().toLower();
    if (lower.startsWith(QLatin1Char('#'))) {
        const QStringView digits = QStringView(lower).mid(1);
        if (digits.size() != 6 && digits.size() != 3) return std::nullopt;
        bool ok = false;
        const uint value = digits.toUInt(&ok, 16);
        if (!ok) return std::nullopt;
        if (digits.size() == 6) return static_cast<Rgb>(value);
        const Rgb r = (value >> 8) & 0xF, g = (value >> 4) & 0xF, b = value & 0xF;
        return (r * 0x11) << 16 | (g * 0x11) << 8 | (b * 0x11);
    }
    struct Named {
        const char *name;
        Rgb rgb;
    };
    static constexpr std::array<Named, 19> kNames{{
        {"black", 0x000000},  {"maroon", 0x800000}, {"green", 0x008000},   {"olive", 0x808000},
        {"navy", 0x000080},   {"purple", 0x800080}, {"teal", 0x008080},    {"gray", 0x808080},
        {"grey", 0x808080},   {"silver", 0xC0C0C0}, {"red", 0xFF0000},     {"lime", 0x00FF00},
        {"yellow", 0xFFFF00}, {"blue", 0x0000FF},   {"fuchsia", 0xFF00FF}, {"magenta", 0xFF00FF},
        {"aqua", 0x00FFFF},   {"cyan", 0x00FFFF},   {"white", 0xFFFFFF},
    }};
    for (const Named &named : kNames) {
        if (lower == QLatin1String(named.name)) return named.rgb;
    }
    return std::nullopt;
}

namespace {

// COMMAND --help: the command named first and the language of --lang.
Options helpRequest(const QStringList &arguments) {
    Options options = onlyCommand(Command::Help);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--lang") && i + 1 < arguments.size()) {
            options.language = arguments.at(i + 1) == QLatin1String("en") ? 1 : 0;
            options.russianHelp = options.language == 0;
        } else if (argument.startsWith(QLatin1String("--lang="))) {
            options.language = argument.mid(7) == QLatin1String("en") ? 1 : 0;
            options.russianHelp = options.language == 0;
        } else if (const CommandEntry *command = findCommand(argument);
                   command != nullptr && options.helpTopic == Command::Help) {
            options.helpTopic = command->command;
        }
    }
    return options;
}

} // namespace

Result<Options, UsageError> ParseArguments(const QStringList &arguments) {
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return helpRequest(arguments);
        if (argument == QLatin1String("--version") || argument == QLatin1String("-V"))
            return onlyCommand(Command::Version);
    }

    const CommandEntry *command = nullptr;
    QStringList positional;
    std::vector<PendingOption> pending;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const bool looksLikeOption = argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
        if (optionsEnded || !looksLikeOption) {
            if (command == nullptr && !optionsEnded) {
                command = findCommand(argument);
                if (command == nullptr) return usage(QStringLiteral("unknown command \"%1\"").arg(argument));
            } else {
                positional.append(argument);
            }
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = argument;
        std::optional<QString> inlineValue;
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (argument.startsWith(QLatin1String("--")) && equals > 2) {
            name = argument.left(equals);
            inlineValue = argument.mid(equals + 1);
        } else if (!argument.startsWith(QLatin1String("--")) && argument.size() > 2) {
            name = argument.left(2); // "-oFILE"
            inlineValue = argument.mid(2);
        }
        const OptionEntry *entry = findOption(name);
        if (entry == nullptr) return usage(QStringLiteral("unknown option \"%1\"").arg(name));
        PendingOption option{entry, name, {}};
        if (entry->takesValue) {
            if (inlineValue) {
                option.value = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                option.value = arguments.at(++i);
            } else {
                return usage(QStringLiteral("option %1 needs a value").arg(name));
            }
        } else if (inlineValue) {
            return usage(QStringLiteral("option %1 takes no value").arg(name));
        }
        pending.push_back(option);
    }

    if (command == nullptr) return usage(QStringLiteral("no command given"));

    Options options;
    options.command = command->command;
    unsigned seen = 0;
    for (const PendingOption &option : pending) {
        if ((command->allowed & option.entry->bit) == 0)
            return usage(QStringLiteral("option %1 does not apply to %2")
                             .arg(option.spelled, QLatin1String(command->name)));
        if ((seen & option.entry->bit & ~kRepeatable) != 0)
            return usage(QStringLiteral("option %1 given twice").arg(option.spelled));
        seen |= option.entry->bit;
        switch (option.entry->bit) {
        case OptOutput:
            if (option.value.isEmpty())
                return usage(QStringLiteral("option %1 needs a file name").arg(option.spelled));
            options.output = option.value;
            break;
        case OptSimulate:
            options.simulate = true;
            break;
        case OptLang:
            if (option.value == QLatin1String("ru")) {
                options.language = 0;
            } else if (option.value == QLatin1String("en")) {
                options.language = 1;
            } else {
                return usage(QStringLiteral("--lang takes ru or en, not \"%1\"").arg(option.value));
            }
            break;
        case OptLocale:
            if (!LocaleNameKnown(option.value))
                return usage(QStringLiteral("--locale takes a locale name such as ru_RU, en_US or de_DE, not "
                                            "\"%1\"")
                                 .arg(option.value));
            options.localeName = option.value;
            break;
        case OptTimeout: {
            bool ok = false;
            const int seconds = option.value.toInt(&ok);
            // Zero would give up before the instrument could answer anything.
            if (!ok || seconds < 1 || seconds > kMaxTimeoutSeconds)
                return usage(QStringLiteral("--timeout takes whole seconds from 1 to %1, not \"%2\"")
                                 .arg(kMaxTimeoutSeconds)
                                 .arg(option.value));
            options.timeoutSeconds = seconds;
            break;
        }
        case OptPen:
        case OptBackground: {
            const std::optional<Rgb> rgb = ParseColor(option.value);
            if (!rgb)
                return usage(QStringLiteral("%1 takes #RRGGBB or a colour name such as black, navy or "
                                            "white, not \"%2\"")
                                 .arg(option.spelled, option.value));
            (option.entry->bit == OptPen ? options.pen : options.background) = *rgb;
            break;
        }
        case OptLimit: {
            const auto parsed = ParseLimitArgument(option.value);
            if (!parsed) return usage(parsed.error().message);
            const ParsedLimit &limit = parsed.value();
            if (options.limits.of(limit.quantity).isSet())
                return usage(QStringLiteral("--limit \"%1\": a limit for %2 was already given")
                                 .arg(option.value, QuantityKey(limit.quantity)));
            options.limits.set(limit.quantity, limit.limit);
            break;
        }
        case OptJson:
            options.json = true;
            break;
        case OptDelimiter: {
            const std::optional<char> delimiter = csv::ParseDelimiter(option.value);
            if (!delimiter)
                return usage(
                    QStringLiteral("--delimiter takes ';', ',' or tab, not \"%1\"").arg(option.value));
            options.delimiter = delimiter;
            break;
        }
        case OptIsoDate:
            options.isoDate = true;
            break;
        case OptWidth:
        case OptHeight: {
            bool ok = false;
            const int pixels = option.value.toInt(&ok);
            if (!ok || pixels < kMinPlotSide || pixels > kMaxPlotSide)
                return usage(QStringLiteral("%1 takes whole pixels from %2 to %3, not \"%4\"")
                                 .arg(option.spelled)
                                 .arg(kMinPlotSide)
                                 .arg(kMaxPlotSide)
                                 .arg(option.value));
            (option.entry->bit == OptWidth ? options.width : options.height) = pixels;
            break;
        }
        case OptHistory:
        case OptInstrument:
            if (option.value.isEmpty())
                return usage(QStringLiteral("option %1 needs a value").arg(option.spelled));
            (option.entry->bit == OptHistory ? options.history : options.instrument) = option.value;
            break;
        case OptNoHistory:
            options.noHistory = true;
            break;
        case OptSaveTo:
            if (option.value.isEmpty())
                return usage(QStringLiteral("option %1 needs a folder").arg(option.spelled));
            options.saveTo = option.value;
            break;
        case OptNameTemplate:
            options.nameTemplate = option.value;
            break;
        case OptSummary:
            options.summary = true;
            break;
        case OptSetClock:
            options.setClock = true;
            break;
        case OptFrom:
            options.historyCommand.from = option.value;
            break;
        case OptTo:
            options.historyCommand.to = option.value;
            break;
        case OptDownload: {
            bool ok = false;
            const qint64 id = option.value.toLongLong(&ok);
            if (!ok || id <= 0)
                return usage(
                    QStringLiteral("--download takes a download number, not \"%1\"").arg(option.value));
            options.historyCommand.download = id;
            break;
        }
        }
    }

    const QString needsFiles =
        command->minFiles > 1
            ? QStringLiteral("%1 needs at least %2 project files (FILE.vd)")
                  .arg(QLatin1String(command->name))
                  .arg(command->minFiles)
            : QStringLiteral("%1 needs a project file (FILE.vd)").arg(QLatin1String(command->name));
    if (positional.size() < command->minFiles) return usage(needsFiles);
    if (positional.size() > command->maxFiles)
        return usage(QStringLiteral("unexpected argument \"%1\"").arg(positional.at(command->maxFiles)));
    for (const QString &file : positional)
        if (file.isEmpty()) return usage(needsFiles);
    if (!positional.isEmpty()) {
        options.input = positional.front();
        options.inputs = positional;
    }
    if (command->needsOutput && options.output.isEmpty())
        return usage(QStringLiteral("%1 needs -o FILE").arg(QLatin1String(command->name)));
    if ((seen & (OptDelimiter | OptIsoDate)) != 0 && !IsCsvName(options.output))
        return usage(QStringLiteral("--delimiter and --iso-date apply to a CSV export (-o FILE.csv)"));
    if (command->command == Command::Plot && !IsPictureName(options.output))
        return usage(
            QStringLiteral("plot writes FILE.png, FILE.svg or FILE.pdf, not \"%1\"").arg(options.output));
    if ((seen & (OptNameTemplate | OptSummary)) != 0 && options.saveTo.isEmpty())
        return usage(PickIn(TxtNeedsSaveTo, options.language));
    if ((seen & OptNameTemplate) != 0) {
        if (const auto checked = CheckNameTemplate(options.nameTemplate, options.language); !checked)
            return usage(checked.error().message);
    }
    options.arguments = arguments;
    if (command->command == Command::History) {
        if (const auto finished = FinishHistoryArguments(options); !finished.ok())
            return usage(finished.error().message);
    }
    return options;
}

QString HelpText(bool russianHistory) {
    return QStringLiteral(
               "Usage: velda9-cli COMMAND [OPTIONS]\n"
               "Reads the archive, clock and screen of a VELDA-9 instrument over USB and converts project "
               "files.\n"
               "\n"
               "Commands:\n"
               "  read -o FILE.vd [--simulate] [--lang ru|en] [--locale NAME] [--timeout SECONDS]\n"
               "                     download the archive and save it as a project file\n"
               "  dump FILE.vd       print every stored cell of a project file as UTF-8 text,\n"
               "                     one line per row, a TAB between columns (a TAB, CR, LF or\n"
               "                     backslash inside a cell is written as \\t, \\r, \\n or \\\\)\n"
               "  export FILE.vd -o FILE.xlsx [--lang ru|en]\n"
               "                     write the project's table to a spreadsheet workbook\n"
               "  export FILE.vd -o FILE.csv [--delimiter ';'|','|tab] [--iso-date] [--locale NAME]\n"
               "                     write the same cells as CSV text (UTF-8 with BOM, CR LF); the\n"
               "                     delimiter is ';' where the cells' decimal separator is a comma,\n"
               "                     else ','; a text cell beginning with = + - @ is written after a '\n"
               "  report FILE.vd -o FILE.pdf [--lang ru|en] [--locale NAME]\n"
               "                     print the project's table as a PDF report (A4 landscape)\n"
               "  set-clock [--simulate] [--timeout SECONDS]\n"
               "                     set the instrument's clock from this computer's local time\n"
               "  screenshot -o FILE.bmp [--simulate] [--pen COLOR] [--background COLOR] [--timeout "
               "SECONDS]\n"
               "                     save the instrument's screen as a 132 x 68 bitmap\n"
               "  stats FILE.vd [--limit QUANTITY=LOW:HIGH]... [--json] [--lang ru|en] [--locale NAME]\n"
               "                     count, period, minimum, maximum, mean, standard deviation and\n"
               "                     mean kinetic temperature per channel, sensor and quantity\n"
               "  summary FILE.vd -o FILE.pdf [--limit QUANTITY=LOW:HIGH]... [--lang ru|en] [--locale NAME]\n"
               "                     one A4 page per channel: chart, statistics and limits\n"
               "  merge A.vd B.vd [C.vd ...] -o OUT.vd [--locale NAME]\n"
               "                     join the rows of several project files in date and time order,\n"
               "                     each row once (files in another language are refused)\n"
               "  plot FILE.vd -o FILE.png|FILE.svg|FILE.pdf [--width PX] [--height PX] [--lang ru|en]\n"
               "       [--locale NAME]\n"
               "                     draw the graph window's chart of the project as a picture\n"
               "  watch [--simulate] [--save-to DIR] [--name-template T] [--summary] [--set-clock]\n"
               "        [--limit QUANTITY=LOW:HIGH]... [--instrument NAME] [--no-history]\n"
               "                     wait for the instrument and download it at each arrival into\n"
               "                     the history (and DIR); one line per event on stdout; runs until\n"
               "                     SIGINT/SIGTERM (exit 0); defaults from ~/.config/velda9/watch.conf;\n"
               "                     see watch --help\n") +
           HistoryHelpText(russianHistory) +
           QStringLiteral(
               "\n"
               "Options:\n"
               "  -o, --output FILE  file to write (an existing file is replaced)\n"
               "  --simulate         talk to the simulated instrument instead of the USB device\n"
               "  --lang ru|en       language of table headers, cell texts and messages (default ru)\n"
               "  --locale NAME      date, time and decimal formats of a locale, e.g. ru_RU, en_US,\n"
               "                     de_DE (default: the system's)\n"
               "  --timeout SECONDS  give up after this long without progress: no USB library, no\n"
               "                     instrument, repeated link errors, outdated firmware (default 30,\n"
               "                     at least 1);\n"
               "                     a download whose records keep arriving is never cut off\n"
               "  --pen COLOR        colour of lit pixels (default black)\n"
               "  --background COLOR colour of dark pixels (default white)\n"
               "                     COLOR is #RRGGBB or black, white, navy, red, green, blue, gray, ...\n"
               "  --limit QUANTITY=LOW:HIGH\n"
               "                     count the values below LOW and above HIGH (both included as inside;\n"
               "                     either side may be empty); QUANTITY is temperature, humidity,\n"
               "                     dewpoint, pressure or heatflux; repeat for other quantities\n"
               "  --json             print the statistics as JSON instead of a text table\n"
               "  --delimiter D      CSV field delimiter: ';', ',' or tab\n"
               "  --iso-date         CSV date cells as yyyy-MM-dd (read with the --locale formats)\n"
               "  --width PX, --height PX\n"
               "                     picture size of plot in pixels (default 1600 x 1000)\n"
               "  --history, --instrument, --no-history, --from, --to, --download: see history above\n"
               "  -h, --help         show this help and exit; COMMAND --help shows that command's own\n"
               "                     usage in the --lang language (default ru)\n"
               "  -V, --version      show the version and build date and exit\n"
               "\n"
               "Progress and messages go to stderr; dump and stats write to stdout.\n"
               "\n"
               "Exit status:\n"
               "    0  done\n"
               "    2  usage error (unknown command or option, missing argument)\n"
               "    3  instrument not reached or link failure (also: permission denied on the USB device)\n"
               "    4  a file (or a history store) cannot be read, written or parsed\n"
               "    5  read: the archive was saved, but some records failed their checksum\n"
               "  130  interrupted (Ctrl-C): the exchange was cancelled, nothing was written\n"
               "\n"
               "Environment:\n"
               "  VELDA9_USB_LIBRARY   use this libusb-0.1 library instead of libusb-0.1.so.4\n"
               "  VELDA9_SIM_SCENARIO  JSON scenario of the simulated instrument (with --simulate)\n"
               "  VELDA9_HISTORY       the history store when --history is not given\n");
}

QString CommandHelpText(Command command, std::uint8_t language) {
    const CommandEntry *entry = nullptr;
    for (const CommandEntry &candidate : kCommands)
        if (candidate.command == command) entry = &candidate;
    if (entry == nullptr) return HelpText();
    QString text = (language == 0 ? QStringLiteral("Использование: velda9-cli ")
                                  : QStringLiteral("Usage: velda9-cli ")) +
                   QLatin1String(entry->synopsis) + QStringLiteral("\n\n") +
                   PickIn(entry->purpose, language) + QStringLiteral("\n\n") +
                   (language == 0 ? QStringLiteral("Параметры:\n") : QStringLiteral("Options:\n"));
    constexpr qsizetype kOptionColumn = 28;
    for (const OptionEntry &option : kOptions) {
        if ((entry->allowed & option.bit) == 0) continue;
        const QString spelled = QStringLiteral("  ") + QLatin1String(option.spelled);
        text += spelled.leftJustified(kOptionColumn - 1) + QLatin1Char(' ') +
                PickIn(option.meaning, language) + QLatin1Char('\n');
    }
    return text;
}

QString VersionText() {
    return QStringLiteral("velda9-cli %1 (built %2)")
        .arg(QLatin1String(VELDA_VERSION), QLatin1String(BuildDateText()));
}

} // namespace velda::cli
