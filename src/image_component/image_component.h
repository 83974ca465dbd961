// Folder image_component/: the image control's face and its thin adapters onto the two wings.
// May use image_files/, printing/, platform/ and base/; print_window/ uses it.
//
// The image control the print window holds: it loads, shows, saves and prints one image.
// The window talks to it only through these interfaces. An operation that fails throws
// velmar::Error; a false flag is an ordinary return value.
//
// The interfaces keep the control's own names and call shapes: ImageView is the control
// (the window's ikImg), with its sub-objects ImageFile (load, save, dialogs), ImagePrinter
// (printer choice and the page) and ImageEdit (colour depth). Images and drawing surfaces
// are passed by integer handle; numbers are 16- or 32-bit as the control has them.
#pragma once

#include "base/error.h"
#include "image_files/damaged_image.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class QWidget;

namespace velmar::image_files {
class JpegDataCheck;
}

namespace velmar::image_component {

using image_files::DamagedImage;
// A JPEG's compressed data being read through on a thread of its own, to refuse damaged
// data before anything is printed (image_files/image_loader.h).
using image_files::JpegDataCheck;

// DamagedImage (image_files/damaged_image.h) is raised through ImageFile::Save,
// ImageView::Draw and ImagePrinter::EndDocument when the image's data is damaged.

// File formats of ImageFile::Save.
inline constexpr std::int32_t kFormatBitmap = 0;
inline constexpr std::int32_t kFormatJpeg = 2;

// Print-dialog flags understood by ImagePrinter::DialogFlags (the Windows PD_ values).
inline constexpr std::int32_t kDialogNoSelection = 0x00000004;
inline constexpr std::int32_t kDialogNoPageNumbers = 0x00000008;
inline constexpr std::int32_t kDialogHidePrintToFile = 0x00100000;

// Loading and saving the image at the path that Path() holds.
class ImageFile {
  public:
    virtual ~ImageFile() = default;
    // Asks the user for an image file; true when one was chosen (it becomes the path).
    virtual bool OpenDialog() = 0;
    // Loads the image at the path held; false when it could not be read (then no image
    // is loaded and LastError() says why).
    virtual bool Load(std::int32_t mode) = 0;
    // Writes the image with the given handle to the path held (kFormatBitmap, kFormatJpeg).
    virtual bool Save(std::int32_t format, std::int32_t imageHandle) = 0;
    // The file of the next load or save.
    virtual void Path(const QString& path) = 0;
    // The file of the next load, whose data is being read through already (see readAhead;
    // may be empty): the load takes that reading over instead of starting its own.
    virtual void Path(const QString& path, std::shared_ptr<JpegDataCheck> readAhead) = 0;
    [[nodiscard]] virtual QString Path() const = 0;
    // Quality (0..100) of the next JPEG save.
    virtual void JpegQuality(std::int32_t quality) = 0;
    // Why the last Load or Save failed, for the user.
    [[nodiscard]] virtual QString LastError() const = 0;
};

// Printing on the printer chosen in the printer-settings file or in a dialog.
// Lengths are tenths of a millimetre; (0, 0) of DrawImage is the top-left corner of the
// printable area. Surfaces and images are passed by handle (DeviceContext, ImageHandle),
// and the mode, flag and extra arguments exist for the callers' fixed call sequence: the
// Qt implementation ignores the ones it has no use for.
class ImagePrinter {
  public:
    virtual ~ImagePrinter() = default;
    // The printer-settings file; it may not exist yet.
    virtual void SettingsFile(const QString& path) = 0;
    // True when the printer to use is known and available, so no dialog is needed.
    virtual bool CheckReady(std::int32_t mode) = 0;
    virtual void DialogMode(std::int32_t mode) = 0;
    virtual void DialogFlags(std::int32_t flags) = 0;
    virtual void DialogExtra(std::int32_t extra) = 0;
    // The print dialog; false when the user cancelled. What the user confirms is kept
    // in the settings file.
    virtual bool PrintDialog() = 0;
    // The printer set-up dialog (printer, paper, orientation); false when cancelled.
    virtual bool SetupDialog() = 0;
    // Name of the next document; it becomes the job title.
    virtual void DocumentName(const QString& name) = 0;
    virtual bool BeginDocument() = 0;
    virtual bool BeginPage() = 0;
    // Handle of the open page's drawing surface; 0 when no page is open.
    [[nodiscard]] virtual std::int32_t DeviceContext() = 0;
    // The printable rectangle of the page in tenths of a millimetre from the paper's
    // top-left corner. extra1 and extra2 are reserved and left as they are.
    virtual bool PrintableArea(std::int32_t deviceContext, std::int32_t& left, std::int32_t& top,
                               std::int32_t& right, std::int32_t& bottom, std::int32_t& extra1,
                               std::int32_t& extra2, std::int32_t mode) = 0;
    // Draws the image at x, y (from the printable area's top-left corner) with width and
    // height, all in tenths of a millimetre.
    virtual bool DrawImage(std::int32_t deviceContext, std::int32_t imageHandle, std::int32_t x,
                           std::int32_t y, std::int32_t width, std::int32_t height,
                           std::int32_t sourceWidth, std::int32_t sourceHeight,
                           std::int32_t mode) = 0;
    // How much the open document's image was shrunk to fit the printable area (1 when it is
    // printed at its size), for the words said after the print.
    virtual void ShrinkNote(float scale) = 0;
    virtual bool EndPage() = 0;
    // Finishes the document, hands it to the printer and says where it went; a document
    // that cannot be delivered is a failure.
    virtual bool EndDocument() = 0;
    // Drops an unfinished document: nothing of it reaches the printer.
    virtual void AbortDocument() = 0;
    virtual bool Close() = 0;
};

// Changes to the loaded image.
class ImageEdit {
  public:
    virtual ~ImageEdit() = default;
    // Makes the image 8-bit grey or 24-bit colour for what saves write and BitDepth says;
    // the image shown and printed keeps its pixels. False for other depths or no image.
    virtual bool ConvertColorDepth(std::int32_t bitsPerPixel, std::int32_t mode,
                                   std::int32_t palette, std::int32_t threshold) = 0;
};

// The image control itself: the loaded image, its display and its sub-objects.
class ImageView {
  public:
    virtual ~ImageView() = default;
    // Shows the loaded image in the control's widget.
    virtual bool Draw(std::int32_t mode) = 0;
    virtual bool PrepareImage() = 0;
    // Non-zero while an image is loaded.
    [[nodiscard]] virtual std::int32_t ImageHandle() = 0;
    // The resolution the file records, in dots per inch; 0 when it records none.
    [[nodiscard]] virtual std::int32_t ResolutionX() = 0;
    [[nodiscard]] virtual std::int32_t ResolutionY() = 0;
    [[nodiscard]] virtual std::int32_t PixelWidth() = 0;
    [[nodiscard]] virtual std::int32_t PixelHeight() = 0;
    [[nodiscard]] virtual bool GrayFlag() = 0;
    [[nodiscard]] virtual std::int16_t BitDepth() = 0;

    virtual ImageFile& File() = 0;
    virtual ImagePrinter& Printer() = 0;
    virtual ImageEdit& Edit() = 0;

    // The widget that shows the image; the window places it.
    virtual QWidget& Widget() = 0;
};

// Sets the largest image Qt's readers accept. Call once after the application object
// exists.
void configureImageReaders();

// The MIME types of the image files the control can load, sorted.
[[nodiscard]] QStringList readableMimeTypes();

// Starts reading the file named on the command line through, before the window and the
// settings are made, so that printing it need not wait for that. The control takes the
// reading over when it is given with the path (ImageFile::Path); nothing is kept for a
// file that is no JPEG.
[[nodiscard]] std::shared_ptr<JpegDataCheck> readAhead(const QString& path);

// The Qt implementation of the control.
[[nodiscard]] std::unique_ptr<ImageView> makeImageKit();

}  // namespace velmar::image_component
