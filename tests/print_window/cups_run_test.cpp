// The real program printing through a real CUPS daemon of the test's own, to PDF printers
// (cups-pdf) that the daemon runs. The page that comes out is rasterised at 254 dpi, so
// that one pixel is 0.1 mm, and the document the daemon received at 2540 dpi.
#include "doubles/page_raster.h"
#include "doubles/private_cups.h"
#include "doubles/temp_home.h"
#include "doubles/velmar_process.h"
#include "printing/printer_dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPushButton>
#include <QSet>
#include <QTimer>

#include <cups/cups.h>

#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

namespace velmar::print_window {
namespace {

using namespace std::chrono_literals;

constexpr int kDotsPerMetreAt300Dpi = 11811;
constexpr auto kJobTimeout = 90s;

// A4 with the whole sheet printable, and A4 with 4.2 mm unprintable on every side.
const QString kWholeSheetQueue = QStringLiteral("VelmarPdf");
const QString kMarginsQueue = QStringLiteral("VelmarMargins");
// The name cups-pdf gives its queue on Debian, which is also the built-in printer's name.
const QString kPdfQueue = QStringLiteral("PDF");
// A queue that prints on both sides, one that is paused and one that takes no jobs.
const QString kDuplexQueue = QStringLiteral("VelmarDuplex");
const QString kPausedQueue = QStringLiteral("VelmarPaused");
const QString kRejectingQueue = QStringLiteral("VelmarRejecting");

class CupsRun : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        cups_ = std::make_unique<test::PrivateCups>();
        cups_->addPdfPrinter(kWholeSheetQueue);
        cups_->addPdfPrinterWithMargins(kMarginsQueue);
        cups_->addPdfPrinter(kPdfQueue);
        cups_->addDuplexPrinter(kDuplexQueue);
        cups_->addPdfPrinter(kPausedQueue);
        cups_->stopQueue(kPausedQueue, QStringLiteral("cupsdisable"));
        cups_->addPdfPrinter(kRejectingQueue);
        cups_->stopQueue(kRejectingQueue, QStringLiteral("cupsreject"));
        cups_->makeDefault(kWholeSheetQueue);
    }
    static void TearDownTestSuite() { cups_.reset(); }

    void SetUp() override {
        if (cups_->failure().isEmpty()) {
            return;
        }
        // Outside CI a developer without root cannot start the daemon; CI always can.
        if (qEnvironmentVariableIsEmpty("CI") && ::geteuid() != 0) {
            GTEST_SKIP() << cups_->failure().toStdString();
        }
        FAIL() << cups_->failure().toStdString();
    }

    [[nodiscard]] static test::PrivateCups& cups() { return *cups_; }

    [[nodiscard]] QString userData() const { return test::userDataFolder(home); }

    void usePrinter(const QString& queue) const {
        usePrinterSettings(QStringLiteral("[Printer]\nName=%1\n").arg(queue).toUtf8());
    }
    void usePrinterSettings(const QByteArray& text) const {
        test::writeFile(userData() + QStringLiteral("IkPrn.Ik"), text);
    }

    void storeBackUpMode(int mode) const { test::storeBackUpMode(home, mode); }

    // A black image of the given pixel size with 300 dpi recorded.
    [[nodiscard]] QString blackImage(QSize size) const {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::black);
        image.setDotsPerMeterX(kDotsPerMetreAt300Dpi);
        image.setDotsPerMeterY(kDotsPerMetreAt300Dpi);
        const QString path = home.filePath(QStringLiteral("image.png"));
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    [[nodiscard]] test::RunResult print(const QString& image) const {
        return test::runVelmar(home, {image}, QStringLiteral(VELMAR_EXECUTABLE), cups().socket());
    }

    // The jobs of a queue after the ones it already had, once all of them have ended.
    [[nodiscard]] static std::vector<test::CupsJob> newJobs(const QString& queue,
                                                            std::size_t before) {
        std::vector<test::CupsJob> all = cups().waitForEndedJobs(queue, before + 1, kJobTimeout);
        all.erase(all.begin(),
                  all.begin() + static_cast<std::ptrdiff_t>(std::min(before, all.size())));
        return all;
    }

