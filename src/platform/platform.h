// Folder platform/: the only code that knows the operating system, one interface per service.
// May use base/ and settings_formats/; it knows no program rule (titles, file names, formats).
//
// The operating-system layer: the only folder that knows which system it runs on. Other
// folders include this header, which gathers the layer's parts:
//   services.h     the service interfaces (process, directory lookup, message box, special
//                  folders, per-user settings store, desktop shell with its shortcut files
//                  or its desktop entries' folders and tools) and NativeServices
//   file_system.h  the file-system service and code page 932 text files
//   atomic_file.h  whole-file writes and the system's file calls behind them
//   file_error.h   the form of the errors about files and folders
//   regular_file.h settings files read whole, only when they are regular files
//   text_codec.h   the code page 932 codec
//   paths.h        separators, suffixes, letter case, the program's data folder
//   diagnostics.h  headless runs, standard error and standard output
//   notifications.h  desktop notifications
// Each service has one implementation file per system (linux_<service>.cpp,
// win32_<service>.cpp).
#pragma once

#include "base/error.h"
#include "platform/atomic_file.h"
#include "platform/diagnostics.h"
#include "platform/file_error.h"
#include "platform/file_system.h"
#include "platform/notifications.h"
#include "platform/paths.h"
#include "platform/regular_file.h"
#include "platform/services.h"
#include "platform/text_codec.h"
