#include "doubles/private_cups.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QThread>
#include <QUrl>

#include <algorithm>

#include <grp.h>
#include <unistd.h>

namespace velmar::test {

namespace {

constexpr int kStartTimeoutMs = 20000;
constexpr int kToolTimeoutMs = 30000;
constexpr int kPollMs = 200;
constexpr int kStopTimeoutMs = 10000;

// The cups-pdf settings instance of our printers: the backend reads
// "<CUPS configuration folder>/cups-pdf-velmar.conf" for the device "cups-pdf:/velmar".
constexpr auto kPdfInstance = "velmar";

// A PostScript printer with A4 paper only and 4.2 mm (11.906 pt) unprintable on every
// side, in the format that CUPS reads printer descriptions in.
constexpr auto kMarginsPpd = R"ppd(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "VELMARTS.PPD"
*Manufacturer: "Velmar"
*Product: "(Velmar Test Page Printer)"
*ModelName: "Velmar Test Page Printer"
*ShortNickName: "Velmar Test Page Printer"
*NickName: "Velmar Test Page Printer"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595.276 841.89]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595.276 841.89]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "11.906 11.906 583.37 829.984"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595.276 841.89"
*DefaultFont: Courier
*Font Courier: Standard "(001.004)" Standard ROM
)ppd";

// What a printer description adds for a printer that prints on both sides.
constexpr auto kDuplexUi = R"ppd(*OpenUI *Duplex/2-Sided Printing: PickOne
*OrderDependency: 20 AnySetup *Duplex
*DefaultDuplex: None
*Duplex None/Off: "<</Duplex false>>setpagedevice"
*Duplex DuplexNoTumble/Long Edge: "<</Duplex true/Tumble false>>setpagedevice"
*Duplex DuplexTumble/Short Edge: "<</Duplex true/Tumble true>>setpagedevice"
*CloseUI: *Duplex
)ppd";

// The ids of every job of a queue, asked as the jobs' owner. The daemon answers this
// from what it keeps in memory, which for an ended job may be little more than the id.
constexpr auto kGetJobsTest = R"ipp({
  NAME "Jobs of the queue"
  OPERATION Get-Jobs
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR name requesting-user-name $user
  ATTR keyword which-jobs all
  ATTR keyword requested-attributes job-id
  STATUS successful-ok
  DISPLAY job-id
}
)ipp";

// One job's whole record, which the daemon reads back from its spool when it must.
constexpr auto kGetJobAttributesTest = R"ipp({
  NAME "One job"
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR integer job-id $job
  ATTR name requesting-user-name $user
  ATTR keyword requested-attributes job-name,job-state,time-at-creation,copies,sides
  STATUS successful-ok
  DISPLAY job-name
  DISPLAY job-state
  DISPLAY time-at-creation
  DISPLAY copies
  DISPLAY sides
}
)ipp";

bool writeText(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text.toUtf8()) == text.toUtf8().size();
}

QString userName() {
    const QString fromEnvironment = qEnvironmentVariable("USER");
    return fromEnvironment.isEmpty() ? QStringLiteral("root") : fromEnvironment;
}

// Runs a CUPS tool against the private daemon; the tool's output, or nothing.
std::optional<QString> runTool(const QString& socket, const QString& program,
                               const QStringList& arguments) {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CUPS_SERVER"), socket);
    tool.setProcessEnvironment(environment);
    tool.start(program, arguments);
    if (!tool.waitForFinished(kToolTimeoutMs) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0) {
        tool.kill();
        tool.waitForFinished();
        return std::nullopt;
    }
    return QString::fromUtf8(tool.readAllStandardOutput());
}

bool hasEnded(const CupsJob& job) {
    return job.state == QLatin1String("completed") || job.state == QLatin1String("aborted") ||
           job.state == QLatin1String("canceled");
}

// Gives a folder to root and the group "lp" (which the daemon's filters run as).
bool shareWithFilters(const QString& folder, QFile::Permissions permissions) {
    const group* lp = ::getgrnam("lp");
    return lp != nullptr && ::chown(QFile::encodeName(folder).constData(), 0, lp->gr_gid) == 0 &&
           QFile::setPermissions(folder, permissions);
}

}  // namespace

