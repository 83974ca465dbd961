// What Windows reads from velmar.exe (manifest, version information), file calls on paths
// past MAX_PATH, and notices in the notification area, under the Windows API itself (as
// Wine provides it when the tests run on Linux).
#include "platform/file_system.h"
#include "platform/native_parts.h"
#include "platform/win32_long_path.h"
#include "platform/win32_notification_area.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <vector>

namespace velmar::platform {
namespace {

QString programPath() {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath() +
                                    QStringLiteral("/velmar.exe"));
}

// --- velmar.exe's resources ------------------------------------------------------------

class ProgramResources : public testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibraryExW(reinterpret_cast<const wchar_t*>(programPath().utf16()), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << programPath().toStdString();
    }
    void TearDown() override {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    HMODULE module_ = nullptr;
};

BOOL CALLBACK countName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// One manifest, the one Windows reads when it starts a program (id 1), and well formed:
// Windows refuses to start a program whose manifest is not.
TEST_F(ProgramResources, ManifestDeclaresLongPathsDpiSystemsAndCommonControls) {
    int manifests = 0;
    EnumResourceNamesW(module_, RT_MANIFEST, countName, reinterpret_cast<LONG_PTR>(&manifests));
    EXPECT_EQ(manifests, 1);
    HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    const QByteArray text(static_cast<const char*>(LockResource(LoadResource(module_, found))),
                          SizeofResource(module_, found));

    QXmlStreamReader xml(text);
    QMap<QString, QString> settings;
    QSet<QString> systems;
    QStringList assemblies;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const QString name = xml.name().toString();
        if (name == QLatin1String("supportedOS")) {
            systems << xml.attributes().value(QLatin1String("Id")).toString();
        } else if (name == QLatin1String("assemblyIdentity")) {
            assemblies << xml.attributes().value(QLatin1String("name")).toString() +
                              QLatin1Char(' ') +
                              xml.attributes().value(QLatin1String("version")).toString();
        } else if (name == QLatin1String("longPathAware") || name == QLatin1String("dpiAware") ||
                   name == QLatin1String("dpiAwareness")) {
            settings[name] = xml.readElementText();
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(settings[QStringLiteral("longPathAware")], QStringLiteral("true"));
    EXPECT_EQ(settings[QStringLiteral("dpiAware")], QStringLiteral("true/pm"));
    EXPECT_EQ(settings[QStringLiteral("dpiAwareness")], QStringLiteral("PerMonitorV2, PerMonitor"));
    EXPECT_EQ(systems, (QSet<QString>{QStringLiteral("{e2011457-1546-43c5-a5fe-008deee3d3f0}"),
                                      QStringLiteral("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"),
                                      QStringLiteral("{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"),
                                      QStringLiteral("{1f676c76-80e1-4239-95bb-83d0f6d0da78}"),
                                      QStringLiteral("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}")}));
    EXPECT_TRUE(assemblies.contains(QStringLiteral("Microsoft.Windows.Common-Controls 6.0.0.0")));
}

// Explorer shows the Japanese block that the Translation value names.
TEST(ProgramVersion, DescribesTheProgramInJapanese) {
    const auto* path = reinterpret_cast<const wchar_t*>(programPath().utf16());
    std::vector<char> data(GetFileVersionInfoSizeW(path, nullptr));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(data.size()), data.data()));
    const auto value = [&data](const wchar_t* key) {
        void* text = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data.data(), key, &text, &length) || length == 0) {
            return QString();
        }
        return QString::fromWCharArray(static_cast<const wchar_t*>(text));
    };
    void* translation = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &translation, &size));
    ASSERT_EQ(size, 4U);
    EXPECT_EQ(static_cast<const WORD*>(translation)[0], 0x0411);
    EXPECT_EQ(static_cast<const WORD*>(translation)[1], 1200);
    EXPECT_EQ(value(L"\\StringFileInfo\\041104B0\\FileDescription"),
              QStringLiteral("画像編集ツール　プリント"));
    EXPECT_EQ(value(L"\\StringFileInfo\\041104B0\\ProductName"), QStringLiteral("Velmar"));
}

// --- paths past MAX_PATH ---------------------------------------------------------------

