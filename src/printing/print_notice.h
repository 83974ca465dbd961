// What the user is told after every print: where it went, whether the image had to be
// shrunk to fit, and whether the job waits on a paused queue. A program started from the
// file manager has no terminal, so the same words go to standard error and into a desktop
// notification.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace velmar::printing {

struct Delivery {
    QString pdfPath;           // the PDF the built-in printer wrote; empty for a queue
    QString queue;             // the print queue that took the job
    std::optional<int> jobId;  // the queue's number for the job, where the system says
    bool waits = false;        // the queue is paused: the job waits until it is resumed
    float scale = 1.0F;        // how much the image was shrunk to fit; 1 when it was not
};

struct Notice {
    QString summary;
    QStringList lines;
};

// The words for a delivery. Shrinking is said in per cent with one decimal, never as
// 100.0 % nor 0.0 %: a shrunk image is never shown as unshrunk, a tiny one never as gone.
[[nodiscard]] Notice noticeFor(const Delivery& delivery);

// Says the delivery: its first line after the summary on standard error, every other line
// on one of its own, and all of it in a desktop notification, which offers the PDF.
void announce(const Delivery& delivery);

}  // namespace velmar::printing
