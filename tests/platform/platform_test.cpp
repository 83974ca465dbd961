#include "platform/platform.h"
#include "doubles/temp_home.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <optional>

namespace velmar::platform {
namespace {

TEST(HeadlessMessageBox, WritesTheTextToStandardErrorWithLineBreaks) {
    ASSERT_TRUE(isHeadless());
    const NativeServices native;
    testing::internal::CaptureStderr();
    native.services().messages.show(QStringLiteral("一行目\r二行目"));
    EXPECT_EQ(QString::fromLocal8Bit(testing::internal::GetCapturedStderr()),
              QStringLiteral("Velmar: 一行目\n二行目\n"));
}

struct AnsiText {
    const char* name;
    QString text;
    const char* bytes;
};

class AnsiRoundTrip : public testing::TestWithParam<AnsiText> {};

TEST_P(AnsiRoundTrip, EncodesAndDecodesCodePage932) {
    const QString& text = GetParam().text;
    const QByteArray bytes(GetParam().bytes);
    EXPECT_EQ(encodeAnsi(text), std::optional<QByteArray>(bytes));
    EXPECT_EQ(decodeAnsi(bytes), std::optional<QString>(text));
}

INSTANTIATE_TEST_SUITE_P(
    Characters, AnsiRoundTrip,
    testing::Values(AnsiText{"DoubleDagger", QStringLiteral("‡"), "\x81\xf6"},
                    AnsiText{"IdeographicSpace", "\u3000", "\x81\x40"},
                    AnsiText{"HalfWidthKatakana", QStringLiteral("ﾕｰｻﾞｰ"), "\xd5\xb0\xbb\xde\xb0"},
                    AnsiText{"FullWidthTilde", "\uff5e", "\x81\x60"},
                    AnsiText{"KanjiAndLineBreak", QStringLiteral("定義\r\n"),
                             "\x92\xe8\x8b\x60\r\n"}),
    [](const testing::TestParamInfo<AnsiText>& info) { return info.param.name; });

// Text that code page 932 cannot hold, or bytes that are not its text, give nothing.
struct Refused {
    const char* text;   // UTF-8, given to encodeAnsi
    const char* bytes;  // given to decodeAnsi
};

class AnsiRefusal : public testing::TestWithParam<Refused> {};

TEST_P(AnsiRefusal, GivesNothingRatherThanAReplacement) {
    EXPECT_EQ(encodeAnsi(QString::fromUtf8(GetParam().text)), std::nullopt) << GetParam().text;
    EXPECT_EQ(decodeAnsi(QByteArray(GetParam().bytes)), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Values, AnsiRefusal,
                         testing::Values(Refused{"€", "abc\x82"}, Refused{"a😀", "\x82"},
                                         Refused{"\u301c", "\xff"},
                                         Refused{"ok\u00e9", "\x81\x20"}));

// An existing file and a writer replacing it.
struct Writing {
    const char* name;
    QString text;
    const char* unencodable;  // written after text when not nullptr
    bool close;
    const char* result;
};

class TextWriterReplacement : public testing::TestWithParam<Writing> {};

TEST_P(TextWriterReplacement, ReplacesTheFileOnlyOnClose) {
    const test::TempHome home;
    const QString path = home.filePath(QStringLiteral("settings.txt"));
    test::writeFile(path, "old\r\n");
    const auto contents = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    };
    {
        TextWriter writer = FileSystem().openTextFileForWriting(path);
        writer.write(GetParam().text);
        if (GetParam().unencodable != nullptr) {
            EXPECT_THROW(writer.write(QString::fromUtf8(GetParam().unencodable)), Error);
        }
        EXPECT_EQ(contents(), QByteArray("old\r\n"));
        if (GetParam().close) {
            try {
                writer.close();
            } catch (const Error&) {  // refusing to replace is right after a failed Write
                EXPECT_NE(GetParam().unencodable, nullptr);
            }
        }
    }
    EXPECT_EQ(contents(), QByteArray(GetParam().result));
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files),
              QStringList{QStringLiteral("settings.txt")});
}

INSTANTIATE_TEST_SUITE_P(
    Writers, TextWriterReplacement,
    testing::Values(Writing{"Closed", QStringLiteral("データ\r\n"), nullptr, true,
                            "\x83\x66\x81\x5b\x83\x5e\r\n"},
                    Writing{"NotClosed", "new", nullptr, false, "old\r\n"},
                    Writing{"Unencodable", "new", "€", false, "old\r\n"},
                    Writing{"UnencodableThenClosed", "new", "€", true, "old\r\n"}),
    [](const testing::TestParamInfo<Writing>& info) { return info.param.name; });

