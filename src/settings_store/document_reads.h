// How the settings store finds groups and values in a document's text, as plain
// positions, and the check that a rewritten document still reads as the old one did.
// Private to the settings store.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringView>

#include <utility>

namespace velmar::settings_store::reads {

enum class Found { kAbsent, kDamaged, kPresent };

// Where a read finds its text: source.mid(start, length) when present.
struct Span {
    Found found = Found::kAbsent;
    qsizetype start = 0;
    qsizetype length = 0;
};

// A group's text: what stands between its first opening tag and its first closing tag,
// less the rest of the opening tag's line when that line ends there, and less the
// indentation of the closing tag when that tag starts a line of its own.
[[nodiscard]] Span groupSpan(QStringView source, const QString& name);
// A value: the text between the first opening tag and the first closing tag of its key.
[[nodiscard]] Span valueSpan(QStringView source, const QString& name);
// The first block of a group (one of its opening tags and the first closing tag after
// it, framed as a group's text) whose tags are all among keys; absent when there is none.
// A damaged group's text is put back there, so that nothing else is taken out.
[[nodiscard]] Span blockHoldingOnly(QStringView source, const QString& name,
                                    const QSet<QString>& keys);
// The names of the complete tags in a text, opening and closing alike.
[[nodiscard]] QSet<QString> tagNames(QStringView text);

// Keys set since the document was loaded, by group and key, with the text they must
// read back as.
using Changes = QHash<std::pair<QString, QString>, QString>;

// True when every key of every group (the root is no group) reads from after as it
// reads from before, except the changed keys, which read back as set. Groups and keys
// whose tags were damaged in before (they read as defaults, with the damaged-file
// message) are not held to this: saving puts a complete group block or key line beside
// the damaged text, which stays as it was. Only the text of a damaged group's block that
// holds nothing but the changed keys may be replaced. A value that holds
// the changed part of the text may hold it changed. Nothing but the old text of changed
// values may be taken out, and no tag with it. Names that hold "<" or ">" or start
// with "/" (whose tags are other names' tags) are not looked at.
[[nodiscard]] bool keepsOtherReads(const QString& before, const QString& after,
                                   const Changes& changes, const QString& root);

}  // namespace velmar::settings_store::reads
