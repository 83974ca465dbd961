#include "image_component/printer_settings.h"

#include "platform/platform.h"

#include <QFileInfo>
#include <QSettings>

namespace velmar::image_component {

namespace {

constexpr QLatin1String kNameKey("Printer/Name");
constexpr QLatin1String kPaperKey("Printer/PaperSize");
constexpr QLatin1String kOrientationKey("Printer/Orientation");
constexpr QLatin1String kOutputFolderKey("Printer/OutputFolder");
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
    settings.name = file.value(kNameKey).toString().trimmed();
    settings.paper = pageSizeFromKey(file.value(kPaperKey).toString().trimmed());
    const QString orientation = file.value(kOrientationKey).toString().trimmed();
    settings.orientation = orientation.compare(kLandscape, Qt::CaseInsensitive) == 0
                               ? QPageLayout::Landscape
                               : QPageLayout::Portrait;
    settings.outputFolder = file.value(kOutputFolderKey).toString().trimmed();
    return settings;
}

void writePrinterSettings(const QString& settingsFile, const PrinterSettings& settings) {
    if (settingsFile.isEmpty()) {
        return;
    }
    QSettings file(settingsFile, QSettings::IniFormat);
    file.setValue(kNameKey, settings.name);
    if (settings.paper) {
        file.setValue(kPaperKey, settings.paper->key());
    }
    file.setValue(kOrientationKey,
                  QString(settings.orientation == QPageLayout::Landscape ? kLandscape : kPortrait));
    file.sync();
    if (file.status() != QSettings::NoError) {
        throw Error(QStringLiteral("ﾌﾟﾘﾝﾀ設定ﾌｧｲﾙ %1 に書き込めません").arg(settingsFile));
    }
}

QString pdfOutputFolder(const QString& settingsFile, const PrinterSettings& settings) {
    if (!settings.outputFolder.isEmpty()) {
        return settings.outputFolder;
    }
    return QFileInfo(settingsFile).absolutePath();
}

}  // namespace velmar::image_component
