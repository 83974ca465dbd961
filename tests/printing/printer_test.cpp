// The printer's page geometry and the built-in printer's PDF files.
#include "printing/printer.h"
#include "base/error.h"
#include "doubles/temp_home.h"
#include "printing/printer_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <array>

namespace velmar::printing {
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

// The one rule by which printing and the dialogs choose. On Linux the tests reach no CUPS
// daemon: a saved printer stays chosen and is not ready. Wine's spooler answers and has no
// printer: a saved one is gone and the built-in printer stands in.
struct Choice {
    const char* name;
    const char* file;  // IkPrn.Ik
    const char* printer;
    bool builtIn;
    bool ready;
    const char* missing;
    bool unreachable;
};

class PrinterInUseFor : public testing::TestWithParam<Choice> {};

TEST_P(PrinterInUseFor, SavedSettings) {
    const test::TempHome home;
    const QString file = home.filePath(QStringLiteral("IkPrn.Ik"));
    test::writeFile(file, GetParam().file);
    const PrinterInUse chosen = printerInUse(readPrinterSettings(file));
    EXPECT_EQ(chosen.name, QString::fromUtf8(GetParam().printer));
    EXPECT_EQ(choosesBuiltInPdf(chosen), GetParam().builtIn);
    EXPECT_EQ(chosen.ready, GetParam().ready);
    EXPECT_EQ(chosen.missingPrinter, QString::fromUtf8(GetParam().missing));
    EXPECT_EQ(!chosen.unreachable.isEmpty(), GetParam().unreachable);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PrinterInUseFor,
    testing::Values(Choice{"BuiltIn", "[Printer]\nName=PDF\n", "PDF", true, true, "", false},
                    Choice{"NothingSaved", "", "PDF", true, true, "", test::bySystem(true, false)},
                    test::bySystem(Choice{"SavedPrinter", "[Printer]\nName=Office\n", "Office",
                                          false, false, "", true},
                                   Choice{"SavedPrinter", "[Printer]\nName=Office\n", "PDF", true,
                                          false, "Office", false})),
    [](const testing::TestParamInfo<Choice>& info) { return info.param.name; });

}  // namespace
}  // namespace velmar::printing
