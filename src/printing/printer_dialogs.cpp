#include "printing/printer_dialogs.h"
#include "printing/printer.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <utility>

namespace velmar::printing {

namespace {

// Wide enough for a queue's name, description and state; the lists keep this width
// whatever they hold, so that the dialog does not change its width.
constexpr int kListCharacters = 40;
constexpr int kFolderPixels = 320;

// The paper sizes offered for the PDF printer.
constexpr std::array kPdfPaperSizes{QPageSize::A3,    QPageSize::A4,     QPageSize::A5,
                                    QPageSize::A6,    QPageSize::B4,     QPageSize::B5,
                                    QPageSize::JisB4, QPageSize::JisB5,  QPageSize::Letter,
                                    QPageSize::Legal, QPageSize::Ledger, QPageSize::Postcard};

QString pdfPrinterName() {
    return QString::fromLatin1(kPdfPrinterName);
}

// How the list shows the built-in PDF printer.
QString builtInPdfLabel() {
    return QStringLiteral("PDF (内蔵ﾌﾟﾘﾝﾀ)");
}

OfferedPrinter builtInPdf() {
    return OfferedPrinter{pdfPrinterName(), true, builtInPdfLabel()};
}

// A queue as the list shows it: "name — description (state)", leaving out what the print
// system does not say, and a description that only repeats the name.
QString queueLabel(const QString& name) {
    const QueueStatus status = queueStatus(name);
    QString label = name;
    if (!status.description.isEmpty() && status.description != name) {
        label += QStringLiteral(" — ") + status.description;
    }
    if (!status.state.isEmpty()) {
        label += QStringLiteral(" (%1)").arg(status.state);
    }
    return label;
}

// The toolkit's name for a standard size, which the Japanese toolkit texts translate; a
// printer's own sizes are shown as the printer names them.
QString paperName(const QPageSize& size) {
    return size.id() == QPageSize::Custom ? size.name() : QPageSize(size.id()).name();
}

QList<QPageSize> paperSizesOf(const OfferedPrinter& printer) {
    if (printer.builtIn) {
        QList<QPageSize> sizes;
        for (const QPageSize::PageSizeId id : kPdfPaperSizes) {
            sizes << QPageSize(id);
        }
        return sizes;
    }
    return QPrinterInfo::printerInfo(printer.name).supportedPageSizes();
}

QList<QPrinter::DuplexMode> duplexModesOf(const OfferedPrinter& printer) {
    if (printer.builtIn) {
        return {};
    }
    QList<QPrinter::DuplexMode> modes;
    for (const QPrinter::DuplexMode mode :
         QPrinterInfo::printerInfo(printer.name).supportedDuplexModes()) {
        if (mode != QPrinter::DuplexAuto) {
            modes << mode;
        }
    }
    return modes.size() > 1 ? modes : QList<QPrinter::DuplexMode>{};
}

QString duplexText(QPrinter::DuplexMode mode) {
    switch (mode) {
        case QPrinter::DuplexLongSide:
            return QStringLiteral("両面 (長辺とじ)");
        case QPrinter::DuplexShortSide:
            return QStringLiteral("両面 (短辺とじ)");
        default:
            return QStringLiteral("片面");
    }
}

// Puts the dialog's centre at `middle`, moved as little as needed to keep it whole on its
// screen.
void placeCentred(QDialog& dialog, QPoint middle) {
    const QRect frame = dialog.frameGeometry();
    QPoint corner = middle - QPoint(frame.width() / 2, frame.height() / 2);
    const QScreen* screen = QGuiApplication::screenAt(middle);
    if (screen == nullptr) {
        screen = dialog.screen();
    }
    if (screen != nullptr) {
        const QRect room = screen->availableGeometry();
        corner.setX(std::clamp(corner.x(), room.left(),
                               std::max(room.left(), room.right() + 1 - frame.width())));
        corner.setY(std::clamp(corner.y(), room.top(),
                               std::max(room.top(), room.bottom() + 1 - frame.height())));
    }
    dialog.move(corner);
}

class PrinterDialog final : public QDialog {
  public:
    PrinterDialog(PrinterDialogKind kind, const QString& title, const ShownChoice& shown,
                  QWidget& parent, DriverPreferencesDialog askDriver)
        : QDialog(&parent),
          kind_(kind),
          pdfFolder_(shown.pdfFolder),
          driver_(shown.choice.driver),
          askDriver_(std::move(askDriver)) {
        setSizeGripEnabled(false);
        setWindowTitle(title);
        auto* layout = new QVBoxLayout(this);  // owned by the dialog, as every widget here
        if (!shown.unreachable.isEmpty()) {
            auto* notice = new QLabel(unreachableText(shown.unreachable), this);
            notice->setObjectName(QStringLiteral("unreachable"));
            layout->addWidget(notice);
        }
        if (!shown.missingPrinter.isEmpty()) {
            auto* notice = new QLabel(missingPrinterText(shown.missingPrinter) + QLatin1Char('\n') +
                                          QStringLiteral("使うﾌﾟﾘﾝﾀを選んでください。"),
                                      this);
            notice->setObjectName(QStringLiteral("missingPrinter"));
            layout->addWidget(notice);
        }
        auto* form = new QFormLayout;
        layout->addLayout(form);
        buildPrinterRow(*form, shown.choice);
        buildPaperRow(*form);
        buildOrientationRow(*form, shown.choice.orientation);
        buildPrintRows(*form, shown.choice.copies);
        buildButtons(*layout);
        // One width for every printer: the one with the PDF printer's folder row shown.
        form_->setRowVisible(pdfFolderButton_, true);
        setFixedWidth(sizeHint().width());
        printerChanged(shown.choice.paper, shown.choice.duplex);
        connect(printer_, &QComboBox::currentIndexChanged, this,
                [this] { printerChanged(currentPaper(), currentDuplex()); });
    }

