#include "literalini_p.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QVector>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// As Qt's own INI format: keys differ in case on Windows only.
#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kKeyCase = Qt::CaseInsensitive;
const char kDefaultEol[] = "\r\n";
#else
constexpr Qt::CaseSensitivity kKeyCase = Qt::CaseSensitive;
const char kDefaultEol[] = "\n";
#endif

const QLatin1String kEscapedOpen("@String(");

QString folded(const QString& key)
{
    return kKeyCase == Qt::CaseSensitive ? key : key.toLower();
}

// "a//b/" and "/a/b" are the key "a/b", as QSettings makes of the keys it is given.
QString normalizedKey(const QString& key)
{
    if (!key.startsWith(QLatin1Char('/')) && !key.endsWith(QLatin1Char('/'))
        && !key.contains(QLatin1String("//")))
        return key;
    return key.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

int hexValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// `digits` hex digits of `text` from `from`, or -1.
int hexNumber(const QString& text, int from, int digits)
{
    if (from + digits > text.size())
        return -1;
    int value = 0;
    for (int i = from; i < from + digits; ++i) {
        const int digit = hexValue(text.at(i));
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

// Keys and section names as Qt's INI writer escapes them ("%20", "%U00E9", '\' for '/'), so
// that keys of files written before read the same. Other bytes are UTF-8.
QString unescapedKey(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    QString key;
    key.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\')) {
            key += QLatin1Char('/');
        } else if (c == QLatin1Char('%')) {
            const bool wide = i + 1 < text.size() && text.at(i + 1) == QLatin1Char('U');
            const int code = hexNumber(text, i + (wide ? 2 : 1), wide ? 4 : 2);
            if (code < 0) {
                key += c;
                continue;
            }
            key += QChar(code);
            i += wide ? 5 : 2;
        } else {
            key += c;
        }
    }
    return key;
}

QByteArray escapedKey(const QString& key)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray bytes;
    bytes.reserve(key.size());
    for (const QChar c : key) {
        const ushort u = c.unicode();
        if (u == '/') {
            bytes += '\\';
        } else if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')
            || u == '_' || u == '-' || u == '.') {
            bytes += char(u);
        } else if (u <= 0xFF) {
            bytes += '%';
            bytes += hex[u >> 4];
            bytes += hex[u & 0xF];
        } else {
            bytes += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                bytes += hex[(u >> shift) & 0xF];
        }
    }
    return bytes;
}

