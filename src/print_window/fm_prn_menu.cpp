// The window's menus and their commands.
#include "print_window/fm_prn.h"
#include "print_window/print_job.h"
#include "shell/shell.h"
#include "user_data/y_ini.h"

#include <QMenu>
#include <QMenuBar>

namespace velmar::print_window {

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
        sharedIni().W_Help(QLatin1String(shell::kHelpPage));
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
            sharedIni().W_SendTo();
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

}  // namespace velmar::print_window
