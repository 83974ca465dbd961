// Whole-file writes under faults.
#include "doubles/temp_home.h"
#ifndef Q_OS_WIN
#include "doubles/fuse_disk.h"
#endif
#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#ifndef Q_OS_WIN
#include <csignal>

#include <sys/wait.h>
#include <unistd.h>
#endif

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace velmar::platform {
namespace {

// The system's calls, except that the one named fails (the write by its number) with a
// full disk or a denied access, the ones listed as unsupported say so, and the process is
// killed right before or after the call named.
class FaultyFileCalls final : public FileCalls {
  public:
    std::string failing;  // "createNew", "write", "sync", "close", "replace", "linkNew", …
    int failingWrite = 1;
    FileFailureKind kind = FileFailureKind::kDiskFull;
    std::set<std::string> unsupported;  // "moveNew", "linkNew"
    std::string killAt;
    bool killAfter = false;
    std::vector<std::string> published;  // the publishing calls made, in order

    FileCallResult createNew(const QString& path, Handle& handle) override {
        return fault("createNew") ? failure() : native().createNew(path, handle);
    }
    FileCallResult write(Handle handle, const char* data, std::int64_t size) override {
        ++writes_;
        if (failing == "write" && writes_ == failingWrite) {
            // Part of the chunk reaches the disk before the failure, as on a full disk.
            static_cast<void>(native().write(handle, data, size / 2));
            return failure();
        }
        return native().write(handle, data, size);
    }
    FileCallResult sync(Handle handle) override {
        return fault("sync") ? failure() : native().sync(handle);
    }
    FileCallResult close(Handle handle) override {
        const FileCallResult closed = native().close(handle);
        return fault("close") ? failure() : closed;
    }
    FileCallResult replace(const QString& from, const QString& to) override {
        return publishing("replace", [&] { return native().replace(from, to); });
    }
    FileCallResult examineTarget(const QString& path, TargetFacts& facts) override {
        return native().examineTarget(path, facts);
    }
    FileCallResult adopt(Handle handle, const TargetFacts& facts) override {
        return native().adopt(handle, facts);
    }
    FileCallResult linkNew(const QString& existing, const QString& newName) override {
        return publishing("linkNew", [&] { return native().linkNew(existing, newName); });
    }
    FileCallResult moveNew(const QString& from, const QString& to) override {
        return publishing("moveNew", [&] { return native().moveNew(from, to); });
    }
    FileCallResult holdClaim(const QString& path, Handle& handle) override {
        return publishing("holdClaim", [&] { return native().holdClaim(path, handle); });
    }
    FileCallResult dropClaim(const QString& path, Handle handle) override {
        return publishing("dropClaim", [&] { return native().dropClaim(path, handle); });
    }
    FileCallResult remove(const QString& path) override {
        published.emplace_back("remove");
        return native().remove(path);
    }
    FileCallResult createFolder(const QString& path) override {
        return native().createFolder(path);
    }

  private:
    static FileCalls& native() { return nativeFileCalls(); }
    [[nodiscard]] bool fault(const char* call) const { return failing == call; }
    [[nodiscard]] FileFailure failure() const {
        return FileFailure{kind, kind == FileFailureKind::kDiskFull
                                     ? QString::fromUtf8(kDiskFullReason)
                                     : QStringLiteral("ｱｸｾｽが拒否されました")};
    }
    template <typename Call>
    FileCallResult publishing(const char* name, const Call& call) {
        published.emplace_back(name);
        if (unsupported.contains(name)) {
            return FileFailure{FileFailureKind::kUnsupported, QStringLiteral("unsupported")};
        }
        if (fault(name)) {
            return failure();
        }
        killIf(name, false);
        const FileCallResult result = call();
        killIf(name, true);
        return result;
    }
    void killIf([[maybe_unused]] const char* name, [[maybe_unused]] bool after) const {
#ifndef Q_OS_WIN
        if (killAt == name && killAfter == after) {
            ::kill(::getpid(), SIGKILL);
        }
#endif
    }
    int writes_ = 0;
};

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class WholeFile : public testing::Test {
  protected:
    WholeFile() { test::writeFile(path, "old bytes"); }
    [[nodiscard]] QStringList entries() const {
        return QDir(home.path()).entryList(QDir::Files | QDir::Hidden);
    }
    test::TempHome home;
    QString path = home.filePath(QStringLiteral("User.xml"));
    FaultyFileCalls calls;
};

struct Fault {
    const char* call;
    int write;
};

class WholeFileFault : public WholeFile, public testing::WithParamInterface<Fault> {};

TEST_P(WholeFileFault, KeepsTheOldBytesRemovesTheTemporaryFileAndSaysWhy) {
    calls.failing = GetParam().call;
    calls.failingWrite = GetParam().write;
    try {
        StagedFile file(path, calls);
        file.write("new ");
        file.write("bytes");
        file.replaceTarget();
        FAIL() << "the failure was not raised";
    } catch (const Error& error) {
        EXPECT_EQ(error.message().toStdString(),
                  (QStringLiteral("ﾌｧｲﾙ ") + QDir::toNativeSeparators(path) +
                   QStringLiteral(" に書き込めません\rﾃﾞｨｽｸに空きがありません"))
                      .toStdString());
    }
    EXPECT_EQ(contentOf(path), QByteArray("old bytes"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("User.xml")});
}

INSTANTIATE_TEST_SUITE_P(Calls, WholeFileFault,
                         testing::Values(Fault{"createNew", 0}, Fault{"write", 1},
                                         Fault{"write", 2}, Fault{"sync", 0}, Fault{"close", 0},
                                         Fault{"replace", 0}),
                         [](const testing::TestParamInfo<Fault>& info) {
                             return std::string(info.param.call) + std::to_string(info.param.write);
                         });

TEST_F(WholeFile, ReplacesTheFileAndKeepsItsPermissions) {
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    const QFile::Permissions before = QFile::permissions(path);
    writeWholeFile(path, "new bytes", calls);
    EXPECT_EQ(contentOf(path), QByteArray("new bytes"));
    EXPECT_EQ(QFile::permissions(path), before);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("User.xml")});
}

