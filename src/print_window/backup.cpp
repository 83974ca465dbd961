#include "print_window/backup.h"

#include "base/checked_math.h"
#include "settings_store/settings_document.h"
#include "user_data/usr.h"

#include <limits>

namespace velmar::print_window {

namespace {

constexpr auto kBitmapExtension = ".bmp";
constexpr auto kJpegExtension = ".jpg";
constexpr std::int16_t kHighestNumber = std::numeric_limits<std::int16_t>::max();

QString backUpFolder() {
    return user_data::usr().sUserDataFolder + QLatin1String(kBackUpFolder);
}

[[noreturn]] void raiseNoFreeNumber() {
    throw Error(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ用ﾌｫﾙﾀﾞ ") + backUpFolder() +
                QStringLiteral(" には空いている番号がありません (最大 %1)").arg(kHighestNumber));
}

bool isBackUpName(const QString& name) {
    return name.endsWith(QLatin1String(kJpegExtension), Qt::CaseSensitive) ||
           name.endsWith(QLatin1String(kBitmapExtension), Qt::CaseSensitive);
}

// The backup number as a 16-bit value, rounded half to even. A number that does not fit
// leaves no number after it.
std::int16_t roundedNumber(double value) {
    try {
        return toInt16(value);
    } catch (const Error&) {
        raiseNoFreeNumber();
    }
}

// The folder, a separator and the number with at least four digits.
QString backUpBaseName(std::int16_t number) {
    return backUpFolder() + platform::pathSeparator() +
           QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0'));
}

QString otherExtension(const QString& extension) {
    return extension == QLatin1String(kJpegExtension) ? QLatin1String(kBitmapExtension)
                                                      : QLatin1String(kJpegExtension);
}

// A reserved backup file that is removed again unless the backup was written.
class Reservation {
  public:
    explicit Reservation(QString path) : path_(std::move(path)) {}
    ~Reservation() {
        if (!kept_) {
            try {
                user_data::EnsureFso().DeleteFile(path_);
            } catch (const Error&) {  // NOLINT(bugprone-empty-catch): the first error counts
            }
        }
    }
    Reservation(const Reservation&) = delete;
    Reservation& operator=(const Reservation&) = delete;
    Reservation(Reservation&&) = delete;
    Reservation& operator=(Reservation&&) = delete;

    [[nodiscard]] const QString& path() const { return path_; }
    void keep() { kept_ = true; }

  private:
    QString path_;
    bool kept_ = false;
};

void saveOrRaise(image_component::ImageView& ikImg, std::int32_t format, const QString& path) {
    image_component::ImageFile& file = ikImg.File();
    if (!file.Save(format, ikImg.ImageHandle())) {
        throw Error(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ ") + path + QStringLiteral(" を保存できませんでした") +
                    QLatin1Char('\r') + file.LastError());
    }
}

void saveBitmap(image_component::ImageView& ikImg, const QString& path) {
    ikImg.File().Path(path);
    saveOrRaise(ikImg, image_component::kFormatBitmap, path);
}

// 24-bit colour and 8-bit grey images are made 24-bit colour before the JPEG save.
void saveJpeg(image_component::ImageView& ikImg, const QString& path) {
    ikImg.PrepareImage();
    const std::int16_t depth = ikImg.BitDepth();
    const bool grey = ikImg.GrayFlag();
    const std::int16_t depthAgain = ikImg.BitDepth();
    if ((depth == 8 && grey) || depthAgain == 24) {
        ikImg.Edit().ConvertColorDepth(24, 0, -1, 50);
    }
    ikImg.File().Path(path);
    ikImg.File().JpegQuality(kBackUpJpegQuality);
    saveOrRaise(ikImg, image_component::kFormatJpeg, path);
}

// Another copy of the program may create the folder between the test and the creation.
void createFolderUnlessThere(const platform::FileSystem& files, const QString& folder) {
    if (files.FolderExists(folder)) {
        return;
    }
    try {
        files.CreateFolder(folder);
    } catch (const Error&) {
        if (!files.FolderExists(folder)) {
            throw;
        }
    }
}

}  // namespace

void NextBackUpNo(std::int16_t& number) {
    const QString folder = backUpFolder();
    const platform::FileSystem& files = user_data::EnsureFso();
    createFolderUnlessThere(files, folder);
    number = 0;
    for (const QString& name : files.FileNames(folder)) {
        if (!isBackUpName(name)) {
            continue;
        }
        const double value = settings_store::readNumber(QStringView(name).chopped(4));
        if (value > number) {
            number = roundedNumber(value);
        }
    }
    if (number == kHighestNumber) {
        raiseNoFreeNumber();
    }
    ++number;
}

QString reserveBackUpFile(std::int16_t number, const QString& extension) {
    const platform::FileSystem& files = user_data::EnsureFso();
    for (std::int16_t candidate = number;; ++candidate) {
        const QString base = backUpBaseName(candidate);
        if (files.CreateNewFile(base + extension)) {
            // Another copy may have claimed the number for the other kind meanwhile.
            if (!files.FileExists(base + otherExtension(extension))) {
                return base + extension;
            }
            files.DeleteFile(base + extension);
        }
        if (candidate == kHighestNumber) {
            raiseNoFreeNumber();
        }
    }
}

void SaveBackUp(image_component::ImageView& ikImg, std::int16_t nBackUpMode) {
    if (ikImg.ImageHandle() == 0) {
        return;
    }
    std::int16_t number = 0;
    NextBackUpNo(number);
    const bool bitmap = nBackUpMode == kBitmapBackUp;
    Reservation reserved(
        reserveBackUpFile(number, QLatin1String(bitmap ? kBitmapExtension : kJpegExtension)));
    if (bitmap) {
        saveBitmap(ikImg, reserved.path());
    } else {
        saveJpeg(ikImg, reserved.path());
    }
    reserved.keep();
}

}  // namespace velmar::print_window
