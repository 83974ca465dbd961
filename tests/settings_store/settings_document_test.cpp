// The settings document on disk: exact bytes, edits that leave everything else alone,
// damaged and unreadable files, and values of every kind read back.
#include "settings_store/settings_document.h"
#include "doubles/platform_doubles.h"
#include "doubles/temp_home.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <random>
#include <utility>
#include <variant>

namespace velmar::settings_store {

// Failure messages show a variant as its kind and text.
static void PrintTo(const Variant& value, std::ostream* os) {
    *os << value.typeName().toStdString() << '(' << value.toText().toStdString() << ')';
}

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

const QString kHead = u("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n");
const QString kGroup = u("設定");
const QString kKey = u("保存");
// Code page 932 written out by hand, so that the encoding is checked too.
const QByteArray kEmptyBytes(
    "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<\x89\x5e\x97\x70>\r\n</\x89\x5e\x97\x70>");
const QByteArray kFirstSaveBytes(
    "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<\x89\x5e\x97\x70>\r\n"
    "   <\x90\xdd\x92\xe8>\r\n      <\x95\xdb\x91\xb6>0</\x95\xdb\x91\xb6>\r\n"
    "   </\x90\xdd\x92\xe8>\r\n</\x89\x5e\x97\x70>");

QString document(const QString& groups) {
    return kHead + groups + u("</運用>");
}
QString keyLine(const QString& key, const QString& value) {
    return u("      <%1>%2</%1>\r\n").arg(key, value);
}
QString group(const QString& name, const QString& lines) {
    return u("   <%1>\r\n%2   </%1>\r\n").arg(name, lines);
}
// The group 設定 with the given key lines.
QString settings(const QString& lines) {
    return group(kGroup, lines);
}

const Variant kDay = Variant::fromDate(QDateTime(QDate(2024, 2, 29), QTime(0, 0), Qt::UTC));
const Variant kMoment =
    Variant::fromDate(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58), Qt::UTC));

// A folder in memory where there is one: saving syncs the file, which on a disk makes
// the many saves of the tests below slow.
QString scratchTemplate() {
    const QString memory = u("/dev/shm");
    const QFileInfo info(memory);
    return (info.isDir() && info.isWritable() ? memory : QDir::tempPath()) + u("/velmar-XXXXXX");
}

class SettingsFile : public testing::Test {
  protected:
    [[nodiscard]] QString path(const char* name = "prefs.xml") const {
        return dir.filePath(u(name));
    }
    [[nodiscard]] SettingsDocument make() { return SettingsDocument(fs, messages); }
    [[nodiscard]] QByteArray bytes() const {
        QFile in(path());
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(unreadable)");
    }
    [[nodiscard]] QStringList files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    }
    // Loads prefs.xml (after writing text into it when given) and selects the group 設定.
    void load(SettingsDocument& doc, const std::optional<QString>& text = std::nullopt) {
        if (text) {
            test::writeFile(path(), platform::encodeAnsi(*text).value());
        }
        bool ok = false;
        doc.GetTxt(path(), ok);
        ASSERT_TRUE(ok);
        doc.GetGtx(kGroup);
    }
    // Sets one key of the current group and saves the document; tells SetTxt's bOk.
    static bool store(SettingsDocument& doc, const QString& key, const Variant& value,
                      bool ok = false) {
        doc.SetVal(key, value);
        doc.SetGtx();
        doc.SetTxt(ok);
        return ok;
    }

    QTemporaryDir dir{scratchTemplate()};
    platform::FileSystem fs;
    test::RecordingMessageBox messages;
};

