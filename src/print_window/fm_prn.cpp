#include "print_window/fm_prn.h"
#include "print_window/backup.h"
#include "print_window/print_job.h"
#include "print_window/startup_text.h"
#include "settings_store/settings_document.h"
#include "shell/shell.h"
#include "user_data/usr.h"
#include "user_data/y_ini.h"

#include <QCloseEvent>
#include <QIcon>
#include <QImageReader>
#include <QMenuBar>
#include <QPixmap>

#include <exception>
#include <utility>

namespace velmar::print_window {

namespace {

constexpr auto kPrinterSettingsFile = "IkPrn.Ik";
constexpr auto kSettingsFile = "User.xml";
// Where the backup mode is kept in the settings document.
constexpr auto kSettingsGroup = "設定";
constexpr auto kBackUpModeKey = "保存";

// The stored backup mode as a 16-bit number; a number that does not fit means no backup.
std::int16_t backUpModeFrom(const settings_store::Variant& stored) {
    try {
        return stored.toInt16();
    } catch (const Error&) {
        return kNoBackUp;
    }
}

}  // namespace

}  // namespace velmar::print_window

// The icon lives in the program's resources, which a static library has to register.
static void registerResources() {
    Q_INIT_RESOURCE(velmar);
}

namespace velmar::print_window {

// The images are read as PNG by name: a reader left to find the format itself would load
// every image-format plugin to ask each whether it knows the data.
QIcon programIcon() {
    registerResources();
    QIcon icon;
    for (const char* file : {":/icons/velmar-16.png", ":/icons/velmar-32.png"}) {
        QImageReader reader(QString::fromLatin1(file), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}

fmPrn::fmPrn(platform::Services services, std::unique_ptr<image_component::ImageView> ikImg,
             CommandLine commandLine, std::shared_ptr<image_component::JpegDataCheck> readAhead)
    : services_(services),
      ikImg_(std::move(ikImg)),
      commandLine_(std::move(commandLine)),
      readAhead_(std::move(readAhead)) {
    setWindowTitle(QString::fromUtf8(kCaption));
    auto client = std::make_unique<QWidget>();
    client_ = client.get();
    setCentralWidget(client.release());  // the window owns its client area
    ikImg_->Widget().setParent(client_);
    client_->installEventFilter(this);
}

// The menus, the icon and the size wait until the window is to be shown: a print-only run
// never shows it, and the menu bar's and the icon's images would load every image-format
// plugin, measuring the menu bar would set up the fonts.
void fmPrn::prepareToShow() {
    buildMenus();
    setBackUpChecks();
    setWindowIcon(programIcon());
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

// The control goes first, while the window that hosts its widget still exists.
fmPrn::~fmPrn() {
    ikImg_.reset();
}

void fmPrn::Form_Load() {
    if (!guarded([this] { startUp(); })) {
        exitStatus_ = 1;
        Unload();
    }
}

void fmPrn::startUp() {
    user_data::Usr& state = user_data::usr();
    state.sExeName =
        exeNameFrom(platform::executableBaseName(services_.process.executableFilePath()));
    user_data::yIni& ini = sharedIni();
    ini.W_UserData(windowHandle());
    // What a killed run left half-written (settings, printer settings) goes.
    user_data::EnsureFso().removeAbandonedTemporaries(state.sUserDataFolder);
    bool bOk = false;
    ini.GetTxt(state.sUserDataFolder + QLatin1String(kSettingsFile), bOk);
    settingsLoaded_ = bOk;
    ini.GetGtx(QString::fromUtf8(kSettingsGroup));
    nBackUpMode_ = backUpModeFrom(ini.vGtVal(QString::fromUtf8(kBackUpModeKey),
                                             settings_store::Variant::fromInt16(kNoBackUp)));
    ikImg_->Printer().SettingsFile(state.sUserDataFolder + QLatin1String(kPrinterSettingsFile));
    const QString& path = commandLine_.imagePath;
    if (path.isEmpty() || !services_.lookup.hasNormalEntry(path)) {
        prepareToShow();
        return;
    }
    printOnly();
}

void fmPrn::printOnly() {
    const QString& path = commandLine_.imagePath;
    image_component::ImageFile& file = ikImg_->File();
    file.Path(path, std::exchange(readAhead_, {}));
    if (!file.Load(0)) {
        // A file that cannot be read is said so, and nothing is printed.
        exitStatus_ = 1;
        services_.messages.show(loadFailureMessage(path, file.LastError()));
        Unload();
        return;
    }
    if (nBackUpMode_ > 0) {
        SaveBackUp(*ikImg_, nBackUpMode_, user_data::EnsureFso(),
                   backUpFolder(user_data::usr().sUserDataFolder));
    }
    PrintImg(*ikImg_);
    Unload();
}

void fmPrn::Unload() {
    if (!unloaded_) {
        close();
    }
}

void fmPrn::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        guarded([this] { Form_Unload(); });
    }
    event->accept();
}

// Shut-down: the backup mode goes back into the settings document, which is saved whole,
// unless it could not be read at start-up (saving would overwrite what it holds). Then the
// shared objects are released.
void fmPrn::Form_Unload() {
    if (settingsLoaded_) {
        user_data::yIni& ini = sharedIni();
        ini.GetGtx(QString::fromUtf8(kSettingsGroup));
        ini.SetVal(QString::fromUtf8(kBackUpModeKey),
                   settings_store::Variant::fromInt16(nBackUpMode_));
        ini.SetGtx();
        bool bOk = false;
        ini.SetTxt(bOk);
        if (!bOk) {
            reportSaveFailure(ini.document());
        }
    }
    ini_ = nullptr;
    user_data::releaseShared();
}

// The shared settings object is created by its first user and lives until shut-down
// releases it; the window asks for it once and keeps it until then.
user_data::yIni& fmPrn::sharedIni() {
    if (ini_ == nullptr) {
        // Listing the readable types loads every image-format plugin: only a shortcut
        // needs them.
        ini_ = &user_data::sharedIni(services_, image_component::readableMimeTypes);
    }
    return *ini_;
}

// The window's native handle, as the owner of the settings object's messages.
std::int32_t fmPrn::windowHandle() {
    return static_cast<std::int32_t>(winId());
}

bool fmPrn::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize) {
        guarded([this] { Form_Resize(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

void fmPrn::Form_Resize() {
    if (isMinimized()) {
        return;
    }
    ikImg_->Widget().setGeometry(0, 0, client_->width(), client_->height());
}

// The same message from the window and from a print-only run.
QString fmPrn::loadFailureMessage(const QString& path, const QString& reason) {
    return QStringLiteral("画像ﾌｧｲﾙ ") + path + QStringLiteral(" を読み込めませんでした") +
           QLatin1Char('\r') + reason;
}

// An image whose data turns out damaged only when it is saved or printed is refused as one
// that cannot be loaded.
bool fmPrn::guarded(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const image_component::DamagedImage& damaged) {
        services_.messages.show(loadFailureMessage(damaged.path(), damaged.message()));
    } catch (const std::exception& error) {
        reportError(QString::fromStdString(error.what()));
    } catch (...) {
        reportError(QStringLiteral("不明なｴﾗｰ"));
    }
    return false;
}

// The file was left as it was; the run ends with an error status. The message box also
// writes the message to standard error.
void fmPrn::reportSaveFailure(const settings_store::SettingsDocument& document) {
    exitStatus_ = 1;
    if (document.saveFailure().isEmpty()) {
        return;  // the document already told the user why it was left as it was
    }
    services_.messages.show(QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ ") + document.sTxtFl() +
                            QStringLiteral(" を保存できませんでした") + QLatin1Char('\r') +
                            document.saveFailure());
}

// The message box also writes the message to standard error.
void fmPrn::reportError(const QString& what) {
    services_.messages.show(QStringLiteral("ｴﾗｰが発生しました") + QLatin1Char('\r') + what);
}

}  // namespace velmar::print_window
