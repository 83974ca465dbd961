#include "settings_store/settings_document.h"

#include "settings_store/document_reads.h"

#include <exception>
#include <utility>

namespace velmar::settings_store {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kRoot = QStringLiteral("運用");
// Where a line ends in a piece of text that MakeTag builds.
const QString kLineMark = QStringLiteral("‡");
const QString kGroupIndent = QStringLiteral("   ");
const QString kKeyIndent = QStringLiteral("      ");

QString openingTag(const QString& name) {
    return QLatin1Char('<') + name + QLatin1Char('>');
}

QString closingTag(const QString& name) {
    return QStringLiteral("</") + name + QLatin1Char('>');
}

// A copy of the settings file's name would end in "_DV.xml"; it shares the file without.
QString resolvedPath(const QString& path) {
    QString resolved = path;
    const qsizetype at = resolved.indexOf(QLatin1String("_DV.xml"), 0, Qt::CaseInsensitive);
    if (at >= 0) {
        resolved.replace(at, 7, QStringLiteral(".xml"));
    }
    return resolved;
}

// Where SetGtx puts the current group's text: where reading takes it from. A damaged
// group was read as empty: its text goes into a block of the group that holds no key but
// the ones written now, so that nothing else is lost and saving again adds nothing;
// otherwise a complete block is added before the root's closing tag and the damaged text
// stays where it was.
reads::Span putBackAt(const QString& sTxt, const QString& sGp, const QString& sGtx) {
    const reads::Span group = reads::groupSpan(sTxt, sGp);
    if (group.found != reads::Found::kDamaged) {
        return group;
    }
    return reads::blockHoldingOnly(sTxt, sGp, reads::tagNames(sGtx));
}

}  // namespace

SettingsDocument::SettingsDocument(platform::FileSystem files, platform::MessageBox& messages)
    : files_(files), messages_(messages) {}

void SettingsDocument::GetTxt(const QString& sFL, bool& bOk) {
    sTxt_.clear();
    sTxtFl_ = resolvedPath(sFL);
    try {
        const platform::FileSystem& files = files_;
        if (files.fileExists(sTxtFl_)) {
            platform::TextReader reader = files.openTextFileForReading(sTxtFl_);
            // Only a file without any content counts as empty; one that starts with a
            // line break is read whole, so that saving never drops what it holds.
            if (!reader.atEndOfStream()) {
                sTxt_ = reader.readAll();
            }
            reader.close();
        } else {
            files.createEmptyTextFile(sTxtFl_);
        }
        if (sTxt_.isEmpty()) {
            sTxt_ = MakeTag(TagShape::kDocument, kRoot, Variant::fromText(kCrLf));
        }
        bOk = true;
    } catch (const std::exception&) {
        // Loading traps every failure and reports it through bOk alone.
        bOk = false;
    }
    loaded_ = sTxt_;
    changes_.clear();
    groupChanges_.clear();
    refusalShown_ = false;
}

void SettingsDocument::GetGtx(const QString& sGp) {
    sCurGp_ = sGp;
    sGtx_ = GetTag(TagSource::kGroupInDocument, sGp);
    groupChanges_.clear();
}

Variant SettingsDocument::vGtVal(const QString& sKy, const Variant& vDef) {
    const QString kind = vDef.typeName().toLower();
    if (kind == QLatin1String("string")) {
        const QString text = GetTag(TagSource::kKeyInGroup, sKy);
        return text.isEmpty() ? vDef : Variant::fromText(text);
    }
    if (kind == QLatin1String("boolean")) {
        QString text = GetTag(TagSource::kKeyInGroup, sKy);
        if (text.isEmpty()) {
            text = vDef.toText();
        }
        return Variant::fromBool(readBool(text));
    }
    if (kind == QLatin1String("date")) {
        Variant result = vDef;
        try {
            if (const std::optional<QDateTime> date =
                    readDate(GetTag(TagSource::kKeyInGroup, sKy))) {
                result = Variant::fromDate(*date);
            }
        } catch (const std::exception&) {
            // Reading a date ignores every error: a date that cannot be read leaves the
            // default.
        }
        return result;
    }
    const QString text = GetTag(TagSource::kKeyInGroup, sKy);
    return text.isEmpty() ? vDef : Variant::fromDouble(readNumber(text));
}

void SettingsDocument::SetTxt(bool& bOk) {
    if (sTxtFl_.isEmpty()) {
        return;
    }
    saveFailure_.clear();
    if (!safeToWrite()) {
        bOk = false;
        return;
    }
    try {
        platform::TextWriter writer = files_.openTextFileForWriting(sTxtFl_);
        writer.write(sTxt_);
        writer.close();
        bOk = true;
        loaded_ = sTxt_;
        changes_.clear();
    } catch (const std::exception& error) {
        // Saving traps every failure and reports it through bOk; the text says why.
        saveFailure_ = QString::fromStdString(error.what());
        bOk = false;
    }
}

