// What Windows reads from velmar.exe, file calls past MAX_PATH and notices in the
// notification area, under the Windows API itself (Wine's, when the tests run on Linux).
#include "platform/file_system.h"
#include "platform/native_parts.h"
#include "platform/win32_long_path.h"
#include "platform/win32_notification_area.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace velmar::platform {
namespace {

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

QString programPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/velmar.exe");
}

// One manifest, the one Windows reads at start (id 1), well formed: Windows refuses to
// start a program whose manifest is not.
TEST(ProgramResources, ManifestDeclaresLongPathsDpiSystemsAndCommonControls) {
    const HMODULE module =
        LoadLibraryExW(wide(QDir::toNativeSeparators(programPath())), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    int manifests = 0;
    EnumResourceNamesW(
        module, RT_MANIFEST,
        [](HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) -> BOOL {
            return ++*reinterpret_cast<int*>(count) > 0;
        },
        reinterpret_cast<LONG_PTR>(&manifests));
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    const QByteArray text(static_cast<const char*>(LockResource(LoadResource(module, found))),
                          SizeofResource(module, found));
    FreeLibrary(module);
    EXPECT_EQ(manifests, 1);

    QXmlStreamReader xml(text);
    while (!xml.atEnd()) {
        xml.readNext();
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    for (const char* expected :
         {">true</longPathAware>", ">true/pm</dpiAware>",
          ">PerMonitorV2, PerMonitor</dpiAwareness>", "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
          "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
          "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
          R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"}) {
        EXPECT_TRUE(text.contains(expected)) << expected;
    }
}

// Explorer shows the Japanese block that the Translation value names.
TEST(ProgramResources, VersionDescribesTheProgramInJapanese) {
    std::vector<char> data(GetFileVersionInfoSizeW(wide(programPath()), nullptr));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(
        GetFileVersionInfoW(wide(programPath()), 0, static_cast<DWORD>(data.size()), data.data()));
    const auto value = [&data](const wchar_t* key) {
        void* found = nullptr;
        UINT length = 0;
        return VerQueryValueW(data.data(), key, &found, &length) ? found : nullptr;
    };
    const auto* translation = static_cast<const WORD*>(value(L"\\VarFileInfo\\Translation"));
    ASSERT_NE(translation, nullptr);
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 1200);
    const auto* description = value(L"\\StringFileInfo\\041104B0\\FileDescription");
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(QString::fromWCharArray(static_cast<const wchar_t*>(description)),
              QStringLiteral("画像編集ツール　プリント"));
}

// --- paths past MAX_PATH ---------------------------------------------------------------

const QString kA(100, QLatin1Char('a'));
const QString kB(100, QLatin1Char('b'));

class Win32FilePath : public testing::TestWithParam<std::pair<QString, QString>> {};

TEST_P(Win32FilePath, PrefixesOnlyPathsTooLongForTheClassicCalls) {
    EXPECT_EQ(win32FilePath(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Win32FilePath,
    testing::Values(std::pair(QStringLiteral("C:/data/Print Out.pdf"),
                              QStringLiteral(R"(C:\data\Print Out.pdf)")),
                    std::pair(QStringLiteral("C:/") + kA + QStringLiteral("/./x/../") + kB +
                                  QStringLiteral(". /") + kA,
                              QStringLiteral(R"(\\?\C:\)") + kA + QLatin1Char('\\') + kB +
                                  QLatin1Char('\\') + kA),
                    std::pair(QStringLiteral("//server/share/") + kA + QLatin1Char('/') + kB + kA,
                              QStringLiteral(R"(\\?\UNC\server\share\)") + kA + QLatin1Char('\\') +
                                  kB + kA),
                    std::pair(QStringLiteral(R"(\\?\C:\)") + kA + kB + kA,
                              QStringLiteral(R"(\\?\C:\)") + kA + kB + kA)));

// A folder, a file written whole, its listing and its lookup, all deeper than MAX_PATH.
TEST(Win32LongPaths, FilesPastMaxPathAreWrittenListedAndFound) {
    QTemporaryDir temporary;
    const FileSystem files;
    const QString folder = temporary.path() + QLatin1Char('/') + kA + QLatin1Char('/') + kB;
    files.createFolder(temporary.path() + QLatin1Char('/') + kA);
    files.createFolder(folder);
    const QString file = folder + QLatin1Char('/') + kA;
    ASSERT_GT(file.size(), MAX_PATH);
    TextWriter writer = files.openTextFileForWriting(file);
    writer.write(QStringLiteral("設定"));
    writer.close();

    EXPECT_EQ(files.fileNames(folder), QStringList{kA});
    EXPECT_EQ(files.openTextFileForReading(file).readAll(), QStringLiteral("設定"));
    EXPECT_TRUE(makeNativeDirectoryLookup()->hasNormalEntry(file));
}

// --- notices in the notification area ---------------------------------------------------

class RecordingTrayCalls final : public TrayCalls {
  public:
    bool notifyIcon(DWORD message, const NOTIFYICONDATAW& data) override {
        messages.push_back(message);
        sent.push_back(data);
        return true;
    }
    void exploreFolder(const QString& folder) override { explored << folder; }

    std::vector<DWORD> messages;
    std::vector<NOTIFYICONDATAW> sent;
    QStringList explored;
};

const QString kFolder = QStringLiteral(R"(C:\users\me\Ostrand\velmar)");
const QString kTitle = QStringLiteral("PDF に印刷しました");

// The balloon carries title and message; a message too long for it keeps its end, where
// a path has its file name. A notice still showing takes its icon with it when it goes.
TEST(TrayNotice, ShowsTheBalloonWithTitleAndMessage) {
    RecordingTrayCalls calls;
    const QString path =
        kFolder + QLatin1Char('\\') + kA + kB + kA + QStringLiteral(R"(\Print Out.pdf)");
    { const TrayNotice notice(calls, kTitle, path, kFolder); }
    ASSERT_EQ(calls.messages, (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION, NIM_DELETE}));
    const NOTIFYICONDATAW& added = calls.sent[0];
    EXPECT_EQ(QString::fromWCharArray(added.szInfoTitle), kTitle);
    EXPECT_EQ(QString::fromWCharArray(added.szInfo), QChar(0x2026) + path.right(254));
    EXPECT_EQ(added.uFlags & (NIF_INFO | NIF_MESSAGE), static_cast<UINT>(NIF_INFO | NIF_MESSAGE));
    EXPECT_EQ(added.uCallbackMessage, kTrayCallbackMessage);
    EXPECT_EQ(calls.sent[1].uVersion, static_cast<UINT>(NOTIFYICON_VERSION_4));
}

struct IconEvent {
    UINT event;
    bool opensFolder;
};

class TrayNoticeEvent : public testing::TestWithParam<IconEvent> {};

// What the shell reports ends the notice: the icon goes at once, only a click opens the
// folder, and the icon is not removed again when the notice goes.
TEST_P(TrayNoticeEvent, RemovesTheIconAndOpensTheFolderOnAClick) {
    RecordingTrayCalls calls;
    int settled = 0;
    {
        const TrayNotice notice(calls, kTitle, QStringLiteral("x"), kFolder, [&] { ++settled; });
        SendMessageW(calls.sent.at(0).hWnd, kTrayCallbackMessage, 0,
                     MAKELPARAM(GetParam().event, 1));
        EXPECT_TRUE(notice.settled());
    }
    EXPECT_EQ(calls.messages, (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION, NIM_DELETE}));
    EXPECT_EQ(settled, 1);
    EXPECT_EQ(calls.explored, GetParam().opensFolder ? QStringList{kFolder} : QStringList{});
}

INSTANTIATE_TEST_SUITE_P(Events, TrayNoticeEvent,
                         testing::Values(IconEvent{NIN_BALLOONUSERCLICK, true},
                                         IconEvent{NIN_SELECT, true},
                                         IconEvent{NIN_BALLOONTIMEOUT, false},
                                         IconEvent{NIN_BALLOONHIDE, false}));

}  // namespace
}  // namespace velmar::platform
