// Test doubles of the platform services.
#pragma once

#include "platform/platform.h"

#include <QStringList>

#include <map>
#include <utility>

namespace velmar::test {

class FakeProcess final : public platform::Process {
  public:
    QString exePath = QStringLiteral("/opt/velmar/bin/velmar");
    QString arguments;
    [[nodiscard]] QString executableFilePath() const override { return exePath; }
    [[nodiscard]] QString argumentText() const override { return arguments; }
};

class RecordingMessageBox final : public platform::MessageBox {
  public:
    QStringList shown;
    void show(const QString& text) override { shown << text; }
};

class FakeSpecialFolders final : public platform::SpecialFolders {
  public:
    std::map<int, QString> folders;
    [[nodiscard]] QString path(int folderId) const override {
        const auto found = folders.find(folderId);
        return found == folders.end() ? QString() : found->second;
    }
};

// Keeps values in memory and counts the writes.
class FakeSettingsStore final : public platform::SettingsStore {
  public:
    std::map<QString, QString> values;  // "application/section/key" -> value
    int writes = 0;
    [[nodiscard]] QString read(const QString& application, const QString& section,
                               const QString& key, const QString& defaultValue) const override {
        const auto found = values.find(address(application, section, key));
        return found == values.end() ? defaultValue : found->second;
    }
    void write(const QString& application, const QString& section, const QString& key,
               const QString& value) override {
        values[address(application, section, key)] = value;
        ++writes;
    }
    static QString address(const QString& application, const QString& section, const QString& key) {
        return application + QLatin1Char('/') + section + QLatin1Char('/') + key;
    }
};

// A shell with shortcut files of its own that writes nothing and opens nothing; writes
// down each request as "what(arguments)". A shortcut path listed in failingShortcuts cannot
// be saved; a target in openFailures is not shown, for the reason given.
class RecordingDesktopShell final : public platform::DesktopShell, public platform::ShellLinks {
  public:
    QStringList calls;
    QStringList failingShortcuts;
    platform::ProgramShortcut program;  // the last program shortcut saved
    std::map<QString, QString> openFailures;

    [[nodiscard]] platform::ShellLinks* links() override { return this; }

    void saveLinkShortcut(const QString& shortcutPath, const QString& target) override {
        refuseFailing(shortcutPath);
        calls << QStringLiteral("saveLinkShortcut(%1,%2)").arg(shortcutPath, target);
    }
    void saveProgramShortcut(const QString& shortcutPath,
                             const platform::ProgramShortcut& shortcut) override {
        refuseFailing(shortcutPath);
        calls << QStringLiteral("saveProgramShortcut(%1,%2)")
                     .arg(shortcutPath, shortcut.executablePath);
        program = shortcut;
    }
    QString openShortcut(const QString& shortcutPath, const QString& target,
                         std::int32_t ownerWindow) override {
        calls
            << QStringLiteral("openShortcut(%1,%2,%3)").arg(shortcutPath, target).arg(ownerWindow);
        const auto failure = openFailures.find(target);
        return failure == openFailures.end() ? QString() : failure->second;
    }
    void open(const QString& target, std::int32_t ownerWindow) override {
        calls << QStringLiteral("open(%1,%2)").arg(target).arg(ownerWindow);
    }
    void explore(const QString& folder, std::int32_t ownerWindow) override {
        calls << QStringLiteral("explore(%1,%2)").arg(folder).arg(ownerWindow);
    }

  private:
    void refuseFailing(const QString& shortcutPath) const {
        if (failingShortcuts.contains(shortcutPath)) {
            throw Error(QStringLiteral("cannot write ") + shortcutPath);
        }
    }
};

// A desktop that keeps shortcuts and menu actions as text files, in folders under root
// ("data", "config", "system-data", "system-config"), for the program to write; its own
// tools are only written down in calls. Every type the program names has another default.
class EntryDesktopShell final : public platform::DesktopShell, public platform::DesktopEntries {
  public:
    explicit EntryDesktopShell(QString root) : root_(std::move(root)) {}
    QStringList calls;

    [[nodiscard]] platform::DesktopEntries* entries() override { return this; }
    [[nodiscard]] platform::DesktopFolders folders() const override {
        return {root_ + "/data",
                root_ + "/config",
                {root_ + "/system-data"},
                {root_ + "/system-config"}};
    }
    QStringList keepOtherDefaults(const QStringList& mimeTypes, const QString& entryId) override {
        calls << QStringLiteral("keepOtherDefaults(%1,%2)").arg(mimeTypes.join(';'), entryId);
        return mimeTypes;
    }
    void refreshEntryCache(const QString& folder) override {
        calls << QStringLiteral("refreshEntryCache(%1)").arg(folder);
    }
    QString openShortcut(const QString& /*shortcutPath*/, const QString& /*target*/,
                         std::int32_t /*ownerWindow*/) override {
        return {};
    }
    void open(const QString& /*target*/, std::int32_t /*ownerWindow*/) override {}
    void explore(const QString& /*folder*/, std::int32_t /*ownerWindow*/) override {}

  private:
    QString root_;
};

}  // namespace velmar::test
