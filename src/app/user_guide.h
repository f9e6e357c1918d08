// Where the user guide is: beside the installed program, or in the source tree of a build.
#pragma once

#include <QString>

namespace tarn {

// The guide's path, or an empty text when neither copy exists.
QString UserGuidePath();

}  // namespace tarn