PrivateCups::PrivateCups() : root_(QDir::tempPath() + QStringLiteral("/velmar-cups-XXXXXX")) {
    if (::geteuid() != 0) {
        failure_ = QStringLiteral(
            "a private CUPS daemon needs root (it starts in a mount "
            "namespace of its own)");
        return;
    }
    if (!root_.isValid()) {
        failure_ = QStringLiteral("no temporary folder");
        return;
    }
    prepareFolders();
    if (failure_.isEmpty()) {
        writeConfiguration();
    }
    if (failure_.isEmpty()) {
        startDaemon();
    }
}

PrivateCups::~PrivateCups() {
    stopDaemon();
}

QString PrivateCups::path(const QString& name) const {
    return root_.filePath(name);
}

QString PrivateCups::socket() const {
    return path(QStringLiteral("cups.sock"));
}

QString PrivateCups::outputFolder() const {
    return path(QStringLiteral("out"));
}

QString PrivateCups::spooledDocument(int jobId) const {
    return path(QStringLiteral("spool/d%1-001").arg(jobId, 5, 10, QLatin1Char('0')));
}

std::optional<QString> PrivateCups::outputOf(int jobId) const {
    const QStringList names =
        QDir(outputFolder()).entryList({QStringLiteral("job_%1-*.pdf").arg(jobId)}, QDir::Files);
    if (names.size() != 1) {
        return std::nullopt;
    }
    return QDir(outputFolder()).filePath(names.front());
}

void PrivateCups::prepareFolders() {
    const QFile::Permissions everyoneReads = QFile::ReadOwner | QFile::WriteOwner |
                                             QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                                             QFile::ReadOther | QFile::ExeOther;
    const QFile::Permissions groupWrites = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup;
    const QDir root(root_.path());
    for (const char* folder :
         {"etc", "etc/ppd", "spool", "spool/tmp", "cache", "state", "log", "out", "pdf-spool"}) {
        if (!root.mkpath(QString::fromLatin1(folder))) {
            failure_ = QStringLiteral("cannot create %1").arg(path(QString::fromLatin1(folder)));
            return;
        }
    }
    bool shared = QFile::setPermissions(root_.path(), everyoneReads);
    for (const char* folder : {"etc", "etc/ppd", "log", "out", "pdf-spool"}) {
        shared = shared && QFile::setPermissions(path(QString::fromLatin1(folder)), everyoneReads);
    }
    for (const char* folder : {"spool", "spool/tmp", "cache", "state"}) {
        shared = shared && shareWithFilters(path(QString::fromLatin1(folder)), groupWrites);
    }
    if (!shared) {
        failure_ = QStringLiteral("cannot set the permissions of the daemon's folders");
    }
}

