// The native implementation of each service, for NativeServices. Every system's set of
// files (linux_<service>.cpp, …) defines these makers.
#pragma once

#include "platform/services.h"

#include <memory>

namespace velmar::platform {

[[nodiscard]] std::unique_ptr<Process> makeNativeProcess();
[[nodiscard]] std::unique_ptr<DirectoryLookup> makeNativeDirectoryLookup();
[[nodiscard]] std::unique_ptr<SpecialFolders> makeNativeSpecialFolders();
[[nodiscard]] std::unique_ptr<SettingsStore> makeNativeSettingsStore();
[[nodiscard]] std::unique_ptr<DesktopShell> makeNativeDesktopShell();

}  // namespace velmar::platform
