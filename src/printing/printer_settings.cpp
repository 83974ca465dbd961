#include "printing/printer_settings.h"

#include "base/error.h"
#include "platform/atomic_file.h"
#include "settings_formats/ini_text.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace velmar::image_component {

namespace {

constexpr QLatin1String kGroup("Printer");
constexpr QLatin1String kNameKey("Name");
constexpr QLatin1String kPaperKey("PaperSize");
constexpr QLatin1String kOrientationKey("Orientation");
constexpr QLatin1String kOutputFolderKey("OutputFolder");
constexpr QLatin1String kLandscape("Landscape");
constexpr QLatin1String kPortrait("Portrait");

}  // namespace

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
    const QSettings file(settingsFile, QSettings::IniFormat);
    const auto value = [&file](QLatin1String key) {
        return file.value(QString(kGroup) + QLatin1Char('/') + key).toString().trimmed();
    };
    settings.name = value(kNameKey);
    settings.paper = pageSizeFromKey(value(kPaperKey));
    const QString orientation = value(kOrientationKey);
    settings.orientation = orientation.compare(kLandscape, Qt::CaseInsensitive) == 0
                               ? QPageLayout::Landscape
                               : QPageLayout::Portrait;
    settings.outputFolder = value(kOutputFolderKey);
    return settings;
}

// Only the three keys' lines change; the file is replaced whole or not at all.
void writePrinterSettings(const QString& settingsFile, const PrinterSettings& settings) {
    if (settingsFile.isEmpty()) {
        return;
    }
    const auto failed = [&settingsFile](const QString& reason) {
        return Error(QStringLiteral("ﾌﾟﾘﾝﾀ設定ﾌｧｲﾙ %1 に書き込めません").arg(settingsFile) +
                     (reason.isEmpty() ? QString() : QLatin1Char('\r') + reason));
    };
    QFile existing(settingsFile);
    if (existing.exists() && !existing.open(QIODevice::ReadOnly)) {
        throw failed(existing.errorString());
    }
    const QByteArray old = existing.isOpen() ? existing.readAll() : QByteArray();
    // A file read only in part would be written back without its other lines.
    if (existing.error() != QFileDevice::NoError) {
        throw failed(existing.errorString());
    }
    existing.close();  // Windows replaces no file that is still open
    settings_formats::IniText file(old);
    file.setValue(kGroup, kNameKey, settings.name);
    if (settings.paper) {
        file.setValue(kGroup, kPaperKey, settings.paper->key());
    }
    file.setValue(kGroup, kOrientationKey,
                  settings.orientation == QPageLayout::Landscape ? kLandscape : kPortrait);
    try {
        platform::writeWholeFile(settingsFile, file.bytes());
    } catch (const Error& error) {
        throw failed(error.message().section(QLatin1Char('\r'), 1));
    }
}

QString pdfOutputFolder(const QString& settingsFile, const PrinterSettings& settings) {
    if (!settings.outputFolder.isEmpty()) {
        return settings.outputFolder;
    }
    return QFileInfo(settingsFile).absolutePath();
}

}  // namespace velmar::image_component