TEST_F(SettingsFile, NewUserGetsAnEmptyFileThenTheEmptyDocumentThenSixLines) {
    SettingsDocument doc = make();
    load(doc);
    EXPECT_EQ(bytes(), QByteArray());
    EXPECT_EQ(doc.sTxt(), document({}));
    bool ok = false;
    doc.SetTxt(ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(bytes(), kEmptyBytes);
    EXPECT_EQ(bytes().size(), 60);
    EXPECT_TRUE(store(doc, kKey, Variant::fromInt16(0)));
    EXPECT_EQ(bytes(), kFirstSaveBytes);
    EXPECT_EQ(bytes().size(), 105);
    EXPECT_EQ(files(), QStringList{u("prefs.xml")});  // no temporary file left behind
}

TEST_F(SettingsFile, ChangingADigitChangesOnlyThatByteAndSavingItAgainNothing) {
    test::writeFile(path(), kFirstSaveBytes);
    SettingsDocument doc = make();
    load(doc);
    ASSERT_TRUE(store(doc, kKey, Variant::fromInt16(1)));
    QByteArray expected = kFirstSaveBytes;
    expected[kFirstSaveBytes.indexOf("0</")] = '1';
    EXPECT_EQ(bytes(), expected);
    SettingsDocument again = make();
    load(again);
    ASSERT_TRUE(store(again, kKey, Variant::fromText(u("1"))));
    EXPECT_EQ(bytes(), expected);
}

struct Edit {
    const char* name;
    QString before;  // the groups of the document
    QString group;
    QString key;
    QString value;
    QString after;
    QString readBack;  // read with the default "-"
};

class SettingsEdit : public SettingsFile, public testing::WithParamInterface<Edit> {};

TEST_P(SettingsEdit, ChangesOnlyWhatItShould) {
    const Edit& edit = GetParam();
    SettingsDocument doc = make();
    load(doc, document(edit.before));
    doc.GetGtx(edit.group);
    ASSERT_TRUE(store(doc, edit.key, Variant::fromText(edit.value)));
    EXPECT_EQ(bytes(), platform::encodeAnsi(document(edit.after)).value());
    SettingsDocument reread = make();
    load(reread);
    reread.GetGtx(edit.group);
    EXPECT_EQ(reread.vGtVal(edit.key, Variant::fromText(u("-"))).toText(), edit.readBack);
    EXPECT_TRUE(messages.shown.isEmpty());
}

const QString kSaved = settings(keyLine(u("保存"), u("0")));
const QString kNote = settings(keyLine(u("注記"), u("x")));
const QString kPrint = group(u("印刷"), keyLine(u("保存"), u("7")));

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsEdit,
    testing::Values(
        Edit{"GroupAfterTheLast", kSaved, u("印刷"), u("枚数"), u("3"),
             kSaved + group(u("印刷"), keyLine(u("枚数"), u("3"))), u("3")},
        Edit{"KeyAfterTheLast", kSaved, kGroup, u("幅"), u("10"),
             settings(keyLine(u("保存"), u("0")) + keyLine(u("幅"), u("10"))), u("10")},
        Edit{"IntoAnEmptyGroup", settings({}), kGroup, u("幅"), u("10"),
             settings(keyLine(u("幅"), u("10"))), u("10")},
        Edit{"OnlyTheNamedGroup", kPrint + kSaved, kGroup, u("保存"), u("1"),
             kPrint + settings(keyLine(u("保存"), u("1"))), u("1")},
        Edit{"NotTheKeyItIsThePrefixOf", settings(keyLine(u("保存先"), u("d"))), kGroup, u("保存"),
             u("1"), settings(keyLine(u("保存先"), u("d")) + keyLine(u("保存"), u("1"))), u("1")},
        Edit{"OtherLayoutKept", settings(u("<!-- メモ -->\r\n\t<幅>5</幅>  \r\n")) + u("\r\n"),
             kGroup, u("幅"), u("6"),
             settings(u("<!-- メモ -->\r\n\t<幅>6</幅>  \r\n")) + u("\r\n"), u("6")},
        Edit{"BlanksAndLineBreakKept", kNote, kGroup, u("注記"), u("  a\r\nb "),
             settings(keyLine(u("注記"), u("  a\r\nb "))), u("  a\r\nb ")},
        Edit{"DaggerInANewKeyBreaksTheLine", kSaved, kGroup, u("注記"), u("a‡b"),
             settings(keyLine(u("保存"), u("0")) + keyLine(u("注記"), u("a\r\nb"))), u("a\r\nb")},
        Edit{"DaggerInAnExistingKeyKept", kNote, kGroup, u("注記"), u("a‡b"),
             settings(keyLine(u("注記"), u("a‡b"))), u("a‡b")},
        Edit{"EmptyValueIsTwoTags", kSaved, kGroup, u("空"), QString(),
             settings(keyLine(u("保存"), u("0")) + keyLine(u("空"), QString())), u("-")}),
    [](const testing::TestParamInfo<Edit>& info) { return info.param.name; });

using GroupText = std::pair<QString, QString>;  // the groups, the text of the group 設定

