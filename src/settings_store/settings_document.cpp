#include "settings_store/settings_store.h"

#include <algorithm>
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

}  // namespace

SettingsDocument::SettingsDocument(std::function<platform::FileSystem&()> fileSystem,
                                   platform::MessageBox& messages)
    : fileSystem_(std::move(fileSystem)), messages_(messages) {}

void SettingsDocument::GetTxt(const QString& sFL, bool& bOk) {
    sTxt_.clear();
    sTxtFl_ = resolvedPath(sFL);
    try {
        const platform::FileSystem& files = fileSystem_();
        if (files.FileExists(sTxtFl_)) {
            platform::TextReader reader = files.OpenTextFileForReading(sTxtFl_);
            // Only a file without any content counts as empty; one that starts with a
            // line break is read whole, so that saving never drops what it holds.
            if (!reader.AtEndOfStream()) {
                sTxt_ = reader.ReadAll();
            }
            reader.Close();
        } else {
            files.CreateEmptyTextFile(sTxtFl_);
        }
        if (sTxt_.isEmpty()) {
            sTxt_ = MakeTag(0, kRoot, Variant::fromText(kCrLf));
        }
        bOk = true;
    } catch (const std::exception&) {
        bOk = false;
    }
}

void SettingsDocument::GetGtx(const QString& sGp) {
    sCurGp_ = sGp;
    sGtx_ = GetTag(0, sGp);
}

Variant SettingsDocument::vGtVal(const QString& sKy, const Variant& vDef) {
    const QString kind = vDef.typeName().toLower();
    if (kind == QLatin1String("string")) {
        const QString text = GetTag(1, sKy);
        return text.isEmpty() ? vDef : Variant::fromText(text);
    }
    if (kind == QLatin1String("boolean")) {
        QString text = GetTag(1, sKy);
        if (text.isEmpty()) {
            text = vDef.toText();
        }
        return Variant::fromBool(readBool(text));
    }
    if (kind == QLatin1String("date")) {
        Variant result = vDef;
        try {
            if (const std::optional<QDateTime> date = readDate(GetTag(1, sKy))) {
                result = Variant::fromDate(*date);
            }
        } catch (const std::exception&) {
            // A date that cannot be read leaves the default.
        }
        return result;
    }
    const QString text = GetTag(1, sKy);
    return text.isEmpty() ? vDef : Variant::fromDouble(readNumber(text));
}

void SettingsDocument::SetTxt(bool& bOk) const {
    if (sTxtFl_.isEmpty()) {
        return;
    }
    try {
        platform::TextWriter writer = fileSystem_().OpenTextFileForWriting(sTxtFl_);
        writer.Write(sTxt_);
        writer.Close();
        bOk = true;
    } catch (const std::exception&) {
        bOk = false;
    }
}

void SettingsDocument::SetGtx() {
    if (sTxt_.isEmpty()) {
        sTxt_ = MakeTag(0, kRoot, Variant::fromText(kCrLf));
    }
    const qsizetype opening = sTxt_.indexOf(openingTag(sCurGp_));
    if (opening >= 0) {
        // The opening tag and the line break after it stay as they are.
        const qsizetype kept = opening + sCurGp_.size() + 4;
        const qsizetype closing = sTxt_.indexOf(closingTag(sCurGp_), kept);
        if (closing >= 0) {
            sTxt_ = sTxt_.left(kept) + sGtx_ + kGroupIndent + sTxt_.mid(closing);
            return;
        }
    }
    const QString block = MakeTag(1, sCurGp_, Variant::fromText(sGtx_));
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
            sGtx_ = sGtx_.left(valueStart) + vVL.toText() + sGtx_.mid(closing);
            return;
        }
    }
    sGtx_ += MakeTag(2, sKy, vVL);
}

QString SettingsDocument::GetTag(std::int16_t mode, const QString& name) {
    const QString& source = mode == 0 ? sTxt_ : sGtx_;
    if (source.isEmpty()) {
        return {};
    }
    const qsizetype opening = source.indexOf(openingTag(name));
    const qsizetype closing = source.indexOf(closingTag(name));
    if (opening < 0 && closing < 0) {
        return {};
    }
    if (opening < 0 || closing < 0 || opening > closing) {
        reportDamaged(name);
        return {};
    }
    const qsizetype contentStart = opening + name.size() + 2;
    if (mode == 0) {
        // A group's key lines: without the line break after the opening tag and the
        // indentation before the closing tag.
        const qsizetype length = closing - contentStart - 5;
        return length > 0 ? source.mid(contentStart + 2, length) : QString();
    }
    return source.mid(contentStart, std::max<qsizetype>(0, closing - contentStart));
}

QString SettingsDocument::MakeTag(std::int16_t mode, const QString& name, const Variant& value) {
    const QString text = value.toText();
    QString built;
    switch (mode) {
        case 0:
            built = QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>") + kLineMark +
                    openingTag(name) + text + closingTag(name);
            break;
        case 1:
            built = kGroupIndent + openingTag(name) + kLineMark + text + kGroupIndent +
                    closingTag(name) + kLineMark;
            break;
        case 2:
            built = kKeyIndent + openingTag(name) + text + closingTag(name) + kLineMark;
            break;
        default:
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
