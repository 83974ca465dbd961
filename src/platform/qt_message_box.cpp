#include "platform/qt_message_box.h"

#include "platform/diagnostics.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace velmar::platform {

// Every message also goes to standard error, where it is seen when the program was
// started from a terminal and kept when its output is logged.
void QtMessageBox::show(const QString& text) {
    writeDiagnostic(text);
    if (isHeadless()) {
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), withLineFeeds(text),
                    QMessageBox::Ok);
    box.exec();
}

}  // namespace velmar::platform
