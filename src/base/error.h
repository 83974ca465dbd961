// Folder base/: the error type and checked arithmetic, below everything. Uses only the C++
// library and Qt's strings; every folder may use it.
//
// The one error type of the program. It sits below every other folder, so code that only
// reports a failure does not depend on the operating-system layer.
#pragma once

#include <QString>

#include <stdexcept>

namespace velmar {

// An operation that fails throws Error; the text is meant for the user (Japanese) or, for
// programming faults, for the developer.
class Error : public std::runtime_error {
  public:
    explicit Error(const QString& message);
    [[nodiscard]] QString message() const;
};

}  // namespace velmar
