// The Windows implementations of the services, checked against the Windows API itself
// (as Wine provides it when the tests run on Linux).
#include "base/error.h"
#include "doubles/temp_home.h"
#include "platform/platform.h"
#include "platform/win32_process.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QUuid>

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

namespace velmar::platform {
namespace {

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// --- whole-file writes -----------------------------------------------------------------

// The file being written does not keep the attributes it was made with (a hidden
// temporary): a new file gets none, one that replaces another the old file's.
TEST(Win32FileCalls, FileTakesTheOldFilesAttributesOrNone) {
    const test::TempHome home;
    FileCalls& calls = nativeFileCalls();
    for (const DWORD old : {DWORD{0}, DWORD{FILE_ATTRIBUTE_SYSTEM}}) {
        const QString path = native(home.filePath(QStringLiteral("temporary%1").arg(old)));
        FileCalls::Handle handle = -1;
        ASSERT_FALSE(calls.createNew(path, handle));
        ASSERT_TRUE(SetFileAttributesW(wide(path), FILE_ATTRIBUTE_HIDDEN));
        EXPECT_FALSE(calls.adopt(handle, TargetFacts{old != 0, -1, -1, old}));
        EXPECT_FALSE(calls.close(handle));
        EXPECT_EQ(GetFileAttributesW(wide(path)) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
                  old);
    }
}

// --- process -------------------------------------------------------------------------

struct CommandLine {
    const char* name;
    const char* line;
    const char* arguments;
};

class CommandLineSplit : public testing::TestWithParam<CommandLine> {};

// The program token ends where CommandLineToArgvW ends the first argument, and the rest is
// kept exactly as typed.
TEST_P(CommandLineSplit, DropsOnlyTheProgramTokenAsWindowsDoes) {
    const QString line = QString::fromUtf8(GetParam().line);
    const QString arguments = argumentTextOf(line);
    EXPECT_EQ(arguments, QString::fromUtf8(GetParam().arguments));

    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(wide(line), &count);
    ASSERT_NE(argv, nullptr);
    const QString program = QString::fromWCharArray(argv[0]);
    LocalFree(argv);
    QString token = line.left(line.size() - arguments.size()).trimmed();
    token.remove(QLatin1Char('"'));
    EXPECT_EQ(token, program);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineSplit,
    testing::Values(
        CommandLine{"QuotedProgramAndPath", R"("C:\Program Files\V\velmar.exe" "C:\img\a b.jpg")",
                    R"("C:\img\a b.jpg")"},
        CommandLine{"PlainProgram", R"(velmar.exe C:\img\a.jpg)", R"(C:\img\a.jpg)"},
        CommandLine{"NoArguments", "velmar.exe", ""},
        CommandLine{"QuotedProgramOnly", R"("C:\V\velmar.exe")", ""},
        CommandLine{"BlanksAndTabsBetween", "velmar.exe \t  a.jpg  ", "a.jpg  "},
        CommandLine{"TwoQuotedPaths", R"(v.exe "a b.jpg" "c.jpg")", R"("a b.jpg" "c.jpg")"},
        CommandLine{"ArgumentRightAfterTheClosingQuote", R"("C:\a b\v.exe"x.jpg)", "x.jpg"},
        CommandLine{"BackslashBeforeTheQuote", R"("C:\V\"rest)", "rest"}),
    [](const testing::TestParamInfo<CommandLine>& info) { return info.param.name; });

TEST(Win32Process, ExecutableIsThisProgramWithBackslashes) {
    const NativeServices services;
    const QString path = services.services().process.executableFilePath();
    EXPECT_TRUE(path.endsWith(QStringLiteral("\\velmar_tests.exe"), Qt::CaseInsensitive))
        << path.toStdString();
    EXPECT_FALSE(path.contains(QLatin1Char('/')));
    EXPECT_TRUE(QFileInfo(path).isFile());
}

// --- directory lookup ----------------------------------------------------------------

class Win32Lookup : public testing::Test {
  protected:
    Win32Lookup() {
        for (const char* name :
             {"photo.jpg", "read-only.png", "hidden.jpg", "system.bmp", "sub folder/x.bmp"}) {
            test::writeFile(path(name), "x");
        }
        setAttributes("read-only.png", FILE_ATTRIBUTE_READONLY);
        setAttributes("hidden.jpg", FILE_ATTRIBUTE_HIDDEN);
        setAttributes("system.bmp", FILE_ATTRIBUTE_SYSTEM);
    }
    ~Win32Lookup() override {
        for (const char* name : {"read-only.png", "hidden.jpg", "system.bmp"}) {
            setAttributes(name, FILE_ATTRIBUTE_NORMAL);
        }
    }
    Win32Lookup(const Win32Lookup&) = delete;
    Win32Lookup& operator=(const Win32Lookup&) = delete;
    Win32Lookup(Win32Lookup&&) = delete;
    Win32Lookup& operator=(Win32Lookup&&) = delete;

