// The real program with a backup mode stored in the settings document: the copy is made
// before the page is printed, and a backup that fails stops the print.
#include "doubles/fuse_disk.h"
#include "doubles/temp_home.h"
#include "doubles/velmar_process.h"
#include "image_files/image_fixtures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace velmar::print_window {
namespace {

class BackUpRun : public testing::Test {
  protected:
    BackUpRun() {
        QImage image(60, 40, QImage::Format_RGB32);
        image.fill(Qt::darkBlue);
        EXPECT_TRUE(image.save(imagePath(), "PNG"));
    }

    [[nodiscard]] QString userData() const { return test::userDataFolder(home); }
    [[nodiscard]] QString backUps() const { return userData() + QStringLiteral("Temp"); }
    [[nodiscard]] QString imagePath() const { return home.filePath(QStringLiteral("photo.png")); }

    void storeMode(int mode) const { test::storeBackUpMode(home, mode); }

    [[nodiscard]] test::RunResult print() const { return test::runVelmar(home, {imagePath()}); }

    [[nodiscard]] QStringList files(const QString& folder, const QString& pattern) const {
        return QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
    }
    [[nodiscard]] static QStringList hiddenFiles(const QString& folder) {
        return QDir(folder).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden,
                                      QDir::Name);
    }

    test::TempHome home;
};

TEST_F(BackUpRun, JpegModeKeepsNumberedJpegsBeforePrinting) {
    storeMode(2);
    for (int run = 0; run < 2; ++run) {
        const test::RunResult result = print();
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    }
    EXPECT_EQ(files(backUps(), QStringLiteral("*")),
              (QStringList{QStringLiteral("0001.jpg"), QStringLiteral("0002.jpg")}));
    QImageReader reader(backUps() + QStringLiteral("/0002.jpg"));
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    EXPECT_EQ(reader.read().size(), QSize(60, 40));
    EXPECT_EQ(files(userData(), QStringLiteral("*.pdf")).size(), 2);
}

TEST_F(BackUpRun, BitmapModeKeepsABitmapAfterTheHighestNumber) {
    storeMode(1);
    test::writeFile(backUps() + QStringLiteral("/0041.jpg"), "older copy");
    const test::RunResult result = print();
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(QImageReader(backUps() + QStringLiteral("/0042.bmp")).format(), QByteArray("bmp"));
}

TEST_F(BackUpRun, NoModeKeepsNoCopy) {
    storeMode(0);
    const test::RunResult result = print();
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_FALSE(QDir(backUps()).exists());
    EXPECT_EQ(files(userData(), QStringLiteral("*.pdf")).size(), 1);
}

// A JPEG whose data ends half-way, with an end marker after it, is refused as a file that
// cannot be loaded, whether the backup or the page reads the data first: no copy, no
// page. Stray bytes before a marker are only a warning: the page prints.
struct JpegRun {
    const char* name;
    int mode;
    bool damaged;
};

class JpegBackUpRun : public BackUpRun, public testing::WithParamInterface<JpegRun> {};