class SettingsGroupText : public SettingsFile, public testing::WithParamInterface<GroupText> {};

TEST_P(SettingsGroupText, IsTheKeyLinesOfTheGroup) {
    SettingsDocument doc = make();
    load(doc, document(GetParam().first));
    EXPECT_EQ(doc.sCurGp(), kGroup);
    EXPECT_EQ(doc.sGtx(), GetParam().second);
    EXPECT_TRUE(messages.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsGroupText,
    testing::Values(GroupText{kSaved, keyLine(kKey, u("0"))}, GroupText{kPrint, {}},
                    GroupText{settings({}), {}}, GroupText{u("   <設定></設定>\r\n"), {}},
                    GroupText{u("<設定>\n<保存>0</保存>\n</設定>"), u("<保存>0</保存>\n")},
                    GroupText{u("<設定><保存>0</保存>\t</設定>"), u("<保存>0</保存>\t")},
                    GroupText{group(u("設定値"), keyLine(u("a"), u("1"))) + kSaved,
                              keyLine(kKey, u("0"))}));

using Damage = std::pair<QString, QString>;  // the groups, the group or key the message names

class SettingsDamaged : public SettingsFile, public testing::WithParamInterface<Damage> {};

TEST_P(SettingsDamaged, IsReportedAndReadsAsTheDefault) {
    SettingsDocument doc = make();
    load(doc, document(GetParam().first));
    EXPECT_EQ(doc.vGtVal(kKey, Variant::fromText(u("d"))).toText(), u("d"));
    EXPECT_EQ(messages.shown, QStringList{u("<") + GetParam().second +
                                          u("> の設定が読み込めません\rﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + path() +
                                          u(") が破損しています")});
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsDamaged,
                         testing::Values(Damage{u("   <設定>\r\n") + keyLine(kKey, u("0")), kGroup},
                                         Damage{keyLine(kKey, u("0")) + u("   </設定>\r\n"),
                                                kGroup},
                                         Damage{u("   </設定>\r\n   <設定>\r\n"), kGroup},
                                         Damage{settings(u("      <保存>0\r\n")), kKey},
                                         Damage{settings(u("      </保存>0<保存>\r\n")), kKey}));

// A damaged document as loaded, as saved with the mode 1 (the damaged text stays, a
// complete group block or key line is added beside it), and as saved once more.
struct DamagedSave {
    QString loaded;
    QString saved;
    std::optional<QString> savedAgain;  // nothing: not looked at
};

class SettingsDamagedSave : public SettingsFile, public testing::WithParamInterface<DamagedSave> {};

TEST_P(SettingsDamagedSave, KeepsTheDamagedTextAndAddsWhatIsWritten) {
    test::writeFile(path(), platform::encodeAnsi(document(GetParam().loaded)).value());
    const std::optional<QString> expected[] = {GetParam().saved, GetParam().savedAgain};
    for (const std::optional<QString>& saved : expected) {
        if (!saved) {
            continue;
        }
        SettingsDocument doc = make();
        load(doc);
        EXPECT_TRUE(store(doc, kKey, Variant::fromInt16(1)));
        EXPECT_EQ(platform::decodeAnsi(bytes()), document(*saved));
    }
    // Only reading met the damage; saving told nothing more.
    for (const QString& shown : std::as_const(messages.shown)) {
        EXPECT_TRUE(shown.endsWith(u(") が破損しています"))) << shown.toStdString();
    }
}

const QString kOpened = u("   <設定>\r\n");
const QString kStrayEnd = u("   </設定>\r\n");
const QString kOtherKey = keyLine(u("名前"), u("x"));
const QString kOne = settings(keyLine(kKey, u("1")));

// Once the group is whole, the first key of its name is the one read and changed.
INSTANTIATE_TEST_SUITE_P(Settings, SettingsDamagedSave,
                         testing::Values(DamagedSave{kOpened + keyLine(kKey, u("2")),
                                                     kOpened + keyLine(kKey, u("2")) + kOne,
                                                     kOpened + keyLine(kKey, u("1")) + kOne},
                                         DamagedSave{kStrayEnd, kStrayEnd + kOne, kStrayEnd + kOne},
                                         DamagedSave{kStrayEnd + settings(kOtherKey),
                                                     kStrayEnd + settings(kOtherKey) + kOne,
                                                     kStrayEnd + settings(kOtherKey) + kOne},
                                         DamagedSave{kStrayEnd + settings(keyLine(kKey, u("2"))),
                                                     kStrayEnd + kOne, kStrayEnd + kOne},
                                         DamagedSave{settings(u("      <保存>2\r\n") + kOtherKey),
                                                     settings(u("      <保存>2\r\n") + kOtherKey +
                                                              keyLine(kKey, u("1"))),
                                                     std::nullopt}));

TEST_F(SettingsFile, EmptyFirstLineIsReadWholeAndSavedUnchanged) {
    test::writeFile(path(), "\r\n" + kFirstSaveBytes);
    SettingsDocument doc = make();
    load(doc);
    EXPECT_EQ(doc.sTxt(), u("\r\n") + document(kSaved));
    EXPECT_EQ(doc.vGtVal(kKey, Variant::fromInt16(9)), Variant::fromDouble(0));
    EXPECT_TRUE(store(doc, kKey, Variant::fromInt16(0)));
    EXPECT_EQ(bytes(), "\r\n" + kFirstSaveBytes);
}

TEST_F(SettingsFile, LongTextBeforeTheGroupIsNoLimit) {
    const QString longText(40000, QChar(u'あ'));
    SettingsDocument doc = make();
    load(doc, document(group(u("前"), keyLine(u("長文"), longText)) + kSaved));
    EXPECT_EQ(doc.sGtx(), keyLine(kKey, u("0")));
    ASSERT_TRUE(store(doc, kKey, Variant::fromInt16(4)));
    SettingsDocument reread = make();
    load(reread);
    EXPECT_EQ(reread.vGtVal(kKey, Variant()), Variant::fromDouble(4));
    reread.GetGtx(u("前"));
    EXPECT_EQ(reread.vGtVal(u("長文"), Variant::fromText({})).toText(), longText);
}

TEST_F(SettingsFile, DocumentWithoutItsEndKeepsItsTextAndStaysReadable) {
    const QString truncated = kHead + group(u("A"), keyLine(u("k"), u("1")));
    SettingsDocument doc = make();
    load(doc, truncated);
    doc.GetGtx(u("B"));
    doc.SetVal(u("x"), Variant::fromText(u("2")));
    doc.SetGtx();
    qsizetype kept = 0;  // the old text must remain in order, character by character
    for (const QChar c : doc.sTxt()) {
        kept += kept < truncated.size() && truncated.at(kept) == c ? 1 : 0;
    }
    EXPECT_EQ(kept, truncated.size()) << doc.sTxt().toStdString();
    doc.GetGtx(u("A"));
    EXPECT_EQ(doc.vGtVal(u("k"), Variant()).toText(), u("1"));
    doc.GetGtx(u("B"));
    EXPECT_EQ(doc.vGtVal(u("x"), Variant()).toText(), u("2"));
    EXPECT_TRUE(messages.shown.isEmpty());
}

using Name = std::pair<const char*, const char*>;  // the name given, the file used

class SettingsDvName : public SettingsFile, public testing::WithParamInterface<Name> {};

TEST_P(SettingsDvName, LoadsTheFileWithoutTheDvEnding) {
    SettingsDocument doc = make();
    bool ok = false;
    doc.GetTxt(path(GetParam().first), ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(doc.sTxtFl(), path(GetParam().second));
    EXPECT_EQ(files(), QStringList{u(GetParam().second)});
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsDvName,
                         testing::Values(Name{"Prefs_dv.XML", "Prefs.xml"},
                                         Name{"a_DV.xml_DV.xml", "a.xml_DV.xml"},
                                         Name{"a_DV.txt", "a_DV.txt"}, Name{"a.xml", "a.xml"}));

class SettingsLoadFailure : public SettingsFile, public testing::WithParamInterface<const char*> {};

TEST_P(SettingsLoadFailure, FailsQuietlyWithNoText) {
    test::writeFile(path(), kFirstSaveBytes);
    test::writeFile(path("bad.xml"), QByteArray(kFirstSaveBytes).replace("0</", "\xff</"));
    QDir(dir.path()).mkdir(u("folder.xml"));
    SettingsDocument doc = make();
    load(doc);  // the text loaded before must not survive the failure
    bool ok = true;
    doc.GetTxt(path(GetParam()), ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(doc.sTxt(), QString());
    EXPECT_TRUE(messages.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsLoadFailure,
                         testing::Values("missing/prefs.xml", "folder.xml", "bad.xml"));

class SettingsUnencodable : public SettingsFile, public testing::WithParamInterface<const char*> {};

TEST_P(SettingsUnencodable, LeavesTheFileAsItWas) {
    test::writeFile(path(), kFirstSaveBytes);
    SettingsDocument doc = make();
    load(doc);
    EXPECT_FALSE(store(doc, kKey, Variant::fromText(u(GetParam())), true));
    EXPECT_EQ(bytes(), kFirstSaveBytes);
    EXPECT_EQ(files(), QStringList{u("prefs.xml")});
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsUnencodable, testing::Values("😀", "a€"));

TEST_F(SettingsFile, SavingIntoARemovedFolderFails) {
    QDir(dir.path()).mkdir(u("sub"));
    SettingsDocument doc = make();
    bool ok = false;
    doc.GetTxt(path("sub/prefs.xml"), ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(QDir(path("sub")).removeRecursively());
    doc.SetTxt(ok);
    EXPECT_FALSE(ok);
}

TEST_F(SettingsFile, WithoutLoadingNothingIsSavedAndOkStaysAsItWas) {
    SettingsDocument doc = make();
    doc.GetGtx(kGroup);
    EXPECT_TRUE(store(doc, kKey, Variant::fromInt16(0), true));
    EXPECT_FALSE(store(doc, kKey, Variant::fromInt16(0), false));
    EXPECT_EQ(platform::encodeAnsi(doc.sTxt()), kFirstSaveBytes);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

struct Stored {
    const char* name;
    std::optional<Variant> written;  // stored by SetVal and saved; else text put in the file
    QString text;
    Variant fallback;
    Variant expected;
};

class SettingsValue : public SettingsFile, public testing::WithParamInterface<Stored> {};

TEST_P(SettingsValue, ReadsAsTheKindOfTheDefault) {
    const Stored& stored = GetParam();
    SettingsDocument writer = make();
    if (stored.written) {
        load(writer);
        ASSERT_TRUE(store(writer, kKey, *stored.written));
    } else {
        load(writer, document(settings(keyLine(kKey, stored.text))));
    }
    SettingsDocument doc = make();
    load(doc);
    const Variant read = doc.vGtVal(kKey, stored.fallback);
    const float* single = stored.written ? std::get_if<float>(&stored.written->value()) : nullptr;
    if (single != nullptr) {
        ASSERT_TRUE(std::holds_alternative<double>(read.value())) << read.typeName().toStdString();
        EXPECT_EQ(static_cast<float>(std::get<double>(read.value())), *single);
    } else {
        EXPECT_EQ(read, stored.expected);
    }
}

Stored text(const char* name, const char* stored, const Variant& fallback, const Variant& read) {
    return {name, std::nullopt, u(stored), fallback, read};
}
Stored saved(const char* name, const Variant& written, const Variant& fallback,
             const Variant& read) {
    return {name, written, {}, fallback, read};
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsValue,
    testing::Values(
        saved("Text", Variant::fromText(u("日本語 ｶﾅ ")), Variant::fromText(u("d")),
              Variant::fromText(u("日本語 ｶﾅ "))),
        saved("True", Variant::fromBool(true), Variant::fromBool(false), Variant::fromBool(true)),
        saved("False", Variant::fromBool(false), Variant::fromBool(true), Variant::fromBool(false)),
        saved("Int16", Variant::fromInt16(-5), Variant::fromInt16(7), Variant::fromDouble(-5)),
        saved("Int32", Variant::fromInt32(100000), Variant(), Variant::fromDouble(100000)),
        saved("Single", Variant::fromSingle(0.1F), Variant::fromSingle(0), {}),
        saved("Third", Variant::fromDouble(1.0 / 3.0), Variant::fromDouble(0),
              Variant::fromDouble(1.0 / 3.0)),
        saved("Day", kDay, kMoment, kDay), saved("Moment", kMoment, kDay, kMoment),
        saved("Empty", Variant(), Variant::fromInt16(7), Variant::fromInt16(7)),
        text("EmptyForInt16", "", Variant::fromInt16(7), Variant::fromInt16(7)),
        text("NumberForInt16", "2", Variant::fromInt16(7), Variant::fromDouble(2)),
        text("NoNumberIsZero", "abc", Variant::fromInt16(7), Variant::fromDouble(0)),
        text("TrailingJunk", " 1 2x", Variant::fromInt32(1), Variant::fromDouble(12)),
        text("NumberForEmpty", "1.5", Variant(), Variant::fromDouble(1.5)),
        text("EmptyForEmpty", "", Variant(), Variant()),
        text("EmptyText", "", Variant::fromText(u("d")), Variant::fromText(u("d"))),
        text("BlankText", "  ", Variant::fromText(u("d")), Variant::fromText(u("  "))),
        text("Zero", "0", Variant::fromBool(true), Variant::fromBool(false)),
        text("MixedCaseTrue", "tRUE", Variant::fromBool(false), Variant::fromBool(true)),
        text("MinusTwo", "-2", Variant::fromBool(false), Variant::fromBool(true)),
        text("EmptyBool", "", Variant::fromBool(true), Variant::fromBool(true)),
        text("NoDate", "abc", kDay, kDay), text("EmptyDate", "", kDay, kDay)),
    [](const testing::TestParamInfo<Stored>& info) { return info.param.name; });

TEST_F(SettingsFile, WordThatIsNoTruthValueFails) {
    SettingsDocument doc = make();
    load(doc, document(settings(keyLine(kKey, u("abc")))));
    EXPECT_THROW((void)doc.vGtVal(kKey, Variant::fromBool(true)), Error);
}

// What every group and key named in a document reads as: the text and the number of
// messages shown. The root and values that hold tags (groups read as keys) are left out.
using Reads = std::map<std::pair<QString, QString>, QString>;

QStringList tagNames(const QString& text) {
    static const QRegularExpression tag(u("</?([^<>/]*)>"));
    QStringList names;
    for (const QRegularExpressionMatch& match : tag.globalMatch(text)) {
        names << match.captured(1);
    }
    names.removeDuplicates();
    return names;
}

// True when every tag of before stands in after, in the same order.
bool keepsEveryTag(const QString& before, const QString& after) {
    static const QRegularExpression tag(u("<[^<>]*>"));
    QRegularExpressionMatchIterator kept = tag.globalMatch(after);
    for (const QRegularExpressionMatch& match : tag.globalMatch(before)) {
        do {
            if (!kept.hasNext()) {
                return false;
            }
        } while (kept.next().captured() != match.captured());
    }
    return true;
}

class SettingsRewrite : public SettingsFile {
  protected:
    Reads readAll(const QString& file, const QStringList& names) {
        SettingsDocument doc = make();
        bool ok = false;
        doc.GetTxt(file, ok);
        Reads reads;
        for (const QString& group : names) {
            for (const QString& key : names) {
                const qsizetype shown = messages.shown.size();
                doc.GetGtx(group);
                const QString text = doc.vGtVal(key, Variant::fromText(u("\u0001"))).toText();
                if (group != u("運用") && !text.contains(u'<')) {
                    reads[{group, key}] = text + QString::number(messages.shown.size() - shown);
                }
            }
        }
        return reads;
    }
    // Saves the mode into the document as shut-down does. Either the file stays as it was
    // and the user is told once, or every other key reads as before and the mode reads
    // back, but for reads that met damaged tags. Tells whether it was saved.
    bool savesSafely(const QByteArray& original, std::int16_t mode) {
        SCOPED_TRACE(original.toStdString());
        test::writeFile(path(), original);
        SettingsDocument doc = make();
        bool ok = false;
        doc.GetTxt(path(), ok);
        if (!ok) {
            return false;  // no document the store can read
        }
        const QString before = doc.sTxt();
        doc.GetGtx(kGroup);
        doc.SetVal(kKey, Variant::fromInt16(mode));
        doc.SetGtx();
        messages.shown.clear();
        doc.SetTxt(ok);
        if (!ok) {
            EXPECT_EQ(bytes(), original);
            EXPECT_EQ(messages.shown.size(), 1);
            EXPECT_TRUE(messages.shown.value(0).contains(path()));
            return false;
        }
        test::writeFile(path("old.xml"), original);
        SettingsDocument saved = make();
        load(saved);
        const QStringList names = tagNames(before) + tagNames(saved.sTxt());
        const Reads was = readAll(path("old.xml"), names);
        const Reads now = readAll(path(), names);
        // Reads that met damaged tags (they end in the number of messages, 1) were
        // defaults; saving may add beside them what they lacked.
        const auto damaged = [&was](const std::pair<QString, QString>& at) {
            const auto read = was.find(at);
            return read != was.end() && !read->second.endsWith(u'0');
        };
        for (const auto& [at, text] : was) {
            const auto read = now.find(at);
            if (at != std::pair{kGroup, kKey} && read != now.end() && !damaged(at)) {
                EXPECT_EQ(read->second, text)
                    << at.first.toStdString() << '/' << at.second.toStdString() << " in "
                    << saved.sTxt().toStdString();
            }
        }
        EXPECT_TRUE(keepsEveryTag(before, saved.sTxt())) << saved.sTxt().toStdString();
        if (!damaged({kGroup, kKey})) {
            saved.GetGtx(kGroup);
            EXPECT_EQ(saved.vGtVal(kKey, Variant()), Variant::fromDouble(mode))
                << saved.sTxt().toStdString();
        }
        return true;
    }
};

TEST_F(SettingsRewrite, OtherLayoutsKeepEveryOtherKeyAndTheModeReadsBack) {
    const QString plain =
        u("<設定>\r\n<保存>1</保存>\r\n<名前>x</名前>\r\n</設定>\r\n<印刷>\r\n"
          "<枚数>3</枚数>\r\n</印刷>\r\n");
    const QString tabs = u("\t<設定>\r\n\t\t<名前>x</名前>\r\n\t</設定>\r\n");
    const QString lines = group(u("印刷"), keyLine(u("保存"), u("7"))) + kNote;
    const std::pair<QString, bool> cases[] = {
        {document(plain), true},
        {document(tabs), true},
        {QString(document(lines)).replace(u("\r\n"), u("\n")), true},
        {QString(document(lines)).remove(u("\r\n")).remove(u("   ")), true},
        {document(u("   <設定></設定>\r\n") + kNote + kSaved), true},
        {document(kNote + lines), true},
        {u("<設定></設定>"), true},
        {document(u("   </設定>\r\n   <設定>\r\n") + keyLine(u("名前"), u("x"))), true},
    };
    for (const auto& [text, saves] : cases) {
        EXPECT_EQ(savesSafely(platform::encodeAnsi(text).value(), 2), saves);
    }
}

TEST_F(SettingsRewrite, RandomDocumentsKeepEveryOtherKeyOrStayUntouched) {
    std::mt19937 random(20261207);
    const auto pick = [&random](const QStringList& from) {
        return from.at(std::uniform_int_distribution<qsizetype>(0, from.size() - 1)(random));
    };
    const QStringList names{u("設定"), u("保存"), u("名前"), u("印刷"), u("運用")};
    const QStringList blanks{QString(), u("   "), u("\t"), u("\r\n"), u("\n"), u(" \r\n   ")};
    const QStringList values{QString(), u("0"), u("12"), u("x y"), u("あ"), u("‡"), u("<"), u(">")};
    int saved = 0;
    for (int round = 0; round < 600; ++round) {
        QString text = round % 3 == 0 ? u("<?xml version='1.0' ?>\r\n<運用>") : QString();
        for (int piece = std::uniform_int_distribution(0, 24)(random); piece > 0; --piece) {
            const QString name = pick(names);
            switch (std::uniform_int_distribution(0, 3)(random)) {
                case 0:
                    text += u("<") + name + u(">") + pick(blanks);
                    break;
                case 1:
                    text += u("</") + name + u(">") + pick(blanks);
                    break;
                case 2:
                    text += pick(values);
                    break;
                default:
                    text += u("<%1>%2</%1>").arg(name, pick(values)) + pick(blanks);
            }
        }
        QByteArray bytes =
            platform::encodeAnsi(text + (round % 3 == 0 ? u("</運用>") : QString())).value();
        if (round % 5 == 4 && !bytes.isEmpty()) {  // one byte anything at all
            bytes[std::uniform_int_distribution<qsizetype>(0, bytes.size() - 1)(random)] =
                static_cast<char>(std::uniform_int_distribution(0, 255)(random));
        }
        saved += savesSafely(bytes, static_cast<std::int16_t>(round % 3)) ? 1 : 0;
    }
    EXPECT_GT(saved, 200);  // a writer that always refuses fails here
}

}  // namespace
}  // namespace velmar::settings_store