    [[nodiscard]] QString path(const char* name) const {
        return native(home.filePath(QString::fromUtf8(name)));
    }
    void setAttributes(const char* name, DWORD attributes) const {
        ASSERT_TRUE(SetFileAttributesW(wide(path(name)), attributes)) << name;
    }

    test::TempHome home;
    const NativeServices services;
};

struct Entry {
    const char* name;
    const char* path;
    bool found;
};

class Win32LookupEntry : public Win32Lookup, public testing::WithParamInterface<Entry> {};

TEST_P(Win32LookupEntry, FindsEntriesWithNormalAttributesOnly) {
    EXPECT_EQ(services.services().lookup.hasNormalEntry(path(GetParam().path)), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Win32LookupEntry,
    testing::Values(
        Entry{"OrdinaryFile", "photo.jpg", true}, Entry{"ReadOnlyFile", "read-only.png", true},
        Entry{"OtherLetterCase", "PHOTO.JPG", true},
        Entry{"FileInAFolderWithABlank", "sub folder/x.bmp", true},
        Entry{"HiddenFile", "hidden.jpg", false}, Entry{"SystemFile", "system.bmp", false},
        Entry{"Folder", "sub folder", false}, Entry{"MissingFile", "nothing.jpg", false},
        Entry{"StarPassesHiddenToReachAnOrdinaryFile", "*.jpg", true},
        Entry{"StarMatchingOnlyHiddenFiles", "hid*", false},
        Entry{"StarMatchingOnlyFolders", "sub*", false}, Entry{"QuestionMark", "phot?.jpg", true},
        Entry{"StarMatchingNothing", "*.tiff", false}),
    [](const testing::TestParamInfo<Entry>& info) { return info.param.name; });

// --- special folders -----------------------------------------------------------------

struct KnownFolder {
    const char* name;
    int id;
    const KNOWNFOLDERID* folder;
};

class Win32SpecialFolder : public testing::TestWithParam<KnownFolder> {};

// The shell's old special-folder ids name the same folders as its known-folder API.
TEST_P(Win32SpecialFolder, IsTheShellsFolder) {
    PWSTR known = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(*GetParam().folder, 0, nullptr, &known), S_OK);
    const QString expected = QString::fromWCharArray(known);
    CoTaskMemFree(known);
    const NativeServices services;
    EXPECT_EQ(services.services().folders.path(GetParam().id), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ids, Win32SpecialFolder,
    testing::Values(KnownFolder{"AppData", kFolderAppData, &FOLDERID_RoamingAppData},
                    KnownFolder{"Documents", kFolderDocuments, &FOLDERID_Documents},
                    KnownFolder{"SendTo", kFolderSendTo, &FOLDERID_SendTo}),
    [](const testing::TestParamInfo<KnownFolder>& info) { return info.param.name; });

TEST(Win32SpecialFolders, UnknownIdGivesTheEmptyText) {
    const NativeServices services;
    EXPECT_EQ(services.services().folders.path(0x7F), QString());
}

// --- settings store ------------------------------------------------------------------

// A registry application key of its own for one test, removed afterwards.
class Win32Registry : public testing::Test {
  protected:
    ~Win32Registry() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, wide(QStringLiteral("Software\\") + application));
    }
    Win32Registry() = default;
    Win32Registry(const Win32Registry&) = delete;
    Win32Registry& operator=(const Win32Registry&) = delete;
    Win32Registry(Win32Registry&&) = delete;
    Win32Registry& operator=(Win32Registry&&) = delete;

    const QString application =
        QStringLiteral("VelmarTest") + QUuid::createUuid().toString(QUuid::Id128);
    const NativeServices services;
};

TEST_F(Win32Registry, KeepsAStringValuePerKeyUnderSoftwareApplicationSection) {
    SettingsStore& store = services.services().settings;
    const QString value = QStringLiteral("C:\\ツール\\velmar.exe");
    store.write(application, QStringLiteral("Path"), QStringLiteral("velmar"), value);
    EXPECT_EQ(store.read(application, QStringLiteral("Path"), QStringLiteral("velmar"), QString()),
              value);
    EXPECT_EQ(store.read(application, QStringLiteral("Path"), QStringLiteral("other"),
                         QStringLiteral("-")),
              QStringLiteral("-"));

    wchar_t stored[MAX_PATH] = {};
    DWORD bytes = sizeof(stored);
    DWORD type = 0;
    const QString key = QStringLiteral("Software\\") + application + QStringLiteral("\\Path");
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, wide(key), L"velmar", RRF_RT_ANY | RRF_NOEXPAND,
                           &type, stored, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(QString::fromWCharArray(stored), value);
}

TEST_F(Win32Registry, ValueThatIsNotAStringReadsAsTheDefault) {
    const QString key = QStringLiteral("Software\\") + application + QStringLiteral("\\Path");
    const DWORD number = 7;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, wide(key), L"velmar", REG_DWORD, &number,
                              sizeof(number)),
              ERROR_SUCCESS);
    EXPECT_EQ(services.services().settings.read(application, QStringLiteral("Path"),
                                                QStringLiteral("velmar"), QStringLiteral("-")),
              QStringLiteral("-"));
}

