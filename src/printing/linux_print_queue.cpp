// Prints on CUPS queues with CUPS's client library: the document goes to the queue as the
// PDF the program wrote, streamed into the request without a temporary file. The library is
// loaded when a queue is first asked about: a print on the built-in PDF printer never needs
// it, and linked to the program it would be loaded, with the twenty-odd libraries it brings
// (TLS, Kerberos, service discovery), at every start.
#include "printing/print_queue.h"

#include "base/error.h"

#include <QIODevice>
#include <QLibrary>
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

// The client library's calls this file makes, under their own names.
struct CupsCalls {
    decltype(&::cupsServer) cupsServer = nullptr;
    decltype(&::ippPort) ippPort = nullptr;
    decltype(&::cupsEncryption) cupsEncryption = nullptr;
    decltype(&::httpConnect2) httpConnect2 = nullptr;
    decltype(&::httpClose) httpClose = nullptr;
    decltype(&::cupsLastErrorString) cupsLastErrorString = nullptr;
    decltype(&::cupsGetNamedDest) cupsGetNamedDest = nullptr;
    decltype(&::cupsFreeDests) cupsFreeDests = nullptr;
    decltype(&::cupsGetOption) cupsGetOption = nullptr;
    decltype(&::cupsAddOption) cupsAddOption = nullptr;
    decltype(&::cupsFreeOptions) cupsFreeOptions = nullptr;
    decltype(&::cupsCreateJob) cupsCreateJob = nullptr;
    decltype(&::cupsStartDocument) cupsStartDocument = nullptr;
    decltype(&::cupsWriteRequestData) cupsWriteRequestData = nullptr;
    decltype(&::cupsFinishDocument) cupsFinishDocument = nullptr;
    decltype(&::cupsCancelJob2) cupsCancelJob2 = nullptr;
};

Error unusable(const QLibrary& library) {
    return Error(QStringLiteral("印刷ｼｽﾃﾑのﾗｲﾌﾞﾗﾘを使えません (%1)").arg(library.errorString()));
}

template <typename Function>
void resolve(QLibrary& library, const char* name, Function*& call) {
    call = reinterpret_cast<Function*>(library.resolve(name));
    if (call == nullptr) {
        throw unusable(library);
    }
}

// The library stays loaded until the program ends (QLibrary never unloads on its own).
CupsCalls loadCups() {
    QLibrary library(QStringLiteral("cups"), 2);
    if (!library.load()) {
        throw unusable(library);
    }
    CupsCalls calls;
    resolve(library, "cupsServer", calls.cupsServer);
    resolve(library, "ippPort", calls.ippPort);
    resolve(library, "cupsEncryption", calls.cupsEncryption);
    resolve(library, "httpConnect2", calls.httpConnect2);
    resolve(library, "httpClose", calls.httpClose);
    resolve(library, "cupsLastErrorString", calls.cupsLastErrorString);
    resolve(library, "cupsGetNamedDest", calls.cupsGetNamedDest);
    resolve(library, "cupsFreeDests", calls.cupsFreeDests);
    resolve(library, "cupsGetOption", calls.cupsGetOption);
    resolve(library, "cupsAddOption", calls.cupsAddOption);
    resolve(library, "cupsFreeOptions", calls.cupsFreeOptions);
    resolve(library, "cupsCreateJob", calls.cupsCreateJob);
    resolve(library, "cupsStartDocument", calls.cupsStartDocument);
    resolve(library, "cupsWriteRequestData", calls.cupsWriteRequestData);
    resolve(library, "cupsFinishDocument", calls.cupsFinishDocument);
    resolve(library, "cupsCancelJob2", calls.cupsCancelJob2);
    return calls;
}

// Loaded on first use; a load that failed is tried again at the next use.
const CupsCalls& cups() {
    static const CupsCalls calls = loadCups();
    return calls;
}

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
        if (cups().cupsWriteRequestData(CUPS_HTTP_DEFAULT, data, static_cast<std::size_t>(size)) !=
            HTTP_STATUS_CONTINUE) {
            setErrorString(QString::fromUtf8(cups().cupsLastErrorString()));
            return -1;
        }
        return size;
    }
};

