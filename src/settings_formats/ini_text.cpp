// A line-preserving INI updater. Keys, section names and values are escaped as QSettings
// escapes them, so files written here read back the same with QSettings and the reverse.
#include "settings_formats/ini_text.h"

#include <QList>

#include <utility>

namespace velmar::settings_formats {

namespace {

struct Line {
    QByteArray text;    // without its line break
    QByteArray ending;  // "\n", "\r\n" or nothing on the last line
};

QList<Line> splitLines(const QByteArray& bytes) {
    QList<Line> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', start);
        if (end < 0) {
            lines.append(Line{bytes.mid(start), {}});
            break;
        }
        const bool crlf = end > start && bytes.at(end - 1) == '\r';
        const qsizetype textEnd = crlf ? end - 1 : end;
        lines.append(Line{bytes.mid(start, textEnd - start), crlf ? "\r\n" : "\n"});
        start = end + 1;
    }
    return lines;
}

bool isPlainKeyCharacter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'_' || c == u'-' || c == u'.';
}

// A key or section name: '/' becomes '\', other characters outside [A-Za-z0-9_.-]
// become %XX or %UXXXX.
QByteArray escapedKey(const QString& key) {
    QByteArray escaped;
    for (const QChar character : key) {
        const char16_t c = character.unicode();
        if (c == u'/') {
            escaped += '\\';
        } else if (isPlainKeyCharacter(c)) {
            escaped += static_cast<char>(c);
        } else if (c <= 0xFF) {
            escaped += '%' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
        } else {
            escaped += "%U" + QByteArray::number(c, 16).toUpper().rightJustified(4, '0');
        }
    }
    return escaped;
}

QString unescapedKey(const QByteArray& raw) {
    const QString text = QString::fromUtf8(raw.trimmed());
    QString key;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text.at(at);
        if (c == QLatin1Char('\\')) {
            key += QLatin1Char('/');
            continue;
        }
        const bool wide = c == QLatin1Char('%') && text.mid(at + 1, 1) == QLatin1String("U");
        const qsizetype digits = wide ? 4 : 2;
        const qsizetype from = at + (wide ? 2 : 1);
        bool ok = false;
        const uint code = text.mid(from, digits).toUInt(&ok, 16);
        if (c == QLatin1Char('%') && ok && text.mid(from, digits).size() == digits) {
            key += QChar(static_cast<char16_t>(code));
            at = from + digits - 1;
        } else {
            key += c;
        }
    }
    return key;
}

bool isHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

QByteArray hexEscape(char16_t c) {
    return "\\x" + QByteArray::number(c, 16);
}

// A value as QSettings writes a string: control characters, '"' and '\' escaped, quoted
// when it holds ';', ',' or '=' or starts or ends with a blank; a leading '@' doubled.
QByteArray escapedValue(const QString& value) {
    const QString text = value.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + value : value;
    QByteArray escaped;
    bool needsQuotes = false;
    bool escapeNextHexDigit = false;
    for (const QChar character : text) {
        const char16_t c = character.unicode();
        needsQuotes = needsQuotes || c == u';' || c == u',' || c == u'=';
        if (escapeNextHexDigit && isHexDigit(c)) {
            escaped += hexEscape(c);
            continue;
        }
        escapeNextHexDigit = false;
        switch (c) {
            case u'\n':
                escaped += "\\n";
                break;
            case u'\r':
                escaped += "\\r";
                break;
            case u'\t':
                escaped += "\\t";
                break;
            case u'"':
            case u'\\':
                escaped += '\\';
                escaped += static_cast<char>(c);
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    escaped += hexEscape(c);
                    escapeNextHexDigit = true;
                } else {
                    escaped += QString(character).toUtf8();
                }
        }
    }
    if (needsQuotes || escaped.startsWith(' ') || escaped.endsWith(' ')) {
        escaped = '"' + escaped + '"';
    }
    return escaped;
}

QChar escapedCharacter(char16_t c) {
    switch (c) {
        case u'a':
            return QLatin1Char('\a');
        case u'b':
            return QLatin1Char('\b');
        case u'f':
            return QLatin1Char('\f');
        case u'n':
            return QLatin1Char('\n');
        case u'r':
            return QLatin1Char('\r');
        case u't':
            return QLatin1Char('\t');
        case u'v':
            return QLatin1Char('\v');
        default:
            return QChar(c);
    }
}