// A file the user may not write is not replaced behind its back, on every system.
TEST_F(WholeFile, ReadOnlyFileIsLeftAsItIs) {
#ifndef Q_OS_WIN
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may write any file";
    }
#endif
    const QFile::Permissions writable = QFile::permissions(path);
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser));
    try {
        writeWholeFile(path, "new bytes", calls);
        ADD_FAILURE() << "the read-only file was replaced";
    } catch (const Error& error) {
        EXPECT_EQ(error.message().toStdString(),
                  (QStringLiteral("ﾌｧｲﾙ ") + QDir::toNativeSeparators(path) +
                   QStringLiteral(" に書き込めません\rｱｸｾｽが拒否されました"))
                      .toStdString());
    }
    EXPECT_EQ(contentOf(path), QByteArray("old bytes"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("User.xml")});
    ASSERT_TRUE(QFile::setPermissions(path, writable));  // lets the folder be removed
}

TEST_F(WholeFile, StreamingDeviceFailureIsRaisedAndNothingReplaced) {
    calls.failing = "write";
    calls.failingWrite = 2;
    StagedFile file(path, calls);
    EXPECT_EQ(file.device().write("first"), 5);
    EXPECT_EQ(file.device().write("second"), -1);
    EXPECT_THROW(file.replaceTarget(), Error);
    EXPECT_EQ(contentOf(path), QByteArray("old bytes"));
}

TEST_F(WholeFile, TextFilesOfTheFileSystemGoThroughItsCalls) {
    calls.failing = "sync";
    TextWriter writer = FileSystem(calls).openTextFileForWriting(path);
    writer.write(QStringLiteral("設定"));
    EXPECT_THROW(writer.close(), Error);
    EXPECT_EQ(contentOf(path), QByteArray("old bytes"));
}

// Publishing under a new name, each way the file system may allow: the name shows the
// whole file once, a taken name is never replaced, and only the taken copy's temporary
// file is left.
struct Way {
    const char* name;
    std::set<std::string> unsupported;
    std::vector<std::string> calls;  // made to publish under a free name
};

