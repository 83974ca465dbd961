// The real program, started as a user would start it, headless, printing with the
// built-in PDF printer. Its page is rasterised at 254 dpi so that one pixel is 0.1 mm.
#include "doubles/page_raster.h"
#include "doubles/session_bus.h"
#include "doubles/temp_home.h"
#include "doubles/velmar_process.h"
#include "image_files/image_fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QUrl>

#include <gtest/gtest.h>

namespace velmar::print_window {
namespace {

constexpr int kDotsPerMetreAt300Dpi = 11811;

using test::inkBounds;
using test::RunResult;

class PrintOnlyRun : public testing::Test {
  protected:
    [[nodiscard]] QString userData() const {
        return home.dataHome() + QStringLiteral("/Ostrand/velmar/");
    }

    [[nodiscard]] RunResult runVelmar(const QStringList& arguments) const {
        return test::runVelmar(home, arguments);
    }

    void usePrinterSettings(const QByteArray& text) const {
        test::writeFile(userData() + QStringLiteral("IkPrn.Ik"), text);
    }

    // A black image of the given pixel size, with 300 dpi recorded or with no resolution.
    [[nodiscard]] QString blackImage(const QString& name, QSize size, bool at300Dpi) const {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::black);
        const QString path = home.filePath(QStringLiteral("images/") + name);
        if (at300Dpi) {
            image.setDotsPerMeterX(kDotsPerMetreAt300Dpi);
            image.setDotsPerMeterY(kDotsPerMetreAt300Dpi);
            test::writeFile(path, test::qtEncoded(image, "PNG"));
        } else {
            test::writeFile(path, test::pngWithoutPhys(image));
        }
        return path;
    }

    [[nodiscard]] QStringList pdfs() const {
        return QDir(userData()).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    }

    [[nodiscard]] QImage rasterised(const QString& pdfName) const {
        return test::rasterisePdf(userData() + pdfName, test::kTenthsDpi);
    }

