// Finding groups and values by their tags, and checking a rewritten document against the
// one it replaces.
#include "settings_store/document_reads.h"

#include <QSet>

#include <algorithm>

namespace velmar::settings_store::reads {

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString openingTag(const QString& name) {
    return QLatin1Char('<') + name + QLatin1Char('>');
}

QString closingTag(const QString& name) {
    return QStringLiteral("</") + name + QLatin1Char('>');
}

// The first opening and closing tag of a name; what lies between them, or why nothing.
Span between(QStringView source, const QString& name) {
    if (source.isEmpty()) {
        return {};
    }
    const qsizetype opening = source.indexOf(openingTag(name));
    const qsizetype closing = source.indexOf(closingTag(name));
    if (opening < 0 && closing < 0) {
        return {};
    }
    if (opening < 0 || closing < 0 || opening > closing) {
        return {Found::Damaged, 0, 0};
    }
    const qsizetype start = opening + name.size() + 2;
    return {Found::Present, start, std::max<qsizetype>(0, closing - start)};
}

// Past blanks and one line break at from, or from itself when the line goes on.
qsizetype afterLineEnd(QStringView source, qsizetype from, qsizetype end) {
    qsizetype at = from;
    while (at < end && isBlank(source[at])) {
        ++at;
    }
    if (at + 1 < end && source[at] == QLatin1Char('\r') && source[at + 1] == QLatin1Char('\n')) {
        return at + 2;
    }
    if (at < end && source[at] == QLatin1Char('\n')) {
        return at + 1;
    }
    return from;
}

// Where the blanks before end start when only they stand between a line start and end.
qsizetype indentationStart(QStringView source, qsizetype begin, qsizetype end) {
    qsizetype at = end;
    while (at > begin && isBlank(source[at - 1])) {
        --at;
    }
    return at == begin || source[at - 1] == QLatin1Char('\n') ? at : end;
}

}  // namespace

Span groupSpan(QStringView source, const QString& name) {
    Span span = between(source, name);
    if (span.found != Found::Present) {
        return span;
    }
    const qsizetype end = span.start + span.length;
    const qsizetype begin = afterLineEnd(source, span.start, end);
    return {Found::Present, begin, indentationStart(source, begin, end) - begin};
}

Span valueSpan(QStringView source, const QString& name) {
    return between(source, name);
}

namespace {

// The names of all tags in a text, opening or closing.
QSet<QString> tagNames(QStringView text) {
    QSet<QString> names;
    qsizetype open = -1;
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (text[at] == QLatin1Char('<')) {
            open = at;
        } else if (text[at] == QLatin1Char('>') && open >= 0) {
            const QStringView inside = text.sliced(open + 1, at - open - 1);
            names.insert(inside.sliced(inside.startsWith(QLatin1Char('/')) ? 1 : 0).toString());
            open = -1;
        }
    }
    return names;
}

// The stretch of the old text that a rewrite replaced, and what replaced it.
struct Edit {
    qsizetype start = 0;
    qsizetype beforeEnd = 0;
    QStringView replacement;
};

Edit editBetween(const QString& before, const QString& after) {
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix]) {
        ++prefix;
    }
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    return {prefix, before.size() - suffix,
            QStringView(after).sliced(prefix, after.size() - suffix - prefix)};
}

// What a key reads as: the default, a damaged-file message for its group or for itself,
// or a text at a place in the document.
enum class Outcome { Default, DamagedGroup, DamagedKey, Text };

struct Read {
    Outcome outcome = Outcome::Default;
    qsizetype start = 0;  // in the document
    QStringView text;
};

Read readKey(QStringView document, const Span& group, const QString& key) {
    if (group.found == Found::Damaged) {
        return {Outcome::DamagedGroup, 0, {}};
    }
    if (group.found == Found::Absent) {
        return {};
    }
    const QStringView groupText = document.sliced(group.start, group.length);
    const Span value = valueSpan(groupText, key);
    if (value.found == Found::Damaged) {
        return {Outcome::DamagedKey, 0, {}};
    }
    if (value.found == Found::Absent || value.length == 0) {
        return {};
    }
    return {Outcome::Text, group.start + value.start, groupText.sliced(value.start, value.length)};
}