// What a test writes to the user's registry inside a test home stays in a key of its own.
TEST(Win32TestHome, KeepsTheUsersRegistryOutOfReach) {
    const QString application = QStringLiteral("VelmarTest") + QUuid::createUuid().toString();
    const auto read = [&application] {
        const NativeServices services;
        return services.services().settings.read(application, QStringLiteral("Path"),
                                                 QStringLiteral("velmar"), QStringLiteral("-"));
    };
    {
        const test::TempHome home;
        const NativeServices services;
        services.services().settings.write(application, QStringLiteral("Path"),
                                           QStringLiteral("velmar"), QStringLiteral("x"));
        EXPECT_EQ(read(), QStringLiteral("x"));
    }
    EXPECT_EQ(read(), QStringLiteral("-"));
}

// --- shortcuts -----------------------------------------------------------------------

struct LinkContents {
    QString target;
    QString arguments;
    QString description;
};

// Reads a .lnk file back through the shell's link object.
LinkContents readShortcut(const QString& path) {
    LinkContents contents;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        ADD_FAILURE() << "no COM";
        return contents;
    }
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t text[INFOTIPSIZE] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide(native(path)), STGM_READ))) {
        if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) {
            contents.target = QString::fromWCharArray(text);
        }
        if (SUCCEEDED(link->GetArguments(text, INFOTIPSIZE))) {
            contents.arguments = QString::fromWCharArray(text);
        }
        if (SUCCEEDED(link->GetDescription(text, INFOTIPSIZE))) {
            contents.description = QString::fromWCharArray(text);
        }
    } else {
        ADD_FAILURE() << "cannot load " << path.toStdString();
    }
    if (file != nullptr) {
        file->Release();
    }
    if (link != nullptr) {
        link->Release();
    }
    CoUninitialize();
    return contents;
}

class Win32Shortcut : public testing::Test {
  protected:
    [[nodiscard]] QString path(const QString& name) const { return native(home.filePath(name)); }

    // The shell's own shortcut files: the way of this system.
    [[nodiscard]] ShellLinks& links() const {
        ShellLinks* links = services.services().desktop.links();
        EXPECT_NE(links, nullptr);
        return *links;
    }

    test::TempHome home;
    const NativeServices services;
};

TEST_F(Win32Shortcut, ProgramShortcutStartsTheProgramWithNoArgumentsOfItsOwn) {
    const QString program = path(QStringLiteral("プログラム/velmar.exe"));
    test::writeFile(program, "MZ");
    const QString shortcut = path(QStringLiteral("SendTo/velmar.lnk"));
    QDir().mkpath(home.filePath(QStringLiteral("SendTo")));
    links().saveProgramShortcut(
        shortcut,
        ProgramShortcut{
            program, QStringLiteral("Velmar"), QStringLiteral("画像編集ツール　プリント"), {}, {}});
    const LinkContents contents = readShortcut(shortcut);
    EXPECT_EQ(contents.target, program);
    EXPECT_EQ(contents.arguments, QString());
    EXPECT_EQ(contents.description, QStringLiteral("画像編集ツール　プリント"));
}

TEST_F(Win32Shortcut, LinkShortcutIsReplacedWholeAndLeavesNoOtherFile) {
    const QString first = path(QStringLiteral("first.htm"));
    const QString second = path(QStringLiteral("second.htm"));
    test::writeFile(first, "<html/>");
    test::writeFile(second, "<html/>");
    const QString shortcut = path(QStringLiteral("velmar_help.lnk"));
    links().saveLinkShortcut(shortcut, QUrl::fromLocalFile(first).toString());
    links().saveLinkShortcut(shortcut, second);
    EXPECT_EQ(readShortcut(shortcut).target, second);
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files),
              (QStringList{QStringLiteral("first.htm"), QStringLiteral("second.htm"),
                           QStringLiteral("velmar_help.lnk")}));
}

TEST_F(Win32Shortcut, ShortcutInAMissingFolderRaisesError) {
    EXPECT_THROW(links().saveLinkShortcut(path(QStringLiteral("Wrk/htm_view.lnk")),
                                          path(QStringLiteral("a.htm"))),
                 Error);
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("Wrk"))));
}

}  // namespace
}  // namespace velmar::platform
