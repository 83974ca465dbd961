// A recording double of the image control: it answers from a script and writes down
// every call with its arguments, in order.
#pragma once

#include "image_component/image_component.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmar::test {

struct KitScript {
    std::int32_t imageHandle = 0;  // the handle after a successful load or from the start
    std::int32_t resolutionX = 0;
    std::int32_t resolutionY = 0;
    std::int32_t pixelWidth = 0;
    std::int32_t pixelHeight = 0;
    bool ready = true;
    bool dialogAccepted = true;
    bool loadSucceeds = true;
    bool fileChosen = false;  // the answer of the open dialog
    bool saveSucceeds = true;
    std::int16_t bitDepth = 24;
    bool grayFlag = false;
    std::int32_t deviceContext = 77;
    std::int32_t left = 42;
    std::int32_t top = 42;
    std::int32_t right = 2058;
    std::int32_t bottom = 2928;
    // The call (by its name, e.g. "ImagePrinter.DrawImage") that throws velmar::Error.
    std::string failingCall;
};

class RecordingImageKit final : public image_component::ImageView,
                                public image_component::ImageFile,
                                public image_component::ImagePrinter,
                                public image_component::ImageEdit {
  public:
    explicit RecordingImageKit(KitScript script = {});

    KitScript script;
    std::vector<std::string> calls;
    // The last shrink the print job noted; outside `calls`, which keep the fixed sequence.
    float shrinkNote = 1.0F;
    // A successful save writes these bytes to the path held.
    QByteArray savedBytes = "recorded save";
    // The path the open dialog chooses when script.fileChosen is set.
    QString chosenPath;

    // ImageView
    bool Draw(std::int32_t mode) override;
    bool PrepareImage() override;
    std::int32_t ImageHandle() override;
    std::int32_t ResolutionX() override;
    std::int32_t ResolutionY() override;
    std::int32_t PixelWidth() override;
    std::int32_t PixelHeight() override;
    bool GrayFlag() override;
    std::int16_t BitDepth() override;
    image_component::ImageFile& File() override;
    image_component::ImagePrinter& Printer() override;
    image_component::ImageEdit& Edit() override;
    QWidget& Widget() override { return *widget_; }

    // ImageFile
    bool OpenDialog() override;
    bool Load(std::int32_t mode) override;
    bool Save(std::int32_t format, std::int32_t imageHandle) override;
    void Path(const QString& path) override;
    void Path(const QString& path,
              std::shared_ptr<image_component::JpegDataCheck> readAhead) override;
    // Not recorded: a question, not a call the run makes on the control.
    [[nodiscard]] QString Path() const override { return path_; }
    void JpegQuality(std::int32_t quality) override;
    [[nodiscard]] QString LastError() const override;

    // ImagePrinter
    void SettingsFile(const QString& path) override;
    bool CheckReady(std::int32_t mode) override;
    void DialogMode(std::int32_t mode) override;
    void DialogFlags(std::int32_t flags) override;
    void DialogExtra(std::int32_t extra) override;
    bool PrintDialog() override;
    bool SetupDialog() override;
    void DocumentName(const QString& name) override;
    bool BeginDocument() override;
    bool BeginPage() override;
    std::int32_t DeviceContext() override;
    bool PrintableArea(std::int32_t deviceContext, std::int32_t& left, std::int32_t& top,
                       std::int32_t& right, std::int32_t& bottom, std::int32_t& extra1,
                       std::int32_t& extra2, std::int32_t mode) override;
    bool DrawImage(std::int32_t deviceContext, std::int32_t imageHandle, std::int32_t x,
                   std::int32_t y, std::int32_t width, std::int32_t height,
                   std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t mode) override;
    void ShrinkNote(float scale) override { shrinkNote = scale; }
    bool EndPage() override;
    bool EndDocument() override;
    void AbortDocument() override;
    bool Close() override;

    // ImageEdit
    bool ConvertColorDepth(std::int32_t bitsPerPixel, std::int32_t mode, std::int32_t palette,
                           std::int32_t threshold) override;

    // True when a call of that name was made.
    [[nodiscard]] bool called(const std::string& name) const;

  private:
    // Writes the call down and throws when the script says this call fails.
    void record(const std::string& name, const std::string& arguments = {});

    QString path_;
    std::unique_ptr<QWidget> widget_;
};

}  // namespace velmar::test
