// The numbered backup copies: the next number from a real folder, claiming the file, and
// the calls the backup makes of the image control.
#include "print_window/backup.h"
#include "doubles/recording_image_kit.h"
#include "doubles/temp_home.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "user_data/usr.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmar::print_window {
namespace {

using test::KitScript;
using test::RecordingImageKit;

class BackUp : public testing::Test {
  protected:
    BackUp() {
        user_data::resetUsr();
        user_data::usr().sUserDataFolder =
            home.filePath(QStringLiteral("user")) + platform::pathSeparator();
        EXPECT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("user"))));
    }
    ~BackUp() override { user_data::resetUsr(); }

    [[nodiscard]] static QString backUpFolder() {
        return user_data::usr().sUserDataFolder + QStringLiteral("Temp");
    }
    [[nodiscard]] QString backUpFile(const char* name) const {
        return backUpFolder() + platform::pathSeparator() + QString::fromUtf8(name);
    }
    void putFiles(const std::vector<const char*>& names) const {
        for (const char* name : names) {
            test::writeFile(backUpFile(name), "x");
        }
    }
    [[nodiscard]] QStringList backUpFiles() const {
        return QDir(backUpFolder()).entryList(QDir::Files, QDir::Name);
    }
    [[nodiscard]] std::int16_t next() const { return NextBackUpNo(files, backUpFolder()); }
    [[nodiscard]] QString publish(const QString& finished, std::int16_t number,
                                  const QString& extension) const {
        return publishBackUp(files, backUpFolder(), finished, number, extension);
    }

    test::TempHome home;
    platform::FileSystem files;
};

struct Folder {
    const char* name;
    std::vector<const char*> files;
    std::int16_t next;
};

class NextNumber : public BackUp, public testing::WithParamInterface<Folder> {};

TEST_P(NextNumber, IsOneMoreThanTheHighestLeadingNumberOfTheBackups) {
    putFiles(GetParam().files);
    EXPECT_EQ(next(), GetParam().next);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, NextNumber,
    testing::Values(
        Folder{"Empty", {}, 1}, Folder{"BothKindsShareOneSequence", {"0001.bmp", "0002.jpg"}, 3},
        Folder{"GapsAreNotReused", {"0001.jpg", "0007.jpg"}, 8},
        Folder{"FiveDigitsAfter9999", {"9999.jpg"}, 10000},
        Folder{"OtherEndingsDoNotCount",
               {"readme.txt", "0050.JPG", "0009.jpg.old", "0060.png", "0070.jpeg", "0080.Bmp"},
               1},
        Folder{"StemWithoutANumberCountsAsZero", {"abc.jpg"}, 1},
        Folder{"NumberFollowedByText", {"0012 copy.jpg"}, 13},
        Folder{"BlanksInsideTheNumberAreSkipped", {" 1 2.bmp"}, 13},
        Folder{"HalvesRoundToEven", {"12.5.jpg", "12.7.jpg"}, 14},
        Folder{"HalfDownToEven", {"12.5.jpg"}, 13}, Folder{"HalfUpToEven", {"13.5.jpg"}, 15},
        Folder{"NegativeNumbersDoNotCount", {"-20.jpg"}, 1},
        Folder{"HexadecimalLikeTheSettings", {"&H10.jpg"}, 17},
        Folder{"HiddenFilesCount", {".0040.jpg", "0003.jpg"}, 4},
        Folder{"OnlyTheEndingIsLeftOut", {".jpg"}, 1},
        Folder{"HighestUsableNumber", {"32766.bmp"}, 32767}),
    [](const testing::TestParamInfo<Folder>& info) { return info.param.name; });

TEST_F(BackUp, MissingFolderIsCreatedAndGivesOne) {
    EXPECT_EQ(next(), 1);
    EXPECT_TRUE(QFileInfo(backUpFolder()).isDir());
}

TEST_F(BackUp, SubFoldersDoNotCount) {
    ASSERT_TRUE(QDir().mkpath(backUpFile("0099.jpg")));
    EXPECT_EQ(next(), 1);
}

TEST_F(BackUp, FolderThatCannotBeCreatedIsAnError) {
    test::writeFile(backUpFolder(), "a file where the folder belongs");
    EXPECT_THROW(static_cast<void>(next()), Error);
}

class NoNumberLeft : public BackUp, public testing::WithParamInterface<const char*> {};

