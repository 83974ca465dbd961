// Prints on CUPS queues with CUPS's client library: the document goes to the queue as the
// PDF the program wrote, streamed into the request without a temporary file.
#include "printing/print_queue.h"

#include "base/error.h"

#include <QIODevice>
#include <QPrinter>
#include <QStringList>

#include <cups/cups.h>

#include <memory>
#include <utility>
#include <vector>

namespace velmar::printing {

namespace {

// How long a connection to the CUPS server may take before it counts as unreachable.
constexpr int kConnectMilliseconds = 30000;

struct QueueJob {
    QString queue;
    QString title;                                           // the job's name in the queue
    std::vector<std::pair<QByteArray, QByteArray>> options;  // name, value
};

// The job for the printer's queue: its document name, and the choices made for it as
// CUPS options. The pages are made in the chosen orientation already; the paper is named.
QueueJob queueJob(const QPrinter& printer) {
    QueueJob job{printer.printerName(), printer.docName(), {}};
    job.options.emplace_back("media", printer.pageLayout().pageSize().key().toUtf8());
    if (printer.copyCount() > 1) {
        job.options.emplace_back("copies", QByteArray::number(printer.copyCount()));
        job.options.emplace_back("collate", printer.collateCopies() ? "true" : "false");
    }
    switch (printer.duplex()) {
        case QPrinter::DuplexLongSide:
            job.options.emplace_back("sides", "two-sided-long-edge");
            break;
        case QPrinter::DuplexShortSide:
            job.options.emplace_back("sides", "two-sided-short-edge");
            break;
        case QPrinter::DuplexNone:
            job.options.emplace_back("sides", "one-sided");
            break;
        case QPrinter::DuplexAuto:
            break;
    }
    return job;
}

// Writes into the document request that cupsStartDocument opened.
class CupsRequestDevice final : public QIODevice {
  protected:
    qint64 readData(char* /*data*/, qint64 /*maxSize*/) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, data, static_cast<std::size_t>(size)) !=
            HTTP_STATUS_CONTINUE) {
            setErrorString(QString::fromUtf8(cupsLastErrorString()));
            return -1;
        }
        return size;
    }
};

struct OptionsDeleter {
    int count = 0;
    void operator()(cups_option_t* options) const { cupsFreeOptions(count, options); }
};

[[noreturn]] void raiseCupsError(const QueueJob& job) {
    throw Error(QStringLiteral("ﾌﾟﾘﾝﾀ %1 に印刷できません (%2)")
                    .arg(job.queue, QString::fromUtf8(cupsLastErrorString())));
}

// Cancels on a connection of its own: the default one is in the middle of a request.
void cancelJob(const QByteArray& queue, int jobId) {
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                kConnectMilliseconds, nullptr);
    if (http != nullptr) {
        cupsCancelJob2(http, queue.constData(), jobId, 0);
        httpClose(http);
    }
}

struct DestinationDeleter {
    void operator()(cups_dest_t* destination) const { cupsFreeDests(1, destination); }
};

// A destination is named "queue" or "queue/instance", as lpstat and the toolkit name them.
QString queueOf(const QString& destination) {
    return destination.section(QLatin1Char('/'), 0, 0);
}

// The options the user saved for the destination (lpoptions, an instance's options).
std::vector<std::pair<QByteArray, QByteArray>> savedOptions(const QString& destination) {
    const QByteArray queue = queueOf(destination).toUtf8();
    const QByteArray instance = destination.section(QLatin1Char('/'), 1).toUtf8();
    const std::unique_ptr<cups_dest_t, DestinationDeleter> saved(cupsGetNamedDest(
        CUPS_HTTP_DEFAULT, queue.constData(), instance.isEmpty() ? nullptr : instance.constData()));
    std::vector<std::pair<QByteArray, QByteArray>> options;
    if (saved) {
        for (int i = 0; i < saved->num_options; ++i) {
            options.emplace_back(saved->options[i].name, saved->options[i].value);
        }
    }
    return options;
}

