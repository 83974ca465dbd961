// Folder print_window/: the window, start-up and shut-down, the print job, the backup and the
// menu commands. May use every folder below it; nothing uses it but main.cpp.
//
// The program's only window fmPrn: start-up and shut-down, and the menu commands.
//
// Names kept from the tool set's programs: fm a window (fmPrn, the print window), mn a menu
// array (mnJb the menu bar, mnFile the File menu, mnBackUp the backup modes), ik the image
// control (ikImg); Form_Load, Form_Unload and Form_Resize are the window's handlers and
// <menu>_Click a menu array's click handler, with the entry's index.
#pragma once

#include "image_component/image_component.h"
#include "platform/paths.h"
#include "platform/services.h"
#include "print_window/backup.h"
#include "print_window/command_line.h"
#include "settings_store/settings_document.h"

#include <QIcon>
#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;

namespace velmar::user_data {
class yIni;
}  // namespace velmar::user_data

namespace velmar::print_window {

// Caption of the window and the size of its client area below the menu bar.
inline constexpr auto kCaption = "ﾌﾟﾘﾝﾄ";
inline constexpr int kClientWidth = 399;
inline constexpr int kClientHeight = 303;

class fmPrn final : public QMainWindow {
    Q_OBJECT
  public:
    // commandLine is what the program was started with; readAhead, when not empty, is the
    // reading of the data of the image it names, started before the window.
    fmPrn(platform::Services services, std::unique_ptr<image_component::ImageView> ikImg,
          CommandLine commandLine, std::shared_ptr<image_component::JpegDataCheck> readAhead = {});
    ~fmPrn() override;
    fmPrn(const fmPrn&) = delete;
    fmPrn& operator=(const fmPrn&) = delete;
    fmPrn(fmPrn&&) = delete;
    fmPrn& operator=(fmPrn&&) = delete;

    // Start-up. With an existing file on the command line it prints it and unloads the
    // window before it was ever shown; otherwise the window is left to be shown.
    void Form_Load();
    // Closes the window; shut-down runs once.
    void Unload();

    [[nodiscard]] bool isUnloaded() const { return unloaded_; }
    // 0 when the run did what was asked or the user cancelled; 1 when an error stopped it.
    [[nodiscard]] int exitStatus() const { return exitStatus_; }
    [[nodiscard]] std::int16_t nBackUpMode() const { return nBackUpMode_; }
    [[nodiscard]] image_component::ImageView& ikImg() { return *ikImg_; }
    // The client area below the menu bar, which the image control fills.
    [[nodiscard]] QWidget& clientArea() { return *client_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void startUp();
    void prepareToShow();
    void printOnly();
    void Form_Unload();
    void Form_Resize();
    [[nodiscard]] std::int32_t windowHandle();
    void buildMenus();
    QAction* addCommand(class QMenu& menu, const QString& caption,
                        void (fmPrn::*handler)(std::int16_t), std::int16_t index);
    void mnJb_Click(std::int16_t index);
    void mnFile_Click(std::int16_t index);
    void mnBackUp_Click(std::int16_t index);
    void openImage();
    void setBackUpChecks();
    // Runs a handler; an error that escapes it is reported and never ends the program
    // abruptly. Returns false when the handler failed.
    bool guarded(const std::function<void()>& handler);
    void reportError(const QString& what);
    [[nodiscard]] static QString loadFailureMessage(const QString& path, const QString& reason);
    [[nodiscard]] user_data::yIni& sharedIni();
    void reportSaveFailure(const settings_store::SettingsDocument& document);

    platform::Services services_;
    QWidget* client_ = nullptr;  // owned by the window
    std::unique_ptr<image_component::ImageView> ikImg_;
    CommandLine commandLine_;
    std::shared_ptr<image_component::JpegDataCheck> readAhead_;  // handed on at the load
    std::array<QAction*, 4> mnBackUp_{};
    std::int16_t nBackUpMode_ = kNoBackUp;
    // Whether start-up read the settings document; only then is it saved at shut-down.
    bool settingsLoaded_ = false;
    bool unloaded_ = false;
    int exitStatus_ = 0;
    // The shared settings object from its first use until shut-down releases it.
    user_data::yIni* ini_ = nullptr;
};

// The program's icon, built into the program, for the window and the application.
[[nodiscard]] QIcon programIcon();

}  // namespace velmar::print_window