    [[nodiscard]] PrinterChoice choice() const {
        PrinterChoice chosen;
        const OfferedPrinter& printer = currentPrinter();
        chosen.printer = printer.name;
        chosen.pdfQueue = !printer.builtIn && printer.name == pdfPrinterName();
        chosen.paper = currentPaper();
        chosen.orientation =
            landscape_->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait;
        chosen.copies = copies_->value();
        chosen.duplex = currentDuplex();
        if (chosenFolder_ != pdfFolder_) {
            chosen.pdfFolder = chosenFolder_;
        }
        if (!printer.builtIn && driver_.printer == printer.name) {
            chosen.driver = driver_;
        }
        return chosen;
    }

  private:
    // The shown printer is chosen; one the list lacks (the print system cannot be
    // reached) is listed first, so that confirming keeps it.
    void buildPrinterRow(QFormLayout& form, const PrinterChoice& shown) {
        form_ = &form;
        printer_ = fixedWidthList(QStringLiteral("printer"));
        offered_ = offeredPrinters();
        const auto isShown = [&shown](const OfferedPrinter& printer) {
            return printer.name == shown.printer && printer.builtIn == choosesBuiltInPdf(shown);
        };
        if (std::none_of(offered_.cbegin(), offered_.cend(), isShown)) {
            offered_.prepend(OfferedPrinter{shown.printer, false, shown.printer});
        }
        for (const OfferedPrinter& printer : std::as_const(offered_)) {
            printer_->addItem(printer.label);
        }
        printer_->setCurrentIndex(static_cast<int>(
            std::find_if(offered_.cbegin(), offered_.cend(), isShown) - offered_.cbegin()));
        addPrinterRow(form);
        pdfFolderButton_ = new QPushButton(this);
        pdfFolderButton_->setObjectName(QStringLiteral("pdfFolder"));
        showFolder(pdfFolder_);
        connect(pdfFolderButton_, &QPushButton::clicked, this, [this] { pickFolder(); });
        form.addRow(QStringLiteral("PDF の保存先:"), pdfFolderButton_);
    }

    // The list, and in the set-up dialog beside it the button for the driver's own
    // preferences where drivers have them.
    void addPrinterRow(QFormLayout& form) {
        if (kind_ != PrinterDialogKind::kSetup || !driversHavePreferences()) {
            form.addRow(QStringLiteral("ﾌﾟﾘﾝﾀ:"), printer_);
            return;
        }
        auto* row = new QHBoxLayout;
        row->addWidget(printer_);
        driverButton_ = new QPushButton(QStringLiteral("ﾌﾟﾘﾝﾀのﾌﾟﾛﾊﾟﾃｨ"), this);
        driverButton_->setObjectName(QStringLiteral("driverPreferences"));
        connect(driverButton_, &QPushButton::clicked, this, [this] { showDriverPreferences(); });
        row->addWidget(driverButton_);
        form.addRow(QStringLiteral("ﾌﾟﾘﾝﾀ:"), row);
    }

    // Starts from the preferences kept for the chosen printer; those of another printer
    // are no start for this one.
    void showDriverPreferences() {
        const QString printer = currentPrinter().name;
        const std::optional<QByteArray> confirmed =
            askDriver_(*this, printer, driver_.printer == printer ? driver_.bytes : QByteArray());
        if (confirmed && !confirmed->isEmpty()) {
            driver_ = DriverPreferences{printer, *confirmed};
        }
    }

