#include "doubles/temp_home.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#ifdef Q_OS_WIN
#include <QUuid>

#include <windows.h>
#endif

namespace velmar::test {

namespace {

constexpr const char* kVariables[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"};

#ifdef Q_OS_WIN
// Maps HKEY_CURRENT_USER of this process to a fresh key VelmarTest<id> under the user's
// Software key; releasing the result restores the mapping and removes that key.
std::shared_ptr<void> privateUserRegistry() {
    const std::wstring name =
        L"Software\\VelmarTest" + QUuid::createUuid().toString(QUuid::Id128).toStdWString();
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        ADD_FAILURE() << "no registry key of the test's own";
        return nullptr;
    }
    if (RegOverridePredefKey(HKEY_CURRENT_USER, key) != ERROR_SUCCESS) {
        ADD_FAILURE() << "HKEY_CURRENT_USER cannot be mapped";
    }
    return {key, [name](void* opened) {
                RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
                RegCloseKey(static_cast<HKEY>(opened));
                RegDeleteTreeW(HKEY_CURRENT_USER, name.c_str());
            }};
}
#else
std::shared_ptr<void> privateUserRegistry() {
    return nullptr;  // the settings store lives under XDG_CONFIG_HOME
}
#endif

}  // namespace

TempHome::TempHome() {
    for (const char* variable : kVariables) {
        saved_[variable] = qgetenv(variable);
    }
    qputenv("HOME", path().toUtf8());
    qputenv("XDG_DATA_HOME", dataHome().toUtf8());
    qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
    userRegistry_ = privateUserRegistry();
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
