// The shell operations of the shared settings object, working on the program's state.
#include "platform/services.h"
#include "user_data/usr.h"
#include "user_data/y_ini.h"

namespace velmar::user_data {

shell::ShellContext yIni::shellContext() const {
    return shell::ShellContext{usr().sUserDataFolder,
                               usr().sExeName,
                               services_.process.executableFilePath(),
                               nOwnerWnd_,
                               services_.desktop,
                               services_.messages,
                               programFileTypes_ ? programFileTypes_() : QStringList()};
}

void yIni::W_Help(const QString& sJob) {
    shell::W_Help(shellContext(), sJob);
}

void yIni::W_HtmView(const QString& sUrl) {
    shell::W_HtmView(shellContext(), sUrl);
}

void yIni::W_SendTo() {
    shell::W_SendTo(shellContext(), [this] { return FsGtSpFld(platform::kFolderSendTo); });
}

void yIni::W_ExpFd(const QString& sFld, std::int16_t bOpn) {
    shell::W_ExpFd(shellContext(), EnsureFso(), sFld, bOpn);
}

}  // namespace velmar::user_data