    QComboBox* fixedWidthList(const QString& name) {
        auto* list = new QComboBox(this);
        list->setObjectName(name);
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->setMinimumContentsLength(kListCharacters);
        return list;
    }

    void buildPaperRow(QFormLayout& form) {
        paper_ = fixedWidthList(QStringLiteral("paper"));
        form.addRow(QStringLiteral("用紙:"), paper_);
    }

    // The button shows the folder, shortened in the middle when it is long; the whole
    // path is its tool tip.
    void showFolder(const QString& folder) {
        chosenFolder_ = folder;
        const QString shown = QDir::toNativeSeparators(folder);
        pdfFolderButton_->setText(
            pdfFolderButton_->fontMetrics().elidedText(shown, Qt::ElideMiddle, kFolderPixels));
        pdfFolderButton_->setToolTip(shown);
    }

    void pickFolder() {
        QFileDialog picker(this, QStringLiteral("PDF の保存先"), chosenFolder_);
        picker.setObjectName(QStringLiteral("pdfFolderPicker"));
        picker.setFileMode(QFileDialog::Directory);
        picker.setOption(QFileDialog::ShowDirsOnly);
        if (picker.exec() == QDialog::Accepted && !picker.selectedFiles().isEmpty()) {
            showFolder(QDir::cleanPath(picker.selectedFiles().constFirst()));
        }
    }

    void buildOrientationRow(QFormLayout& form, QPageLayout::Orientation orientation) {
        auto* row = new QHBoxLayout;
        auto* portrait = new QRadioButton(QStringLiteral("縦"), this);
        portrait->setObjectName(QStringLiteral("portrait"));
        landscape_ = new QRadioButton(QStringLiteral("横"), this);
        landscape_->setObjectName(QStringLiteral("landscape"));
        (orientation == QPageLayout::Landscape ? landscape_ : portrait)->setChecked(true);
        row->addWidget(portrait);
        row->addWidget(landscape_);
        row->addStretch();
        form.addRow(QStringLiteral("印刷の向き:"), row);
    }

    void buildPrintRows(QFormLayout& form, int copies) {
        copies_ = new QSpinBox(this);
        copies_->setObjectName(QStringLiteral("copies"));
        copies_->setRange(1, kMostCopies);
        copies_->setValue(std::clamp(copies, 1, kMostCopies));
        form.addRow(QStringLiteral("部数:"), copies_);
        duplex_ = fixedWidthList(QStringLiteral("duplex"));
        form.addRow(QStringLiteral("両面印刷:"), duplex_);
    }

    void buildButtons(QVBoxLayout& layout) {
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        if (kind_ == PrinterDialogKind::kPrint) {
            buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("印刷"));
        }
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout.addWidget(buttons);
    }

    [[nodiscard]] const OfferedPrinter& currentPrinter() const {
        return offered_.at(std::max(0, printer_->currentIndex()));
    }

    [[nodiscard]] QPageSize currentPaper() const {
        return pageSizeFromKey(paper_->currentData().toString()).value_or(QPageSize());
    }

    [[nodiscard]] QPrinter::DuplexMode currentDuplex() const {
        if (duplex_->count() == 0) {
            return QPrinter::DuplexNone;
        }
        return static_cast<QPrinter::DuplexMode>(duplex_->currentData().toInt());
    }

    // The papers and two-sided modes of the chosen printer; the paper and mode shown so
    // far stay chosen where the printer has them.
    void printerChanged(const QPageSize& keptPaper, QPrinter::DuplexMode keptDuplex) {
        const OfferedPrinter& printer = currentPrinter();
        QList<QPageSize> sizes = paperSizesOf(printer);
        if (keptPaper.isValid() && !sizes.contains(keptPaper)) {
            sizes.prepend(keptPaper);
        }
        paper_->clear();
        for (const QPageSize& size : sizes) {
            paper_->addItem(paperName(size), size.key());
        }
        const int kept = keptPaper.isValid() ? paper_->findData(keptPaper.key()) : -1;
        paper_->setCurrentIndex(std::max(0, kept));
        // A PDF file is written once, whatever the copies.
        copies_->setEnabled(!printer.builtIn);
        if (driverButton_ != nullptr) {
            driverButton_->setEnabled(!printer.builtIn);
        }
        fillDuplex(printer, keptDuplex);
        form_->setRowVisible(pdfFolderButton_, printer.builtIn);
        refit();
    }