QString sectionName(const QByteArray& bytes)
{
    // Qt writes the top level as [General] and a group of that name as [%General].
    if (bytes.compare("general", Qt::CaseInsensitive) == 0)
        return QString();
    if (bytes.compare("%general", Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(bytes.mid(1));
    return normalizedKey(unescapedKey(bytes));
}

QByteArray sectionHeader(const QString& section)
{
    const QByteArray name = escapedKey(section);
    return '[' + (name.compare("general", Qt::CaseInsensitive) == 0 ? '%' + name : name) + ']';
}

// --- values --------------------------------------------------------------------------------

bool isControl(ushort u)
{
    return u < 0x20 || u == 0x7F;
}

// The value of `@String(...)`; nothing when the text is not of that form or holds an escape
// this format does not write (then it is taken literally, as a person typed it).
std::optional<QString> fromEscaped(const QString& raw)
{
    if (!raw.startsWith(kEscapedOpen) || !raw.endsWith(QLatin1Char(')')))
        return std::nullopt;
    const int end = raw.size() - 1;
    QString value;
    value.reserve(end - kEscapedOpen.size());
    for (int i = kEscapedOpen.size(); i < end; ++i) {
        const QChar c = raw.at(i);
        if (c != QLatin1Char('\\')) {
            value += c;
            continue;
        }
        if (++i == end)
            return std::nullopt;
        int code = -1;
        switch (raw.at(i).unicode()) {
        case '\\':
            code = '\\';
            break;
        case 'n':
            code = '\n';
            break;
        case 'r':
            code = '\r';
            break;
        case 't':
            code = '\t';
            break;
        case 'x':
            code = i + 2 < end ? hexNumber(raw, i + 1, 2) : -1;
            i += 2;
            break;
        case 'u':
            code = i + 4 < end ? hexNumber(raw, i + 1, 4) : -1;
            i += 4;
            break;
        }
        if (code < 0)
            return std::nullopt;
        value += QChar(code);
    }
    return value;
}

QString hexDigits(ushort code, int digits)
{
    return QString::number(code, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString toEscaped(const QString& value)
{
    QString text = kEscapedOpen;
    text.reserve(value.size() + kEscapedOpen.size() + 8);
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        const ushort u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < value.size() && value.at(i + 1).isLowSurrogate()) {
            text += c;
            text += value.at(++i);
        } else if (c.isSurrogate()) {
            text += QLatin1String("\\u") + hexDigits(u, 4);
        } else if (u == '\\') {
            text += QLatin1String("\\\\");
        } else if (u == '\n') {
            text += QLatin1String("\\n");
        } else if (u == '\r') {
            text += QLatin1String("\\r");
        } else if (u == '\t') {
            text += QLatin1String("\\t");
        } else if (isControl(u)) {
            text += QLatin1String("\\x") + hexDigits(u, 2);
        } else {
            text += c;
        }
    }
    return text + QLatin1Char(')');
}

// The value Qt's INI writer stored as `raw`, when `raw` is exactly what that writer makes of
// a text without control characters and differs from it. The escapes that stand for control
// characters (\t, \n, \x..., \0) are left alone: `c:\temp` is what people type for a folder.
std::optional<QString> fromQtWritten(const QString& raw)
{
    const bool quoted
        = raw.size() >= 2 && raw.startsWith(QLatin1Char('"')) && raw.endsWith(QLatin1Char('"'));
    const int begin = quoted ? 1 : 0;
    const int end = quoted ? raw.size() - 1 : raw.size();
    QString text;
    text.reserve(end - begin);
    bool changed = quoted;
    for (int i = begin; i < end; ++i) {
        const QChar c = raw.at(i);
        if (c == QLatin1Char('\\')) {
            if (i + 1 == end)
                return std::nullopt;
            const QChar next = raw.at(++i);
            if (next != QLatin1Char('\\') && next != QLatin1Char('"'))
                return std::nullopt;
            text += next;
            changed = true;
        } else if (c == QLatin1Char('"') || c.unicode() < 0x20) {
            return std::nullopt; // Qt escapes both
        } else {
            text += c;
        }
    }
    // Qt quotes exactly the texts with one of ",;=" or a blank at an end.
    const bool needsQuotes = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char(';'))
        || text.contains(QLatin1Char('=')) || text.startsWith(QLatin1Char(' '))
        || text.endsWith(QLatin1Char(' '));
    if (quoted != needsQuotes)
        return std::nullopt;
    // A text beginning with '@' was stored with a second one in front.
    if (text.startsWith(QLatin1Char('@'))) {
        if (!text.startsWith(QLatin1String("@@")))
            return std::nullopt;
        text.remove(0, 1);
        changed = true;
    }
    if (!changed)
        return std::nullopt;
    return text;
}

QString valueOf(const QString& raw)
{
    if (const auto value = fromEscaped(raw))
        return *value;
    if (const auto value = fromQtWritten(raw))
        return *value;
    return raw;
}

// The text to store for `value`: the value itself where it reads back as it is.
QByteArray storedText(const QString& value)
{
    bool plain = !value.startsWith(QLatin1Char(' ')) && !value.endsWith(QLatin1Char(' '));
    for (int i = 0; plain && i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c.isHighSurrogate() && i + 1 < value.size() && value.at(i + 1).isLowSurrogate())
            ++i;
        else
            plain = !isControl(c.unicode()) && !c.isSurrogate();
    }
    if (plain && valueOf(value) == value)
        return value.toUtf8();
    return toEscaped(value).toUtf8();
}

// --- lines ---------------------------------------------------------------------------------

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

struct Line
{
    enum Kind { Other, Header, Entry, Unreadable };
    Kind kind = Other;
    int begin = 0;
    int valueBegin = 0; ///< Entry: after '=' and the blanks that follow it
    int valueEnd = 0; ///< Entry: before the blanks at the end
    int contentEnd = 0; ///< before the line break ("\n", "\r\n")
    int next = 0; ///< where the next line begins
    QString key; ///< Entry: the whole key; Header: the section
    QString section; ///< the section the line belongs to
};

