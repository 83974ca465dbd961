// Windows printers get the pages drawn through Qt's Windows print support, which hands
// them to the printer's own driver: every printer takes that, whatever language it speaks.
// The printer carries the paper, orientation, copies and two-sided printing chosen.
#include "printing/page_painter.h"
#include "printing/print_queue.h"

namespace velmar::image_component {

void printOnQueue(QPrinter& printer, const QueueDocument& document) {
    paintPages(printer, document.pages, document.printableCorner);
}

}  // namespace velmar::image_component