    // Two-sided printing is offered where the printer can do it; elsewhere the list says
    // one-sided and cannot be changed.
    void fillDuplex(const OfferedPrinter& printer, QPrinter::DuplexMode kept) {
        duplex_->clear();
        const QList<QPrinter::DuplexMode> modes = duplexModesOf(printer);
        for (const QPrinter::DuplexMode mode : modes) {
            duplex_->addItem(duplexText(mode), static_cast<int>(mode));
        }
        if (modes.isEmpty()) {
            duplex_->addItem(duplexText(QPrinter::DuplexNone),
                             static_cast<int>(QPrinter::DuplexNone));
        }
        duplex_->setCurrentIndex(std::max(0, duplex_->findData(static_cast<int>(kept))));
        duplex_->setEnabled(!modes.isEmpty());
    }

    // The height follows the rows shown; an open dialog keeps its centre where it was.
    void refit() {
        const QPoint middle = frameGeometry().center();
        layout()->activate();
        setFixedHeight(sizeHint().height());
        if (isVisible()) {
            placeCentred(*this, middle);
        }
    }

    PrinterDialogKind kind_;
    QString pdfFolder_;
    QComboBox* printer_ = nullptr;
    QList<OfferedPrinter> offered_;  // in the order of printer_'s entries
    QString chosenFolder_;
    QPushButton* pdfFolderButton_ = nullptr;
    QComboBox* paper_ = nullptr;
    QRadioButton* landscape_ = nullptr;
    QSpinBox* copies_ = nullptr;
    QComboBox* duplex_ = nullptr;
    QFormLayout* form_ = nullptr;
    DriverPreferences driver_;  // kept or confirmed since, for driver_.printer
    DriverPreferencesDialog askDriver_;
    QPushButton* driverButton_ = nullptr;  // only where drivers have preferences
};

// Centred on the window when it is shown, else on the screen.
void centre(QDialog& dialog, const QWidget& parent) {
    dialog.adjustSize();
    const QWidget* window = parent.window();
    QPoint centre;
    if (window != nullptr && window->isVisible()) {
        centre = window->frameGeometry().center();
    } else {
        const QScreen* screen =
            window != nullptr ? window->screen() : QGuiApplication::primaryScreen();
        centre = screen->availableGeometry().center();
    }
    placeCentred(dialog, centre);
}

}  // namespace

bool choosesBuiltInPdf(const PrinterChoice& choice) {
    return choice.printer == pdfPrinterName() && !choice.pdfQueue;
}

QList<OfferedPrinter> offeredPrinters() {
    QList<OfferedPrinter> printers;
    for (const QString& name : QPrinterInfo::availablePrinterNames()) {
        printers << OfferedPrinter{name, false, queueLabel(name)};
    }
    printers << builtInPdf();
    return printers;
}

QString missingPrinterText(const QString& printer) {
    return QStringLiteral("保存されているﾌﾟﾘﾝﾀ %1 が見つかりません。").arg(printer);
}

QString unreachableText(const QString& reason) {
    return QStringLiteral("印刷ｼｽﾃﾑに接続できません (%1)").arg(reason);
}

ShownChoice shownChoice(const PrinterSettings& saved, const QString& pdfFolder) {
    const PrinterInUse inUse = printerInUse(saved);
    ShownChoice shown;
    shown.pdfFolder = pdfFolder;
    shown.unreachable = inUse.unreachable;
    shown.missingPrinter = inUse.missingPrinter;
    PrinterChoice& choice = shown.choice;
    choice.printer = inUse.name;
    choice.pdfQueue = inUse.pdfQueue;
    if (!choosesBuiltInPdf(choice)) {
        choice.paper = QPrinterInfo::printerInfo(choice.printer).defaultPageSize();
    }
    choice.copies = saved.copies;
    choice.duplex = saved.duplex;
    if (saved.paper) {
        choice.paper = *saved.paper;
    }
    choice.orientation = saved.orientation;
    const QByteArray kept = driverPreferencesFor(saved, choice.printer);
    if (!choosesBuiltInPdf(choice) && !kept.isEmpty()) {
        choice.driver = DriverPreferences{choice.printer, kept};
    }
    return shown;
}

PrinterSettings settingsFor(const PrinterChoice& choice, PrinterSettings saved) {
    saved.name = choice.printer;
    saved.pdfQueue = choice.pdfQueue;
    saved.paper = choice.paper;
    saved.orientation = choice.orientation;
    saved.copies = choice.copies;
    saved.duplex = choice.duplex;
    saved.driver = choice.driver;
    if (!choice.pdfFolder.isEmpty()) {
        saved.outputFolder = choice.pdfFolder;
    }
    return saved;
}

std::optional<PrinterChoice> askPrinter(PrinterDialogKind kind, const QString& title,
                                        const ShownChoice& shown, QWidget& parent,
                                        const DriverPreferencesDialog& askDriver) {
    PrinterDialog dialog(kind, title, shown, parent, askDriver);
    centre(dialog, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.choice();
}

}  // namespace velmar::printing
