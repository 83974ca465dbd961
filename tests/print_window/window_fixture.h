// The print window with doubles for everything but the directory lookup and the file
// system, which work on real temporary files.
#pragma once

#include "doubles/platform_doubles.h"
#include "doubles/recording_image_kit.h"
#include "doubles/temp_home.h"
#include "print_window/fm_prn.h"
#include "user_data/usr.h"
#include "user_data/y_ini.h"

#include <gtest/gtest.h>

#include <memory>

namespace velmar::print_window {

class WindowFixture : public testing::Test {
  protected:
    WindowFixture() {
        user_data::resetUsr();
        folders.folders[platform::kFolderAppData] = test::nativePath(home.dataHome());
        process.exePath = test::nativePath(home.filePath(QStringLiteral("bin/velmar")) +
                                           platform::executableSuffix());
        test::writeFile(home.filePath(QStringLiteral("bin/UserData.ini")), "%usr%");
        for (const char* name : {"a b.jpg", "one.jpg", "two.jpg", ".hidden.jpg", "dir/inner.jpg"}) {
            test::writeFile(imagePath(QString::fromLatin1(name)), "image");
        }
    }
    ~WindowFixture() override { user_data::resetUsr(); }

    [[nodiscard]] QString imagePath(const QString& name) const {
        return home.filePath(QStringLiteral("images/") + name);
    }

    fmPrn& start(const QString& arguments, test::KitScript script = printableImage()) {
        process.arguments = arguments;
        auto owned = std::make_unique<test::RecordingImageKit>(std::move(script));
        kit = owned.get();
        window = std::make_unique<fmPrn>(platform::Services{process, native.services().lookup,
                                                            messages, folders, settings, desktop},
                                         std::move(owned),
                                         readCommandLine(process, native.services().lookup));
        window->Form_Load();
        return *window;
    }

    static test::KitScript printableImage() {
        test::KitScript script;
        script.imageHandle = 3;
        script.pixelWidth = 300;
        script.pixelHeight = 300;
        return script;
    }

    [[nodiscard]] QString userDataFolder() const {
        return test::nativePath(home.dataHome() + QStringLiteral("/Ostrand/velmar/"));
    }

    test::TempHome home;
    test::FakeProcess process;
    const platform::NativeServices native;
    test::RecordingMessageBox messages;
    test::FakeSpecialFolders folders;
    test::FakeSettingsStore settings;
    test::RecordingDesktopShell desktop;
    test::RecordingImageKit* kit = nullptr;
    std::unique_ptr<fmPrn> window;
};

// A settings document holding only the backup mode, as the text stored.
inline void writeSettingsDocument(const QString& path, const QString& mode) {
    test::writeFile(
        path, platform::encodeAnsi(QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n"
                                                  "<運用>\r\n   <設定>\r\n      <保存>") +
                                   mode + QStringLiteral("</保存>\r\n   </設定>\r\n</運用>"))
                  .value());
}

}  // namespace velmar::print_window
