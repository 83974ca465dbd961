// A CUPS daemon of the test's own: its configuration, spool, logs and socket live in a
// temporary folder, its PDF printers (cups-pdf) write into that folder too, and it is
// stopped by its own process id. The machine's CUPS set-up is neither read nor changed:
// the daemon runs in a mount namespace of its own in which the folder with the private
// configuration stands in for /etc/cups, where the cups-pdf backend looks for its
// settings.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <optional>
#include <vector>

namespace velmar::test {

// One job as the daemon reports it.
struct CupsJob {
    int id = 0;
    QString name;
    QString state;         // "pending", "processing", "completed", "aborted", …
    qint64 createdAt = 0;  // seconds since the epoch
    int copies = 1;
    QString sides;  // "one-sided", "two-sided-long-edge", …; empty when the job has none
};

class PrivateCups {
  public:
    // Starts the daemon; the reason goes to `failure()` when it cannot.
    PrivateCups();
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;
    PrivateCups(PrivateCups&&) = delete;
    PrivateCups& operator=(PrivateCups&&) = delete;

    // Empty when the daemon runs; otherwise why it does not.
    [[nodiscard]] const QString& failure() const { return failure_; }

    // What clients set CUPS_SERVER to.
    [[nodiscard]] QString socket() const;
    // Where the PDF printers write their files, and where the daemon keeps each job's
    // document as the program sent it ("d<job id, 5 digits>-001").
    [[nodiscard]] QString outputFolder() const;
    [[nodiscard]] QString spooledDocument(int jobId) const;
    // The file a PDF printer wrote for a job, found by the job id it is labelled with.
    [[nodiscard]] std::optional<QString> outputOf(int jobId) const;

    // A PDF printer with the PPD that comes with cups-pdf: A4, the whole sheet printable.
    void addPdfPrinter(const QString& queue);
    // A PDF printer whose PPD leaves 4.2 mm unprintable on every side of an A4 sheet.
    void addPdfPrinterWithMargins(const QString& queue);

    // The same printer description with two-sided printing.
    void addDuplexPrinter(const QString& queue);
    // Every printer is described as "Test printer <queue>".
    [[nodiscard]] static QString descriptionOf(const QString& queue);

    // Stops a queue with cupsdisable (paused) or cupsreject (taking no jobs).
    void stopQueue(const QString& queue, const QString& tool);

    // Makes a queue the daemon's default printer.
    void makeDefault(const QString& queue);

    // Every job the daemon knows of on a queue, oldest first.
    [[nodiscard]] std::vector<CupsJob> jobs(const QString& queue) const;
    // Waits until a queue holds `count` jobs that have all ended; returns them.
    [[nodiscard]] std::vector<CupsJob> waitForEndedJobs(const QString& queue, std::size_t count,
                                                        std::chrono::seconds timeout) const;

  private:
    [[nodiscard]] QString path(const QString& name) const;
    void prepareFolders();
    void writeConfiguration();
    void startDaemon();
    [[nodiscard]] bool waitForSocket();
    void addPrinter(const QString& queue, const QString& ppd);
    void stopDaemon();
    // The rows ipptool prints for one of our request files, or nothing when it fails.
    [[nodiscard]] std::optional<QStringList> askDaemon(const QString& queue, const QString& test,
                                                       const QStringList& definitions) const;
    [[nodiscard]] QString daemonLog() const;

    QTemporaryDir root_;
    QProcess daemon_;
    QString failure_;
};

}  // namespace velmar::test