TEST_P(NoNumberLeft, IsSaidPlainly) {
    putFiles({"0001.jpg", GetParam()});
    try {
        static_cast<void>(next());
        FAIL() << "a number was given";
    } catch (const Error& error) {
        EXPECT_EQ(error.message(),
                  QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ用ﾌｫﾙﾀﾞ ") + backUpFolder() +
                      QStringLiteral(" には空いている番号がありません (最大 32767)"));
    }
}

INSTANTIATE_TEST_SUITE_P(Stems, NoNumberLeft,
                         testing::Values("32767.jpg", "32767.4.bmp", "40000.jpg", "1e999.jpg",
                                         "99999999999.jpg"));

struct Claim {
    const char* name;
    std::vector<const char*> taken;
    std::int16_t from;
    const char* extension;
    const char* claimed;
};

class Publish : public BackUp, public testing::WithParamInterface<Claim> {};

TEST_P(Publish, TakesTheFirstNumberNoFileOfEitherKindHas) {
    ASSERT_TRUE(QDir().mkpath(backUpFolder()));
    putFiles(GetParam().taken);
    const QString finished = home.filePath(QStringLiteral("finished"));
    test::writeFile(finished, "finished copy");
    const QString published =
        publish(finished, GetParam().from, QString::fromUtf8(GetParam().extension));
    EXPECT_EQ(published, backUpFile(GetParam().claimed));
    EXPECT_EQ(QFileInfo(published).size(), 13);
    for (const char* taken : GetParam().taken) {
        EXPECT_EQ(QFileInfo(backUpFile(taken)).size(), 1) << taken << " was touched";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, Publish,
    testing::Values(
        Claim{"Free", {}, 3, ".jpg", "0003.jpg"},
        Claim{"SameKindTaken", {"0003.jpg"}, 3, ".jpg", "0004.jpg"},
        Claim{"OtherKindTaken", {"0003.bmp"}, 3, ".jpg", "0004.jpg"},
        Claim{"SeveralTaken", {"0003.bmp", "0004.bmp", "0005.jpg"}, 3, ".bmp", "0006.bmp"},
        Claim{"LastNumber", {}, 32767, ".bmp", "32767.bmp"}),
    [](const testing::TestParamInfo<Claim>& info) { return info.param.name; });

TEST_F(BackUp, NoFreeNameAfterTheLastNumberIsAnError) {
    putFiles({"32767.jpg"});
    const QString finished = home.filePath(QStringLiteral("finished"));
    test::writeFile(finished, "finished copy");
    EXPECT_THROW(static_cast<void>(publish(finished, 32767, QStringLiteral(".jpg"))), Error);
    EXPECT_EQ(backUpFiles(), QStringList{QStringLiteral("32767.jpg")});
}

struct Calls {
    const char* name;
    std::int16_t mode;
    std::int16_t depth;
    bool grey;
    std::vector<std::string> expected;  // "%1/": the backup folder and a separator
};

class SaveCalls : public BackUp, public testing::WithParamInterface<Calls> {};

const std::vector<std::string> kJpegProbe = {"ImageView.ImageHandle", "ImageView.PrepareImage",
                                             "ImageView.BitDepth", "ImageView.GrayFlag",
                                             "ImageView.BitDepth"};

std::vector<std::string> jpegCalls(bool converted) {
    std::vector<std::string> calls = kJpegProbe;
    if (converted) {
        calls.emplace_back("ImageEdit.ConvertColorDepth(24,0,-1,50)");
    }
    for (const char* call : {"ImageFile.Path(%1/.velmar-)", "ImageFile.JpegQuality(85)",
                             "ImageView.ImageHandle", "ImageFile.Save(2,3)"}) {
        calls.emplace_back(call);
    }
    return calls;
}

TEST_P(SaveCalls, FollowTheModeAndTheImageDepth) {
    KitScript script;
    script.imageHandle = 3;
    script.bitDepth = GetParam().depth;
    script.grayFlag = GetParam().grey;
    RecordingImageKit kit(script);

    SaveBackUp(kit, GetParam().mode, files, backUpFolder());

    // The image is saved under a hidden name in the folder, then published as 0001.
    std::vector<std::string> expected;
    for (std::string call : GetParam().expected) {
        const auto at = call.find("%1/");
        if (at != std::string::npos) {
            call.replace(at, 3, (backUpFolder() + platform::pathSeparator()).toStdString());
        }
        expected.push_back(call);
    }
    std::vector<std::string> calls = kit.calls;
    for (std::string& call : calls) {
        const auto hidden = call.find(".velmar-");
        if (call.starts_with("ImageFile.Path(") && hidden != std::string::npos) {
            call = call.substr(0, hidden + 8) + ')';
        }
    }
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(backUpFiles().size(), 1);
    EXPECT_EQ(QDir(backUpFolder()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "the hidden copy is left";
}

INSTANTIATE_TEST_SUITE_P(
    ModesAndDepths, SaveCalls,
    testing::Values(Calls{"Bitmap",
                          1,
                          24,
                          false,
                          {"ImageView.ImageHandle", "ImageFile.Path(%1/.velmar-)",
                           "ImageView.ImageHandle", "ImageFile.Save(0,3)"}},
                    Calls{"Jpeg24Bit", 2, 24, false, jpegCalls(true)},
                    Calls{"JpegGrey8Bit", 2, 8, true, jpegCalls(true)},
                    Calls{"JpegPalette8Bit", 2, 8, false, jpegCalls(false)},
                    Calls{"Jpeg1Bit", 2, 1, false, jpegCalls(false)},
                    Calls{"Jpeg4Bit", 2, 4, false, jpegCalls(false)},
                    Calls{"Jpeg32Bit", 2, 32, false, jpegCalls(false)},
                    Calls{"ModeThreeIsJpeg", 3, 24, false, jpegCalls(true)},
                    Calls{"LargeModeIsJpeg", 32767, 16, false, jpegCalls(false)}),
    [](const testing::TestParamInfo<Calls>& info) { return info.param.name; });

TEST_F(BackUp, NoImageWritesNothingAndLeavesTheFolderAlone) {
    RecordingImageKit kit;  // handle 0
    SaveBackUp(kit, 2, files, backUpFolder());
    EXPECT_EQ(kit.calls, std::vector<std::string>{"ImageView.ImageHandle"});
    EXPECT_FALSE(QFileInfo::exists(backUpFolder()));
}

TEST_F(BackUp, SaveThatFailsIsAnErrorAndLeavesNoFile) {
    KitScript script;
    script.imageHandle = 3;
    script.saveSucceeds = false;
    RecordingImageKit kit(script);
    putFiles({"0001.jpg"});
    try {
        SaveBackUp(kit, 2, files, backUpFolder());
        FAIL() << "the failed save was not reported";
    } catch (const Error& error) {
        EXPECT_EQ(error.message(),
                  QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ ") + backUpFile("0002.jpg") +
                      QStringLiteral(" を保存できませんでした\rscripted save failure"));
    }
    EXPECT_EQ(backUpFiles(), QStringList{QStringLiteral("0001.jpg")});
}

TEST_F(BackUp, ControlThatThrowsLeavesNoFile) {
    KitScript script;
    script.imageHandle = 3;
    script.failingCall = "ImageFile.Save";
    RecordingImageKit kit(script);
    EXPECT_THROW(SaveBackUp(kit, 1, files, backUpFolder()), Error);
    EXPECT_TRUE(backUpFiles().isEmpty());
}

// The real control writes files that image readers accept, of the kind the name says.
class RealBackUp : public BackUp, public testing::WithParamInterface<QImage::Format> {};

TEST_P(RealBackUp, WritesAValidBitmapThenAValidJpeg) {
    QImage image(40, 30, GetParam());
    image.fill(Qt::gray);
    const QString source = home.filePath(QStringLiteral("source.png"));
    ASSERT_TRUE(image.save(source));
    const auto kit = image_component::makeImageKit();
    kit->File().Path(source);
    ASSERT_TRUE(kit->File().Load(0));

    SaveBackUp(*kit, 1, files, backUpFolder());
    SaveBackUp(*kit, 2, files, backUpFolder());

    struct Written {
        const char* name;
        const char* format;
    };
    for (const Written written : {Written{"0001.bmp", "bmp"}, Written{"0002.jpg", "jpeg"}}) {
        QImageReader reader(backUpFile(written.name));
        EXPECT_EQ(reader.format(), QByteArray(written.format)) << written.name;
        EXPECT_EQ(reader.read().size(), QSize(40, 30)) << written.name;
    }
    EXPECT_EQ(backUpFiles().size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Depths, RealBackUp,
                         testing::Values(QImage::Format_RGB32, QImage::Format_Grayscale8,
                                         QImage::Format_Mono, QImage::Format_ARGB32));

}  // namespace
}  // namespace velmar::print_window
