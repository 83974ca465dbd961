// Folder user_data/: the user-data folder's resolution, file-system helpers and the
// program-wide state Usr. May use settings_store/, shell/, platform/ and base/.
//
// The shared settings object yIni: the per-user data folder and file-system helpers, the
// user's settings document and the shell operations, behind one object.
//
// Its operations keep the names the tool set's programs share:
//   W_…   acts through the window or the desktop shell (W_UserData, W_Help, W_HtmView,
//         W_SendTo, W_ExpFd)
//   F_…, Fs…  folder helpers: F_ChkSb checks sub-folders, F_CreateFld creates a folder with
//         every missing level, FsGtSpFld gets a special folder
//   GetTxt/SetTxt, GetGtx/SetGtx, vGtVal/SetVal  the settings document (see
//         settings_store/settings_document.h)
// Type letters: s text, n number (nWhnd a window handle, nFlg a folder id, nOwnerWnd the
// owner window), b flag (bOpn open rather than explore), Ary a list.
#pragma once

#include "platform/services.h"
#include "settings_store/settings_document.h"
#include "shell/shell.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

namespace velmar::user_data {

// The settings-store entry that records where the executable lives.
inline constexpr auto kToolsApplication = "OstrandTools";
inline constexpr auto kPathSection = "Path";
// The file that says where the per-user files live. It is installed with the program's
// other files (see definitionFilePath).
inline constexpr auto kDefinitionFile = "UserData.ini";
// The folder definition used when the file gives none (the spelling is the stored token's).
inline constexpr auto kDefaultDefinition = "%applicaion data%";

// Where the definition file is looked for: in the folder of the files installed with the
// program (<prefix>/share/velmar when the program is installed, the executable's own
// folder in a build tree). A file beside an installed executable is not read.
[[nodiscard]] QString definitionFilePath(const QString& executableFilePath);

// The shared settings object: the per-user data folder and file-system helpers, and the
// user's settings document.
class yIni {
  public:
    // programFileTypes: the file types the program opens, which its Send To shortcut
    // offers it for; asked only when a shell operation needs them.
    explicit yIni(const platform::Services& services,
                  std::function<QStringList()> programFileTypes = {});

    // Decides the per-user data folder from the definition file (see definitionFilePath),
    // records the executable's path in the per-user settings store and creates the folder.
    // Sets usr().sUserDataFolder. nWhnd is the window that owns any message.
    void W_UserData(std::int32_t nWhnd);
    // Writes the help shortcut for the help page sJob and opens it; silent on failure.
    void W_Help(const QString& sJob);
    // Writes the viewer shortcut targeting sUrl and opens it; silent on failure.
    void W_HtmView(const QString& sUrl);
    // Puts a shortcut to the program into the Send To folder and confirms it; silent on
    // failure.
    void W_SendTo();
    // Opens sFld (bOpn non-zero) or shows it in the file manager when it is a folder.
    void W_ExpFd(const QString& sFld, std::int16_t bOpn);
    // The path of a special folder (26 application data, 5 documents, 9 Send To), without
    // a trailing separator; empty when the platform has no such folder.
    [[nodiscard]] QString FsGtSpFld(std::int32_t nFlg) const;
    // Makes sure each named sub-folder of sPh exists (one level each). sPh must end with
    // the path separator. Part of yIni's interface; the program itself does not call it.
    void F_ChkSb(const QString& sPh, const QStringList& Ary) const;
    // Creates every missing level of the folder sFd, ignoring failures level by level.
    void F_CreateFld(const QString& sFd) const;

    void GetTxt(const QString& sFL, bool& bOk) { document_.GetTxt(sFL, bOk); }
    void GetGtx(const QString& sGp) { document_.GetGtx(sGp); }
    [[nodiscard]] settings_store::Variant vGtVal(const QString& sKy,
                                                 const settings_store::Variant& vDef) {
        return document_.vGtVal(sKy, vDef);
    }
    void SetTxt(bool& bOk) { document_.SetTxt(bOk); }
    void SetGtx() { document_.SetGtx(); }
    void SetVal(const QString& sKy, const settings_store::Variant& vVL) {
        document_.SetVal(sKy, vVL);
    }

    // The window that owns the shell calls, as W_UserData recorded it. Part of yIni's
    // interface; the program itself only uses it inside yIni.
    [[nodiscard]] std::int32_t nOwnerWnd() const { return nOwnerWnd_; }
    [[nodiscard]] const settings_store::SettingsDocument& document() const { return document_; }

  private:
    [[nodiscard]] shell::ShellContext shellContext() const;
    void recordExecutablePath(const QString& executableFilePath);
    [[nodiscard]] QString readDefinition(const QString& definitionFile,
                                         const QString& defaultFolder);
    [[nodiscard]] QString chooseFolder(const QString& definition, const QString& programFolder,
                                       const QString& defaultFolder);
    [[nodiscard]] QString toolFolder(std::int32_t specialFolder) const;

    platform::Services services_;
    std::function<QStringList()> programFileTypes_;
    std::int32_t nOwnerWnd_ = 0;
    settings_store::SettingsDocument document_;
};

}  // namespace velmar::user_data
