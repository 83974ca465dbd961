// The state the whole program shares, kept in one place: the shared settings object, the
// per-user data folder, the executable's name and the shared file-system service. Tests
// reset it with resetUsr().
#pragma once

#include "platform/file_system.h"
#include "platform/services.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace velmar::user_data {

class yIni;

// The state the whole program shares. There is one instance; tests reset it.
struct Usr {
    // The shared settings object; the first user creates it.
    std::unique_ptr<user_data::yIni> yIni;
    // The per-user data folder; it ends with the path separator.
    QString sUserDataFolder;
    // The executable's base name, without a trailing "_dv".
    QString sExeName;
    // The shared file-system service; see EnsureFso().
    std::unique_ptr<platform::FileSystem> oFso;
};

[[nodiscard]] Usr& usr();
// Drops the shared objects and clears the state.
void resetUsr();

// The shared file-system service, created on first use.
platform::FileSystem& EnsureFso();

// The shared settings object, created on first use with the given services.
// programFileTypes is used only when it is created.
[[nodiscard]] yIni& sharedIni(const platform::Services& services,
                              std::function<QStringList()> programFileTypes = {});

// Releases the shared settings object, then the file-system service.
void releaseShared();

}  // namespace velmar::user_data