QString longName(QChar letter) {
    return QString(100, letter);
}

struct PathCase {
    const char* name;
    QString path;
    QString expected;
};

class Win32FilePath : public testing::TestWithParam<PathCase> {};

TEST_P(Win32FilePath, PrefixesOnlyPathsTooLongForTheClassicCalls) {
    EXPECT_EQ(win32FilePath(GetParam().path), GetParam().expected);
}

const QString kA = longName(QLatin1Char('a'));
const QString kB = longName(QLatin1Char('b'));
const QString kC = longName(QLatin1Char('c'));

INSTANTIATE_TEST_SUITE_P(
    Paths, Win32FilePath,
    testing::Values(
        PathCase{"Short", QStringLiteral("C:/data/Print Out.pdf"),
                 QStringLiteral(R"(C:\data\Print Out.pdf)")},
        PathCase{
            "LongDrive", QStringLiteral("C:/") + kA + QLatin1Char('/') + kB + QLatin1Char('/') + kC,
            QStringLiteral(R"(\\?\C:\)") + kA + QLatin1Char('\\') + kB + QLatin1Char('\\') + kC},
        PathCase{
            "LongWithDotsAndTrailingBlanks",
            QStringLiteral(R"(C:\)") + kA + QStringLiteral(R"(\.\x\..\)") + kB +
                QStringLiteral(". \\") + kC,
            QStringLiteral(R"(\\?\C:\)") + kA + QLatin1Char('\\') + kB + QLatin1Char('\\') + kC},
        PathCase{"LongUnc", QStringLiteral("//server/share/") + kA + QLatin1Char('/') + kB + kC,
                 QStringLiteral(R"(\\?\UNC\server\share\)") + kA + QLatin1Char('\\') + kB + kC},
        PathCase{"AlreadyExtended", QStringLiteral(R"(\\?\C:\)") + kA + kB + kC,
                 QStringLiteral(R"(\\?\C:\)") + kA + kB + kC}),
    [](const testing::TestParamInfo<PathCase>& info) { return info.param.name; });

// A folder, a file written whole, its listing and its lookup, all deeper than MAX_PATH.
TEST(Win32LongPaths, FilesPastMaxPathAreWrittenListedAndFound) {
    QTemporaryDir temporary;
    ASSERT_TRUE(temporary.isValid());
    const FileSystem files;
    QString folder = temporary.path();
    for (const QChar letter : {QLatin1Char('a'), QLatin1Char('b'), QLatin1Char('c')}) {
        folder += QLatin1Char('/') + longName(letter);
        files.createFolder(folder);
    }
    const QString file = folder + QStringLiteral("/User.xml");
    ASSERT_GT(QDir::toNativeSeparators(file).size(), MAX_PATH);
    TextWriter writer = files.openTextFileForWriting(file);
    writer.write(QStringLiteral("設定"));
    writer.close();

    EXPECT_EQ(files.fileNames(folder), QStringList{QStringLiteral("User.xml")});
    EXPECT_EQ(files.openTextFileForReading(file).readAll(), QStringLiteral("設定"));
    EXPECT_TRUE(makeNativeDirectoryLookup()->hasNormalEntry(QDir::toNativeSeparators(file)));
}

// --- notices in the notification area ---------------------------------------------------

struct IconCall {
    DWORD message;
    NOTIFYICONDATAW data;
};

class RecordingTrayCalls final : public TrayCalls {
  public:
    bool notifyIcon(DWORD message, const NOTIFYICONDATAW& data) override {
        calls.push_back({message, data});
        return accept;
    }
    void exploreFolder(const QString& folder) override { explored << folder; }

    [[nodiscard]] std::vector<DWORD> messages() const {
        std::vector<DWORD> result;
        for (const IconCall& call : calls) {
            result.push_back(call.message);
        }
        return result;
    }

    bool accept = true;
    std::vector<IconCall> calls;
    QStringList explored;
};

const QString kFolder = QStringLiteral(R"(C:\users\me\Ostrand\velmar)");

