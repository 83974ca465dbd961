#include "image_component/qt_printer.h"
#include "base/error.h"
#include "doubles/temp_home.h"
#include "image_component/image_component.h"
#include "printing/printer_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

namespace velmar::image_component {
namespace {

TEST(PrintableTenths, A4LessTheMarginsInBothOrientations) {
    const QMarginsF margins(kPdfMarginMm, kPdfMarginMm, kPdfMarginMm, kPdfMarginMm);
    const TenthsRect portrait = printableTenths(PageGeometry{QSizeF(210, 297), margins});
    EXPECT_EQ((std::array{portrait.left, portrait.top, portrait.right, portrait.bottom}),
              (std::array{42, 42, 2058, 2928}));
    const TenthsRect landscape = printableTenths(PageGeometry{QSizeF(297, 210), margins});
    EXPECT_EQ((std::array{landscape.left, landscape.top, landscape.right, landscape.bottom}),
              (std::array{42, 42, 2928, 2058}));
}

// Publishes a PDF whose content is the given text.
QString publish(const QString& folder, const QString& name, const QByteArray& content = "new") {
    return publishNewPdf(folder, name, [&content](QIODevice& device) { device.write(content); });
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(FreePdfFile, NeverReusesANameAndLeavesNoTemporaryFile) {
    const test::TempHome home;
    const QString folder = home.filePath(QStringLiteral("out"));
    test::writeFile(folder + QStringLiteral("/Print Out (2).pdf"), "kept");
    EXPECT_EQ(publish(folder, QStringLiteral("Print Out")),
              folder + QStringLiteral("/Print Out.pdf"));
    EXPECT_EQ(publish(folder, QStringLiteral("Print Out"), "third"),
              folder + QStringLiteral("/Print Out (3).pdf"));
    EXPECT_EQ(contentOf(folder + QStringLiteral("/Print Out (2).pdf")), "kept");
    EXPECT_EQ(contentOf(folder + QStringLiteral("/Print Out (3).pdf")), "third");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST(FreePdfFile, DocumentThatFailsToBeWrittenLeavesNothing) {
    const test::TempHome home;
    EXPECT_THROW((void)publishNewPdf(home.path(), QStringLiteral("Print Out"),
                                     [](QIODevice& device) {
                                         device.write("half");
                                         throw Error(QStringLiteral("disk full"));
                                     }),
                 Error);
    EXPECT_TRUE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(FreePdfFile, DocumentNameCannotLeaveTheFolder) {
    const test::TempHome home;
    const QString created = publish(home.path(), QStringLiteral("../a/b"));
    EXPECT_EQ(QFileInfo(created).absolutePath(), home.path());
}

TEST(FreePdfFile, FolderThatCannotExistIsAnError) {
    const test::TempHome home;
    test::writeFile(home.filePath(QStringLiteral("plain-file")), "x");
    EXPECT_THROW(
        (void)publish(home.filePath(QStringLiteral("plain-file/out")), QStringLiteral("Print Out")),
        Error);
}

TEST(PrinterSettingsFile, MissingFileGivesTheDefaults) {
    const test::TempHome home;
    const QString file = home.filePath(QStringLiteral("IkPrn.Ik"));
    const PrinterSettings settings = readPrinterSettings(file);
    EXPECT_TRUE(settings.name.isEmpty());
    EXPECT_FALSE(settings.paper.has_value());
    EXPECT_EQ(settings.orientation, QPageLayout::Portrait);
    EXPECT_EQ(pdfOutputFolder(file, settings), home.path());
}

TEST(PrinterSettingsFile, ReadsWhatAPersonWrites) {
    const test::TempHome home;
    const QString file = home.filePath(QStringLiteral("IkPrn.Ik"));
    test::writeFile(file,
                    "[Printer]\r\nName=Office Laser\r\nPaperSize=letter\r\n"
                    "Orientation=landscape\r\nOutputFolder=/srv/pdf\r\n");
    const PrinterSettings settings = readPrinterSettings(file);
    EXPECT_EQ(settings.name, QStringLiteral("Office Laser"));
    ASSERT_TRUE(settings.paper.has_value());
    EXPECT_EQ(settings.paper->id(), QPageSize::Letter);
    EXPECT_EQ(settings.orientation, QPageLayout::Landscape);
    EXPECT_EQ(pdfOutputFolder(file, settings), QStringLiteral("/srv/pdf"));
}

// Name=PDF alone is the built-in printer, as in every older file; a queue named PDF is
// kept with BuiltIn=false, and choosing the built-in printer again says so.
TEST(PrinterSettingsFile, QueueNamedPdfIsKeptApartFromTheBuiltInPrinter) {
    const test::TempHome home;
    const QString file = home.filePath(QStringLiteral("IkPrn.Ik"));
    test::writeFile(file, "[Printer]\nName=PDF\n");
    PrinterSettings settings = readPrinterSettings(file);
    EXPECT_TRUE(choosesBuiltInPdf(settings));
    settings.pdfQueue = true;
    writePrinterSettings(file, settings);
    EXPECT_FALSE(choosesBuiltInPdf(readPrinterSettings(file)));
    EXPECT_EQ(readPrinterSettings(file).name, QStringLiteral("PDF"));
    settings.pdfQueue = false;
    writePrinterSettings(file, settings);
    EXPECT_TRUE(choosesBuiltInPdf(readPrinterSettings(file)));
    test::writeFile(file, "[Printer]\nName=Office\nBuiltIn=false\n");
    EXPECT_FALSE(readPrinterSettings(file).pdfQueue);
}

TEST(PrinterSettingsFile, UnknownPaperIsIgnored) {
    const test::TempHome home;
    const QString file = home.filePath(QStringLiteral("IkPrn.Ik"));
    test::writeFile(file, "[Printer]\nPaperSize=Napkin\n");
    EXPECT_FALSE(readPrinterSettings(file).paper.has_value());
}

TEST(PrinterSettingsFile, WritingKeepsTheOutputFolder) {
    const test::TempHome home;
    const QString file = home.filePath(QStringLiteral("IkPrn.Ik"));
    test::writeFile(file, "[Printer]\nName=PDF\nOutputFolder=/srv/pdf\n");
    PrinterSettings chosen;
    chosen.name = QStringLiteral("Office Laser");
    chosen.paper = QPageSize(QPageSize::A3);
    chosen.orientation = QPageLayout::Landscape;
    writePrinterSettings(file, chosen);
    const PrinterSettings read = readPrinterSettings(file);
    EXPECT_EQ(read.name, chosen.name);
    EXPECT_EQ(read.paper->id(), QPageSize::A3);
    EXPECT_EQ(read.orientation, QPageLayout::Landscape);
    EXPECT_EQ(read.outputFolder, QStringLiteral("/srv/pdf"));
}

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
