// The real program under faults: a disk that is full, a disk that is read-only (each a
// small tmpfs in a mount namespace of the test's own), and runs killed while they write a
// backup. Afterwards every file is as it was or complete, and the exit status and the
// message say what happened.
#include "doubles/temp_home.h"
#include "doubles/velmar_process.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <unistd.h>

namespace velmar::print_window {
namespace {

// Mounts a tmpfs over the data and the configuration folder with the files they held,
// fills it or makes it read-only, runs the program, copies what the tmpfs holds then to
// result/ and unmounts it by its path.
constexpr auto kFaultScript = R"(
mode=$1; shift
for d in data config; do
  mkdir -p "$HOME/result/$d" && cp -a "$HOME/$d" "$HOME/seed-$d" || exit 90
  mount -t tmpfs -o size=1m velmar-fault "$HOME/$d" || exit 90
  cp -a "$HOME/seed-$d/." "$HOME/$d/" || exit 90
  if [ "$mode" = full ]; then cat /dev/zero > "$HOME/$d/.filler" 2>/dev/null; fi
  if [ "$mode" = readonly ]; then mount -o remount,ro "$HOME/$d" || exit 90; fi
done
"$@"
status=$?
for d in data config; do
  rm -f "$HOME/$d/.filler"
  cp -a "$HOME/$d/." "$HOME/result/$d/"
  umount "$HOME/$d"
done
exit $status
)";

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class FaultRun : public testing::Test {
  protected:
    FaultRun() {
        QImage image(60, 40, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        EXPECT_TRUE(image.save(home.filePath(QStringLiteral("photo.png")), "PNG"));
        EXPECT_TRUE(QDir().mkpath(outFolder()));
        test::writeFile(
            userData() + QStringLiteral("IkPrn.Ik"),
            "; printer\r\n[Printer]\r\nName=PDF\r\nOutputFolder=" + outFolder().toUtf8() + "\r\n");
        test::writeFile(storeFile(),
                        "; tools of the set\n[Path]\nviewer=/opt/caf\xe9\n"
                        "velmar=/moved/away/velmar\n");
    }

    [[nodiscard]] QString userData() const { return test::userDataFolder(home); }
    [[nodiscard]] QString outFolder() const { return home.filePath(QStringLiteral("out")); }
    [[nodiscard]] QString storeFile() const {
        return home.configHome() + QStringLiteral("/OstrandTools.conf");
    }
    // A file as the faulty run left it.
    [[nodiscard]] QString result(const QString& path) const {
        return home.filePath(QStringLiteral("result/") + QDir(home.path()).relativeFilePath(path));
    }
    [[nodiscard]] static QStringList filesIn(const QString& folder) {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    // Runs in a namespace of its own with the disk "full" or "readonly".
    [[nodiscard]] test::RunResult runOnFaultyDisk(const char* mode) const {
        return test::runVelmarWrapped(
            home,
            {QStringLiteral("unshare"), QStringLiteral("-m"), QStringLiteral("--propagation"),
             QStringLiteral("private"), QStringLiteral("sh"), QStringLiteral("-c"),
             QString::fromLatin1(kFaultScript), QStringLiteral("sh"), QString::fromLatin1(mode)},
            {home.filePath(QStringLiteral("photo.png"))});
    }

    // The three files the program keeps are as they were before the run.
    void expectFilesUntouched() const {
        for (const QString& path : {userData() + QStringLiteral("User.xml"),
                                    userData() + QStringLiteral("IkPrn.Ik"), storeFile()}) {
            EXPECT_EQ(contentOf(result(path)), contentOf(path)) << path.toStdString();
        }
        EXPECT_EQ(filesIn(result(userData())),
                  (QStringList{QStringLiteral("IkPrn.Ik"), QStringLiteral("User.xml")}));
        EXPECT_EQ(filesIn(result(home.configHome())),
                  QStringList{QStringLiteral("OstrandTools.conf")});
        EXPECT_TRUE(filesIn(result(userData() + QStringLiteral("Temp"))).isEmpty());
    }

    test::TempHome home;
};

struct DiskFault {
    const char* name;
    const char* mode;
    int backUpMode;
    const char* reason;
    const char* storeReason;  // why the settings-store file was not written
    int pdfs;                 // printed into the output folder, which is on another disk
};

class FaultyDisk : public FaultRun, public testing::WithParamInterface<DiskFault> {};

TEST_P(FaultyDisk, LosesNothingAndSaysWhyWithAnErrorStatus) {
    if (geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("unshare")).isEmpty()) {
        GTEST_SKIP() << "mounting a small disk of the test's own needs root and unshare";
    }
    test::storeBackUpMode(home, GetParam().backUpMode);
    const test::RunResult run = runOnFaultyDisk(GetParam().mode);
    const std::string said = run.standardError.toStdString();
    ASSERT_NE(run.exitCode, 90) << said;
    EXPECT_EQ(run.exitCode, 1) << said;
    expectFilesUntouched();
    EXPECT_EQ(filesIn(outFolder()).size(), GetParam().pdfs) << said;
    EXPECT_TRUE(run.standardError.contains(QStringLiteral("Velmar: ﾕｰｻﾞｰ環境ﾌｧｲﾙ ") + userData() +
                                           QStringLiteral("User.xml を保存できませんでした")))
        << said;
    EXPECT_TRUE(run.standardError.contains(QStringLiteral("Velmar: 設定ﾌｧｲﾙ ") + storeFile() +
                                           QString::fromUtf8(GetParam().storeReason)))
        << said;
    if (GetParam().backUpMode > 0) {
        EXPECT_TRUE(run.standardError.contains(QString::fromUtf8(GetParam().reason))) << said;
    }
    EXPECT_FALSE(run.standardError.contains(QStringLiteral("Unknown error"))) << said;
}

INSTANTIATE_TEST_SUITE_P(
    Disks, FaultyDisk,
    testing::Values(DiskFault{"FullWithABackup", "full", 2, "ﾃﾞｨｽｸに空きがありません",
                              " に書き込めません: ﾃﾞｨｽｸに空きがありません", 0},
                    DiskFault{"FullWithoutABackup", "full", 0, "ﾃﾞｨｽｸに空きがありません",
                              " に書き込めません: ﾃﾞｨｽｸに空きがありません", 1},
                    DiskFault{"ReadOnlyWithABackup", "readonly", 1, "読み取り専用のﾃﾞｨｽｸです",
                              " は書き込み禁止です", 0}),
    [](const testing::TestParamInfo<DiskFault>& info) { return info.param.name; });

// A run killed at any moment of a large bitmap backup leaves no file under a backup name
// that is not the whole image; a later run removes the hidden copies that are left and
// numbers on from the highest backup.
TEST_F(FaultRun, KilledBackUpsLeaveOnlyWholeCopies) {
    const QSize size(2400, 1800);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkRed);
    const QString photo = home.filePath(QStringLiteral("large.png"));
    ASSERT_TRUE(image.save(photo, "PNG"));
    test::storeBackUpMode(home, 1);
    const QString backUps = userData() + QStringLiteral("Temp");
    const auto expectWholeCopies = [&backUps, size](int killedAfterMs) {
        for (const QString& name :
             QDir(backUps).entryList({QStringLiteral("*.bmp")}, QDir::Files)) {
            QImageReader reader(backUps + QLatin1Char('/') + name);
            EXPECT_EQ(reader.read().size(), size)
                << name.toStdString() << " after " << killedAfterMs << " ms";
        }
    };
    for (const int afterMs : {20, 60, 100, 140, 180, 230, 300, 400, 550, 800}) {
        const std::unique_ptr<QProcess> process = test::startVelmar(home, {photo});
        ASSERT_TRUE(process->waitForStarted());
        QThread::msleep(afterMs);
        process->kill();
        process->waitForFinished();
        expectWholeCopies(afterMs);
    }
    const QStringList left = QDir(backUps).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : left) {
        QFile file(backUps + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                     QFileDevice::FileModificationTime));
    }
    const int published =
        static_cast<int>(QDir(backUps).entryList({QStringLiteral("*.bmp")}).size());

    const test::RunResult last = test::runVelmar(home, {photo});

    EXPECT_EQ(last.exitCode, 0) << last.standardError.toStdString();
    QStringList expected;
    for (int number = 1; number <= published + 1; ++number) {
        expected << QStringLiteral("%1.bmp").arg(number, 4, 10, QLatin1Char('0'));
    }
    EXPECT_EQ(QDir(backUps).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    expectWholeCopies(-1);
}

}  // namespace
}  // namespace velmar::print_window