    test::TempHome home;
};

void expectNear(const QRect& actual, const QRect& expected) {
    EXPECT_NEAR(actual.left(), expected.left(), 1) << "left";
    EXPECT_NEAR(actual.top(), expected.top(), 1) << "top";
    EXPECT_NEAR(actual.width(), expected.width(), 1) << "width";
    EXPECT_NEAR(actual.height(), expected.height(), 1) << "height";
}

struct Placement {
    const char* name;
    QSize pixels;
    bool at300Dpi;
    const char* printerSettings;
    QSize page;   // in tenths of a millimetre
    QRect drawn;  // in tenths of a millimetre
};

class PrintOnlyPlacement : public PrintOnlyRun, public testing::WithParamInterface<Placement> {};

TEST_P(PrintOnlyPlacement, ImageLandsAtThePrintableCornerAtItsPhysicalSize) {
    const Placement& placement = GetParam();
    usePrinterSettings(placement.printerSettings);
    const QString image =
        blackImage(QStringLiteral("image.png"), placement.pixels, placement.at300Dpi);

    const RunResult result = runVelmar({image});

    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    ASSERT_EQ(pdfs(), QStringList{QStringLiteral("Print Out.pdf")});
    const QImage page = rasterised(QStringLiteral("Print Out.pdf"));
    EXPECT_NEAR(page.width(), placement.page.width(), 1);
    EXPECT_NEAR(page.height(), placement.page.height(), 1);
    expectNear(inkBounds(page), placement.drawn);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PrintOnlyPlacement,
    testing::Values(Placement{"A4PageShrinksTheWorkedExample", QSize(2480, 3508), true,
                              "[Printer]\nName=PDF\n", QSize(2100, 2970),
                              QRect(42, 42, 2016, 2851)},
                    Placement{"FittingImageIsNotEnlarged", QSize(600, 300), true,
                              "[Printer]\nName=PDF\n", QSize(2100, 2970), QRect(42, 42, 508, 254)},
                    Placement{"NoRecordedResolutionMeans72Dpi", QSize(144, 72), false,
                              "[Printer]\nName=PDF\n", QSize(2100, 2970), QRect(42, 42, 508, 254)},
                    Placement{"NoPrinterAtAllUsesThePdfPrinter", QSize(600, 300), true, "",
                              QSize(2100, 2970), QRect(42, 42, 508, 254)},
                    Placement{"LandscapePaperFromTheSettingsFile", QSize(3508, 2480), true,
                              "[Printer]\nName=PDF\nOrientation=Landscape\n", QSize(2970, 2100),
                              QRect(42, 42, 2851, 2016)},
                    Placement{"LetterPaperFromTheSettingsFile", QSize(600, 300), true,
                              "[Printer]\nName=PDF\nPaperSize=Letter\n", QSize(2159, 2794),
                              QRect(42, 42, 508, 254)}),
    [](const testing::TestParamInfo<Placement>& info) { return info.param.name; });

// Qt rounds a printable area's origin to whole points when it lays the page out itself
// (4.2 mm would become 4.233 mm); measured to 0.01 mm, the image starts at 4.2 mm.
TEST_F(PrintOnlyRun, ImageStartsExactlyAtTheMarginsToAHundredthOfAMillimetre) {
    usePrinterSettings("[Printer]\nName=PDF\n");
    const QString image = blackImage(QStringLiteral("image.png"), QSize(600, 300), true);

    const RunResult result = runVelmar({image});

    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    const QPoint corner = test::inkCornerInHundredths(userData() + QStringLiteral("Print Out.pdf"));
    EXPECT_NEAR(corner.x(), 420, 2);
    EXPECT_NEAR(corner.y(), 420, 2);
}

TEST_F(PrintOnlyRun, SecondRunWritesANewPdfAndTheWindowIsNeverNeeded) {
    usePrinterSettings("[Printer]\nName=PDF\n");
    const QString image = blackImage(QStringLiteral("a b.png"), QSize(60, 60), true);
    for (int run = 0; run < 2; ++run) {
        const RunResult result = runVelmar({QLatin1Char('"') + image + QLatin1Char('"')});
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        EXPECT_FALSE(result.standardError.contains(QStringLiteral("no display")));
        EXPECT_TRUE(result.standardError.contains(userData() + QStringLiteral("Print Out")));
    }
    EXPECT_EQ(pdfs(),
              QStringList({QStringLiteral("Print Out (2).pdf"), QStringLiteral("Print Out.pdf")}));
}

TEST_F(PrintOnlyRun, PathSplitIntoSeveralArgumentsIsOnePath) {
    usePrinterSettings("[Printer]\nName=PDF\n");
    const QString image = blackImage(QStringLiteral("a b.png"), QSize(60, 60), true);
    const RunResult result = runVelmar({image.chopped(6), QStringLiteral("b.png")});
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(pdfs().size(), 1);
}

TEST_F(PrintOnlyRun, UnreadableImageIsReportedAndNothingIsPrinted) {
    usePrinterSettings("[Printer]\nName=PDF\n");
    const QString path = home.filePath(QStringLiteral("images/broken.jpg"));
    test::writeFile(path, "this is not an image");

    const RunResult result = runVelmar({path});

    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(result.standardError.contains(QStringLiteral("Velmar: 画像ﾌｧｲﾙ ") + path +
                                              QStringLiteral(" を読み込めませんでした")))
        << result.standardError.toStdString();
    EXPECT_TRUE(pdfs().isEmpty());
}

// The tests' print system cannot be reached (CUPS_SERVER names a socket nobody listens
// on): the run says so with the reason and fails, and the saved printer stays saved.
TEST_F(PrintOnlyRun, StoredPrinterOnAPrintSystemThatCannotBeReachedFailsAndStaysSaved) {
    const QByteArray saved = "[Printer]\nName=Office Laser\nPaperSize=A4\n";
    usePrinterSettings(saved);
    const QString image = blackImage(QStringLiteral("image.png"), QSize(60, 60), true);
    const RunResult result = runVelmar({image});
    EXPECT_EQ(result.exitCode, 1) << result.standardError.toStdString();
    EXPECT_TRUE(result.standardError.contains(QStringLiteral("印刷ｼｽﾃﾑに接続できません (")))
        << result.standardError.toStdString();
    EXPECT_FALSE(result.standardError.contains(QStringLiteral("見つかりません")));
    QFile settings(userData() + QStringLiteral("IkPrn.Ik"));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_EQ(settings.readAll(), saved);
    EXPECT_TRUE(pdfs().isEmpty());
}

struct NotificationKind {
    const char* name;
    QStringList capabilities;
    QString bodyAfterPath;  // what follows the PDF's path in the body
};

class PdfNotification : public PrintOnlyRun,
                        public testing::WithParamInterface<NotificationKind> {};

// Started from the file manager, nobody sees standard error: a desktop notification says
// where the PDF went, on a private session bus with a service of the test's own. Where the
// service shows links, it offers to open the PDF and its folder, which works after the
// run has ended.
TEST_P(PdfNotification, SaysWhereThePdfWent) {
    const test::PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << bus.problem().toStdString();
    test::NotificationService service(bus.address(), GetParam().capabilities);
    ASSERT_TRUE(service.registered());
    usePrinterSettings("[Printer]\nName=PDF\n");
    const QString image = blackImage(QStringLiteral("image.png"), QSize(60, 60), true);

    const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    const std::unique_ptr<QProcess> velmar = test::startVelmar(home, {image});
    qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
    // The service answers from this thread's event loop while the program runs.
    for (int waited = 0; velmar->state() != QProcess::NotRunning && waited < 6000; ++waited) {
        velmar->waitForFinished(20);
        QCoreApplication::processEvents();
    }
    const QString standardError = QString::fromLocal8Bit(velmar->readAllStandardError());

    ASSERT_EQ(velmar->exitCode(), 0) << standardError.toStdString();
    const QString pdf = userData() + QStringLiteral("Print Out.pdf");
    ASSERT_EQ(service.received.size(), 1U);
    EXPECT_EQ(service.received[0].summary, QStringLiteral("PDF に印刷しました"));
    const QString folder = QUrl::fromLocalFile(userData()).toString(QUrl::FullyEncoded);
    EXPECT_EQ(service.received[0].body,
              pdf + GetParam().bodyAfterPath.arg(
                        QUrl::fromLocalFile(pdf).toString(QUrl::FullyEncoded), folder.chopped(1)));
    EXPECT_TRUE(standardError.contains(pdf));
}

INSTANTIATE_TEST_SUITE_P(
    Services, PdfNotification,
    testing::Values(NotificationKind{"PlainText", {QStringLiteral("body")}, QString()},
                    NotificationKind{"WithLinks",
                                     {QStringLiteral("body"), QStringLiteral("body-hyperlinks")},
                                     QStringLiteral("\n<a href=\"%1\">開く</a>  "
                                                    "<a href=\"%2\">ﾌｫﾙﾀﾞを開く</a>")}),
    [](const testing::TestParamInfo<NotificationKind>& info) { return info.param.name; });

class InteractiveRun : public PrintOnlyRun, public testing::WithParamInterface<const char*> {};

TEST_P(InteractiveRun, WithoutADisplaySaysSoAndEndsNormally) {
    QDir().mkpath(home.filePath(QStringLiteral("folder")));
    QStringList arguments;
    if (*GetParam() != '\0') {
        arguments << home.filePath(QString::fromLatin1(GetParam()));
    }
    const RunResult result = runVelmar(arguments);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_TRUE(result.standardError.contains(QStringLiteral("Velmar: no display")));
    EXPECT_TRUE(QDir(userData()).exists());
    EXPECT_TRUE(pdfs().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Arguments, InteractiveRun, testing::Values("", "folder", "missing.png"));

}  // namespace
}  // namespace velmar::print_window
