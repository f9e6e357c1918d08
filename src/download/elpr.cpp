#include "download/elpr.h"

namespace tarn {

Elpr::Elpr(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Elpr"));
}

void Elpr::SetCurScr(int scr) {
  cur_scr_ = scr;
}

void Elpr::ClosePort() {}

}  // namespace tarn