void PrivateCups::writeConfiguration() {
    const QString files = QStringLiteral(
                              "ServerRoot %1/etc\n"
                              "RequestRoot %1/spool\n"
                              "TempDir %1/spool/tmp\n"
                              "CacheDir %1/cache\n"
                              "StateDir %1/state\n"
                              "ErrorLog %1/log/error_log\n"
                              "AccessLog %1/log/access_log\n"
                              "PageLog %1/log/page_log\n"
                              "Printcap %1/printcap\n"
                              "User lp\n"
                              "Group lp\n"
                              "SystemGroup root\n"
                              "Sandboxing relaxed\n")
                              .arg(root_.path());
    // Jobs and their documents are kept after printing so that tests can look at them;
    // job names are shown to every asker.
    const QString daemon = QStringLiteral(
                               "Listen %1\n"
                               "LogLevel info\n"
                               "WebInterface No\n"
                               "Browsing No\n"
                               "DefaultAuthType None\n"
                               "PreserveJobHistory Yes\n"
                               "PreserveJobFiles Yes\n"
                               "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                               "<Policy default>\n"
                               "  JobPrivateAccess all\n"
                               "  JobPrivateValues none\n"
                               "  <Limit All>\n    Order deny,allow\n  </Limit>\n"
                               "</Policy>\n")
                               .arg(socket());
    // Output files carry the job id ("job_<id>-<title>.pdf") so that no job overwrites
    // another's.
    const QString pdfPrinter = QStringLiteral(
                                   "Out %1/out\n"
                                   "AnonDirName %1/out\n"
                                   "Spool %1/pdf-spool\n"
                                   "Log %1/log\n"
                                   "Grp root\n"
                                   "Label 1\n")
                                   .arg(root_.path());
    const bool written =
        writeText(path(QStringLiteral("etc/cups-files.conf")), files) &&
        writeText(path(QStringLiteral("etc/cupsd.conf")), daemon) &&
        writeText(path(QStringLiteral("etc/cups-pdf-%1.conf").arg(QLatin1String(kPdfInstance))),
                  pdfPrinter) &&
        writeText(path(QStringLiteral("margins.ppd")), QString::fromLatin1(kMarginsPpd)) &&
        writeText(path(QStringLiteral("duplex.ppd")),
                  QString::fromLatin1(kMarginsPpd) + QString::fromLatin1(kDuplexUi)) &&
        writeText(path(QStringLiteral("get-jobs.test")), QString::fromLatin1(kGetJobsTest)) &&
        writeText(path(QStringLiteral("get-job-attributes.test")),
                  QString::fromLatin1(kGetJobAttributesTest));
    if (!written) {
        failure_ = QStringLiteral("cannot write the daemon's configuration");
    }
}

void PrivateCups::startDaemon() {
    // In a mount namespace of its own, the private configuration folder is bound over
    // /etc/cups; the shell then becomes the daemon, so the process id is the daemon's.
    daemon_.setProcessChannelMode(QProcess::MergedChannels);
    daemon_.start(
        QStringLiteral("unshare"),
        {QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"),
         QStringLiteral("sh"), QStringLiteral("-c"),
         QStringLiteral("mount --bind \"$1\" /etc/cups && exec cupsd -f -c \"$2\" -s \"$3\""),
         QStringLiteral("velmar-cups"), path(QStringLiteral("etc")),
         path(QStringLiteral("etc/cupsd.conf")), path(QStringLiteral("etc/cups-files.conf"))});
    if (!daemon_.waitForStarted()) {
        failure_ = QStringLiteral("cannot start unshare: %1").arg(daemon_.errorString());
        return;
    }
    if (!waitForSocket()) {
        failure_ = QStringLiteral("the CUPS daemon did not start:\n%1\n%2")
                       .arg(QString::fromLocal8Bit(daemon_.readAll()), daemonLog());
    }
}

bool PrivateCups::waitForSocket() {
    const qint64 deadline = QDateTime::currentMSecsSinceEpoch() + kStartTimeoutMs;
    while (QDateTime::currentMSecsSinceEpoch() < deadline) {
        // lpstat ends with status 0 either way; only its words tell.
        if (QFileInfo::exists(socket()) &&
            runTool(socket(), QStringLiteral("lpstat"), {QStringLiteral("-r")})
                .value_or(QString())
                .startsWith(QLatin1String("scheduler is running"))) {
            return true;
        }
        // Waiting on the process, not sleeping, is what lets QProcess see it end.
        if (daemon_.waitForFinished(kPollMs)) {
            return false;
        }
    }
    return false;
}

