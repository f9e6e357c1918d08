// The instrument download screen that serves both the ER and the LPR tab.
#pragma once

#include <QWidget>

namespace tarn {

class Elpr : public QWidget {
  Q_OBJECT

 public:
  explicit Elpr(QWidget* parent = nullptr);

  // 1 shows the ER pane, 2 the LPR pane.
  void SetCurScr(int scr);
  // Closes the port if it is open and refreshes the status line.
  void ClosePort();

 private:
  int cur_scr_ = 1;
};

}  // namespace tarn