// Reads a value as QSettings does: blanks outside quotes trimmed, escapes undone, a ';'
// outside quotes starts a comment. Several values separated by ',' are joined with ", ".
QString unescapedValue(const QByteArray& raw) {
    const QString text = QString::fromUtf8(raw);
    QString value;
    QString pendingBlanks;
    bool quoted = false;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t c = text.at(at).unicode();
        if (!quoted && (c == u' ' || c == u'\t')) {
            if (!value.isEmpty()) {
                pendingBlanks += QChar(c);
            }
            continue;
        }
        value += std::exchange(pendingBlanks, QString());
        if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && c == u';') {
            break;
        } else if (!quoted && c == u',') {
            value += QLatin1String(", ");
            pendingBlanks.clear();
        } else if (c == u'\\' && at + 1 < text.size()) {
            const char16_t next = text.at(++at).unicode();
            if (next == u'x') {
                uint code = 0;
                while (at + 1 < text.size() && isHexDigit(text.at(at + 1).unicode())) {
                    code =
                        code * 16 + static_cast<uint>(QString(text.at(++at)).toUInt(nullptr, 16));
                }
                value += QChar(static_cast<char16_t>(code));
            } else {
                value += escapedCharacter(next);
            }
        } else {
            value += QChar(c);
        }
    }
    if (value.startsWith(QLatin1String("@@"))) {
        value.remove(0, 1);
    }
    return value;
}

std::optional<QString> sectionOf(const QByteArray& line) {
    const QByteArray trimmed = line.trimmed();
    if (!trimmed.startsWith('[')) {
        return std::nullopt;
    }
    const qsizetype end = trimmed.indexOf(']');
    return unescapedKey(trimmed.mid(1, end < 0 ? -1 : end - 1));
}

// The key of a "key=value" line; none for comments, blank lines and sections.
std::optional<QString> keyOf(const QByteArray& line) {
    const QByteArray trimmed = line.trimmed();
    const qsizetype equals = trimmed.indexOf('=');
    if (trimmed.isEmpty() || trimmed.startsWith(';') || trimmed.startsWith('#') ||
        trimmed.startsWith('[') || equals <= 0) {
        return std::nullopt;
    }
    return unescapedKey(trimmed.left(equals));
}

QByteArray joined(const QList<Line>& lines) {
    QByteArray bytes;
    for (const Line& line : lines) {
        bytes += line.text + line.ending;
    }
    return bytes;
}

}  // namespace

IniText::IniText(QByteArray bytes) : bytes_(std::move(bytes)) {}

bool IniText::isText() const {
    return !bytes_.contains('\0');
}

std::optional<QString> IniText::value(const QString& section, const QString& key) const {
    std::optional<QString> found;
    QString current;
    for (const Line& line : splitLines(bytes_)) {
        if (const std::optional<QString> name = sectionOf(line.text)) {
            current = *name;
        } else if (current == section && keyOf(line.text) == key) {
            found = unescapedValue(line.text.mid(line.text.indexOf('=') + 1));
        }
    }
    return found;
}

void IniText::setValue(const QString& section, const QString& key, const QString& value) {
    QList<Line> lines = splitLines(bytes_);
    const QByteArray newLine = bytes_.contains("\r\n") ? "\r\n" : "\n";
    const QByteArray entry = escapedKey(key) + '=' + escapedValue(value);
    QString current;
    qsizetype sectionEnd = -1;  // after the last non-blank line of the section
    bool replaced = false;
    for (qsizetype at = 0; at < lines.size(); ++at) {
        Line& line = lines[at];
        if (const std::optional<QString> name = sectionOf(line.text)) {
            current = *name;
        } else if (current == section && keyOf(line.text) == key) {
            line.text = entry;
            replaced = true;
        }
        if (current == section && !line.text.trimmed().isEmpty()) {
            sectionEnd = at + 1;
        }
    }
    if (!replaced) {
        const bool atTheEnd = sectionEnd < 0 || sectionEnd == lines.size();
        if (atTheEnd && !lines.isEmpty() && lines.last().ending.isEmpty()) {
            lines.last().ending = newLine;
        }
        if (sectionEnd >= 0) {
            lines.insert(sectionEnd, Line{entry, newLine});
        } else {
            if (!lines.isEmpty() && !lines.last().text.trimmed().isEmpty()) {
                lines.append(Line{{}, newLine});
            }
            lines.append(Line{'[' + escapedKey(section) + ']', newLine});
            lines.append(Line{entry, newLine});
        }
    }
    bytes_ = joined(lines);
}

}  // namespace velmar::settings_formats
