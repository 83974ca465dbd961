#include "doubles/temp_home.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace velmar::test {

namespace {

constexpr const char* kVariables[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"};

}  // namespace

TempHome::TempHome() {
    for (const char* variable : kVariables) {
        saved_[variable] = qgetenv(variable);
    }
    qputenv("HOME", path().toUtf8());
    qputenv("XDG_DATA_HOME", dataHome().toUtf8());
    qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
}

TempHome::~TempHome() {
    for (const auto& [variable, value] : saved_) {
        qputenv(variable.c_str(), value);
    }
}

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath())) << path.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

}  // namespace velmar::test
