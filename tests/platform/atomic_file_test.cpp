// Whole-file writes under faults.
#include "doubles/temp_home.h"
#include "platform/platform.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <string>

namespace velmar::platform {
namespace {

// The system's calls, except that the one named fails (the write by its number) with a
// full disk or a denied access.
class FaultyFileCalls final : public FileCalls {
  public:
    std::string failing;  // "createNew", "write", "sync", "close", "replace", "linkNew"
    int failingWrite = 1;
    FileFailureKind kind = FileFailureKind::kDiskFull;

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
        return fault("replace") ? failure() : native().replace(from, to);
    }
    FileCallResult linkNew(const QString& existing, const QString& newName) override {
        return fault("linkNew") ? failure() : native().linkNew(existing, newName);
    }
    FileCallResult remove(const QString& path) override { return native().remove(path); }
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

}  // namespace
}  // namespace velmar::platform
