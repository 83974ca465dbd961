// Special folders on Linux: the XDG data folder, the documents folder and the per-user
// applications folder, where a desktop entry adds a program to "Open With".
#include "platform/linux_xdg_folders.h"
#include "platform/native_parts.h"

#include <QStandardPaths>

namespace velmar::platform {

namespace {

class LinuxSpecialFolders final : public SpecialFolders {
  public:
    [[nodiscard]] QString path(int folderId) const override {
        switch (folderId) {
            case kFolderAppData:
                return dataHome();
            case kFolderDocuments:
                return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
            case kFolderSendTo:
                return dataHome() + QLatin1String("/applications");
            default:
                return {};
        }
    }
};

}  // namespace

std::unique_ptr<SpecialFolders> makeNativeSpecialFolders() {
    return std::make_unique<LinuxSpecialFolders>();
}

}  // namespace velmar::platform