// The document is written only when it reads as loaded but for the keys set since; a
// layout the store cannot change without touching other keys is left alone, once told.
// Groups and keys whose tags are damaged read as defaults and were reported when read;
// what saving adds beside them is written.
bool SettingsDocument::safeToWrite() {
    if (reads::keepsOtherReads(loaded_, sTxt_, changes_, kRoot)) {
        return true;
    }
    if (!refusalShown_) {
        refusalShown_ = true;
        messages_.show(QStringLiteral("設定を保存できません") + QLatin1Char('\r') +
                       QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + sTxtFl_ +
                       QStringLiteral(") は安全に書き換えられないため、変更せずに残しました"));
    }
    return false;
}

void SettingsDocument::SetGtx() {
    if (sTxt_.isEmpty()) {
        sTxt_ = MakeTag(TagShape::kDocument, kRoot, Variant::fromText(kCrLf));
    }
    for (auto change = groupChanges_.cbegin(); change != groupChanges_.cend(); ++change) {
        changes_.insert({sCurGp_, change.key()}, change.value());
    }
    // The group's text goes back where reading took it from; its tags, the rest of the
    // opening tag's line and the closing tag's indentation stay as they are.
    const reads::Span group = putBackAt(sTxt_, sCurGp_, sGtx_);
    if (group.found == reads::Found::kPresent) {
        sTxt_ = sTxt_.left(group.start) + sGtx_ + sTxt_.mid(group.start + group.length);
        return;
    }
    const QString block = MakeTag(TagShape::kGroup, sCurGp_, Variant::fromText(sGtx_));
    const qsizetype rootEnd = sTxt_.indexOf(closingTag(kRoot));
    if (rootEnd >= 0) {
        sTxt_ = sTxt_.left(rootEnd) + block + sTxt_.mid(rootEnd);
        return;
    }
    // A document without the root's closing tag keeps all of its text; the group and
    // the closing tag follow it on lines of their own.
    if (!sTxt_.endsWith(QLatin1Char('\n'))) {
        sTxt_ += kCrLf;
    }
    sTxt_ += block + closingTag(kRoot);
}

void SettingsDocument::SetVal(const QString& sKy, const Variant& vVL) {
    const qsizetype opening = sGtx_.indexOf(openingTag(sKy));
    if (opening >= 0) {
        const qsizetype valueStart = opening + sKy.size() + 2;
        const qsizetype closing = sGtx_.indexOf(closingTag(sKy), valueStart);
        if (closing >= 0) {
            const QString text = vVL.toText();
            sGtx_ = sGtx_.left(valueStart) + text + sGtx_.mid(closing);
            groupChanges_.insert(sKy, text);
            return;
        }
    }
    // A new key line: what it reads back as is its text with the line marks made breaks.
    groupChanges_.insert(sKy, vVL.toText().replace(kLineMark, kCrLf));
    sGtx_ += MakeTag(TagShape::kKey, sKy, vVL);
}

QString SettingsDocument::GetTag(TagSource source, const QString& name) {
    const bool inDocument = source == TagSource::kGroupInDocument;
    const QString& text = inDocument ? sTxt_ : sGtx_;
    const reads::Span span =
        inDocument ? reads::groupSpan(text, name) : reads::valueSpan(text, name);
    if (span.found == reads::Found::kDamaged) {
        reportDamaged(name);
    }
    return span.found == reads::Found::kPresent ? text.mid(span.start, span.length) : QString();
}

QString SettingsDocument::MakeTag(TagShape shape, const QString& name, const Variant& value) {
    const QString text = value.toText();
    QString built;
    switch (shape) {
        case TagShape::kDocument:
            built = QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>") + kLineMark +
                    openingTag(name) + text + closingTag(name);
            break;
        case TagShape::kGroup:
            built = kGroupIndent + openingTag(name) + kLineMark + text + kGroupIndent +
                    closingTag(name) + kLineMark;
            break;
        case TagShape::kKey:
            built = kKeyIndent + openingTag(name) + text + closingTag(name) + kLineMark;
            break;
    }
    return built.replace(kLineMark, kCrLf);
}

void SettingsDocument::reportDamaged(const QString& name) {
    messages_.show(openingTag(name) + QStringLiteral(" の設定が読み込めません") +
                   QLatin1Char('\r') + QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + sTxtFl_ +
                   QStringLiteral(") が破損しています"));
}

}  // namespace velmar::settings_store
