#include "user_data/user_data.h"

#include <QDir>

namespace velmar::user_data {

namespace {

Usr& instance() {
    static Usr state;
    return state;
}

}  // namespace

Usr& usr() {
    return instance();
}

void resetUsr() {
    instance() = Usr{};
}

QString defaultUserDataFolder(const platform::SpecialFolders& folders, const QString& exeName) {
    const QChar separator = platform::pathSeparator();
    return folders.path(platform::kFolderAppData) + separator + QStringLiteral("Ostrand") +
           separator + exeName + separator;
}

void chooseUserDataFolder(const platform::SpecialFolders& folders) {
    Usr& state = usr();
    state.sUserDataFolder = defaultUserDataFolder(folders, state.sExeName);
    QDir().mkpath(state.sUserDataFolder);
}

}  // namespace velmar::user_data
