// Hands a finished PDF document to a print queue of the system's print service.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class QIODevice;

namespace velmar::image_component {

struct QueueJob {
    QString queue;
    QString title;                                           // the job's name in the queue
    std::vector<std::pair<QByteArray, QByteArray>> options;  // name, value
};

// Sends the PDF that `writeDocument` writes as one job. Throws velmar::Error when the job
// cannot be created or sent; a job whose document could not be written is cancelled, so
// nothing of it is printed.
void submitPdf(const QueueJob& job, const std::function<void(QIODevice&)>& writeDocument);

}  // namespace velmar::image_component