struct Lines
{
    QVector<Line> lines;
    int bodyBegin = 0; ///< after a UTF-8 byte order mark
    bool damaged = false;
};

Lines splitLines(const QByteArray& data)
{
    Lines result;
    result.damaged = data.contains('\0');
    result.bodyBegin = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const char* const bytes = data.constData();
    const int size = data.size();
    QString section;
    for (int pos = result.bodyBegin; pos < size;) {
        Line line;
        line.begin = pos;
        const char* newline
            = static_cast<const char*>(memchr(bytes + pos, '\n', size_t(size - pos)));
        line.next = newline ? int(newline - bytes) + 1 : size;
        line.contentEnd = newline ? int(newline - bytes) : size;
        if (line.contentEnd > pos && bytes[line.contentEnd - 1] == '\r')
            --line.contentEnd;
        pos = line.next;

        int first = line.begin;
        int last = line.contentEnd;
        while (first < last && isBlank(bytes[first]))
            ++first;
        while (last > first && isBlank(bytes[last - 1]))
            --last;
        const char* const from = bytes + first;
        const char* const to = bytes + last;
        if (first == last || *from == ';' || *from == '#') {
            line.kind = Line::Other;
        } else if (*from == '[') {
            const char* close = std::find(from, to, ']');
            if (close == to) {
                line.kind = Line::Unreadable;
            } else {
                section = sectionName(QByteArray(from + 1, int(close - from - 1)).trimmed());
                line.kind = Line::Header;
                line.key = section;
            }
        } else {
            const char* equals = std::find(from, to, '=');
            if (equals == to) {
                line.kind = Line::Unreadable;
            } else {
                const char* keyEnd = equals;
                while (keyEnd > from && isBlank(keyEnd[-1]))
                    --keyEnd;
                const char* value = equals + 1;
                while (value < to && isBlank(*value))
                    ++value;
                const QString key = unescapedKey(QByteArray(from, int(keyEnd - from)));
                line.key
                    = normalizedKey(section.isEmpty() ? key : section + QLatin1Char('/') + key);
                line.kind = line.key.isEmpty() ? Line::Other : Line::Entry;
                line.valueBegin = int(value - bytes);
                line.valueEnd = last;
            }
        }
        line.section = section;
        result.damaged = result.damaged || line.kind == Line::Unreadable;
        result.lines.push_back(line);
    }
    return result;
}

QString lineValue(const QByteArray& data, const Line& line)
{
    return valueOf(
        QString::fromUtf8(data.constData() + line.valueBegin, line.valueEnd - line.valueBegin));
}

bool readFile(QIODevice& device, QSettings::SettingsMap& map)
{
    const QByteArray data = device.readAll();
    const Lines parsed = splitLines(data);
    if (parsed.damaged)
        return false;
    // The last of several lines with one key counts, also where keys differ in case only.
    QHash<QString, QString> spelling;
    for (const Line& line : parsed.lines) {
        if (line.kind != Line::Entry)
            continue;
        QString& previous = spelling[folded(line.key)];
        if (!previous.isEmpty() && previous != line.key)
            map.remove(previous);
        previous = line.key;
        map.insert(line.key, lineValue(data, line));
    }
    return true;
}

// Where the new entries of one section go.
struct Insertion
{
    QString section;
    QVector<QPair<QString, QString>> entries; ///< key within the section, value
};

