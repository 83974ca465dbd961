// The print job: one image on one page at its physical size.
#pragma once

#include "image_component/image_component.h"

#include <cstdint>

namespace velmar::print_window {

inline constexpr auto kDocumentName = "Print Out";
// No print-to-file box, no page range, no selection choice.
inline constexpr std::int32_t kPrintDialogFlags = image_component::kDialogHidePrintToFile |
                                                  image_component::kDialogNoPageNumbers |
                                                  image_component::kDialogNoSelection;

// Prints the image the control holds, shrunk to the printable area when it does not fit
// (never enlarged) and placed at the printable area's top-left corner. Does nothing when
// no image is loaded or the user cancels the print dialog. An error drops the unfinished
// document and passes on.
void PrintImg(image_component::ImageView& ikImg);

}  // namespace velmar::print_window
