// A JPEG's pixels decoded for the page from its file, which must still be the file loaded.
#include "image_files/image_loader.h"
#include "base/error.h"
#include "doubles/temp_home.h"
#include "image_files/image_fixtures.h"

#include <QImage>

#include <gtest/gtest.h>

namespace velmar::image_files {
namespace {

TEST(UprightJpegPixels, TurnedUprightAndRefusedOnceTheFileChanged) {
    const test::TempHome home;
    const QString path = home.filePath(QStringLiteral("turned.jpg"));
    test::ExifOptions exif;
    exif.orientation = 6;
    QImage stored(40, 20, QImage::Format_RGB888);
    stored.fill(Qt::red);
    test::writeFile(path, test::jpegWithExif(exif, stored));
    const LoadedImage loaded = loadImage(path);
    ASSERT_TRUE(loaded.jpeg.has_value());

    EXPECT_EQ(uprightJpegPixels(path, *loaded.jpeg, loaded.transformation).size(), QSize(20, 40));
    test::writeFile(path, test::jpegWithExif(exif, stored.scaled(30, 20)));
    EXPECT_THROW((void)uprightJpegPixels(path, *loaded.jpeg, loaded.transformation), Error);
}

}  // namespace
}  // namespace velmar::image_files
