#include "base/error.h"
#include "platform/atomic_file.h"
#include "platform/file_system.h"
#include "platform/linux_xdg_folders.h"
#include "platform/native_parts.h"
#include "platform/regular_file.h"
#include "settings_formats/ini_text.h"

#include <QDir>
#include <QFileInfo>

namespace velmar::platform {

namespace {

// One INI file per application, $XDG_CONFIG_HOME/<application>.conf, with one group per
// section: the layout of QSettings' native format on Linux. The path is built here so that
// a changed XDG_CONFIG_HOME is always honoured. A write changes only the key's own line;
// entries of other programs, comments and lines in other encodings keep their bytes. A
// file that cannot be read (also one that is no regular file, or is too large for a
// settings file) or is not text is never rewritten, and reads as holding nothing.
class LinuxSettingsStore final : public SettingsStore {
  public:
    [[nodiscard]] QString read(const QString& application, const QString& section,
                               const QString& key, const QString& defaultValue) const override {
        const FileRead read = readRegularFile(fileOf(application));
        if (!read.read()) {
            return defaultValue;
        }
        return settings_formats::IniText(read.bytes).value(section, key).value_or(defaultValue);
    }

    void write(const QString& application, const QString& section, const QString& key,
               const QString& value) override {
        const QString file = fileOf(application);
        const FileRead read = readRegularFile(file);
        if (!read.read() && !read.missing()) {
            refuse(file, QStringLiteral("を読み込めません: ") + read.reason);
        }
        settings_formats::IniText text(read.bytes);
        if (!text.isText()) {
            refuse(file, QStringLiteral("は設定ﾌｧｲﾙの形式ではありません"));
        }
        if (QFileInfo::exists(file) && !QFileInfo(file).isWritable()) {
            refuse(file, QStringLiteral("は書き込み禁止です"));
        }
        text.setValue(section, key, value);
        QDir().mkpath(QFileInfo(file).path());
        FileSystem().removeAbandonedTemporaries(QFileInfo(file).path());
        try {
            writeWholeFile(file, text.bytes());
        } catch (const Error& error) {
            refuse(file, QStringLiteral("に書き込めません: ") +
                             error.message().section(QLatin1Char('\r'), 1));
        }
    }

  private:
    static QString fileOf(const QString& application) {
        return configHome() + QLatin1Char('/') + application + QLatin1String(".conf");
    }

    [[noreturn]] static void refuse(const QString& file, const QString& what) {
        throw Error(QStringLiteral("設定ﾌｧｲﾙ ") + file + QLatin1Char(' ') + what);
    }
};

}  // namespace

std::unique_ptr<SettingsStore> makeNativeSettingsStore() {
    return std::make_unique<LinuxSettingsStore>();
}

}  // namespace velmar::platform
