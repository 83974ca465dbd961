// The control's printer: the ImagePrinter calls turned into a document for printing/'s
// Printer, with the printer chosen from the settings file or in a dialog.
#pragma once

#include "image_component/current_image.h"
#include "image_component/image_component.h"
#include "image_files/image_loader.h"
#include "printing/printer.h"

#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace velmar::printing {
enum class PrinterDialogKind;
}

namespace velmar::image_component {

class QtImagePrinter final : public ImagePrinter {
  public:
    QtImagePrinter(CurrentImage& image, QWidget& dialogParent);
    ~QtImagePrinter() override;
    QtImagePrinter(const QtImagePrinter&) = delete;
    QtImagePrinter& operator=(const QtImagePrinter&) = delete;
    QtImagePrinter(QtImagePrinter&&) = delete;
    QtImagePrinter& operator=(QtImagePrinter&&) = delete;

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
    void ShrinkNote(float scale) override;
    bool EndPage() override;
    bool EndDocument() override;
    void AbortDocument() override;
    bool Close() override;

  private:
    [[nodiscard]] bool configureFromSettings();
    void use(const QString& name, bool builtInPdf, const printing::PrinterSettings& settings);
    [[nodiscard]] bool runDialog(printing::PrinterDialogKind kind, const QString& title);
    void checkSurface(std::int32_t deviceContext) const;

    CurrentImage& image_;
    QWidget& dialogParent_;
    QString settingsFile_;
    QString documentName_;
    std::int32_t dialogFlags_ = 0;
    std::unique_ptr<printing::Printer> printer_;
    std::optional<std::vector<printing::Page>> document_;
    // Readings of the placed JPEGs' data, handed to the printer with the document.
    std::vector<std::shared_ptr<image_files::JpegDataCheck>> dataChecks_;
    float shrink_ = 1.0F;
    std::int32_t surface_ = 0;
    std::int32_t lastSurface_ = 0;
};

}  // namespace velmar::image_component