    test::TempHome home;

  private:
    static inline std::unique_ptr<test::PrivateCups> cups_;
};

struct CupsPlacement {
    const char* name;
    const QString* queue;
    QSize pixels;  // at 300 dpi
    QRect drawn;   // in tenths of a millimetre on the sheet
};

class CupsPrintedPage : public CupsRun, public testing::WithParamInterface<CupsPlacement> {};

TEST_P(CupsPrintedPage, JobCompletesAsPrintOutWithTheImageAtTheCornerOfThePrintableArea) {
    const CupsPlacement& placement = GetParam();
    const QString& queue = *placement.queue;
    usePrinter(queue);
    const std::size_t before = cups().jobs(queue).size();

    const test::RunResult result = print(blackImage(placement.pixels));

    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    const std::vector<test::CupsJob> jobs = newJobs(queue, before);
    ASSERT_EQ(jobs.size(), 1U);
    EXPECT_EQ(jobs.front().name, QStringLiteral("Print Out"));
    ASSERT_EQ(jobs.front().state, QStringLiteral("completed"));
    // The user is told the queue and the job's number, and whether the image was shrunk.
    EXPECT_TRUE(result.standardError.contains(
        QStringLiteral("ﾌﾟﾘﾝﾀに印刷しました: %1 (ｼﾞｮﾌﾞ %2)").arg(queue).arg(jobs.front().id)))
        << result.standardError.toStdString();
    EXPECT_EQ(result.standardError.contains(QStringLiteral("縮小して印刷しました: 96.0 %")),
              placement.pixels.width() > 2400);

    const std::optional<QString> output = cups().outputOf(jobs.front().id);
    ASSERT_TRUE(output.has_value()) << "cups-pdf wrote no file for job " << jobs.front().id;
    const QRect ink = test::inkBounds(test::rasterisePdf(*output, test::kTenthsDpi));
    EXPECT_NEAR(ink.left(), placement.drawn.left(), 2) << "left";
    EXPECT_NEAR(ink.top(), placement.drawn.top(), 2) << "top";
    EXPECT_NEAR(ink.width(), placement.drawn.width(), 2) << "width";
    EXPECT_NEAR(ink.height(), placement.drawn.height(), 2) << "height";

    // What the program sent, before the printer's filters, is exact to 0.01 mm: an origin
    // rounded to whole points (4.233 mm instead of 4.2 mm) would show here.
    const QPoint corner = test::inkCornerInHundredths(cups().spooledDocument(jobs.front().id));
    EXPECT_NEAR(corner.x(), placement.drawn.left() * 10, 2);
    EXPECT_NEAR(corner.y(), placement.drawn.top() * 10, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Queues, CupsPrintedPage,
    testing::Values(CupsPlacement{"WholeSheetPrintable", &kWholeSheetQueue, QSize(600, 300),
                                  QRect(0, 0, 508, 254)},
                    CupsPlacement{"MarginsFromThePrinterDescription", &kMarginsQueue,
                                  QSize(600, 300), QRect(42, 42, 508, 254)},
                    CupsPlacement{"TooLargeShrinksIntoThePrintableArea", &kMarginsQueue,
                                  QSize(2480, 3508), QRect(42, 42, 2016, 2851)}),
    [](const testing::TestParamInfo<CupsPlacement>& info) { return info.param.name; });

TEST_F(CupsRun, BackUpIsSavedBeforeTheJobIsSpooled) {
    usePrinter(kWholeSheetQueue);
    storeBackUpMode(2);
    const std::size_t before = cups().jobs(kWholeSheetQueue).size();

    const test::RunResult result = print(blackImage(QSize(120, 90)));

    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    const QString backUp = userData() + QStringLiteral("Temp/0001.jpg");
    QImageReader reader(backUp);
    EXPECT_EQ(reader.format(), "jpeg");
    EXPECT_EQ(reader.size(), QSize(120, 90));
    const std::vector<test::CupsJob> jobs = newJobs(kWholeSheetQueue, before);
    ASSERT_EQ(jobs.size(), 1U);
    EXPECT_EQ(jobs.front().state, QStringLiteral("completed"));
    // The daemon counts whole seconds; the backup was finished no later than that second.
    EXPECT_LE(QFileInfo(backUp).lastModified().toSecsSinceEpoch(), jobs.front().createdAt);
}

// A paused queue takes the job and keeps it; the run succeeds and says that it waits.
TEST_F(CupsRun, PausedQueueKeepsTheJobAndTheUserIsToldItWaits) {
    usePrinter(kPausedQueue);
    const std::size_t before = cups().jobs(kPausedQueue).size();

    const test::RunResult result = print(blackImage(QSize(60, 60)));

    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_TRUE(result.standardError.contains(QStringLiteral("再開されるまで印刷は待機します")))
        << result.standardError.toStdString();
    EXPECT_EQ(cups().jobs(kPausedQueue).size(), before + 1);
}

// With no printer named in the settings file the daemon's default printer is ready.
TEST_F(CupsRun, NoPrinterNamedPrintsOnTheDefaultPrinter) {
    const std::size_t before = cups().jobs(kWholeSheetQueue).size();
    const std::size_t margins = cups().jobs(kMarginsQueue).size();

    const test::RunResult result = print(blackImage(QSize(60, 60)));

    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    const std::vector<test::CupsJob> jobs = newJobs(kWholeSheetQueue, before);
    ASSERT_EQ(jobs.size(), 1U);
    EXPECT_EQ(jobs.front().state, QStringLiteral("completed"));
    EXPECT_EQ(cups().jobs(kMarginsQueue).size(), margins);
    EXPECT_FALSE(QFileInfo::exists(userData() + QStringLiteral("Print Out.pdf")));
}

TEST_F(CupsRun, QueueThatIsGoneFailsWithItsNameAndNothingIsSpooled) {
    usePrinter(QStringLiteral("GoneAway"));
    const std::size_t wholeSheet = cups().jobs(kWholeSheetQueue).size();
    const std::size_t margins = cups().jobs(kMarginsQueue).size();

    const test::RunResult result = print(blackImage(QSize(60, 60)));

    EXPECT_EQ(result.exitCode, 1) << result.standardError.toStdString();
    EXPECT_TRUE(result.standardError.contains(QStringLiteral("ﾌﾟﾘﾝﾀ GoneAway が見つかりません")))
        << result.standardError.toStdString();
    EXPECT_EQ(cups().jobs(kWholeSheetQueue).size(), wholeSheet);
    EXPECT_EQ(cups().jobs(kMarginsQueue).size(), margins);
    EXPECT_TRUE(QDir(userData()).entryList({QStringLiteral("*.pdf")}, QDir::Files).isEmpty());
}

// The queue named PDF is printed to when it was chosen (kept as BuiltIn=false); Name=PDF
// alone still means the built-in printer, which writes a file and sends no job.
TEST_F(CupsRun, QueueNamedPdfAndTheBuiltInPrinterAreKeptApart) {
    const std::size_t before = cups().jobs(kPdfQueue).size();
    usePrinterSettings("[Printer]\nName=PDF\nBuiltIn=false\n");
    test::RunResult result = print(blackImage(QSize(60, 60)));
    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    const std::vector<test::CupsJob> jobs = newJobs(kPdfQueue, before);
    ASSERT_EQ(jobs.size(), 1U);
    EXPECT_EQ(jobs.front().state, QStringLiteral("completed"));
    EXPECT_FALSE(QFileInfo::exists(userData() + QStringLiteral("Print Out.pdf")));

    usePrinterSettings("[Printer]\nName=PDF\n");
    result = print(blackImage(QSize(60, 60)));
    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_TRUE(QFileInfo::exists(userData() + QStringLiteral("Print Out.pdf")));
    EXPECT_EQ(cups().jobs(kPdfQueue).size(), before + 1);
}

struct CopiesAndSides {
    const char* name;
    const QString* queue;
    const char* saved;  // IkPrn.Ik after the printer's name
    int copies;
    const char* sides;
};

class CupsCopiesAndSides : public CupsRun, public testing::WithParamInterface<CopiesAndSides> {};

// A print-only run takes the saved copies and sides to the job; two-sided printing only
// where the queue can do it, and an older file prints one copy, one-sided.
TEST_P(CupsCopiesAndSides, PrintOnlyRunCarriesThemToTheJob) {
    const CopiesAndSides& saved = GetParam();
    usePrinterSettings(QStringLiteral("[Printer]\nName=%1\n%2")
                           .arg(*saved.queue, QLatin1String(saved.saved))
                           .toUtf8());
    const std::size_t before = cups().jobs(*saved.queue).size();

    const test::RunResult result = print(blackImage(QSize(60, 60)));

    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    const std::vector<test::CupsJob> jobs = newJobs(*saved.queue, before);
    ASSERT_EQ(jobs.size(), 1U);
    EXPECT_EQ(jobs.front().copies, saved.copies);
    EXPECT_EQ(jobs.front().sides, QLatin1String(saved.sides));
}

INSTANTIATE_TEST_SUITE_P(
    Saved, CupsCopiesAndSides,
    testing::Values(CopiesAndSides{"TwoCopiesLongEdge", &kDuplexQueue,
                                   "Copies=2\nDuplex=LongSide\n", 2, "two-sided-long-edge"},
                    CopiesAndSides{"TwoSidedOnAOneSidedQueue", &kWholeSheetQueue,
                                   "Copies=3\nDuplex=ShortSide\n", 3, "one-sided"},
                    CopiesAndSides{"OlderFile", &kDuplexQueue, "", 1, "one-sided"}),
    [](const testing::TestParamInfo<CopiesAndSides>& info) { return info.param.name; });

// The set-up dialog, in this process, asks the private daemon: every queue is listed with
// its description and state, and two-sided printing is offered only where a queue has it.
TEST_F(CupsRun, SetupDialogShowsEachQueuesStateAndOffersTwoSidedOnlyWhereItCan) {
    const QByteArray server = cups().socket().toUtf8();
    cupsSetServer(server.constData());
    QStringList listed;
    QStringList twoSided;  // the printers two-sided printing is offered for
    QSet<int> widths;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printer"));
        const auto* duplex = dialog->findChild<QComboBox*>(QStringLiteral("duplex"));
        for (int item = 0; item < printers->count(); ++item) {
            printers->setCurrentIndex(item);
            listed << printers->itemText(item);
            if (duplex->isEnabled() && duplex->count() > 1) {
                twoSided << printers->itemText(item).section(QLatin1Char(' '), 0, 0);
            }
            widths << dialog->width();
        }
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
    QWidget parent;
    printing::ShownChoice shown;
    shown.choice.printer = kWholeSheetQueue;

    EXPECT_FALSE(printing::askPrinter(printing::PrinterDialogKind::kSetup,
                                      QStringLiteral("ﾌﾟﾘﾝﾀ設定"), shown, parent));
    cupsSetServer(nullptr);

    for (const auto& [queue, state] : {std::pair{kPausedQueue, "一時停止"},
                                       {kRejectingQueue, "待機中、受付停止"},
                                       {kWholeSheetQueue, "待機中"}}) {
        EXPECT_TRUE(listed.contains(
            QStringLiteral("%1 — %2 (%3)")
                .arg(queue, test::PrivateCups::descriptionOf(queue), QString::fromUtf8(state))))
            << listed.join('|').toStdString();
    }
    EXPECT_EQ(widths.size(), 1) << "the dialog changes its width with the printer";
    EXPECT_EQ(twoSided, QStringList{kDuplexQueue});
}

}  // namespace
}  // namespace velmar::print_window
