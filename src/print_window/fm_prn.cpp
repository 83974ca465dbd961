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
#include <QMenu>
#include <QMenuBar>

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

namespace {

// The message of an image file that cannot be read, the same from the window and from a
// print-only run.
QString loadFailureMessage(const QString& path, const QString& reason) {
    return QStringLiteral("画像ﾌｧｲﾙ ") + path + QStringLiteral(" を読み込めませんでした") +
           QLatin1Char('\r') + reason;
}

}  // namespace

QIcon programIcon() {
    registerResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/velmar-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/velmar-32.png"), QSize(32, 32));
    return icon;
}

fmPrn::fmPrn(platform::Services services, std::unique_ptr<image_component::ImageView> ikImg)
    : services_(services), ikImg_(std::move(ikImg)) {
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowIcon(programIcon());
    auto client = std::make_unique<QWidget>();
    client_ = client.get();
    setCentralWidget(client.release());  // the window owns its client area
    ikImg_->Widget().setParent(client_);
    client_->installEventFilter(this);
    buildMenus();
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
    user_data::yIni& ini = user_data::sharedIni(services_);
    ini.W_UserData(windowHandle());
    bool bOk = false;
    ini.GetTxt(state.sUserDataFolder + QLatin1String(kSettingsFile), bOk);
    settingsLoaded_ = bOk;
    ini.GetGtx(QString::fromUtf8(kSettingsGroup));
    nBackUpMode_ = backUpModeFrom(ini.vGtVal(QString::fromUtf8(kBackUpModeKey),
                                             settings_store::Variant::fromInt16(kNoBackUp)));
    ikImg_->Printer().SettingsFile(state.sUserDataFolder + QLatin1String(kPrinterSettingsFile));
    const QString path = pathFromArguments(services_.process.argumentText());
    setBackUpChecks();
    if (path.isEmpty() || !services_.lookup.hasNormalEntry(path)) {
        return;
    }
    printOnly(path);
}

void fmPrn::printOnly(const QString& path) {
    image_component::ImageFile& file = ikImg_->File();
    file.Path(path);
    if (!file.Load(0)) {
        // A file that cannot be read is said so, and nothing is printed.
        exitStatus_ = 1;
        services_.messages.show(loadFailureMessage(path, file.LastError()));
        Unload();
        return;
    }
    if (nBackUpMode_ > 0) {
        SaveBackUp(*ikImg_, nBackUpMode_);
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
        user_data::yIni& ini = user_data::sharedIni(services_);
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
    user_data::releaseShared();
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

QAction* fmPrn::addCommand(QMenu& menu, const QString& caption,
                           void (fmPrn::*handler)(std::int16_t), std::int16_t index) {
    QAction* action = menu.addAction(caption);
    connect(action, &QAction::triggered, this, [this, handler, index] {
        guarded([this, handler, index] { (this->*handler)(index); });
    });
    return action;
}

void fmPrn::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ"));
    file->setObjectName(QStringLiteral("mnJb_0"));
    const auto fileCommand = [this, file](const QString& caption, std::int16_t index) {
        addCommand(*file, caption, &fmPrn::mnFile_Click, index)
            ->setObjectName(QStringLiteral("mnFile_%1").arg(index));
    };
    fileCommand(QStringLiteral("画像ﾌｧｲﾙを開く"), 0);
    fileCommand(QStringLiteral("ﾌﾟﾘﾝﾀ設定"), 1);
    fileCommand(QStringLiteral("印刷"), 2);
    file->addSeparator();

    QMenu* backUp = file->addMenu(QStringLiteral("印刷時のﾊﾞｯｸｱｯﾌﾟ"));
    backUp->setObjectName(QStringLiteral("mnFile_4"));
    const auto backUpCommand = [this, backUp](const QString& caption, std::int16_t index) {
        QAction* action = addCommand(*backUp, caption, &fmPrn::mnBackUp_Click, index);
        action->setObjectName(QStringLiteral("mnBackUp_%1").arg(index));
        action->setCheckable(true);
        mnBackUp_.at(static_cast<std::size_t>(index)) = action;
    };
    backUpCommand(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟを作成する(bmp)"), 0);
    backUpCommand(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟを作成する(jpg)"), 1);
    backUp->addSeparator();
    backUpCommand(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ不要"), 3);
    mnBackUp_.at(3)->setChecked(true);

    fileCommand(QStringLiteral("「送る」にｼｮｰﾄｶｯﾄ作成"), 5);
    file->addSeparator();
    fileCommand(QStringLiteral("終了"), 7);

    QAction* help = menuBar()->addAction(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    help->setObjectName(QStringLiteral("mnJb_1"));
    connect(help, &QAction::triggered, this, [this] { guarded([this] { mnJb_Click(1); }); });
}

// The File entry only opens its menu.
void fmPrn::mnJb_Click(std::int16_t index) {
    if (index == 1) {
        user_data::sharedIni(services_).W_Help(QLatin1String(shell::kHelpPage));
    }
}

void fmPrn::mnFile_Click(std::int16_t index) {
    switch (index) {
        case 0:
            openImage();
            break;
        case 1:
            ikImg_->Printer().SetupDialog();
            break;
        case 2:
            PrintImg(*ikImg_);
            break;
        case 5:
            user_data::sharedIni(services_).W_SendTo();
            break;
        case 7:
            Unload();
            break;
        default:
            break;
    }
}

void fmPrn::mnBackUp_Click(std::int16_t index) {
    switch (index) {
        case 0:
            nBackUpMode_ = kBitmapBackUp;
            break;
        case 1:
            nBackUpMode_ = kJpegBackUp;
            break;
        default:
            nBackUpMode_ = kNoBackUp;
            break;
    }
    setBackUpChecks();
}

void fmPrn::openImage() {
    if (!ikImg_->File().OpenDialog()) {
        return;
    }
    image_component::ImageFile& file = ikImg_->File();
    if (!file.Load(0)) {
        // The window is left empty; the message says why.
        services_.messages.show(loadFailureMessage(file.Path(), file.LastError()));
    }
    ikImg_->Draw(1);
}

void fmPrn::setBackUpChecks() {
    mnBackUp_.at(0)->setChecked(nBackUpMode_ == kBitmapBackUp);
    mnBackUp_.at(1)->setChecked(nBackUpMode_ == kJpegBackUp);
    mnBackUp_.at(3)->setChecked(nBackUpMode_ == kNoBackUp);
}

bool fmPrn::guarded(const std::function<void()>& handler) {
    try {
        handler();
        return true;
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
