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

// What lies between a name's first opening and first closing tag (-1 when there is
// none), or why nothing.
Span between(qsizetype opening, qsizetype closing, qsizetype nameLength) {
    if (opening < 0 && closing < 0) {
        return {};
    }
    if (opening < 0 || closing < 0 || opening > closing) {
        return {Found::kDamaged, 0, 0};
    }
    const qsizetype start = opening + nameLength + 2;
    return {Found::kPresent, start, std::max<qsizetype>(0, closing - start)};
}

Span between(QStringView source, const QString& name) {
    if (source.isEmpty()) {
        return {};
    }
    return between(source.indexOf(openingTag(name)), source.indexOf(closingTag(name)), name.size());
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

// A group's text within what lies between its tags.
Span framed(QStringView source, const Span& span) {
    if (span.found != Found::kPresent) {
        return span;
    }
    const qsizetype end = span.start + span.length;
    const qsizetype begin = afterLineEnd(source, span.start, end);
    return {Found::kPresent, begin, indentationStart(source, begin, end) - begin};
}

}  // namespace

Span groupSpan(QStringView source, const QString& name) {
    return framed(source, between(source, name));
}

Span valueSpan(QStringView source, const QString& name) {
    return between(source, name);
}

Span blockHoldingOnly(QStringView source, const QString& name, const QSet<QString>& keys) {
    const QString opening = openingTag(name);
    const QString closing = closingTag(name);
    for (qsizetype at = source.indexOf(opening); at >= 0; at = source.indexOf(opening, at + 1)) {
        const qsizetype end = source.indexOf(closing, at + opening.size());
        if (end < 0) {
            break;
        }
        const Span block = framed(source, between(at, end, name.size()));
        if (keys.contains(tagNames(source.sliced(block.start, block.length)))) {
            return block;
        }
    }
    return {};
}

namespace {

// Where the first opening and the first closing tag of each name in a text stand, found
// in one pass. Names holding "<" or ">" have no entry; neither have names starting with
// "/", whose opening tags are the closing tags of other names.
class TagIndex {
  public:
    explicit TagIndex(QStringView text) : text_(text) {
        qsizetype open = -1;
        for (qsizetype at = 0; at < text.size(); ++at) {
            if (text[at] == QLatin1Char('<')) {
                open = at;
            } else if (text[at] == QLatin1Char('>') && open >= 0) {
                const QStringView inside = text.sliced(open + 1, at - open - 1);
                if (inside.startsWith(QLatin1Char('/'))) {
                    keepFirst(closing_, inside.sliced(1), open);
                } else {
                    keepFirst(opening_, inside, open);
                }
                open = -1;
            }
        }
    }

    [[nodiscard]] QSet<QString> names() const {
        QSet<QString> names;
        for (auto at = opening_.cbegin(); at != opening_.cend(); ++at) {
            names.insert(at.key());
        }
        for (auto at = closing_.cbegin(); at != closing_.cend(); ++at) {
            names.insert(at.key());
        }
        return names;
    }
    [[nodiscard]] Span value(const QString& name) const {
        return between(opening_.value(name, -1), closing_.value(name, -1), name.size());
    }
    [[nodiscard]] Span group(const QString& name) const { return framed(text_, value(name)); }

  private:
    static void keepFirst(QHash<QString, qsizetype>& first, QStringView name, qsizetype at) {
        const QString key = name.toString();
        if (!first.contains(key)) {
            first.insert(key, at);
        }
    }