bool readsAsSet(const Read& read, const QString& text) {
    return text.isEmpty() ? read.outcome == Outcome::Default
                          : read.outcome == Outcome::Text && read.text == text;
}

// A text that holds a changed key, tags and all, as set: a group or a value that
// encloses other tags, which sees the change as a part of itself.
bool holdsAChange(QStringView text, const Changes& changes) {
    for (auto change = changes.cbegin(); change != changes.cend(); ++change) {
        const Span value = valueSpan(text, change.key().second);
        if (value.found == Found::Present && text.sliced(value.start, value.length) == *change) {
            return true;
        }
    }
    return false;
}

// The same read, or one that holds a changed key and the whole edit and shows it made.
bool readsAlike(const Read& before, const Read& after, const Edit& edit, const Changes& changes) {
    if (before.outcome != after.outcome) {
        return false;
    }
    if (before.outcome != Outcome::Text || before.text == after.text) {
        return true;
    }
    const qsizetype headLength = edit.start - before.start;
    const qsizetype tailStart = edit.beforeEnd - before.start;
    if (headLength < 0 || tailStart > before.text.size() || !holdsAChange(after.text, changes)) {
        return false;
    }
    const QStringView head = before.text.first(headLength);
    const QStringView tail = before.text.sliced(tailStart);
    return after.text.size() == head.size() + edit.replacement.size() + tail.size() &&
           after.text.startsWith(head) && after.text.endsWith(tail) &&
           after.text.sliced(head.size(), edit.replacement.size()) == edit.replacement;
}

// Text that a rewrite took out must be the old text of a changed value, and hold no
// tag: so nothing that reading does not see, such as a later group of the same name,
// is lost either.
bool removesOnlyChangedValues(const QString& before, const Edit& edit, const Changes& changes) {
    const QStringView removed = QStringView(before).sliced(edit.start, edit.beforeEnd - edit.start);
    if (removed.isEmpty()) {
        return true;
    }
    if (removed.contains(QLatin1Char('<')) || removed.contains(QLatin1Char('>'))) {
        return false;
    }
    for (auto change = changes.cbegin(); change != changes.cend(); ++change) {
        const Read old =
            readKey(before, groupSpan(before, change.key().first), change.key().second);
        if (old.outcome == Outcome::Text && old.start <= edit.start &&
            edit.beforeEnd <= old.start + old.text.size()) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool keepsOtherReads(const QString& before, const QString& after, const Changes& changes,
                     const QString& root) {
    const Edit edit = editBetween(before, after);
    if (!removesOnlyChangedValues(before, edit, changes)) {
        return false;
    }
    QSet<QString> groups = tagNames(before) + tagNames(after);
    for (auto change = changes.cbegin(); change != changes.cend(); ++change) {
        groups.insert(change.key().first);
    }
    groups.remove(root);
    for (const QString& group : std::as_const(groups)) {
        const Span old = groupSpan(before, group);
        const Span now = groupSpan(after, group);
        if ((old.found == Found::Damaged) != (now.found == Found::Damaged)) {
            return false;  // every key of the group would read otherwise
        }
        QSet<QString> keys = tagNames(QStringView(before).sliced(old.start, old.length)) +
                             tagNames(QStringView(after).sliced(now.start, now.length));
        for (auto change = changes.cbegin(); change != changes.cend(); ++change) {
            if (change.key().first == group) {
                keys.insert(change.key().second);
            }
        }
        for (const QString& key : std::as_const(keys)) {
            const Read read = readKey(after, now, key);
            const auto changed = changes.constFind({group, key});
            if (changed != changes.cend()
                    ? !readsAsSet(read, *changed)
                    : !readsAlike(readKey(before, old, key), read, edit, changes)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace velmar::settings_store::reads