class Publishing : public WholeFile {
  protected:
    [[nodiscard]] QString finished(const QByteArray& bytes) const {
        const QString path = newTemporaryPath(home.path());
        test::writeFile(path, bytes);
        return path;
    }
    QString name = home.filePath(QStringLiteral("0001.jpg"));
};

class PublishWay : public Publishing, public testing::WithParamInterface<Way> {};

TEST_P(PublishWay, ShowsTheWholeFileOnceAndNeverReplacesOne) {
    calls.unsupported = GetParam().unsupported;
    const FileSystem files(calls);
    const QString first = finished("first");
    const QString second = finished("second");
    EXPECT_TRUE(files.publishNew(first, name));
    EXPECT_EQ(calls.published, GetParam().calls);
    EXPECT_FALSE(files.publishNew(second, name));
    EXPECT_EQ(contentOf(name), QByteArray("first"));
    QStringList expected{QStringLiteral("0001.jpg"), QFileInfo(second).fileName(),
                         QStringLiteral("User.xml")};
    expected.sort();
    EXPECT_EQ(entries(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    FileSystems, PublishWay,
    testing::Values(Way{"ExclusiveMove", {}, {"moveNew"}},
                    Way{"HardLink", {"moveNew"}, {"moveNew", "linkNew", "remove"}},
                    Way{"Claim",
                        {"moveNew", "linkNew"},
                        {"moveNew", "linkNew", "holdClaim", "replace", "dropClaim"}}),
    [](const testing::TestParamInfo<Way>& info) { return info.param.name; });

// A new file written whole through the file system's calls and published under a free
// name; one that finds its name taken leaves nothing behind when it goes.
TEST_F(Publishing, UnpublishedFileIsWrittenPublishedOnceAndOtherwiseRemoved) {
    const FileSystem files(calls);
    {
        const UnpublishedFile first(files, home.path());
        first.write([](QIODevice& device) { device.write("first"); });
        EXPECT_TRUE(first.publishAs(name));
        const UnpublishedFile second(files, home.path());
        second.write([](QIODevice& device) { device.write("second"); });
        EXPECT_FALSE(second.publishAs(name));
        EXPECT_EQ(entries().size(), 3) << "the second file waits under its temporary name";
    }
    EXPECT_EQ(contentOf(name), QByteArray("first"));
    EXPECT_EQ(calls.published,
              (std::vector<std::string>{"replace", "moveNew", "replace", "moveNew"}));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("0001.jpg"), QStringLiteral("User.xml")}));
}

struct PublishFault {
    const char* name;
    std::set<std::string> unsupported;
    const char* failing;
    FileFailureKind kind;
    const char* reason;
};

class PublishFailure : public Publishing, public testing::WithParamInterface<PublishFault> {};

TEST_P(PublishFailure, SaysTheRealReasonAndLeavesTheNameFree) {
    const PublishFault& fault = GetParam();
    calls.unsupported = fault.unsupported;
    calls.failing = fault.failing;
    calls.kind = fault.kind;
    try {
        static_cast<void>(FileSystem(calls).publishNew(finished("copy"), name));
        FAIL() << "the failure was not raised";
    } catch (const Error& error) {
        EXPECT_EQ(error.message().toStdString(),
                  (QStringLiteral("ﾌｧｲﾙ ") + QDir::toNativeSeparators(name) +
                   QStringLiteral(" を作成できません\r") + QString::fromUtf8(fault.reason))
                      .toStdString());
    }
    EXPECT_FALSE(QFileInfo::exists(name));
}

INSTANTIATE_TEST_SUITE_P(Causes, PublishFailure,
                         testing::Values(PublishFault{"LinkDenied",
                                                      {"moveNew"},
                                                      "linkNew",
                                                      FileFailureKind::kOther,
                                                      "ｱｸｾｽが拒否されました"},
                                         PublishFault{"ClaimOnAFullDisk",
                                                      {"moveNew", "linkNew"},
                                                      "holdClaim",
                                                      FileFailureKind::kDiskFull,
                                                      "ﾃﾞｨｽｸに空きがありません"}),
                         [](const testing::TestParamInfo<PublishFault>& info) {
                             return info.param.name;
                         });

