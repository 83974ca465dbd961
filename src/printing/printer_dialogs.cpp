#include "printing/printer_dialogs.h"
#include "printing/printer.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
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

namespace velmar::printing {

namespace {

constexpr int kMostCopies = 999;

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

class PrinterDialog final : public QDialog {
  public:
    PrinterDialog(PrinterDialogKind kind, const QString& title, const ShownChoice& shown,
                  QWidget& parent)
        : QDialog(&parent), kind_(kind), pdfFolder_(shown.pdfFolder) {
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
        if (kind_ == PrinterDialogKind::kPrint) {
            buildPrintRows(*form, shown.choice.copies);
        }
        buildButtons(*layout);
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
        if (copies_ != nullptr) {
            chosen.copies = copies_->value();
            chosen.duplex = currentDuplex();
        }
        return chosen;
    }

  private:
    // The shown printer is chosen; one the list lacks (the print system cannot be
    // reached) is listed first, so that confirming keeps it.
    void buildPrinterRow(QFormLayout& form, const PrinterChoice& shown) {
        form_ = &form;
        printer_ = new QComboBox(this);
        printer_->setObjectName(QStringLiteral("printer"));
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
        form.addRow(QStringLiteral("ﾌﾟﾘﾝﾀ:"), printer_);
        pdfFolderLabel_ = new QLabel(QDir::toNativeSeparators(pdfFolder_), this);
        pdfFolderLabel_->setObjectName(QStringLiteral("pdfFolder"));
        form.addRow(QStringLiteral("PDF の保存先:"), pdfFolderLabel_);
    }

    void buildPaperRow(QFormLayout& form) {
        paper_ = new QComboBox(this);
        paper_->setObjectName(QStringLiteral("paper"));
        form.addRow(QStringLiteral("用紙:"), paper_);
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
        duplex_ = new QComboBox(this);
        duplex_->setObjectName(QStringLiteral("duplex"));
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
        if (duplex_ == nullptr || duplex_->count() == 0) {
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
            paper_->addItem(size.name(), size.key());
        }
        const int kept = keptPaper.isValid() ? paper_->findData(keptPaper.key()) : -1;
        paper_->setCurrentIndex(std::max(0, kept));
        form_->setRowVisible(pdfFolderLabel_, printer.builtIn);
        if (copies_ != nullptr) {
            // A PDF file is written once, whatever the copies.
            form_->setRowVisible(copies_, !printer.builtIn);
        }
        fillDuplex(printer, keptDuplex);
    }

    void fillDuplex(const OfferedPrinter& printer, QPrinter::DuplexMode kept) {
        if (duplex_ == nullptr) {
            return;
        }
        duplex_->clear();
        for (const QPrinter::DuplexMode mode : duplexModesOf(printer)) {
            duplex_->addItem(duplexText(mode), static_cast<int>(mode));
        }
        duplex_->setCurrentIndex(std::max(0, duplex_->findData(static_cast<int>(kept))));
        form_->setRowVisible(duplex_, duplex_->count() > 0);
    }

    PrinterDialogKind kind_;
    QString pdfFolder_;
    QComboBox* printer_ = nullptr;
    QList<OfferedPrinter> offered_;  // in the order of printer_'s entries
    QLabel* pdfFolderLabel_ = nullptr;
    QComboBox* paper_ = nullptr;
    QRadioButton* landscape_ = nullptr;
    QSpinBox* copies_ = nullptr;
    QComboBox* duplex_ = nullptr;
    QFormLayout* form_ = nullptr;
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
    dialog.move(centre - QPoint(dialog.width() / 2, dialog.height() / 2));
}

}  // namespace

bool choosesBuiltInPdf(const PrinterChoice& choice) {
    return choice.printer == pdfPrinterName() && !choice.pdfQueue;
}

QList<OfferedPrinter> offeredPrinters() {
    QList<OfferedPrinter> printers;
    for (const QString& name : QPrinterInfo::availablePrinterNames()) {
        printers << OfferedPrinter{name, false, name};
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
        const QPrinterInfo printer = QPrinterInfo::printerInfo(choice.printer);
        choice.paper = printer.defaultPageSize();
        choice.duplex = printer.defaultDuplexMode();
    }
    if (saved.paper) {
        choice.paper = *saved.paper;
    }
    choice.orientation = saved.orientation;
    return shown;
}

PrinterSettings settingsFor(const PrinterChoice& choice, PrinterSettings saved) {
    saved.name = choice.printer;
    saved.pdfQueue = choice.pdfQueue;
    saved.paper = choice.paper;
    saved.orientation = choice.orientation;
    return saved;
}

std::optional<PrinterChoice> askPrinter(PrinterDialogKind kind, const QString& title,
                                        const ShownChoice& shown, QWidget& parent) {
    PrinterDialog dialog(kind, title, shown, parent);
    centre(dialog, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.choice();
}

}  // namespace velmar::printing
