// The printer-settings file read and written.
#include "printing/printer_settings.h"
#include "doubles/temp_home.h"

#include <gtest/gtest.h>

namespace velmar::printing {
namespace {

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

// The driver's own preferences are written as Base64 with the printer they belong to and
// read back byte for byte; they count only for that printer, preferences no longer kept
// leave none behind, and text that is no Base64 counts as none.
TEST(PrinterSettingsFile, DriverPreferencesComeBackForTheirPrinterOnly) {
    const test::TempHome home;
    const QString file = home.filePath(QStringLiteral("IkPrn.Ik"));
    test::writeFile(file, "[Printer]\nName=Office Laser\n");
    PrinterSettings settings = readPrinterSettings(file);
    settings.driver = {QStringLiteral("Office Laser"), QByteArray("\0\x01=+/\xff devmode", 13)};
    writePrinterSettings(file, settings);
    const PrinterSettings read = readPrinterSettings(file);
    EXPECT_EQ(read, settings);
    EXPECT_EQ(driverPreferencesFor(read, QStringLiteral("Office Laser")), settings.driver.bytes);
    EXPECT_TRUE(driverPreferencesFor(read, QStringLiteral("Photo Inkjet")).isEmpty());

    settings.driver = {};
    writePrinterSettings(file, settings);
    EXPECT_EQ(readPrinterSettings(file).driver, DriverPreferences{});

    test::writeFile(file,
                    "[Printer]\nName=Office Laser\nDriverPrinter=Office Laser\n"
                    "DriverPreferences=no*base64\n");
    EXPECT_TRUE(
        driverPreferencesFor(readPrinterSettings(file), QStringLiteral("Office Laser")).isEmpty());
}

}  // namespace
}  // namespace velmar::printing