void PrivateCups::addPdfPrinter(const QString& queue) {
    addPrinter(queue, QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd"));
}

void PrivateCups::addPdfPrinterWithMargins(const QString& queue) {
    addPrinter(queue, path(QStringLiteral("margins.ppd")));
}

QString PrivateCups::descriptionOf(const QString& queue) {
    return QStringLiteral("Test printer %1").arg(queue);
}

void PrivateCups::addDuplexPrinter(const QString& queue) {
    addPrinter(queue, path(QStringLiteral("duplex.ppd")));
}

void PrivateCups::stopQueue(const QString& queue, const QString& tool) {
    if (failure_.isEmpty() && !runTool(socket(), tool, {QStringLiteral("-h"), socket(), queue})) {
        failure_ = QStringLiteral("%1 failed on %2:\n%3").arg(tool, queue, daemonLog());
    }
}

void PrivateCups::addPrinter(const QString& queue, const QString& ppd) {
    if (!failure_.isEmpty()) {
        return;
    }
    const auto added = runTool(
        socket(), QStringLiteral("lpadmin"),
        {QStringLiteral("-h"), socket(), QStringLiteral("-p"), queue, QStringLiteral("-E"),
         QStringLiteral("-v"), QStringLiteral("cups-pdf:/%1").arg(QLatin1String(kPdfInstance)),
         QStringLiteral("-D"), descriptionOf(queue), QStringLiteral("-P"), ppd});
    if (!added) {
        failure_ = QStringLiteral("lpadmin could not add %1:\n%2").arg(queue, daemonLog());
    }
}

void PrivateCups::makeDefault(const QString& queue) {
    if (failure_.isEmpty() &&
        !runTool(socket(), QStringLiteral("lpadmin"),
                 {QStringLiteral("-h"), socket(), QStringLiteral("-d"), queue})) {
        failure_ =
            QStringLiteral("lpadmin could not make %1 the default:\n%2").arg(queue, daemonLog());
    }
}

std::optional<QStringList> PrivateCups::askDaemon(const QString& queue, const QString& test,
                                                  const QStringList& definitions) const {
    const QString uri = QStringLiteral("ipp://%1/printers/%2")
                            .arg(QString::fromLatin1(QUrl::toPercentEncoding(socket())), queue);
    QStringList arguments{QStringLiteral("-c"), QStringLiteral("-d"),
                          QStringLiteral("user=") + userName()};
    for (const QString& definition : definitions) {
        arguments << QStringLiteral("-d") << definition;
    }
    arguments << uri << path(test);
    const auto table = runTool(socket(), QStringLiteral("ipptool"), arguments);
    if (!table) {
        return std::nullopt;
    }
    // A header line, then one line of comma-separated values per answer.
    QStringList rows = table->split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!rows.isEmpty()) {
        rows.removeFirst();
    }
    return rows;
}

std::vector<CupsJob> PrivateCups::jobs(const QString& queue) const {
    std::vector<CupsJob> found;
    const auto ids = askDaemon(queue, QStringLiteral("get-jobs.test"), {});
    for (const QString& id : ids.value_or(QStringList())) {
        CupsJob job{id.toInt(), {}, {}, 0, 1, {}};
        const auto record = askDaemon(queue, QStringLiteral("get-job-attributes.test"),
                                      {QStringLiteral("job=") + id});
        const QStringList fields =
            record && record->size() == 1 ? record->front().split(QLatin1Char(',')) : QStringList();
        if (fields.size() >= 3) {
            job.name = fields[0];
            job.state = fields[1];
            job.createdAt = fields[2].toLongLong();
            job.copies = std::max(1, fields.value(3).toInt());
            job.sides = fields.value(4);
        }
        found.push_back(job);
    }
    std::sort(found.begin(), found.end(),
              [](const CupsJob& one, const CupsJob& other) { return one.id < other.id; });
    return found;
}

std::vector<CupsJob> PrivateCups::waitForEndedJobs(const QString& queue, std::size_t count,
                                                   std::chrono::seconds timeout) const {
    const qint64 deadline = QDateTime::currentMSecsSinceEpoch() +
                            std::chrono::duration_cast<std::chrono::milliseconds>(timeout).count();
    std::vector<CupsJob> found = jobs(queue);
    while (QDateTime::currentMSecsSinceEpoch() < deadline &&
           (found.size() < count || !std::all_of(found.begin(), found.end(), hasEnded))) {
        QThread::msleep(kPollMs);
        found = jobs(queue);
    }
    return found;
}

QString PrivateCups::daemonLog() const {
    QFile log(path(QStringLiteral("log/error_log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : QString();
}

void PrivateCups::stopDaemon() {
    if (daemon_.state() == QProcess::NotRunning) {
        return;
    }
    daemon_.terminate();
    if (!daemon_.waitForFinished(kStopTimeoutMs)) {
        daemon_.kill();
        daemon_.waitForFinished();
    }
}

}  // namespace velmar::test
