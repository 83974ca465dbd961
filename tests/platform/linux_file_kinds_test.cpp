// Files that are no regular files in the place of a settings file: the reader refuses them
// without waiting or reading on and on, and the whole-file writer leaves them as they are.
#include "doubles/temp_home.h"
#include "platform/platform.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace velmar::platform {
namespace {

QByteArray nativeName(const QString& path) {
    return QFile::encodeName(path);
}

// A device that never ends, of the test's own where it may make one (as root), so that a
// fault could never touch the system's: otherwise a link to /dev/zero, which only root
// could replace.
void makeEndlessDevice(const QString& path) {
    if (geteuid() == 0) {
        ASSERT_EQ(mknod(nativeName(path).constData(), S_IFCHR | 0666, makedev(1, 5)), 0);
    } else {
        ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
    }
}

struct Kind {
    const char* name;
    FileReadStatus status;
};

class SettingsFileKind : public testing::TestWithParam<Kind> {
  protected:
    // Puts a thing of the kind named at the path.
    void make(const QString& path) const {
        const std::string kind = GetParam().name;
        if (kind == "NamedPipe") {
            ASSERT_EQ(mkfifo(nativeName(path).constData(), 0600), 0);
        } else if (kind == "Folder") {
            ASSERT_TRUE(QDir().mkpath(path));
        } else if (kind == "EndlessDevice") {
            makeEndlessDevice(path);
        } else if (kind == "Oversize") {
            test::writeFile(path, QByteArray(kSettingsFileLimit + 1, 'x'));
        } else if (kind == "LinkToAFile") {
            test::writeFile(path + QStringLiteral(".real"), "[Path]\n");
            ASSERT_TRUE(QFile::link(path + QStringLiteral(".real"), path));
        }
    }
    test::TempHome home;
    QString path = home.filePath(QStringLiteral("OstrandTools.conf"));
};

TEST_P(SettingsFileKind, OnlyARegularFileIsReadAndNothingWaits) {
    make(path);
    const FileRead read = readRegularFile(path);
    EXPECT_EQ(read.status, GetParam().status);
    if (read.read()) {
        EXPECT_EQ(read.bytes, QByteArray("[Path]\n"));
    } else {
        EXPECT_TRUE(read.bytes.isEmpty());
        EXPECT_FALSE(read.reason.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SettingsFileKind,
                         testing::Values(Kind{"NamedPipe", FileReadStatus::kNotRegular},
                                         Kind{"Folder", FileReadStatus::kNotRegular},
                                         Kind{"EndlessDevice", FileReadStatus::kNotRegular},
                                         Kind{"Oversize", FileReadStatus::kTooLarge},
                                         Kind{"Missing", FileReadStatus::kMissing},
                                         Kind{"LinkToAFile", FileReadStatus::kRead}),
                         [](const testing::TestParamInfo<Kind>& info) { return info.param.name; });

class WriterTarget : public SettingsFileKind {};

// Nothing is written in the thing's place or beside it, and the message names it.
TEST_P(WriterTarget, IsLeftAsItIsAndNamed) {
    make(path);
    struct stat before {};
    ASSERT_EQ(stat(nativeName(path).constData(), &before), 0);
    const QStringList entries =
        QDir(home.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    try {
        writeWholeFile(path, "[Path]\nvelmar=/v\n");
        FAIL() << "the write was not refused";
    } catch (const Error& error) {
        const QString target =
            QFileInfo(path).isSymbolicLink() ? QFileInfo(path).symLinkTarget() : path;
        EXPECT_EQ(error.message(),
                  QStringLiteral("ﾌｧｲﾙ ") + target +
                      QStringLiteral(" に書き込めません\r通常のﾌｧｲﾙではありません"));
    }
    struct stat after {};
    ASSERT_EQ(stat(nativeName(path).constData(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(QDir(home.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              entries);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WriterTarget,
                         testing::Values(Kind{"NamedPipe", FileReadStatus::kNotRegular},
                                         Kind{"Folder", FileReadStatus::kNotRegular},
                                         Kind{"EndlessDevice", FileReadStatus::kNotRegular}),
                         [](const testing::TestParamInfo<Kind>& info) { return info.param.name; });

// The file a link names is replaced in its own folder; the link stays a link, and the file
// keeps its owner and group (root may give them away) and its permission bits.
TEST(WholeFileThroughALink, ReplacesTheNamedFileKeepingLinkOwnerGroupAndPermissions) {
    const test::TempHome home;
    const QString real = home.filePath(QStringLiteral("elsewhere/User.xml"));
    const QString link = home.filePath(QStringLiteral("data/User.xml"));
    test::writeFile(real, "old");
    ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("data"))));
    ASSERT_TRUE(QFile::link(real, link));
    const bool root = geteuid() == 0;
    const uid_t owner = root ? 4321 : geteuid();
    const gid_t group = root ? 4322 : getegid();
    ASSERT_EQ(chown(nativeName(real).constData(), owner, group), 0);
    ASSERT_EQ(chmod(nativeName(real).constData(), 0640), 0);

    writeWholeFile(link, "new");

    EXPECT_TRUE(QFileInfo(link).isSymbolicLink());
    struct stat replaced {};
    ASSERT_EQ(stat(nativeName(real).constData(), &replaced), 0);
    EXPECT_EQ(replaced.st_uid, owner);
    EXPECT_EQ(replaced.st_gid, group);
    EXPECT_EQ(replaced.st_mode & 07777, 0640U);
    QFile file(link);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("new"));
    EXPECT_EQ(
        QDir(home.filePath(QStringLiteral("elsewhere"))).entryList(QDir::Files | QDir::Hidden),
        QStringList{QStringLiteral("User.xml")});
}

}  // namespace
}  // namespace velmar::platform
