#pragma once
// Plays a WAVE file without waiting for it to end. A missing file plays nothing.

#include <string>

namespace ql {

// True when the file exists and playing was started.
bool PlaySoundAsync(const std::string& path);

}  // namespace ql
