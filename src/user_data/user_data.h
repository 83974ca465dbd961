// The program-wide state and the per-user data folder.
#pragma once

#include "platform/platform.h"

#include <QString>

namespace velmar::user_data {

// The state the whole program shares. There is one instance; tests reset it.
struct Usr {
    // The per-user data folder; it ends with the path separator.
    QString sUserDataFolder;
    // The executable's base name, without a trailing "_dv".
    QString sExeName;
};

[[nodiscard]] Usr& usr();
void resetUsr();

// The default per-user data folder: the application-data folder, "Ostrand", the
// executable name, each followed by the path separator.
[[nodiscard]] QString defaultUserDataFolder(const platform::SpecialFolders& folders,
                                            const QString& exeName);

// Chooses the per-user data folder, creates it when missing and stores it in usr().
void chooseUserDataFolder(const platform::SpecialFolders& folders);

}  // namespace velmar::user_data
