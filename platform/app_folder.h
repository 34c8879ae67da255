// The application folder: the folder of the running executable, with its
// trailing '/', so that "option.ini" or "templates/..." can be appended.
#pragma once

#include <string>

namespace quorvel::platform {

std::string ApplicationFolder();

}  // namespace quorvel::platform
