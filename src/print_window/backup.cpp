#include "print_window/backup.h"

#include "base/checked_math.h"
#include "base/leading_number.h"
#include "platform/paths.h"

#include <functional>
#include <future>

#include <limits>

namespace velmar::print_window {

namespace {

constexpr auto kBitmapExtension = ".bmp";
constexpr auto kJpegExtension = ".jpg";
constexpr std::int16_t kHighestNumber = std::numeric_limits<std::int16_t>::max();

[[noreturn]] void raiseNoFreeNumber(const QString& folder) {
    throw Error(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ用ﾌｫﾙﾀﾞ ") + folder +
                QStringLiteral(" には空いている番号がありません (最大 %1)").arg(kHighestNumber));
}

bool isBackUpName(const QString& name) {
    return name.endsWith(QLatin1String(kJpegExtension), Qt::CaseSensitive) ||
           name.endsWith(QLatin1String(kBitmapExtension), Qt::CaseSensitive);
}

// The backup number as a 16-bit value, rounded half to even. A number that does not fit
// leaves no number after it.
std::int16_t roundedNumber(double value, const QString& folder) {
    try {
        return toInt16(value);
    } catch (const Error&) {
        raiseNoFreeNumber(folder);
    }
}

// The folder, a separator and the number with at least four digits.
QString backUpBaseName(const QString& folder, std::int16_t number) {
    return folder + platform::pathSeparator() +
           QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0'));
}

QString otherExtension(const QString& extension) {
    return extension == QLatin1String(kJpegExtension) ? QLatin1String(kBitmapExtension)
                                                      : QLatin1String(kJpegExtension);
}

// name is the backup the copy was meant to become.
[[noreturn]] void raiseUnsaved(image_component::ImageView& ikImg, const QString& name) {
    throw Error(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ ") + name + QStringLiteral(" を保存できませんでした") +
                QLatin1Char('\r') + ikImg.File().LastError());
}

bool saveBitmap(image_component::ImageView& ikImg, const QString& path) {
    ikImg.File().Path(path);
    return ikImg.File().Save(image_component::kFormatBitmap, ikImg.ImageHandle());
}

// 24-bit colour and 8-bit grey images are made 24-bit colour before the JPEG save, so the
// copy is a colour JPEG whatever the image held; other depths are left to the control's
// own save. The depth is read again after the grey flag, and that later answer decides the
// 24-bit case, because the control may settle the depth of the image it has just prepared.
bool saveJpeg(image_component::ImageView& ikImg, const QString& path) {
    ikImg.PrepareImage();
    const std::int16_t depth = ikImg.BitDepth();
    const bool grey = ikImg.GrayFlag();
    const std::int16_t depthAgain = ikImg.BitDepth();
    if ((depth == 8 && grey) || depthAgain == 24) {
        ikImg.Edit().ConvertColorDepth(24, 0, -1, 50);
    }
    ikImg.File().Path(path);
    ikImg.File().JpegQuality(kBackUpJpegQuality);
    return ikImg.File().Save(image_component::kFormatJpeg, ikImg.ImageHandle());
}

// Another copy of the program may create the folder between the test and the creation.
void createFolderUnlessThere(const platform::FileSystem& files, const QString& folder) {
    if (files.folderExists(folder)) {
        return;
    }
    try {
        files.createFolder(folder);
    } catch (const Error&) {
        if (!files.folderExists(folder)) {
            throw;
        }
    }
}

// One more than the highest leading number among the backup names. Only the highest
// counts, so a number whose file was deleted is never given again and the numbers keep the
// order in which the copies were made.
std::int16_t nextNumberAmong(const QStringList& names, const QString& folder) {
    std::int16_t number = 0;
    for (const QString& name : names) {
        if (!isBackUpName(name)) {
            continue;
        }
        const double value = readNumber(QStringView(name).chopped(4));
        if (value > number) {
            number = roundedNumber(value, folder);
        }
    }
    if (number == kHighestNumber) {
        raiseNoFreeNumber(folder);
    }
    return static_cast<std::int16_t>(number + 1);
}

}  // namespace

QString backUpFolder(const QString& userDataFolder) {
    return userDataFolder + QLatin1String(kBackUpFolder);
}

std::int16_t NextBackUpNo(const platform::FileSystem& files, const QString& folder) {
    createFolderUnlessThere(files, folder);
    return nextNumberAmong(files.fileNames(folder), folder);
}

QString publishBackUp(const platform::FileSystem& files, const QString& folder,
                      const QString& finished, std::int16_t number, const QString& extension) {
    for (std::int16_t candidate = number;; ++candidate) {
        const QString base = backUpBaseName(folder, candidate);
        const QString other = base + otherExtension(extension);
        if (!files.fileExists(other) && files.publishNew(finished, base + extension)) {
            // Another copy may have published the number as the other kind meanwhile: the
            // copy goes back to its hidden name and on to the next number.
            if (!files.fileExists(other) || !files.publishNew(base + extension, finished)) {
                return base + extension;
            }
        }
        if (candidate == kHighestNumber) {
            raiseNoFreeNumber(folder);
        }
    }
}

// The folder's names and the number they leave for the next backup.
struct BackUpFolderListing {
    QStringList names;
    std::int16_t next = 0;
};

BackUpFolderListing listBackUpFolder(const platform::FileSystem& files, const QString& folder) {
    BackUpFolderListing listing{files.fileNames(folder), 0};
    listing.next = nextNumberAmong(listing.names, folder);
    return listing;
}

// The folder is listed once, on a thread of its own while the copy is written, since only
// naming the copy needs its number: its names give the number and the hidden copies killed
// runs left. The copy is written whole under a hidden name first and only then given the
// number, or the next one that no file has by then: a run that is killed or fails leaves
// no file under a backup name, and copies running together never share one.
void SaveBackUp(image_component::ImageView& ikImg, std::int16_t nBackUpMode,
                const platform::FileSystem& files, const QString& folder) {
    if (ikImg.ImageHandle() == 0) {
        return;
    }
    createFolderUnlessThere(files, folder);
    std::future<BackUpFolderListing> listing =
        std::async(std::launch::async, listBackUpFolder, std::cref(files), std::cref(folder));
    const bool bitmap = nBackUpMode == kBitmapBackUp;
    const QString extension = QLatin1String(bitmap ? kBitmapExtension : kJpegExtension);
    // Whatever has the hidden name at the end goes, whether or not it was given a number.
    const platform::UnpublishedFile copy(files, folder);
    const bool saved = bitmap ? saveBitmap(ikImg, copy.path()) : saveJpeg(ikImg, copy.path());
    const BackUpFolderListing listed = listing.get();
    files.removeAbandonedTemporaries(folder, listed.names);
    if (!saved) {
        raiseUnsaved(ikImg, backUpBaseName(folder, listed.next) + extension);
    }
    static_cast<void>(publishBackUp(files, folder, copy.path(), listed.next, extension));
}

}  // namespace velmar::print_window
