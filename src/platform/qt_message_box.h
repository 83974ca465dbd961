// The Qt message box; under a headless platform it writes the text to standard error.
#pragma once

#include "platform/services.h"

namespace velmar::platform {

class QtMessageBox final : public MessageBox {
  public:
    void show(const QString& text) override;
};

}  // namespace velmar::platform
