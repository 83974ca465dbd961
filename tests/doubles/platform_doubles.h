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

}  // namespace velmar::test
