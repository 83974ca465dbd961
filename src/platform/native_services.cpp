#include "platform/native_parts.h"
#include "platform/qt_message_box.h"

namespace velmar::platform {

NativeServices::NativeServices()
    : process_(makeNativeProcess()),
      lookup_(makeNativeDirectoryLookup()),
      messages_(std::make_unique<QtMessageBox>()),
      folders_(makeNativeSpecialFolders()),
      settings_(makeNativeSettingsStore()),
      desktop_(makeNativeDesktopShell()) {}

NativeServices::~NativeServices() = default;

Services NativeServices::services() const {
    return Services{*process_, *lookup_, *messages_, *folders_, *settings_, *desktop_};
}

}  // namespace velmar::platform
