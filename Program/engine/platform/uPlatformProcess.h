// What the platform tells about the running program itself.
#pragma once

#include <QString>

namespace platform {

// The folder of the running executable, ending in a path delimiter
// ("/opt/varnwell/"). Taken from the application object when one exists,
// else from the system's record of the running program.
QString ExecutableFolder();

} // namespace platform
