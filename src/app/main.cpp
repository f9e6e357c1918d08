// tarn: the corrosion monitoring program.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label(QStringLiteral("Corrosion Monitoring Program"));
  label.show();
  return app.exec();
}
