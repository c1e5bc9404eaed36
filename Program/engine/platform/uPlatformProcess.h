// What the platform tells about the running program itself.
#pragma once

#include <QString>

namespace platform {

// The folder of the running executable, ending in a path delimiter
// ("/opt/varnwell/"). Taken from the application object when one exists,
// else from the system's record of the running program.
QString ExecutableFolder();

// The folder for the user's settings: $XDG_CONFIG_HOME when it is an absolute
// path, else ~/.config.
QString ConfigHome();

// The process's current folder, its bytes kept losslessly; empty when it
// cannot be read.
QString CurrentFolder();

} // namespace platform