// `data` with the entries of `map` that differ from it written: a changed entry has its
// value replaced on its own line (the key as spelt there stays), a new one is added after the
// last entry of its section (at the top for the top level) or in a new section at the end.
// No other line changes, and none is removed.
QByteArray withEntries(const QByteArray& data, const QSettings::SettingsMap& map)
{
    const Lines parsed = splitLines(data);
    const QVector<Line>& lines = parsed.lines;
    const int newline = data.indexOf('\n');
    const QByteArray eol = newline < 0                ? QByteArray(kDefaultEol)
        : newline > 0 && data.at(newline - 1) == '\r' ? QByteArray("\r\n")
                                                      : QByteArray("\n");

    QHash<QString, int> entryLine;
    QHash<QString, int> lastEntryOfSection;
    QHash<QString, int> lastHeaderOfSection;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == Line::Entry) {
            entryLine[folded(lines[i].key)] = i;
            lastEntryOfSection[folded(lines[i].section)] = i;
        } else if (lines[i].kind == Line::Header) {
            lastHeaderOfSection[folded(lines[i].key)] = i;
        }
    }

    QHash<int, QByteArray> replaced;
    QVector<Insertion> insertions;
    QHash<QString, int> insertionOfSection;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QString key = normalizedKey(it.key());
        if (key.isEmpty())
            continue;
        const QString value = it.value().toString();
        const auto found = entryLine.constFind(folded(key));
        if (found != entryLine.cend()) {
            const Line& line = lines[*found];
            if (lineValue(data, line) != value)
                replaced.insert(
                    *found, data.mid(line.begin, line.valueBegin - line.begin) + storedText(value));
            continue;
        }
        const int slash = key.indexOf(QLatin1Char('/'));
        const QString section = slash < 0 ? QString() : key.left(slash);
        int& index = insertionOfSection[folded(section)];
        if (index == 0) {
            insertions.push_back({ section, {} });
            index = insertions.size();
        }
        insertions[index - 1].entries.push_back({ key.mid(slash + 1), value });
    }
    if (replaced.isEmpty() && insertions.isEmpty())
        return data;

    QHash<int, const Insertion*> insertedAfter;
    const Insertion* atTop = nullptr;
    QVector<const Insertion*> newSections;
    for (const Insertion& insertion : insertions) {
        const QString section = folded(insertion.section);
        const int afterEntry = lastEntryOfSection.value(section, -1);
        const int afterHeader = lastHeaderOfSection.value(section, -1);
        if (afterEntry >= 0)
            insertedAfter.insert(afterEntry, &insertion);
        else if (afterHeader >= 0)
            insertedAfter.insert(afterHeader, &insertion);
        else if (section.isEmpty())
            atTop = &insertion;
        else
            newSections.push_back(&insertion);
    }

    auto entryLines = [&eol](const Insertion& insertion) {
        QByteArray text;
        for (const auto& entry : insertion.entries)
            text += escapedKey(entry.first) + '=' + storedText(entry.second) + eol;
        return text;
    };

    QByteArray out;
    out.reserve(data.size() + 256);
    out += data.left(parsed.bodyBegin);
    if (atTop)
        out += entryLines(*atTop);
    for (int i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        const auto replacement = replaced.constFind(i);
        if (replacement != replaced.cend())
            out += *replacement + data.mid(line.contentEnd, line.next - line.contentEnd);
        else
            out += data.mid(line.begin, line.next - line.begin);
        if (const Insertion* insertion = insertedAfter.value(i)) {
            if (!out.endsWith('\n'))
                out += eol;
            out += entryLines(*insertion);
        }
    }
    for (const Insertion* insertion : newSections) {
        if (out.size() > parsed.bodyBegin) {
            if (!out.endsWith('\n'))
                out += eol;
            out += eol; // a blank line between sections, as Qt writes them
        }
        out += sectionHeader(insertion->section) + eol + entryLines(*insertion);
    }
    return out;
}

bool writeFile(QIODevice& device, const QSettings::SettingsMap& map)
{
    // QSettings hands over only the entries; the lines around them (comments, entries it
    // could not keep apart, bytes that are not UTF-8) are in the file it is about to replace.
    auto* saveFile = qobject_cast<QSaveFile*>(&device);
    if (!saveFile)
        return false; // a direct write would have emptied that file already
    QFile current(saveFile->fileName());
    QByteArray data;
    if (current.exists()) {
        if (!current.open(QIODevice::ReadOnly))
            return false;
        data = current.readAll();
    }
    const QByteArray out = withEntries(data, map);
    return device.write(out) == out.size();
}

} // namespace

namespace literalini {

QSettings::Format format()
{
    static const QSettings::Format registered
        = QSettings::registerFormat(QStringLiteral("ini"), readFile, writeFile, kKeyCase);
    return registered;
}

bool isDamaged(const QByteArray& data)
{
    return splitLines(data).damaged;
}

} // namespace literalini