TEST_P(JpegBackUpRun, DamagedDataIsRefusedBeforeAnyFile) {
    storeMode(GetParam().mode);
    const QString path = home.filePath(QStringLiteral("photo.jpg"));
    test::writeFile(path,
                    test::changedJpeg(GetParam().damaged ? test::JpegChange::kHalfThenEnd
                                                         : test::JpegChange::kBytesBeforeTables));
    const test::RunResult result = test::runVelmar(home, {path});
    const bool refused = result.standardError.contains(QStringLiteral("画像ﾌｧｲﾙ ") + path +
                                                       QStringLiteral(" を読み込めませんでした"));
    EXPECT_EQ(refused, GetParam().damaged) << result.standardError.toStdString();
    EXPECT_EQ(result.exitCode, GetParam().damaged ? 1 : 0);
    EXPECT_EQ(files(userData(), QStringLiteral("*.pdf")).size(), GetParam().damaged ? 0 : 1);
    EXPECT_EQ(files(backUps(), QStringLiteral("*")).size(),
              GetParam().damaged || GetParam().mode == 0 ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Files, JpegBackUpRun,
    testing::Values(JpegRun{"DamagedNoCopy", 0, true}, JpegRun{"DamagedJpegCopy", 2, true},
                    JpegRun{"DamagedBitmapCopy", 1, true}, JpegRun{"StrayBytesJpegCopy", 2, false}),
    [](const testing::TestParamInfo<JpegRun>& info) { return info.param.name; });

struct Failure {
    const char* name;
    const char* inTheWay;  // a file put at this path below the user-data folder
    const char* message;   // what standard error says, after "Velmar: "
};

class FailedBackUpRun : public BackUpRun, public testing::WithParamInterface<Failure> {};

TEST_P(FailedBackUpRun, IsReportedAndNothingIsPrinted) {
    storeMode(2);
    test::writeFile(userData() + QString::fromUtf8(GetParam().inTheWay), "x");
    const test::RunResult result = print();
    EXPECT_EQ(result.exitCode, 1);
    const QString expected = QStringLiteral("Velmar: ｴﾗｰが発生しました\n") +
                             QString::fromUtf8(GetParam().message).arg(backUps());
    EXPECT_TRUE(result.standardError.contains(expected)) << result.standardError.toStdString();
    EXPECT_TRUE(files(userData(), QStringLiteral("*.pdf")).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Causes, FailedBackUpRun,
    testing::Values(Failure{"NoNumberLeft", "Temp/32767.jpg",
                            "ﾊﾞｯｸｱｯﾌﾟ用ﾌｫﾙﾀﾞ %1 には空いている番号がありません (最大 32767)"},
                    Failure{"FolderCannotBeMade", "Temp", "ﾌｫﾙﾀﾞ %1 を作成できません"}),
    [](const testing::TestParamInfo<Failure>& info) { return info.param.name; });

// The colour JPEG copy of a grey image leaves the page as it was: its grey pixels.
TEST_F(BackUpRun, JpegCopyOfAGreyImageLeavesThePageAsItWas) {
    QImage grey(60, 40, QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y) {
        std::memset(grey.scanLine(y), y * 6, static_cast<std::size_t>(grey.width()));
    }
    ASSERT_TRUE(grey.save(imagePath(), "PNG"));
    for (const int mode : {0, 2}) {
        storeMode(mode);
        const test::RunResult result = print();
        ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    }
    const QStringList pdfs = files(userData(), QStringLiteral("*.pdf"));
    ASSERT_EQ(pdfs.size(), 2);
    const auto bytesOf = [this](const char* name) {
        QFile file(userData() + QString::fromUtf8(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        return file.readAll();
    };
    const QByteArray withoutCopy = bytesOf("Print Out.pdf");
    EXPECT_TRUE(withoutCopy.contains("/DeviceGray"));
    EXPECT_EQ(bytesOf("Print Out (2).pdf"), withoutCopy);
    EXPECT_NE(QImageReader(backUps() + QStringLiteral("/0001.jpg")).read().format(),
              QImage::Format_Grayscale8);
}

// Copies started at the same moment each keep their own copy under their own number.
TEST_F(BackUpRun, CopiesRunningTogetherNeverShareANumber) {
    constexpr int kCopies = 6;
    storeMode(2);
    std::vector<std::unique_ptr<QProcess>> running;
    running.reserve(kCopies);
    for (int copy = 0; copy < kCopies; ++copy) {
        running.push_back(test::startVelmar(home, {imagePath()}));
    }
    for (const auto& process : running) {
        const test::RunResult result = test::finishVelmar(*process);
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    }
    QStringList expected;
    for (int number = 1; number <= kCopies; ++number) {
        expected << QStringLiteral("%1.jpg").arg(number, 4, 10, QLatin1Char('0'));
    }
    EXPECT_EQ(files(backUps(), QStringLiteral("*")), expected);
    for (const QString& name : expected) {
        EXPECT_EQ(QImageReader(backUps() + QLatin1Char('/') + name).read().size(), QSize(60, 40))
            << name.toStdString();
    }
    EXPECT_EQ(files(userData(), QStringLiteral("*.pdf")).size(), kCopies);
}

// Old hidden temporaries: the program's own go, other programs' stay, in the backup
// folder, the PDF folder and the configuration folder alike.
TEST_F(BackUpRun, RemovesOnlyItsOwnOldTemporaries) {
    storeMode(2);
    const QStringList foreign{QStringLiteral(".thesis.docx.tmp"),
                              QStringLiteral(".video.mp4.part")};
    const QString own = QStringLiteral(".velmar-0123456789abcdef.tmp");
    const QStringList folders{backUps(), userData(), home.configHome()};
    for (const QString& folder : folders) {
        for (const QString& name : foreign + QStringList{own}) {
            test::writeFile(folder + QLatin1Char('/') + name, "x");
            QFile file(folder + QLatin1Char('/') + name);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-7200),
                                         QFileDevice::FileModificationTime));
        }
    }
    const test::RunResult result = print();
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    for (const QString& folder : folders) {
        EXPECT_EQ(hiddenFiles(folder), foreign) << folder.toStdString();
    }
}

// On FAT32 and exFAT, which have no hard links and (through FUSE) no move that refuses an
// existing name, bitmap and JPEG backups and PDFs are published all the same. The disk
// holds the backup folder, which is also the PDF printer's output folder here.
class FatDiskRun : public BackUpRun, public testing::WithParamInterface<test::DiskKind> {
  protected:
    test::FuseDisk disk{GetParam(), home.filePath(QStringLiteral("disk.img")), backUps()};
};

TEST_P(FatDiskRun, KeepsBackUpsAndPdfsNumberedWithoutHardLinks) {
    VELMAR_REQUIRE_DISK(disk);
    test::writeFile(userData() + QStringLiteral("IkPrn.Ik"),
                    "[Printer]\nName=PDF\nOutputFolder=" + backUps().toUtf8() + "\n");
    for (const int mode : {1, 2, 2}) {
        storeMode(mode);
        const test::RunResult result = print();
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    }
    EXPECT_EQ(QDir(backUps()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{QStringLiteral("0001.bmp"), QStringLiteral("0002.jpg"),
                           QStringLiteral("0003.jpg"), QStringLiteral("Print Out (2).pdf"),
                           QStringLiteral("Print Out (3).pdf"), QStringLiteral("Print Out.pdf")}));
    EXPECT_EQ(QImageReader(backUps() + QStringLiteral("/0001.bmp")).read().size(), QSize(60, 40));
    EXPECT_EQ(QImageReader(backUps() + QStringLiteral("/0003.jpg")).read().size(), QSize(60, 40));
}

INSTANTIATE_TEST_SUITE_P(Disks, FatDiskRun,
                         testing::Values(test::DiskKind::kFat32, test::DiskKind::kExfat),
                         [](const testing::TestParamInfo<test::DiskKind>& info) {
                             return info.param == test::DiskKind::kFat32 ? "Fat32" : "Exfat";
                         });

}  // namespace
}  // namespace velmar::print_window
