// The system's print spooler, for systems whose printers are reached through it (Windows).
#pragma once

#include <QByteArray>
#include <QString>

namespace velmar::platform {

// Sends a finished document to a printer as one job, as it is, under the given job name.
// Raises Error when the printer cannot be opened or the job cannot be written; a job that
// failed half way is cancelled.
void spoolRawDocument(const QString& printer, const QString& jobName, const QByteArray& document);

}  // namespace velmar::platform