    QStringView text_;
    QHash<QString, qsizetype> opening_;
    QHash<QString, qsizetype> closing_;
};

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
enum class Outcome { kDefault, kDamagedGroup, kDamagedKey, kText };

struct Read {
    Outcome outcome = Outcome::kDefault;
    qsizetype start = 0;  // in the document
    QStringView text;
};

// A group as found in a document, with the tags of its text.
struct Group {
    Group(QStringView document, const Span& span)
        : span(span), text(document.sliced(span.start, span.length)), tags(text) {}
    Span span;
    QStringView text;
    TagIndex tags;
};

Read readKey(const Group& group, const QString& key) {
    if (group.span.found == Found::kDamaged) {
        return {Outcome::kDamagedGroup, 0, {}};
    }
    if (group.span.found == Found::kAbsent) {
        return {};
    }
    const QStringView groupText = group.text;
    const Span value = group.tags.value(key);
    if (value.found == Found::kDamaged) {
        return {Outcome::kDamagedKey, 0, {}};
    }
    if (value.found == Found::kAbsent || value.length == 0) {
        return {};
    }
    return {Outcome::kText, group.span.start + value.start,
            groupText.sliced(value.start, value.length)};
}

bool readsAsSet(const Read& read, const QString& text) {
    return text.isEmpty() ? read.outcome == Outcome::kDefault
                          : read.outcome == Outcome::kText && read.text == text;
}

// A text that holds a changed key, tags and all, as set: a group or a value that
// encloses other tags, which sees the change as a part of itself.
bool holdsAChange(QStringView text, const Changes& changes) {
    for (auto change = changes.cbegin(); change != changes.cend(); ++change) {
        const Span value = valueSpan(text, change.key().second);
        if (value.found == Found::kPresent && text.sliced(value.start, value.length) == *change) {
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
    if (before.outcome != Outcome::kText || before.text == after.text) {
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

// The keys changed in a group.
QSet<QString> changedKeys(const Changes& changes, const QString& group) {
    QSet<QString> keys;
    for (auto change = changes.cbegin(); change != changes.cend(); ++change) {
        if (change.key().first == group) {
            keys.insert(change.key().second);
        }
    }
    return keys;
}

// A damaged group's text is put back into a block of the group that holds no tag but
// the changed keys': then nothing else is taken out.
bool replacesADamagedGroupsOwnBlock(const QString& before, const Edit& edit,
                                    const Changes& changes) {
    for (auto change = changes.cbegin(); change != changes.cend(); ++change) {
        const QString& group = change.key().first;
        if (groupSpan(before, group).found != Found::kDamaged) {
            continue;
        }
        const Span block = blockHoldingOnly(before, group, changedKeys(changes, group));
        if (block.found == Found::kPresent && block.start <= edit.start &&
            edit.beforeEnd <= block.start + block.length) {
            return true;
        }
    }
    return false;
}

// Text that a rewrite took out must be the old text of a changed value, and hold no
// tag: so nothing that reading does not see, such as a later group of the same name,
// is lost either.
bool removesOnlyChangedValues(const QString& before, const Edit& edit, const Changes& changes) {
    const QStringView removed = QStringView(before).sliced(edit.start, edit.beforeEnd - edit.start);
    if (removed.isEmpty() || replacesADamagedGroupsOwnBlock(before, edit, changes)) {
        return true;
    }
    if (removed.contains(QLatin1Char('<')) || removed.contains(QLatin1Char('>'))) {
        return false;
    }
    for (auto change = changes.cbegin(); change != changes.cend(); ++change) {
        const Read old =
            readKey(Group(before, groupSpan(before, change.key().first)), change.key().second);
        if (old.outcome == Outcome::kText && old.start <= edit.start &&
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
    const TagIndex was(before);
    const TagIndex is(after);
    QSet<QString> groups = was.names() + is.names();
    for (auto change = changes.cbegin(); change != changes.cend(); ++change) {
        groups.insert(change.key().first);
    }
    groups.remove(root);
    for (const QString& name : std::as_const(groups)) {
        const Group old(before, was.group(name));
        if (old.span.found == Found::kDamaged) {
            continue;  // read as defaults; its text stays, beside what saving adds
        }
        const Group now(after, is.group(name));
        if (now.span.found == Found::kDamaged) {
            return false;  // every key of the group would read otherwise
        }
        const QSet<QString> keys = old.tags.names() + now.tags.names() + changedKeys(changes, name);
        for (const QString& key : keys) {
            const Read oldRead = readKey(old, key);
            if (oldRead.outcome == Outcome::kDamagedKey) {
                continue;  // likewise: the new key line goes after the damaged one
            }
            const Read read = readKey(now, key);
            const auto changed = changes.constFind({name, key});
            if (changed != changes.cend() ? !readsAsSet(read, *changed)
                                          : !readsAlike(oldRead, read, edit, changes)) {
                return false;
            }
        }
    }
    return true;
}

QSet<QString> tagNames(QStringView text) {
    return TagIndex(text).names();
}

}  // namespace velmar::settings_store::reads