struct OptionsDeleter {
    int count = 0;
    void operator()(cups_option_t* options) const { cups().cupsFreeOptions(count, options); }
};

[[noreturn]] void raiseCupsError(const QueueJob& job) {
    throw Error(QStringLiteral("ﾌﾟﾘﾝﾀ %1 に印刷できません (%2)")
                    .arg(job.queue, QString::fromUtf8(cups().cupsLastErrorString())));
}

// A connection of its own to the server the client library would ask (CUPS_SERVER,
// client.conf, the local socket); null when none can be made.
http_t* connectToServer() {
    return cups().httpConnect2(cups().cupsServer(), cups().ippPort(), nullptr, AF_UNSPEC,
                               cups().cupsEncryption(), 1, kConnectMilliseconds, nullptr);
}

// Cancels on a connection of its own: the default one is in the middle of a request.
void cancelJob(const QByteArray& queue, int jobId) {
    http_t* http = connectToServer();
    if (http != nullptr) {
        cups().cupsCancelJob2(http, queue.constData(), jobId, 0);
        cups().httpClose(http);
    }
}

struct DestinationDeleter {
    void operator()(cups_dest_t* destination) const { cups().cupsFreeDests(1, destination); }
};

// A destination is named "queue" or "queue/instance", as lpstat and the toolkit name them.
QString queueOf(const QString& destination) {
    return destination.section(QLatin1Char('/'), 0, 0);
}

// The options the user saved for the destination (lpoptions, an instance's options).
std::vector<std::pair<QByteArray, QByteArray>> savedOptions(const QString& destination) {
    const QByteArray queue = queueOf(destination).toUtf8();
    const QByteArray instance = destination.section(QLatin1Char('/'), 1).toUtf8();
    const std::unique_ptr<cups_dest_t, DestinationDeleter> saved(cups().cupsGetNamedDest(
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
        count = cups().cupsAddOption(name.constData(), value.constData(), count, &raw);
    }
    for (const auto& [name, value] : job.options) {
        count = cups().cupsAddOption(name.constData(), value.constData(), count, &raw);
    }
    const std::unique_ptr<cups_option_t, OptionsDeleter> options(raw, OptionsDeleter{count});
    const int jobId =
        cups().cupsCreateJob(CUPS_HTTP_DEFAULT, queue.constData(), title.constData(), count, raw);
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
    if (cups().cupsStartDocument(CUPS_HTTP_DEFAULT, queue.constData(), jobId, title.constData(),
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
    if (cups().cupsFinishDocument(CUPS_HTTP_DEFAULT, queue.constData()) >
        IPP_STATUS_OK_CONFLICTING) {
        raiseCupsError(job);
    }
    return jobId;
}

// The destination as the server describes it now, or nothing when it does not know it.
std::unique_ptr<cups_dest_t, DestinationDeleter> describedDestination(const QString& destination) {
    const QByteArray queue = queueOf(destination).toUtf8();
    return std::unique_ptr<cups_dest_t, DestinationDeleter>(
        cups().cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.constData(), nullptr));
}

QString optionOf(const cups_dest_t& destination, const char* name) {
    return QString::fromUtf8(
        cups().cupsGetOption(name, destination.num_options, destination.options));
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

QueueStatus queueStatus(const QString& queue) {
    const auto found = describedDestination(queue);
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

// When no connection to the server can be made, the reason names the server; a client
// library that cannot be loaded is a print system that cannot be reached too.
std::optional<QString> printSystemUnreachable() {
    try {
        http_t* http = connectToServer();
        if (http != nullptr) {
            cups().httpClose(http);
            return std::nullopt;
        }
        return QStringLiteral("%1: %2").arg(QString::fromUtf8(cups().cupsServer()),
                                            QString::fromUtf8(cups().cupsLastErrorString()));
    } catch (const Error& error) {
        return error.message();
    }
}

}  // namespace velmar::printing
