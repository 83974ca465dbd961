#include "print_window/run.h"
#include "platform/diagnostics.h"
#include "print_window/command_line.h"
#include "print_window/fm_prn.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace velmar::print_window {

bool loadToolkitTranslations(QTranslator& translator) {
    const QString catalogue = QStringLiteral("qtbase_ja");
    if (!translator.load(catalogue, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        !translator.load(catalogue,
                         QApplication::applicationDirPath() + QLatin1String("/translations"))) {
        return false;
    }
    return QApplication::installTranslator(&translator);
}

std::shared_ptr<image_component::JpegDataCheck> readAheadNamedImage(
    const CommandLine& commandLine) {
    return image_component::readAhead(commandLine.imagePath);
}

RunEnd run(const platform::Services& services, const CommandLine& commandLine,
           std::shared_ptr<image_component::JpegDataCheck> readAhead) {
    // Answered before the window, the settings or the user-data folder exist.
    if (answerCommandLineRequest(commandLine, services.process)) {
        return {};
    }
    image_component::configureImageReaders();
    // The whole interface is Japanese, the toolkit's dates and numbers too.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    QTranslator toolkitTexts;
    loadToolkitTranslations(toolkitTexts);
    // Every window of the run carries the icon, also a message box or a print dialog of a
    // print-only run.
    if (!platform::isHeadless()) {
        QApplication::setWindowIcon(programIcon());
    }
    fmPrn window(services, image_component::makeImageKit(), commandLine, std::move(readAhead));
    window.Form_Load();
    if (window.isUnloaded()) {
        return {window.exitStatus(), false};
    }
    if (platform::isHeadless()) {
        platform::writeDiagnostic(QStringLiteral("no display to show the window on"));
        window.Unload();
        return {window.exitStatus(), false};
    }
    window.show();
    QApplication::exec();
    return {window.exitStatus(), true};
}

}  // namespace velmar::print_window
