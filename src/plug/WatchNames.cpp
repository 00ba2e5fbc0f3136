// File names of watch's downloads: template fields and free names.
#include "plug/WatchNames.h"

#include "base/Texts.h"

#include <QFileInfo>

#include <array>

namespace velda {

namespace {

constexpr TextPair TxtTemplateEmpty{"шаблон имени файла пуст", "the file name template is empty"};
constexpr TextPair TxtTemplateSlash{"шаблон имени файла «%1» содержит «/»: папку задаёт --save-to",
                                    "the file name template \"%1\" holds a '/': --save-to names the folder"};
/// %1 the template, %2 the field as written.
constexpr TextPair TxtTemplateField{
    "в шаблоне имени файла «%1» неизвестное поле «%2» (есть {instrument}, {last-date}, {last-time}, "
    "{read-date}, {read-time})",
    "the file name template \"%1\" has an unknown field \"%2\" (there are {instrument}, {last-date}, "
    "{last-time}, {read-date}, {read-time})"};

enum class Field { Instrument, LastDate, LastTime, ReadDate, ReadTime };

struct FieldName {
    const char *name;
    Field field;
};

constexpr std::array<FieldName, 5> kFields{{
    {"instrument", Field::Instrument},
    {"last-date", Field::LastDate},
    {"last-time", Field::LastTime},
    {"read-date", Field::ReadDate},
    {"read-time", Field::ReadTime},
}};

/// The field at `open` (a '{'): its kind and the index after its '}'; nullptr when it is not one.
const FieldName *fieldAt(const QString &text, qsizetype open, qsizetype &after) {
    const qsizetype close = text.indexOf(QLatin1Char('}'), open);
    if (close < 0) return nullptr;
    const QStringView name = QStringView(text).mid(open + 1, close - open - 1);
    for (const FieldName &field : kFields) {
        if (name == QLatin1String(field.name)) {
            after = close + 1;
            return &field;
        }
    }
    return nullptr;
}

QString safe(QString text) {
    for (QChar &c : text)
        if (c == QLatin1Char('/') || c.category() == QChar::Other_Control) c = QLatin1Char('_');
    return text;
}

} // namespace

Result<Done, NameTemplateError> CheckNameTemplate(const QString &nameTemplate, std::uint8_t language) {
    using Kind = NameTemplateError::Kind;
    if (nameTemplate.trimmed().isEmpty())
        return NameTemplateError{Kind::Empty, PickIn(TxtTemplateEmpty, language)};
    if (nameTemplate.contains(QLatin1Char('/')))
        return NameTemplateError{Kind::Slash, PickIn(TxtTemplateSlash, language).arg(nameTemplate)};
    for (qsizetype i = nameTemplate.indexOf(QLatin1Char('{')); i >= 0;
         i = nameTemplate.indexOf(QLatin1Char('{'), i + 1)) {
        qsizetype after = 0;
        if (fieldAt(nameTemplate, i, after) == nullptr) {
            const qsizetype close = nameTemplate.indexOf(QLatin1Char('}'), i);
            const QString written = close < 0 ? nameTemplate.mid(i) : nameTemplate.mid(i, close - i + 1);
            return NameTemplateError{Kind::UnknownField,
                                     PickIn(TxtTemplateField, language).arg(nameTemplate, written)};
        }
    }
    return {};
}

QString ExpandNameTemplate(const QString &nameTemplate, const NameFields &fields) {
    const QDateTime last = fields.lastRecord.isValid() ? fields.lastRecord : fields.read;
    QString name;
    qsizetype i = 0;
    while (i < nameTemplate.size()) {
        qsizetype after = 0;
        const FieldName *field =
            nameTemplate.at(i) == QLatin1Char('{') ? fieldAt(nameTemplate, i, after) : nullptr;
        if (field == nullptr) {
            name += nameTemplate.at(i++);
            continue;
        }
        switch (field->field) {
        case Field::Instrument:
            name += safe(fields.instrument);
            break;
        case Field::LastDate:
            name += last.toString(QStringLiteral("yyyy-MM-dd"));
            break;
        case Field::LastTime:
            name += last.toString(QStringLiteral("HH-mm-ss"));
            break;
        case Field::ReadDate:
            name += fields.read.toString(QStringLiteral("yyyy-MM-dd"));
            break;
        case Field::ReadTime:
            name += fields.read.toString(QStringLiteral("HH-mm-ss"));
            break;
        }
        i = after;
    }
    return name;
}

QString FreeStem(const QString &folder, const QString &stem, const QStringList &extensions) {
    const auto taken = [&](const QString &candidate) {
        for (const QString &extension : extensions) {
            const QFileInfo file(folder + QLatin1Char('/') + candidate + extension);
            if (file.exists() || file.isSymLink()) return true;
        }
        return false;
    };
    if (!taken(stem)) return stem;
    for (int n = 2;; ++n) {
        const QString candidate = stem + QStringLiteral("-%1").arg(n);
        if (!taken(candidate)) return candidate;
    }
}

} // namespace velda
