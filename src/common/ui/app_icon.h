// The program's icon, built from the drawings compiled in as resources.
#pragma once

#include <QIcon>

namespace tarn {

QIcon AppIcon();

}  // namespace tarn
