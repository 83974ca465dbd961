// Prints a finished document on a print queue of the system's print service. Each system
// takes the document in its own form: CUPS gets the program's own PDF, Windows printers get
// the pages drawn through their drivers.
#pragma once

#include "printing/pdf_document.h"
#include "printing/print_notice.h"

#include <QPointF>
#include <QRectF>

#include <functional>
#include <optional>
#include <vector>

class QIODevice;
class QPrinter;

namespace velmar::printing {

// One image placed on a page, in tenths of a millimetre from the printable area's corner.
struct Placement {
    PageImage image;
    QRectF tenths;
};
using Page = std::vector<Placement>;

// One document for a queue, in both forms.
struct QueueDocument {
    std::vector<Page> pages;
    QPointF printableCorner;                   // on the paper, in millimetres
    std::function<void(QIODevice&)> writePdf;  // writes the same pages as a PDF document
};

// Prints the document as one job on the queue `printer` is set to, with its paper,
// orientation, copies and two-sided printing, named by its document name, and says where
// it went: the queue, the job's number where the system gives one, whether it waits on a
// paused queue. Throws velmar::Error when the job cannot be made or sent; a job that
// fails half way is cancelled, so nothing of it is printed.
[[nodiscard]] Delivery printOnQueue(QPrinter& printer, const QueueDocument& document);

// How a queue presents itself to someone choosing a printer: what its owner wrote about it
// and what it is doing, in words for the user ("待機中", "印刷中", "一時停止", "受付停止").
// Either is empty where the print service does not say.
struct QueueStatus {
    QString description;
    QString state;
};
[[nodiscard]] QueueStatus queueStatus(const QString& queue);

// Nothing when the print service can be reached; otherwise why it cannot. A service that
// cannot be reached lists no printers, which is not the same as printers that are gone.
[[nodiscard]] std::optional<QString> printSystemUnreachable();

}  // namespace velmar::printing
