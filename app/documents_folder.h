#pragma once
#include <QString>

namespace varnel {

// The default data folder of a copy whose own folder cannot take files (an installed
// program): "Varnel" in the user's documents folder, where an operator looks for files. The
// documents folder is the shell's on Windows and the XDG one (else ~/Documents) elsewhere;
// without one, the per-user data folder. Not created here.
QString DocumentsDataFolder();

}  // namespace varnel
