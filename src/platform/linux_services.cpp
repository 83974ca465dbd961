// The Linux (freedesktop) implementations of the platform services.
#include "platform/linux_desktop.h"
#include "platform/message_box_impl.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

namespace velmar::platform {

namespace {

class LinuxProcess final : public Process {
  public:
    [[nodiscard]] QString executableFilePath() const override {
        return QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    }
    [[nodiscard]] QString argumentText() const override {
        return QCoreApplication::arguments().mid(1).join(QLatin1Char(' '));
    }
};

bool containsWildcard(const QString& name) {
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

// Matches a name against a pattern of '*' (any run of characters) and '?' (any one
// character); every other character stands for itself.
bool matchesWildcard(QStringView name, QStringView pattern) {
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype starAt = -1;
    qsizetype nameAtStar = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == QLatin1Char('?') || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starAt = p++;
            nameAtStar = n;
        } else if (starAt >= 0) {
            p = starAt + 1;
            n = ++nameAtStar;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
        ++p;
    }
    return p == pattern.size();
}

// A regular file whose name does not mark it hidden.
bool isNormalFile(const QFileInfo& info) {
    return info.isFile() && !info.fileName().startsWith(QLatin1Char('.'));
}

class LinuxDirectoryLookup final : public DirectoryLookup {
  public:
    [[nodiscard]] bool hasNormalEntry(const QString& path) const override {
        const QFileInfo info(path);
        const QString name = info.fileName();
        if (name.isEmpty()) {
            return false;
        }
        if (!containsWildcard(name)) {
            return isNormalFile(info);
        }
        const QDir folder(info.path());
        const QFileInfoList entries =
            folder.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
        return std::any_of(entries.cbegin(), entries.cend(), [&name](const QFileInfo& entry) {
            return isNormalFile(entry) && matchesWildcard(entry.fileName(), name);
        });
    }
};

// An XDG base folder: the variable when it is set to an absolute path, else the folder
// under the home folder.
QString xdgFolder(const char* variable, QLatin1String underHome) {
    const QString configured = qEnvironmentVariable(variable);
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured)) {
        return QDir::cleanPath(configured);
    }
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + underHome);
}

QString dataHome() {
    return xdgFolder("XDG_DATA_HOME", QLatin1String(".local/share"));
}

QString configHome() {
    return xdgFolder("XDG_CONFIG_HOME", QLatin1String(".config"));
}

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

constexpr auto kAnsiCodec = "Shift_JIS";  // Qt's table for it is code page 932

}  // namespace

std::optional<QByteArray> encodeAnsi(const QString& text) {
    QStringEncoder encoder(kAnsiCodec, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    if (!encoder.isValid() || encoder.hasError()) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<QString> decodeAnsi(const QByteArray& bytes) {
    QStringDecoder decoder(kAnsiCodec, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (!decoder.isValid() || decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

QString pathInFileSystemCase(const QString& path) {
    return path;  // Linux file systems tell letter case apart
}

NativeServices::NativeServices()
    : process_(std::make_unique<LinuxProcess>()),
      lookup_(std::make_unique<LinuxDirectoryLookup>()),
      messages_(std::make_unique<QtMessageBox>()),
      folders_(std::make_unique<LinuxSpecialFolders>()),
      settings_(std::make_unique<LinuxSettingsStore>()),
      desktop_(makeFreedesktopShell()) {}

NativeServices::~NativeServices() = default;

Services NativeServices::services() const {
    return Services{*process_, *lookup_, *messages_, *folders_, *settings_, *desktop_};
}

void selectHeadlessPlatformWhenNoDisplay() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

}  // namespace velmar::platform