TEST(TrayNotice, ShowsTheBalloonWithTitleAndMessage) {
    RecordingTrayCalls calls;
    const TrayNotice notice(calls, QStringLiteral("PDF に印刷しました"),
                            kFolder + QStringLiteral(R"(\Print Out.pdf)"), kFolder);
    ASSERT_TRUE(notice.shown());
    ASSERT_EQ(calls.messages(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
    const NOTIFYICONDATAW& added = calls.calls[0].data;
    EXPECT_EQ(QString::fromWCharArray(added.szInfoTitle), QStringLiteral("PDF に印刷しました"));
    EXPECT_EQ(QString::fromWCharArray(added.szInfo), kFolder + QStringLiteral(R"(\Print Out.pdf)"));
    EXPECT_EQ(added.uFlags & (NIF_INFO | NIF_MESSAGE | NIF_ICON),
              static_cast<UINT>(NIF_INFO | NIF_MESSAGE | NIF_ICON));
    EXPECT_EQ(added.uCallbackMessage, kTrayCallbackMessage);
    EXPECT_NE(added.hIcon, nullptr);
    EXPECT_TRUE(IsWindow(added.hWnd));
    EXPECT_EQ(calls.calls[1].data.uVersion, static_cast<UINT>(NOTIFYICON_VERSION_4));
}

TEST(TrayNotice, LongMessageKeepsItsEnd) {
    RecordingTrayCalls calls;
    const QString path = QStringLiteral(R"(C:\)") + QString(300, QLatin1Char('x')) +
                         QStringLiteral(R"(\Print Out.pdf)");
    const TrayNotice notice(calls, QStringLiteral("PDF に印刷しました"), path, kFolder);
    const QString shown = QString::fromWCharArray(calls.calls.at(0).data.szInfo);
    EXPECT_EQ(shown.size(), 255);
    EXPECT_TRUE(shown.startsWith(QChar(0x2026)));
    EXPECT_TRUE(path.endsWith(shown.mid(1)));
}

struct IconEvent {
    const char* name;
    UINT event;
    bool opensFolder;
};

class TrayNoticeEvent : public testing::TestWithParam<IconEvent> {};

// What the shell reports ends the notice: the icon goes at once, and only a click opens
// the folder.
TEST_P(TrayNoticeEvent, RemovesTheIconAndOpensTheFolderOnAClick) {
    RecordingTrayCalls calls;
    int settled = 0;
    {
        const TrayNotice notice(calls, QStringLiteral("PDF に印刷しました"), QStringLiteral("x"),
                                kFolder, [&settled] { ++settled; });
        const HWND window = calls.calls.at(0).data.hWnd;
        SendMessageW(window, kTrayCallbackMessage, 0, MAKELPARAM(GetParam().event, 1));
        EXPECT_TRUE(notice.settled());
        EXPECT_EQ(calls.messages(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION, NIM_DELETE}));
    }
    EXPECT_EQ(calls.messages().size(), 3U) << "the icon is removed once";
    EXPECT_EQ(settled, 1);
    EXPECT_EQ(calls.explored, GetParam().opensFolder ? QStringList{kFolder} : QStringList{});
}

INSTANTIATE_TEST_SUITE_P(Events, TrayNoticeEvent,
                         testing::Values(IconEvent{"BalloonClicked", NIN_BALLOONUSERCLICK, true},
                                         IconEvent{"IconClicked", NIN_SELECT, true},
                                         IconEvent{"TimedOut", NIN_BALLOONTIMEOUT, false},
                                         IconEvent{"Closed", NIN_BALLOONHIDE, false}),
                         [](const testing::TestParamInfo<IconEvent>& info) {
                             return info.param.name;
                         });

// A notice still showing when it goes takes its icon with it; one the shell refused
// leaves nothing to remove.
TEST(TrayNotice, IconGoesWithTheNoticeAndOnlyIfItWasShown) {
    for (const bool accept : {true, false}) {
        RecordingTrayCalls calls;
        calls.accept = accept;
        {
            const TrayNotice notice(calls, QStringLiteral("t"), QStringLiteral("m"), kFolder);
            EXPECT_EQ(notice.shown(), accept);
            EXPECT_EQ(notice.settled(), !accept);
        }
        EXPECT_EQ(calls.messages(), accept
                                        ? (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION, NIM_DELETE})
                                        : std::vector<DWORD>{NIM_ADD});
    }
}

}  // namespace
}  // namespace velmar::platform
