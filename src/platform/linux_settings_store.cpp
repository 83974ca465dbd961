#include "base/error.h"
#include "platform/linux_xdg_folders.h"
#include "platform/native_parts.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace velmar::platform {

namespace {

// One INI file per application, $XDG_CONFIG_HOME/<application>.conf, with one group per
// section: the layout of QSettings' native format on Linux. The path is built here so that
// a changed XDG_CONFIG_HOME is always honoured.
class LinuxSettingsStore final : public SettingsStore {
  public:
    [[nodiscard]] QString read(const QString& application, const QString& section,
                               const QString& key, const QString& defaultValue) const override {
        const QSettings settings(fileOf(application), QSettings::IniFormat);
        return settings.value(section + QLatin1Char('/') + key, defaultValue).toString();
    }

    void write(const QString& application, const QString& section, const QString& key,
               const QString& value) override {
        const QString file = fileOf(application);
        QDir().mkpath(QFileInfo(file).path());
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue(section + QLatin1Char('/') + key, value);
        settings.sync();
        if (settings.status() != QSettings::NoError) {
            throw Error(QStringLiteral("設定ﾌｧｲﾙ ") + file + QStringLiteral(" に書き込めません"));
        }
    }

  private:
    static QString fileOf(const QString& application) {
        return configHome() + QLatin1Char('/') + application + QLatin1String(".conf");
    }
};

}  // namespace

std::unique_ptr<SettingsStore> makeNativeSettingsStore() {
    return std::make_unique<LinuxSettingsStore>();
}

}  // namespace velmar::platform