struct Reading {
    const char* name;
    const char* bytes;
    bool atEndOfLine;
    bool atEndOfStream;
};

class TextReaderStart : public testing::TestWithParam<Reading> {};

TEST_P(TextReaderStart, TellsAnEmptyFirstLine) {
    const test::TempHome home;
    const QString path = home.filePath(QStringLiteral("UserData.ini"));
    test::writeFile(path, GetParam().bytes);
    const TextReader reader = FileSystem().openTextFileForReading(path);
    EXPECT_EQ(reader.atEndOfLine(), GetParam().atEndOfLine);
    EXPECT_EQ(reader.atEndOfStream(), GetParam().atEndOfStream);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TextReaderStart,
    testing::Values(Reading{"Empty", "", true, true}, Reading{"CrLfFirst", "\r\nx", true, false},
                    Reading{"LfFirst", "\nx", true, false}, Reading{"Text", "x", false, false}),
    [](const testing::TestParamInfo<Reading>& info) { return info.param.name; });

TEST(TextReader, RefusesBytesThatAreNotShiftJis) {
    const test::TempHome home;
    const QString bad = home.filePath(QStringLiteral("bad.ini"));
    test::writeFile(bad, "ab\xff\r\n");
    TextReader reader = FileSystem().openTextFileForReading(bad);
    EXPECT_THROW(reader.readAll(), Error);
}

TEST(FileSystemFolders, CreateFolderNeedsAParentAndNoEntry) {
    const test::TempHome home;
    const FileSystem files;
    const QString made = home.filePath(QStringLiteral("made"));
    files.createFolder(made);
    EXPECT_TRUE(files.folderExists(made));
    EXPECT_THROW(files.createFolder(made), Error);
    EXPECT_THROW(files.createFolder(home.filePath(QStringLiteral("none/sub"))), Error);
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("none"))));
}

TEST(FileSystemFolders, FileNamesListsFilesOnly) {
    const test::TempHome home;
    test::writeFile(home.filePath(QStringLiteral("b.jpg")), "x");
    test::writeFile(home.filePath(QStringLiteral("a.ini")), "x");
    test::writeFile(home.filePath(QStringLiteral(".hidden.jpg")), "x");
    test::writeFile(home.filePath(QStringLiteral("folder/inner.jpg")), "x");
    QStringList expected{QStringLiteral(".hidden.jpg"), QStringLiteral("a.ini"),
                         QStringLiteral("b.jpg")};
#ifndef Q_OS_WIN
    // A link counts as what it points to.
    ASSERT_TRUE(QFile::link(home.filePath(QStringLiteral("folder")),
                            home.filePath(QStringLiteral("linked folder"))));
    ASSERT_TRUE(QFile::link(home.filePath(QStringLiteral("b.jpg")),
                            home.filePath(QStringLiteral("linked.jpg"))));
    expected << QStringLiteral("linked.jpg");
#endif
    QStringList names = FileSystem().fileNames(home.path());
    names.sort();
    EXPECT_EQ(names, expected);
    EXPECT_THROW(static_cast<void>(FileSystem().fileNames(home.filePath(QStringLiteral("none")))),
                 Error);
}

// Half-written files of killed runs go once they are old; a young one may be in use. Other
// programs' hidden temporaries stay whatever their name or age.
TEST(FileSystemFolders, RemovesOnlyTheProgramsOwnAbandonedTemporaries) {
    const test::TempHome home;
    const QDateTime hourAgo = QDateTime::currentDateTimeUtc().addSecs(-3600);
    const QString young = newTemporaryName();
    const QStringList names{".velmar-00112233445566ff.tmp",
                            young,
                            ".velmar-0011.tmp",
                            ".thesis.docx.tmp",
                            ".video.mp4.part",
                            "User.xml",
                            ".hidden"};
    for (const QString& name : names) {
        QFile file(home.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        if (name != young) {
            ASSERT_TRUE(file.setFileTime(hourAgo, QFileDevice::FileModificationTime));
        }
    }
    FileSystem().removeAbandonedTemporaries(home.path());
    QStringList left = QDir(home.path()).entryList(QDir::Files | QDir::Hidden);
    QStringList expected = names.mid(1);
    left.sort();
    expected.sort();
    EXPECT_EQ(left, expected);
}

}  // namespace
}  // namespace velmar::platform
