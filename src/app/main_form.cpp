// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_form.h"

#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QShortcut>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>

#include "analysis/ui/anl.h"
#include "app/user_guide.h"
#include "common/ui/app_icon.h"
#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "common/ui/screen_keys.h"
#include "coupon/data_file_kind.h"
#include "coupon/ui/coupon.h"
#include "download/ui/elpr.h"
#include "history/history_location.h"
#include "history/ui/probes.h"
#include "settings/settings.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

// Every tab has the same fixed size, whatever its caption.
class FixedTabBar : public QTabBar {
 public:
  using QTabBar::QTabBar;

 protected:
  QSize tabSizeHint(int) const override { return QSize(120, 40); }
  QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }
};

class FixedTabWidget : public QTabWidget {
 public:
  explicit FixedTabWidget(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new FixedTabBar(this));
  }
};

void Fill(QWidget* w, const QColor& background) {
  QPalette pal = w->palette();
  pal.setColor(QPalette::Window, background);
  w->setPalette(pal);
  w->setAutoFillBackground(true);
}

// One folder level; one that exists or cannot be made is passed over.
void MakeFolder(const std::string& utf8) {
  std::error_code ec;
  std::filesystem::create_directory(std::filesystem::path(std::u8string(utf8.begin(), utf8.end())),
                                    ec);
}

// A gold caption of the top band. The stand-in for Verdana may be wider than Verdana, so the
// label grows to its text, away from its anchored edge.
QLabel* TopCaption(QWidget* parent, const char* name, const QString& text, QRect rect,
                   Qt::Alignment align) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  QFont font(QStringLiteral("Verdana"));
  font.setPointSizeF(11.25);
  font.setBold(true);
  label->setFont(font);
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, QColor(QStringLiteral("gold")));
  label->setPalette(pal);
  label->setAlignment(align | Qt::AlignVCenter);
  const int need = QFontMetrics(font).horizontalAdvance(text) + 4;
  if (need > rect.width()) {
    if (align & Qt::AlignRight)
      rect.setLeft(rect.right() + 1 - need);
    else
      rect.setWidth(need);
  }
  label->setGeometry(rect);
  return label;
}

}  // namespace

MainForm::MainForm(QWidget* parent, Dialogs dialogs) : QWidget(parent), fmElpr_(new Elpr(this)) {
  fmElpr_->hide();
  // A file saved from a download goes into the history too, when the Probes tab says so.
  connect(fmElpr_, &Elpr::DataSaved, this,
          [this](const QString& path) { fmPrb()->ImportSaved(path); });
  InitializeComponent();
  resize_end_.setSingleShot(true);
  resize_end_.setInterval(kResizeEndMs);
  connect(&resize_end_, &QTimer::timeout, this, &MainForm::MainForm_ResizeEnd);
  connect(fmElpr_, &Elpr::SavedChanged, this, &MainForm::PutTitle);
  setAcceptDrops(true);
  SetShortcuts();
  SetRecentMenus();
  if (dialogs == Dialogs::kOnFirstUse) {
    // Reading the icon's pictures waits until the window has been painted once.
    pnTop->installEventFilter(this);
  } else {
    // A window without its own icon shows the program's; build it only when there is none.
    if (QGuiApplication::windowIcon().isNull()) setWindowIcon(AppIcon());
    fmElpr_->portDialog();
    fmCpon();
    fmAnl()->fmGrp.get();
    fmAnl_->fmAbout.get();
    fmPrb();
  }
}

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == pnTop && event->type() == QEvent::Paint) {
    pnTop->removeEventFilter(this);
    QTimer::singleShot(0, this, [] {
      if (QGuiApplication::windowIcon().isNull()) QGuiApplication::setWindowIcon(AppIcon());
    });
  }
  return QWidget::eventFilter(watched, event);
}

