#include "analysis/anl.h"

namespace tarn {

Anl::Anl(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Anl"));
}

}  // namespace tarn
