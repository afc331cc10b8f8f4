// Failure of a settings back-end: a registry file or an initialisation file
// that cannot be read or written, or a registry value that is not text where
// text is needed. The message names the file; FileName carries it alone.
#pragma once

#include "errors/errors.h"

#include <string>
#include <utility>

class ESettingsError : public Exception {
  public:
    ESettingsError(std::string msg, std::string AFileName)
        : Exception(std::move(msg)), FileName(std::move(AFileName)) {}

    std::string FileName;
};
