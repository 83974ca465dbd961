// Draws pages of placed images through QPainter on a printer, each image with its own
// pixels at its exact place and size, for print services that take drawn pages.
#pragma once

#include "printing/print_queue.h"

#include <QPointF>

#include <vector>

class QPrinter;

namespace velmar::printing {

// Prints the pages as one document on printer, which must be in high-resolution mode; its
// document name names the job. printableCorner is where the placements count from, in
// millimetres from the paper's corner. Every image is decoded before the document starts.
// Throws velmar::Error when the document cannot be started, a page cannot be begun or the
// printer reports an error; the job is then aborted.
void paintPages(QPrinter& printer, const std::vector<Page>& pages, QPointF printableCorner);

}  // namespace velmar::printing
