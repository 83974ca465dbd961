#include "image_component/qt_printer.h"
#include "base/error.h"
#include "doubles/temp_home.h"
#include "image_component/image_component.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

#include <array>

namespace velmar::image_component {
namespace {

// The real control with a loaded image, printing to PDF files in a temporary folder.
class PdfPrinting : public testing::Test {
  protected:
    PdfPrinting() : kit(makeImageKit()), printer(kit->Printer()) {
        settingsFile = home.filePath(QStringLiteral("IkPrn.Ik"));
        printer.SettingsFile(settingsFile);
        QImage image(60, 30, QImage::Format_RGB32);
        image.fill(Qt::black);
        const QString imagePath = home.filePath(QStringLiteral("small.png"));
        EXPECT_TRUE(image.save(imagePath));
        kit->File().Path(imagePath);
        EXPECT_TRUE(kit->File().Load(0));
    }

    void useSettings(const QByteArray& text) const { test::writeFile(settingsFile, text); }

    [[nodiscard]] QStringList pdfs() const {
        return QDir(home.path()).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    }

    test::TempHome home;
    std::unique_ptr<ImageView> kit;
    ImagePrinter& printer;
    QString settingsFile;
};

TEST_F(PdfPrinting, ReadyWithThePdfPrinterOrWithNoPrinterAtAll) {
    useSettings("[Printer]\nName=PDF\n");
    EXPECT_TRUE(printer.CheckReady(1));
    useSettings("[Printer]\n");
    EXPECT_TRUE(printer.CheckReady(1));
}

// On Linux the tests' print system cannot be reached (CUPS_SERVER names a socket nobody
// listens on): a saved printer is not said to be gone, the print fails. Wine's spooler
// answers, and has no such printer: it is gone.
TEST_F(PdfPrinting, StoredPrinterThatCannotBeUsedIsNotReady) {
    for (const char* saved :
         {"[Printer]\nName=Gone Printer\n", "[Printer]\nName=PDF\nBuiltIn=false\n"}) {
        useSettings(saved);
        try {
            EXPECT_FALSE(printer.CheckReady(1));
            EXPECT_FALSE(test::bySystem(true, false)) << "ready with " << saved;
        } catch (const Error& error) {
            EXPECT_TRUE(test::bySystem(true, false));
            EXPECT_TRUE(error.message().startsWith(QStringLiteral("印刷ｼｽﾃﾑに接続できません (")))
                << error.message().toStdString();
        }
        EXPECT_FALSE(printer.BeginDocument());
    }
}

TEST_F(PdfPrinting, DialogsWithoutADisplayCountAsCancelled) {
    EXPECT_FALSE(printer.PrintDialog());
    EXPECT_FALSE(printer.SetupDialog());
    EXPECT_FALSE(QFile::exists(settingsFile));
}

TEST_F(PdfPrinting, OnePageDocumentBecomesANewPdfEachTime) {
    useSettings("[Printer]\nName=PDF\n");
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(printer.CheckReady(1));
        printer.DocumentName(QStringLiteral("Print Out"));
        ASSERT_TRUE(printer.BeginDocument());
        ASSERT_TRUE(printer.BeginPage());
        const std::int32_t surface = printer.DeviceContext();
        ASSERT_NE(surface, 0);
        std::int32_t left = 0;
        std::int32_t top = 0;
        std::int32_t right = 0;
        std::int32_t bottom = 0;
        std::int32_t reserved = 0;
        ASSERT_TRUE(
            printer.PrintableArea(surface, left, top, right, bottom, reserved, reserved, 1));
        EXPECT_EQ((std::array{left, top, right, bottom}), (std::array{42, 42, 2058, 2928}));
        EXPECT_TRUE(printer.DrawImage(surface, kit->ImageHandle(), 0, 0, 508, 254, -1, -1, 1));
        EXPECT_TRUE(printer.EndPage());
        EXPECT_TRUE(printer.EndDocument());
        EXPECT_TRUE(printer.Close());
    }
    EXPECT_EQ(pdfs(),
              QStringList({QStringLiteral("Print Out (2).pdf"), QStringLiteral("Print Out.pdf")}));
}

TEST_F(PdfPrinting, AbortedDocumentWritesNothing) {
    useSettings("[Printer]\nName=PDF\n");
    ASSERT_TRUE(printer.CheckReady(1));
    ASSERT_TRUE(printer.BeginDocument());
    ASSERT_TRUE(printer.BeginPage());
    EXPECT_TRUE(
        printer.DrawImage(printer.DeviceContext(), kit->ImageHandle(), 0, 0, 10, 10, -1, -1, 1));
    printer.AbortDocument();
    EXPECT_FALSE(printer.EndDocument());
    EXPECT_TRUE(pdfs().isEmpty());
}

TEST_F(PdfPrinting, DrawingNeedsAnOpenPageAndTheLoadedImage) {
    useSettings("[Printer]\nName=PDF\n");
    ASSERT_TRUE(printer.CheckReady(1));
    std::int32_t value = 0;
    EXPECT_THROW(printer.PrintableArea(0, value, value, value, value, value, value, 1), Error);
    ASSERT_TRUE(printer.BeginDocument());
    ASSERT_TRUE(printer.BeginPage());
    const std::int32_t surface = printer.DeviceContext();
    EXPECT_THROW(printer.DrawImage(surface + 1, kit->ImageHandle(), 0, 0, 1, 1, -1, -1, 1), Error);
    EXPECT_THROW(printer.DrawImage(surface, kit->ImageHandle() + 1, 0, 0, 1, 1, -1, -1, 1), Error);
    printer.AbortDocument();
}

}  // namespace
}  // namespace velmar::image_component
