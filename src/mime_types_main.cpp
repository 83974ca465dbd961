// Build-time tool: prints the MIME types of the image files Velmar reads, each followed by
// ';', as the MimeType key of a desktop entry lists them. The build writes them into the
// installed desktop entry.
#include "image_component/image_component.h"
#include "platform/platform.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    const QCoreApplication app(argc, argv);
    const QStringList types = velmar::image_component::readableMimeTypes();
    if (types.isEmpty()) {
        velmar::platform::writeDiagnostic(QStringLiteral("Qt's image plugins read no file type"));
        return 1;
    }
    velmar::platform::writeOutput(types.join(QLatin1Char(';')) + QLatin1Char(';'));
    return 0;
}
