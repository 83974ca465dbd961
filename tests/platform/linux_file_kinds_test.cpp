// Things that are no regular files in a settings file's place: the reader refuses them
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

struct Kind {
    const char* name;
    FileReadStatus status;
};

class SettingsFileKind : public testing::TestWithParam<Kind> {
  protected:
    // Root gets a device of the test's own, so that a fault could never touch the
    // system's; others a link to /dev/zero, which they could not replace.
    void make() const {
        const std::string kind = GetParam().name;
        const QByteArray name = QFile::encodeName(path);
        if (kind == "NamedPipe") {
            ASSERT_EQ(mkfifo(name.constData(), 0600), 0);
        } else if (kind == "Folder") {
            ASSERT_TRUE(QDir().mkpath(path));
        } else if (kind == "EndlessDevice" && geteuid() == 0) {
            ASSERT_EQ(mknod(name.constData(), S_IFCHR | 0666, makedev(1, 5)), 0);
        } else if (kind == "EndlessDevice") {
            ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
        } else if (kind == "Oversize") {
            test::writeFile(path, QByteArray(kSettingsFileLimit + 1, 'x'));
        } else {
            test::writeFile(path + QStringLiteral(".real"), "[Path]\n");
            ASSERT_TRUE(QFile::link(path + QStringLiteral(".real"), path));
        }
    }
    test::TempHome home;
    QString path = home.filePath(QStringLiteral("OstrandTools.conf"));
};

TEST_P(SettingsFileKind, OnlyARegularFileIsReadOrReplaced) {
    make();
    const FileRead read = readRegularFile(path);
    EXPECT_EQ(read.status, GetParam().status);
    EXPECT_EQ(read.bytes, QByteArray(read.read() ? "[Path]\n" : ""));
    if (GetParam().status != FileReadStatus::kNotRegular) {
        return;
    }
    struct stat before {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &before), 0);
    const QStringList entries =
        QDir(home.path())
            .entryList(QDir::System | QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const QString target =
        QFileInfo(path).isSymbolicLink() ? QFileInfo(path).symLinkTarget() : path;
    try {
        writeWholeFile(path, "[Path]\n");
        ADD_FAILURE() << "the write was not refused";
    } catch (const Error& error) {
        EXPECT_EQ(error.message(),
                  QStringLiteral("ﾌｧｲﾙ ") + target +
                      QStringLiteral(" に書き込めません\r通常のﾌｧｲﾙではありません"));
    }
    struct stat after {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(QDir(home.path())
                  .entryList(QDir::System | QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              entries);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SettingsFileKind,
                         testing::Values(Kind{"NamedPipe", FileReadStatus::kNotRegular},
                                         Kind{"Folder", FileReadStatus::kNotRegular},
                                         Kind{"EndlessDevice", FileReadStatus::kNotRegular},
                                         Kind{"Oversize", FileReadStatus::kTooLarge},
                                         Kind{"LinkToAFile", FileReadStatus::kRead}),
                         [](const testing::TestParamInfo<Kind>& info) { return info.param.name; });

// The file a link names is replaced in its own folder; the link stays, and the file keeps
// its owner and group (root may give them away) and its permission bits.
TEST(WholeFileThroughALink, KeepsTheLinkOwnerGroupAndPermissions) {
    const test::TempHome home;
    const QString real = home.filePath(QStringLiteral("User.xml.real"));
    const QString link = home.filePath(QStringLiteral("User.xml"));
    test::writeFile(real, "old");
    ASSERT_TRUE(QFile::link(real, link));
    const bool root = geteuid() == 0;
    const uid_t owner = root ? 4321 : geteuid();
    const gid_t group = root ? 4322 : getegid();
    ASSERT_EQ(chown(QFile::encodeName(real).constData(), owner, group), 0);
    ASSERT_EQ(chmod(QFile::encodeName(real).constData(), 0640), 0);

    writeWholeFile(link, "new");

    EXPECT_TRUE(QFileInfo(link).isSymbolicLink());
    struct stat replaced {};
    ASSERT_EQ(stat(QFile::encodeName(real).constData(), &replaced), 0);
    EXPECT_EQ(replaced.st_uid, owner);
    EXPECT_EQ(replaced.st_gid, group);
    EXPECT_EQ(replaced.st_mode & 07777, 0640U);
    EXPECT_EQ(replaced.st_size, 3);
}

}  // namespace
}  // namespace velmar::platform
