// Test doubles of the platform services.
#pragma once

#include "platform/platform.h"

#include <QStringList>

#include <map>

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

}  // namespace velmar::test