void MainForm::InitializeComponent() {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Corrosion Monitoring Program"));
  setFont(QFont(QStringLiteral("Verdana"), 9));

  pnTop = new QFrame(this);
  pnTop->setObjectName(QStringLiteral("pnTop"));
  pnTop->setFixedHeight(36);
  pnTop->setFrameStyle(QFrame::Box | QFrame::Plain);
  pnTop->setLineWidth(1);
  Fill(pnTop, QColor(QStringLiteral("royalblue")));
  // The band's controls sit inside its border and are clipped there, so the logo, which starts
  // one pixel up and left and is taller than the band, never paints over the border.
  auto* band = new QWidget(pnTop);
  auto* band_layout = new QHBoxLayout(pnTop);
  band_layout->setContentsMargins(0, 0, 0, 0);
  band_layout->addWidget(band);

  pictureBox1 = new QLabel(band);
  pictureBox1->setObjectName(QStringLiteral("pictureBox1"));
  pictureBox1->setPixmap(OwnPicture(QStringLiteral(":/tarn/logo_top.png")));
  pictureBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  pictureBox1->setGeometry(-1, -1, 192, 55);

  label3 = TopCaption(band, "label3", QStringLiteral("Corrosion Monitoring Program"),
                      QRect(312, 5, 260, 27), Qt::AlignLeft);
  label1 = TopCaption(band, "label1", QStringLiteral("powered by Nembra"), QRect(704, 5, 186, 27),
                      Qt::AlignRight);

  pnBase = new QWidget(this);
  pnBase->setObjectName(QStringLiteral("pnBase"));
  Fill(pnBase, QColor(QStringLiteral("gainsboro")));
  auto* base_layout = new QVBoxLayout(pnBase);
  base_layout->setContentsMargins(5, 9, 5, 5);
  base_layout->setSpacing(0);

  tbCtrl = new FixedTabWidget(pnBase);
  tbCtrl->setObjectName(QStringLiteral("tbCtrl"));
  QFont tab_font(QStringLiteral("Verdana"), 10);
  tab_font.setBold(true);
  tbCtrl->tabBar()->setFont(tab_font);
  tbCtrl->setFont(QFont(QStringLiteral("Verdana"), 9));
  base_layout->addWidget(tbCtrl);

  const struct {
    QWidget** page;
    const char* name;
    const char* caption;
  } pages[] = {{&tbPg1, "tbPg1", "ER"},
               {&tbPg2, "tbPg2", "LPR"},
               {&tbPg3, "tbPg3", "Coupon"},
               {&tbPg4, "tbPg4", "Analysis"},
               {&tbPg5, "tbPg5", "Probes"}};
  for (const auto& p : pages) {
    auto* page = new QWidget;
    page->setObjectName(QString::fromLatin1(p.name));
    Fill(page, Qt::white);
    QPalette pal = page->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    page->setPalette(pal);
    page->setFont(QFont(QStringLiteral("Verdana"), 9));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(9, 9, 9, 9);
    layout->setSpacing(0);
    tbCtrl->addTab(page, QString::fromLatin1(p.caption));
    *p.page = page;
  }
  tbCtrl->setCurrentIndex(0);
  connect(tbCtrl, &QTabWidget::currentChanged, this, &MainForm::tbCtrl_SelectedIndexChanged);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(pnTop);
  layout->addWidget(pnBase, 1);

  // Qt sizes leave out the window manager's frame, so the minimum applies to the inside.
  resize(896, 654);
  setMinimumSize(912, 693);
}

void MainForm::SetBasicInfo() {
  CurView_ = 1;
  QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (docs.isEmpty()) docs = QDir::homePath();
  // Qt names the documents folder but does not create it.
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(docs.toStdU16String()), ec);

  const std::string base = ToUtf8(QDir(docs).filePath(QStringLiteral("Tarn"))) + "/";
  MakeFolder(base);
  CfgFile = base + "TARN.CFG";
  DataPath = base + "DATA/";
  MakeFolder(DataPath);
  MakeFolder(DataPath + "DOWNLOAD");
  MakeFolder(DataPath + "COUPON");
  MakeFolder(DataPath + "ANALYSIS");
}

