// The printer dialog as a user meets it, driven in this process: it opens on the saved
// printer, paper and orientation (or names the saved printer that is gone), confirmed as
// it is it gives back what it showed, and its buttons speak Japanese.
#include "printing/printer_dialogs.h"
#include "doubles/temp_home.h"
#include "print_window/run.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QTranslator>

#include <gtest/gtest.h>

namespace velmar::printing {
namespace {

// What the dialog showed when it opened.
struct Seen {
    QString printer;
    QString paper;  // its key: the names shown are translated
    bool landscape = false;
    QString notice;
    QString cancel;
    QStringList listed;
    QString paperName{};  // as shown
};

struct Saved {
    const char* name;
    const char* file;  // IkPrn.Ik
    Seen expected;
};

class PrinterDialogShows : public testing::TestWithParam<Saved> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(print_window::loadToolkitTranslations(japanese_))
            << "no Japanese toolkit texts (package qt6-translations-l10n)";
    }
    void TearDown() override { QApplication::removeTranslator(&japanese_); }

    QTranslator japanese_;
};

TEST_P(PrinterDialogShows, TheSavedChoiceAndGivesItBackWhenConfirmed) {
    const test::TempHome home;
    const QString file = home.filePath(QStringLiteral("IkPrn.Ik"));
    test::writeFile(file, GetParam().file);
    const ShownChoice shown = shownChoice(readPrinterSettings(file), home.path());
    Seen seen;
    QTimer::singleShot(0, [&seen] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        const auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printer"));
        seen.printer = printers->currentText();
        for (int item = 0; item < printers->count(); ++item) {
            seen.listed << printers->itemText(item);
        }
        const auto* paper = dialog->findChild<QComboBox*>(QStringLiteral("paper"));
        seen.paper = paper->currentData().toString();
        seen.paperName = paper->currentText();
        seen.landscape = dialog->findChild<QRadioButton*>(QStringLiteral("landscape"))->isChecked();
        for (const QLabel* notice : dialog->findChildren<QLabel*>()) {
            if (notice->objectName() == QStringLiteral("missingPrinter") ||
                notice->objectName() == QStringLiteral("unreachable")) {
                seen.notice += notice->text();
            }
        }
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        seen.cancel = buttons->button(QDialogButtonBox::Cancel)->text();
        buttons->button(QDialogButtonBox::Ok)->click();
    });
    QWidget parent;

    const std::optional<PrinterChoice> chosen =
        askPrinter(PrinterDialogKind::kSetup, QStringLiteral("ﾌﾟﾘﾝﾀ設定"), shown, parent);

    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, shown.choice);
    const Seen& expected = GetParam().expected;
    EXPECT_EQ(seen.printer, expected.printer);
    EXPECT_EQ(seen.paper, expected.paper);
    // The toolkit's Japanese name where it has one.
    EXPECT_EQ(seen.paperName, seen.paper == QLatin1String("Letter")
                                  ? QStringLiteral("レター / ANSI A")
                                  : seen.paper);
    EXPECT_EQ(seen.landscape, expected.landscape);
    EXPECT_EQ(seen.notice.left(expected.notice.size()), expected.notice);
    EXPECT_EQ(seen.notice.isEmpty(), expected.notice.isEmpty()) << seen.notice.toStdString();
    EXPECT_EQ(seen.cancel, QStringLiteral("キャンセル"));
    EXPECT_EQ(seen.listed, expected.listed);
}

// The built-in PDF printer is the only one on offer. On Linux the tests reach no CUPS
// daemon: a saved printer is kept (nothing says that it is gone) and the dialog says why.
// Wine's spooler answers, and has no such printer: the dialog names it as gone.
const Seen kBuiltInOnly{"PDF (内蔵ﾌﾟﾘﾝﾀ)", "A4", false, "", "", {"PDF (内蔵ﾌﾟﾘﾝﾀ)"}};
const QString kUnreachable = QStringLiteral("印刷ｼｽﾃﾑに接続できません (");

INSTANTIATE_TEST_SUITE_P(
    Files, PrinterDialogShows,
    testing::Values(
        Saved{"PdfOnA3Landscape",
              "[Printer]\nName=PDF\nPaperSize=A3\nOrientation=Landscape\n",
              {"PDF (内蔵ﾌﾟﾘﾝﾀ)", "A3", true, "", "", {"PDF (内蔵ﾌﾟﾘﾝﾀ)"}}},
        Saved{"NothingSaved", "",
              test::bySystem(
                  Seen{"PDF (内蔵ﾌﾟﾘﾝﾀ)", "A4", false, kUnreachable, "", {"PDF (内蔵ﾌﾟﾘﾝﾀ)"}},
                  kBuiltInOnly)},
        Saved{"SavedPrinterThatCannotBeUsed", "[Printer]\nName=Office Laser\nPaperSize=Letter\n",
              test::bySystem(Seen{"Office Laser",
                                  "Letter",
                                  false,
                                  kUnreachable,
                                  "",
                                  {"Office Laser", "PDF (内蔵ﾌﾟﾘﾝﾀ)"}},
                             Seen{"PDF (内蔵ﾌﾟﾘﾝﾀ)",
                                  "Letter",
                                  false,
                                  "保存されているﾌﾟﾘﾝﾀ Office Laser",
                                  "",
                                  {"PDF (内蔵ﾌﾟﾘﾝﾀ)"}})},
        Saved{"QueueNamedPdfThatCannotBeUsed", "[Printer]\nName=PDF\nBuiltIn=false\nPaperSize=A4\n",
              test::bySystem(Seen{"PDF", "A4", false, kUnreachable, "", {"PDF", "PDF (内蔵ﾌﾟﾘﾝﾀ)"}},
                             Seen{"PDF (内蔵ﾌﾟﾘﾝﾀ)",
                                  "A4",
                                  false,
                                  "保存されているﾌﾟﾘﾝﾀ PDF",
                                  "",
                                  {"PDF (内蔵ﾌﾟﾘﾝﾀ)"}})}),
    [](const testing::TestParamInfo<Saved>& info) { return info.param.name; });