#ifndef Q_OS_WIN
// A run killed before or after any publishing call leaves the name free or holding the
// whole file, and the next run publishes under it when it is free: a claim that the
// killed run held does not stop it.
struct Kill {
    const char* name;
    std::set<std::string> unsupported;
    const char* call;
    bool after;
    bool published;
};

class KilledPublish : public Publishing, public testing::WithParamInterface<Kill> {};

TEST_P(KilledPublish, LeavesNoPartOfAFileAndNoGap) {
    const Kill& kill = GetParam();
    calls.unsupported = kill.unsupported;
    calls.killAt = kill.call;
    calls.killAfter = kill.after;
    const QString first = finished("whole copy");
    const pid_t child = fork();
    if (child == 0) {
        static_cast<void>(FileSystem(calls).publishNew(first, name));
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run was not killed";
    EXPECT_EQ(contentOf(name), kill.published ? QByteArray("whole copy") : "<missing>");
    calls.killAt.clear();
    EXPECT_EQ(FileSystem(calls).publishNew(finished("next copy"), name), !kill.published);
    EXPECT_EQ(contentOf(name), kill.published ? QByteArray("whole copy") : "next copy");
}

const std::set<std::string> kNoExclusiveMove{"moveNew"};
const std::set<std::string> kNeitherMoveNorLink{"moveNew", "linkNew"};

INSTANTIATE_TEST_SUITE_P(
    Steps, KilledPublish,
    testing::Values(Kill{"BeforeTheExclusiveMove", {}, "moveNew", false, false},
                    Kill{"AfterTheExclusiveMove", {}, "moveNew", true, true},
                    Kill{"BeforeTheLink", kNoExclusiveMove, "linkNew", false, false},
                    Kill{"AfterTheLink", kNoExclusiveMove, "linkNew", true, true},
                    Kill{"HoldingTheClaim", kNeitherMoveNorLink, "holdClaim", true, false},
                    Kill{"AfterTheClaimedMove", kNeitherMoveNorLink, "replace", true, true},
                    Kill{"BeforeDroppingTheClaim", kNeitherMoveNorLink, "dropClaim", false, true}),
    [](const testing::TestParamInfo<Kill>& info) { return info.param.name; });

// Copies publishing together on FAT32 and exFAT (through FUSE: neither a move that refuses
// an existing name nor a link) each get a name of their own: none lost, none shared, no gap.
class DiskPublish : public testing::TestWithParam<test::DiskKind> {
  protected:
    test::TempHome home;
    QString folder = home.filePath(QStringLiteral("disk"));
    test::FuseDisk disk{GetParam(), home.filePath(QStringLiteral("disk.img")), folder};
};

TEST_P(DiskPublish, CopiesPublishingTogetherEachGetTheirOwnNumber) {
    VELMAR_REQUIRE_DISK(disk);
    constexpr int kCopies = 4;
    std::vector<pid_t> children;
    for (int copy = 1; copy <= kCopies; ++copy) {
        const QString finished = newTemporaryPath(folder);
        test::writeFile(finished, QByteArray::number(copy));
        const pid_t child = fork();
        if (child == 0) {
            int number = 1;
            while (!FileSystem().publishNew(finished,
                                            folder + QStringLiteral("/%1.jpg").arg(number))) {
                ++number;
            }
            _exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    QStringList contents;
    for (int number = 1; number <= kCopies; ++number) {
        contents << QString::fromLatin1(contentOf(folder + QStringLiteral("/%1.jpg").arg(number)));
    }
    contents.sort();
    EXPECT_EQ(contents, (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                     QStringLiteral("4")}));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), kCopies);
}

INSTANTIATE_TEST_SUITE_P(Disks, DiskPublish,
                         testing::Values(test::DiskKind::kFat32, test::DiskKind::kExfat),
                         [](const testing::TestParamInfo<test::DiskKind>& info) {
                             return info.param == test::DiskKind::kFat32 ? "Fat32" : "Exfat";
                         });
#endif
}  // namespace
}  // namespace velmar::platform