void MainForm::SetChildScr() {
  tbPg1->layout()->addWidget(fmElpr_);
  if (fmCpon_) tbPg3->layout()->addWidget(fmCpon_);
  if (fmAnl_) tbPg4->layout()->addWidget(fmAnl_);
  if (fmPrb_) tbPg5->layout()->addWidget(fmPrb_);
}

void MainForm::View(int cv) {
  // Reception never goes on behind another tab, nor across the ER/LPR switch.
  if (CurView_ == 1 || CurView_ == 2) fmElpr_->ClosePort();
  // Nor does a file go on opening behind another tab.
  if (CurView_ == 4 && cv != 4 && fmAnl_) fmAnl_->CancelLoad();
  switch (cv) {
    case 1:
    case 2: {
      QWidget* page = cv == 1 ? tbPg1 : tbPg2;
      if (fmElpr_->parentWidget() != page) {
        if (QWidget* old = fmElpr_->parentWidget(); old && old->layout())
          old->layout()->removeWidget(fmElpr_);
        page->layout()->addWidget(fmElpr_);
      }
      fmElpr_->SetCurScr(cv);
      fmElpr_->show();
      break;
    }
    case 3:
      fmCpon()->PutFileName();
      fmCpon_->show();
      break;
    case 4:
      fmAnl()->show();
      break;
    case 5:
      fmPrb()->show();
      break;
    default:
      break;
  }
  CurView_ = cv;
  PutTitle();
}

void MainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_) return;
  shown_ = true;
  MainForm_Shown();
}

void MainForm::MainForm_Shown() {
  SetBasicInfo();
  vaLoadCfg(CfgFile, vSetup, vUnit);
  if (fmPrb_) ReadProbesSettings();
  LoadRecent();
  restoring_ = true;
  // Qt raises a size below the minimum to it; an off-screen position is kept as it is.
  move(vSetup.left, vSetup.top);
  resize(vSetup.width, vSetup.height);
  restoring_ = false;
  SetChildScr();
  View(1);
  update();
}

void MainForm::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  GeometryChanged();
}

void MainForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  GeometryChanged();
}

// Qt has no "move or resize ended" event: a move or resize counts as ended once the window has
// stayed still for a moment.
void MainForm::GeometryChanged() {
  if (!shown_ || restoring_) return;
  resize_end_.start();
}

void MainForm::MainForm_ResizeEnd() {
  // Maximising and minimising are not recorded: the next run opens at the normal geometry.
  if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) return;
  vSetup.top = pos().y();
  vSetup.left = pos().x();
  vSetup.height = height();
  vSetup.width = width();
}

void MainForm::closeEvent(QCloseEvent* event) {
  if (!MaybeSaveAll()) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
  if (event->isAccepted()) MainForm_FormClosed();
}

void MainForm::MainForm_FormClosed() {
  // A move that ended just before the close still counts.
  if (resize_end_.isActive()) {
    resize_end_.stop();
    MainForm_ResizeEnd();
  }
  fmElpr_->ClosePort();
  vaSaveCfg(CfgFile, vSetup, vUnit);  // a failed save stays silent
  // A Probes tab never made changed nothing: its section stays as it is.
  if (fmPrb_) fmPrb_->SaveSettings(CfgFile);
  SaveRecent();
}

void MainForm::tbCtrl_SelectedIndexChanged(int index) {
  View(index + 1);
}

}  // namespace tarn

namespace tarn {

void MainForm::SetShortcuts() {
  // One shortcut per key for all screens: Qt treats two enabled ones on the same key as
  // ambiguous. The key presses the button of the screen on the visible tab, if it has one.
  for (ScreenKey key : kScreenKeys) {
    auto* shortcut = new QShortcut(KeysOf(key), this);
    connect(shortcut, &QShortcut::activated, this, [this, key] {
      if (CurView_ == 1 || CurView_ == 2)
        fmElpr_->PressKey(key);
      else if (CurView_ == 3)
        fmCpon()->PressKey(key);
      else if (CurView_ == 4)
        fmAnl()->PressKey(key);
    });
  }
  auto* quit = new QShortcut(QKeySequence::Quit, this);
  if (quit->key().isEmpty()) quit->setKey(QKeySequence(QStringLiteral("Ctrl+Q")));
  connect(quit, &QShortcut::activated, this, &QWidget::close);
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, &MainForm::ShowGuide);
}

