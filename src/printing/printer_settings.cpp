#include "printing/printer_settings.h"

#include "base/error.h"
#include "platform/atomic_file.h"
#include "platform/diagnostics.h"
#include "platform/regular_file.h"
#include "settings_formats/ini_text.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinterInfo>

#include <algorithm>
#include <array>

#include <utility>

namespace velmar::printing {

namespace {

constexpr QLatin1String kGroup("Printer");
constexpr QLatin1String kNameKey("Name");
constexpr QLatin1String kBuiltInKey("BuiltIn");
constexpr QLatin1String kPaperKey("PaperSize");
constexpr QLatin1String kOrientationKey("Orientation");
constexpr QLatin1String kOutputFolderKey("OutputFolder");
constexpr QLatin1String kCopiesKey("Copies");
constexpr QLatin1String kDuplexKey("Duplex");
constexpr QLatin1String kDriverPrinterKey("DriverPrinter");
constexpr QLatin1String kDriverPreferencesKey("DriverPreferences");
constexpr QLatin1String kLandscape("Landscape");
constexpr QLatin1String kPortrait("Portrait");

// The file's words for the two-sided modes, as Qt names them.
constexpr std::array kDuplexWords{std::pair{QPrinter::DuplexNone, QLatin1String("None")},
                                  std::pair{QPrinter::DuplexLongSide, QLatin1String("LongSide")},
                                  std::pair{QPrinter::DuplexShortSide, QLatin1String("ShortSide")}};

QPrinter::DuplexMode duplexFromWord(const QString& word) {
    for (const auto& [mode, text] : kDuplexWords) {
        if (word.compare(text, Qt::CaseInsensitive) == 0) {
            return mode;
        }
    }
    return QPrinter::DuplexNone;
}

QLatin1String wordForDuplex(QPrinter::DuplexMode duplex) {
    for (const auto& [mode, text] : kDuplexWords) {
        if (mode == duplex) {
            return text;
        }
    }
    return kDuplexWords.front().second;
}

// A count that is no number, or out of range, is one copy.
int copiesFromText(const QString& text) {
    bool number = false;
    const int copies = text.toInt(&number);
    return number && copies >= 1 && copies <= kMostCopies ? copies : 1;
}

// Preferences that are no Base64 are none: they cannot be what a driver left.
QByteArray preferencesFromText(const QString& text) {
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? *decoded : QByteArray();
}

bool isPdfName(const QString& name) {
    return name == QLatin1String(kPdfPrinterName);
}

// The file's bytes. A file that is missing holds nothing; one that cannot be read (also
// one that is no regular file, or is far too large for printer settings) is taken as
// missing, and one line on standard error says so.
QByteArray readableContent(const QString& settingsFile) {
    platform::FileRead read = platform::readRegularFile(settingsFile);
    if (!read.read() && !read.missing()) {
        platform::writeDiagnostic(
            QStringLiteral("ﾌﾟﾘﾝﾀ設定ﾌｧｲﾙ %1 を読み込めません (%2)。既定の設定を使います")
                .arg(QDir::toNativeSeparators(settingsFile), read.reason));
    }
    return std::move(read.bytes);
}

}  // namespace

bool choosesBuiltInPdf(const PrinterSettings& settings) {
    return isPdfName(settings.name) && !settings.pdfQueue;
}

std::optional<QPageSize> pageSizeFromKey(const QString& key) {
    for (int id = 0; id <= QPageSize::LastPageSize; ++id) {
        const auto sizeId = static_cast<QPageSize::PageSizeId>(id);
        if (sizeId != QPageSize::Custom &&
            QPageSize::key(sizeId).compare(key, Qt::CaseInsensitive) == 0) {
            return QPageSize(sizeId);
        }
    }
    return std::nullopt;
}

PrinterSettings readPrinterSettings(const QString& settingsFile) {
    PrinterSettings settings;
    if (settingsFile.isEmpty()) {
        return settings;
    }
    const settings_formats::IniText file(readableContent(settingsFile));
    const auto value = [&file](QLatin1String key) {
        return file.value(kGroup, key).value_or(QString()).trimmed();
    };
    settings.name = value(kNameKey);
    settings.pdfQueue =
        isPdfName(settings.name) &&
        value(kBuiltInKey).compare(QLatin1String("false"), Qt::CaseInsensitive) == 0;
    settings.paper = pageSizeFromKey(value(kPaperKey));
    const QString orientation = value(kOrientationKey);
    settings.orientation = orientation.compare(kLandscape, Qt::CaseInsensitive) == 0
                               ? QPageLayout::Landscape
                               : QPageLayout::Portrait;
    settings.outputFolder = value(kOutputFolderKey);
    settings.copies = copiesFromText(value(kCopiesKey));
    settings.duplex = duplexFromWord(value(kDuplexKey));
    settings.driver.bytes = preferencesFromText(value(kDriverPreferencesKey));
    if (!settings.driver.bytes.isEmpty()) {
        settings.driver.printer = value(kDriverPrinterKey);
    }
    return settings;
}

QByteArray driverPreferencesFor(const PrinterSettings& settings, const QString& printer) {
    return !printer.isEmpty() && settings.driver.printer == printer ? settings.driver.bytes
                                                                    : QByteArray();
}

// Only the keys' lines change; the file is replaced whole or not at all.
void writePrinterSettings(const QString& settingsFile, const PrinterSettings& settings) {
    if (settingsFile.isEmpty()) {
        return;
    }
    const auto failed = [&settingsFile](const QString& reason) {
        return Error(QStringLiteral("ﾌﾟﾘﾝﾀ設定ﾌｧｲﾙ %1 に書き込めません").arg(settingsFile) +
                     (reason.isEmpty() ? QString() : QLatin1Char('\r') + reason));
    };
    // A file that cannot be read whole would be written back without its other lines.
    const platform::FileRead existing = platform::readRegularFile(settingsFile);
    if (!existing.read() && !existing.missing()) {
        throw failed(existing.reason);
    }
    settings_formats::IniText file(existing.bytes);
    file.setValue(kGroup, kNameKey, settings.name);
    if (isPdfName(settings.name)) {
        file.setValue(kGroup, kBuiltInKey,
                      settings.pdfQueue ? QStringLiteral("false") : QStringLiteral("true"));
    }
    if (settings.paper) {
        file.setValue(kGroup, kPaperKey, settings.paper->key());
    }
    file.setValue(kGroup, kOrientationKey,
                  settings.orientation == QPageLayout::Landscape ? kLandscape : kPortrait);
    file.setValue(kGroup, kCopiesKey, QString::number(settings.copies));
    file.setValue(kGroup, kDuplexKey, wordForDuplex(settings.duplex));
    if (!settings.outputFolder.isEmpty()) {
        file.setValue(kGroup, kOutputFolderKey, settings.outputFolder);
    }
    // Preferences no longer kept are emptied; a file that never had any gets no keys.
    if (!settings.driver.bytes.isEmpty() || file.value(kGroup, kDriverPreferencesKey)) {
        const bool kept = !settings.driver.bytes.isEmpty();
        file.setValue(kGroup, kDriverPrinterKey, kept ? settings.driver.printer : QString());
        file.setValue(kGroup, kDriverPreferencesKey,
                      QString::fromLatin1(settings.driver.bytes.toBase64()));
    }
    try {
        platform::writeWholeFile(settingsFile, file.bytes());
    } catch (const Error& error) {
        throw failed(error.message().section(QLatin1Char('\r'), 1));
    }
}

void applyCopiesAndSides(QPrinter& printer, const PrinterSettings& settings) {
    printer.setCopyCount(std::clamp(settings.copies, 1, kMostCopies));
    const bool canDoIt = QPrinterInfo::printerInfo(printer.printerName())
                             .supportedDuplexModes()
                             .contains(settings.duplex);
    printer.setDuplex(canDoIt ? settings.duplex : QPrinter::DuplexNone);
}

QString pdfOutputFolder(const QString& settingsFile, const PrinterSettings& settings) {
    if (!settings.outputFolder.isEmpty()) {
        return settings.outputFolder;
    }
    return QFileInfo(settingsFile).absolutePath();
}

}  // namespace velmar::printing