// The job gets the destination's saved options, and over them the ones chosen for it.
int createJob(const QueueJob& job, const QByteArray& queue, const QByteArray& title) {
    cups_option_t* raw = nullptr;
    int count = 0;
    for (const auto& [name, value] : savedOptions(job.queue)) {
        count = cupsAddOption(name.constData(), value.constData(), count, &raw);
    }
    for (const auto& [name, value] : job.options) {
        count = cupsAddOption(name.constData(), value.constData(), count, &raw);
    }
    const std::unique_ptr<cups_option_t, OptionsDeleter> options(raw, OptionsDeleter{count});
    const int jobId =
        cupsCreateJob(CUPS_HTTP_DEFAULT, queue.constData(), title.constData(), count, raw);
    if (jobId == 0) {
        raiseCupsError(job);
    }
    return jobId;
}

// Sends the PDF that `writeDocument` writes as one job and returns its number; a job whose
// document could not be written is cancelled.
int submitPdf(const QueueJob& job, const std::function<void(QIODevice&)>& writeDocument) {
    const QByteArray queue = queueOf(job.queue).toUtf8();
    const QByteArray title = job.title.toUtf8();
    const int jobId = createJob(job, queue, title);
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, queue.constData(), jobId, title.constData(),
                          CUPS_FORMAT_PDF, 1) != HTTP_STATUS_CONTINUE) {
        cancelJob(queue, jobId);
        raiseCupsError(job);
    }
    try {
        CupsRequestDevice device;
        device.open(QIODevice::WriteOnly);
        writeDocument(device);
    } catch (...) {
        cancelJob(queue, jobId);
        throw;
    }
    if (cupsFinishDocument(CUPS_HTTP_DEFAULT, queue.constData()) > IPP_STATUS_OK_CONFLICTING) {
        raiseCupsError(job);
    }
    return jobId;
}

// The destination as the server describes it now, or nothing when it does not know it.
std::unique_ptr<cups_dest_t, DestinationDeleter> describedDestination(const QString& destination) {
    const QByteArray queue = queueOf(destination).toUtf8();
    return std::unique_ptr<cups_dest_t, DestinationDeleter>(
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.constData(), nullptr));
}

QString optionOf(const cups_dest_t& destination, const char* name) {
    return QString::fromUtf8(cupsGetOption(name, destination.num_options, destination.options));
}

constexpr auto kStateIdle = "3";
constexpr auto kStateProcessing = "4";
constexpr auto kStateStopped = "5";

}  // namespace

Delivery printOnQueue(QPrinter& printer, const QueueDocument& document) {
    const QueueJob job = queueJob(printer);
    const int jobId = submitPdf(job, document.writePdf);
    const auto found = describedDestination(job.queue);
    const bool stopped = found && optionOf(*found, "printer-state") == QLatin1String(kStateStopped);
    return Delivery{{}, job.queue, jobId, stopped, 1.0F};
}

QueueStatus queueStatus(const QString& destination) {
    const auto found = describedDestination(destination);
    if (!found) {
        return {};
    }
    QStringList states;
    const QString state = optionOf(*found, "printer-state");
    if (state == QLatin1String(kStateIdle)) {
        states << QStringLiteral("待機中");
    } else if (state == QLatin1String(kStateProcessing)) {
        states << QStringLiteral("印刷中");
    } else if (state == QLatin1String(kStateStopped)) {
        states << QStringLiteral("一時停止");
    }
    if (optionOf(*found, "printer-is-accepting-jobs") == QLatin1String("false")) {
        states << QStringLiteral("受付停止");
    }
    return QueueStatus{optionOf(*found, "printer-info"), states.join(QStringLiteral("、"))};
}

// The server the client library would ask (CUPS_SERVER, client.conf, the local socket),
// on a connection of its own: when none can be made, the reason names the server.
std::optional<QString> printSystemUnreachable() {
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                kConnectMilliseconds, nullptr);
    if (http != nullptr) {
        httpClose(http);
        return std::nullopt;
    }
    return QStringLiteral("%1: %2").arg(QString::fromUtf8(cupsServer()),
                                        QString::fromUtf8(cupsLastErrorString()));
}

}  // namespace velmar::printing