void MainForm::PutTitle() {
  const QString caption = QStringLiteral("Corrosion Monitoring Program");
  QString file;
  bool modified = false;
  if (CurView_ == 1 || CurView_ == 2) {
    modified = fmElpr_->hasUnsavedText(CurView_);
    file = modified ? QStringLiteral("noname") : fmElpr_->savedFile(CurView_);
  } else if (CurView_ == 3) {
    file = fmCpon()->fileName();
    modified = fmCpon_->isModified();
    if (file.isEmpty() && modified) file = QStringLiteral("noname");
  } else if (CurView_ == 4) {
    file = FromUtf8(fmAnl()->reader().FileName);
  } else if (CurView_ == 5 && !fmPrb()->HistoryTitle().isEmpty()) {
    // The history may be a server's database, which no file name could name.
    setWindowTitle(fmPrb_->HistoryTitle() + QStringLiteral(" \u2014 ") + caption);
    return;
  }
  if (file.isEmpty()) {
    setWindowTitle(caption);
    return;
  }
  setWindowTitle(QFileInfo(file).fileName() + (modified ? QStringLiteral("*") : QString()) +
                 QStringLiteral(" \u2014 ") + caption);
}

void MainForm::OpenFiles(const QStringList& paths) {
  for (const QString& path : paths) {
    if (SniffDataFile(ToUtf8(path)) == DataFileKind::kCoupon) {
      tbCtrl->setCurrentWidget(tbPg3);
      if (fmCpon()->MaybeSave()) fmCpon_->OpenFile(path);
    } else {
      tbCtrl->setCurrentWidget(tbPg4);
      fmAnl()->OpenFile(path);
    }
  }
}

void MainForm::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  const bool files = !urls.isEmpty() && std::all_of(urls.begin(), urls.end(),
                                                    [](const QUrl& u) { return u.isLocalFile(); });
  if (files)
    event->acceptProposedAction();
  else
    event->ignore();
}

void MainForm::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  // Opening may ask questions; let the drag source finish first.
  QTimer::singleShot(0, this, [this, paths] { OpenFiles(paths); });
}

bool MainForm::MaybeSaveAll() {
  if (fmCpon_ && !fmCpon_->MaybeSave()) return false;
  for (int scr : {1, 2}) {
    if (!fmElpr_->hasUnsavedText(scr)) continue;
    const QString text = scr == 1 ? QStringLiteral("The received ER text is not saved.")
                                  : QStringLiteral("The received LPR text is not saved.");
    switch (AskSave(this, text)) {
      case SaveChoice::kSave:
        tbCtrl->setCurrentIndex(scr - 1);
        // The tab change closed the port and enabled the pane's Save button.
        fmElpr_->PressKey(ScreenKey::kSave);
        if (fmElpr_->hasUnsavedText(scr)) return false;
        break;
      case SaveChoice::kDiscard:
        break;
      case SaveChoice::kCancel:
        return false;
    }
  }
  return true;
}

void MainForm::ShowGuide() {
  const QString path = UserGuidePath();
  if (path.isEmpty()) {
    ShowError(this, QStringLiteral("The user guide is not installed."));
    return;
  }
  if (guide_ == nullptr) {
    auto* dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("dlgGuide"));
    dialog->setWindowTitle(QStringLiteral("Tarn user guide"));
    dialog->resize(820, 700);
    auto* browser = new GuideBrowser(dialog);
    browser->setObjectName(QStringLiteral("txtGuide"));
    browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    browser->setSource(QUrl::fromLocalFile(path), QTextDocument::MarkdownResource);
    guide_ = dialog;
  }
  // Not modal: the guide stays open beside the window it explains.
  guide_->show();
  guide_->raise();
}

}  // namespace tarn
