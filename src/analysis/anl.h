// The analysis screen of the Analysis tab.
#pragma once

#include <QWidget>

namespace tarn {

class Anl : public QWidget {
  Q_OBJECT

 public:
  explicit Anl(QWidget* parent = nullptr);
};

}  // namespace tarn
