#include "platform/qt_message_box.h"

#include "platform/diagnostics.h"

#include <QMessageBox>

namespace velmar::platform {

// Every message also goes to standard error, where it is seen when the program was
// started from a terminal and kept when its output is logged.
void QtMessageBox::show(const QString& text) {
    writeDiagnostic(text);
    if (isHeadless()) {
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QLatin1String(kAppTitle), withLineFeeds(text),
                    QMessageBox::Ok);
    box.exec();
}

}  // namespace velmar::platform