// The set-up dialog opens on the saved copies and sides, changes the copies and the PDF
// printer's folder, and what it confirms is written and read back: the next PDF goes to
// the new folder. The built-in PDF printer offers no two-sided printing and no copies.
TEST(PrinterSetupDialog, KeepsCopiesSidesAndTheChosenFolder) {
    const test::TempHome home;
    const QString file = home.filePath(QStringLiteral("IkPrn.Ik"));
    test::writeFile(file, "[Printer]\nName=PDF\nCopies=3\nDuplex=LongSide\n");
    const PrinterSettings saved = readPrinterSettings(file);
    const QString newFolder = home.filePath(QStringLiteral("PDFs"));
    ASSERT_TRUE(QDir().mkpath(newFolder));
    int shownCopies = 0;
    bool copiesOrSidesOffered = true;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        auto* copies = dialog->findChild<QSpinBox*>(QStringLiteral("copies"));
        shownCopies = copies->value();
        copiesOrSidesOffered = copies->isEnabled() ||
                               dialog->findChild<QComboBox*>(QStringLiteral("duplex"))->isEnabled();
        copies->setValue(5);
        QTimer::singleShot(0, [&newFolder] {
            auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(picker, nullptr);
            picker->setDirectory(newFolder);
            static_cast<QDialog*>(picker)->accept();  // public there, protected here
        });
        dialog->findChild<QPushButton*>(QStringLiteral("pdfFolder"))->click();
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    QWidget parent;
    // The system's own folder picker cannot be driven from here.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);

    const std::optional<PrinterChoice> chosen =
        askPrinter(PrinterDialogKind::kSetup, QStringLiteral("ﾌﾟﾘﾝﾀ設定"),
                   shownChoice(saved, pdfOutputFolder(file, saved)), parent);
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs, false);

    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(shownCopies, 3);
    EXPECT_FALSE(copiesOrSidesOffered);
    writePrinterSettings(file, settingsFor(*chosen, saved));
    const PrinterSettings written = readPrinterSettings(file);
    EXPECT_EQ(written.copies, 5);
    EXPECT_EQ(written.duplex, QPrinter::DuplexNone);
    EXPECT_EQ(QDir(pdfOutputFolder(file, written)), QDir(newFolder));
}

// Where printer drivers have preferences of their own (Windows), the set-up dialog's button
// shows them for the chosen print queue, starting from those kept for it, and the confirmed
// ones go with the choice; with the built-in PDF printer chosen it cannot be pressed.
// Elsewhere there is no such button and the kept preferences pass through unchanged.
TEST(PrinterSetupDialog, DriverPreferencesOfTheChosenQueue) {
    ShownChoice shown;
    shown.choice.printer = QStringLiteral("Office Laser");  // listed first: the list lacks it
    shown.choice.driver = {shown.choice.printer, "kept"};
    QList<std::pair<QString, QByteArray>> asked;
    const auto driverDialog = [&asked](QWidget& /*parent*/, const QString& printer,
                                       const QByteArray& kept) -> std::optional<QByteArray> {
        asked.append({printer, kept});
        return QByteArray("confirmed");
    };
    bool offered = false;
    bool offeredForPdf = true;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        auto* button = dialog->findChild<QPushButton*>(QStringLiteral("driverPreferences"));
        if (button != nullptr) {
            EXPECT_EQ(button->text(), QStringLiteral("ﾌﾟﾘﾝﾀのﾌﾟﾛﾊﾟﾃｨ"));
            offered = button->isEnabled();
            button->click();
            auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printer"));
            printers->setCurrentIndex(printers->count() - 1);  // the built-in PDF printer
            offeredForPdf = button->isEnabled();
            printers->setCurrentIndex(0);
        }
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    QWidget parent;

    const std::optional<PrinterChoice> chosen = askPrinter(
        PrinterDialogKind::kSetup, QStringLiteral("ﾌﾟﾘﾝﾀ設定"), shown, parent, driverDialog);

    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(offered, test::bySystem(false, true));
    EXPECT_EQ(asked.size(), test::bySystem(0, 1));
    if (!asked.isEmpty()) {
        EXPECT_EQ(asked.front(), std::pair(shown.choice.printer, QByteArray("kept")));
        EXPECT_FALSE(offeredForPdf);
    }
    EXPECT_EQ(chosen->driver,
              (DriverPreferences{shown.choice.printer,
                                 test::bySystem(QByteArray("kept"), QByteArray("confirmed"))}));
}

}  // namespace
}  // namespace velmar::printing
