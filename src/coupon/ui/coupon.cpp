#include "coupon/ui/coupon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableView>
#include <QTextCursor>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>

#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "common/ui/widget_builders.h"
#include "coupon/coupon_calc.h"
#include "coupon/coupon_catalogue.h"
#include "coupon/coupon_export.h"
#include "coupon/coupon_items.h"
#include "coupon/coupon_notifier.h"
#include "coupon/coupon_store.h"
#include "coupon/ui/coupon_records.h"
#include "coupon/ui/coupon_table_model.h"
#include "coupon/ui/unit.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

constexpr int kTagMax = 10;
constexpr int kCommentMax = 255;

constexpr char kMsgNotCalculated[] = "Calculated values are not.";
constexpr char kMsgStoreFull[] = "You can not add anu more.";

// File dialog filters in the "Description(*.ext)|*.ext" form; Qt reads the pattern from the
// description's brackets.
constexpr char kCouponFilter[] = "Coupon Data (*.CPN)|*.CPN";
constexpr char kExportFilter[] =
    "CSV files(*.csv)|*.csv|Excel files(*.xls)|*.xls|Excel workbook (*.xlsx)|*.xlsx";

QStringList NameFilters(const char* pairs) {
  const QStringList parts = QString::fromLatin1(pairs).split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    filters << (description.contains(QLatin1Char('('))
                    ? description
                    : description + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')'));
  }
  return filters;
}

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Shown by the program, so no edit is reported.
void PutPickers(DateTime dt, QDateEdit* date, QTimeEdit* time) {
  const QSignalBlocker block_date(date);
  const QSignalBlocker block_time(time);
  const DateTimeParts p = SplitDateTime(dt);
  date->setDate(QDate(p.year, p.month, p.day));
  time->setTime(QTime(p.hour, p.minute));
}

// Date from the date picker, hour and minute from the time picker, seconds 0. Pickers still
// showing `shown` give it back whole, seconds included, so a loaded coupon is not changed by
// merely reading it back.
DateTime ReadPickers(const QDateEdit* date, const QTimeEdit* time, DateTime shown) {
  const QDate d = date->date();
  const QTime t = time->time();
  const DateTimeParts p = SplitDateTime(shown);
  if (p.year == d.year() && p.month == d.month() && p.day == d.day() && p.hour == t.hour() &&
      p.minute == t.minute()) {
    return shown;
  }
  DateTime dt = shown;
  MakeDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), 0, &dt);
  return dt;
}

QLabel* Caption(const QString& text, QWidget* parent, const char* name = nullptr) {
  return MakeLabel(name, text, parent);
}

// `widest` is the longest value the box must show whole; a longer one scrolls to its start.
QLineEdit* Edit(const char* name, QWidget* parent, const char* widest = "0.00000") {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString::fromLatin1(widest)) + 8);
  return edit;
}

// Wide enough for either of its two texts, so a change of units does not move the boxes.
QLabel* UnitLabel(const char* name, const char* first, const char* second, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  const QFontMetrics fm = label->fontMetrics();
  label->setMinimumWidth(std::max(fm.horizontalAdvance(QString::fromLatin1(first)),
                                  fm.horizontalAdvance(QString::fromLatin1(second))) +
                         2);
  return label;
}

QComboBox* DropDown(const char* name, int min_chars, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QString::fromLatin1(name));
  combo->setEditable(false);
  combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  combo->setMinimumContentsLength(min_chars);
  return combo;
}

// The open list shows whole names even when the closed box is narrower.
void WidenPopup(QComboBox* combo) {
  QAbstractItemView* view = combo->view();
  view->setMinimumWidth(view->sizeHintForColumn(0) + view->verticalScrollBar()->sizeHint().width() +
                        8);
}

QDateEdit* DatePicker(const char* name, QWidget* parent) {
  auto* picker = new QDateEdit(parent);
  picker->setObjectName(QString::fromLatin1(name));
  picker->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
  picker->setCalendarPopup(true);
  picker->setMinimumDate(QDate(100, 1, 1));
  return picker;
}

QTimeEdit* TimePicker(const char* name, QWidget* parent) {
  auto* picker = new QTimeEdit(parent);
  picker->setObjectName(QString::fromLatin1(name));
  picker->setDisplayFormat(QStringLiteral("HH:mm"));
  picker->setCalendarPopup(false);
  picker->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  return picker;
}

QPushButton* Button(const char* name, const QString& caption, const char* colour,
                    const char* border, QWidget* parent) {
  QPushButton* button = MakeButton(name, caption, parent);
  button->setStyleSheet(
      QStringLiteral("QPushButton { background-color: %1; color: #F8F8FF; border: 1px solid %2;"
                     " padding: 5px 12px; min-height: 18px; }"
                     "QPushButton:pressed { background-color: %2; }"
                     "QPushButton:disabled { color: #C0C0C0; }")
          .arg(QLatin1String(colour), QLatin1String(border)));
  return button;
}

QFrame* Separator(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

// A pane: a framed box whose title strip runs across its top.
QFrame* Pane(const char* name, const QString& title, const char* background, const char* text,
             QLayout* content, QWidget* parent) {
  QFrame* pane = MakePanel(name, parent);
  pane->setFrameShape(QFrame::Box);
  pane->setFrameShadow(QFrame::Plain);
  QLabel* strip = MakeLabel((std::string(name) + "Title").c_str(), title, pane);
  strip->setStyleSheet(
      QStringLiteral("QLabel { background-color: %1; color: %2; padding: 3px 0px; }")
          .arg(QLatin1String(background), QLatin1String(text)));
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->setSpacing(0);
  layout->addWidget(strip);
  content->setContentsMargins(4, 4, 4, 6);
  layout->addLayout(content);
  layout->addStretch(1);
  return pane;
}

}  // namespace

class Coupon::Notifier : public CouponNotifier {
 public:
  explicit Notifier(QWidget* parent) : parent_(parent) {}
  void Error(std::string_view text) override { ShowError(parent_, Utf8(text)); }

 private:
  QWidget* parent_;
};

Coupon::Coupon(QWidget* parent) : QWidget(parent), notifier_(std::make_unique<Notifier>(this)) {
  setObjectName(QStringLiteral("Coupon"));
  setWindowTitle(QStringLiteral("Coupon"));
  setFont(QFont(QStringLiteral("Verdana"), 9));
  SetUnitRatio(vUnit, units_);
  buildControls();
  fmUnit = new Unit(this);
  ClearValues();
}

Coupon::~Coupon() = default;

void Coupon::setFileDialogRunner(FileDialogRunner runner) {
  file_dialog_runner_ = std::move(runner);
}

int Coupon::recordCount() const {
  return vCponData.record_count;
}

// ---------------------------------------------------------------------------------------------
// Layout

void Coupon::buildControls() {
  auto* panes = new QHBoxLayout;
  panes->setSpacing(4);
  panes->addWidget(buildConfigurationPane(), 3);
  panes->addWidget(buildExposurePane(), 2);
  panes->addWidget(buildResultPane(), 3);

  btnExport = Button("btnExport", QStringLiteral("Export"), "#2E8B57", "#1F5F3B", this);
  btnDel = Button("btnDel", QStringLiteral("Delete"), "#2E8B57", "#1F5F3B", this);
  connect(btnExport, &QPushButton::clicked, this, &Coupon::btnExport_Click);
  connect(btnDel, &QPushButton::clicked, this, &Coupon::btnDel_Click);
  auto* under_table = new QHBoxLayout;
  under_table->addStretch(1);
  under_table->addWidget(btnExport);
  under_table->addWidget(btnDel);

  auto* main_area = new QVBoxLayout;
  main_area->setSpacing(6);
  main_area->addLayout(panes);
  main_area->addWidget(buildTable(), 1);
  main_area->addLayout(under_table);

  const char* blue = "#4682B4";
  const char* dark_blue = "#36648B";
  btnCalc = Button("btnCalc", QStringLiteral("Calculate"), blue, dark_blue, this);
  chkAutoAdd = new QCheckBox(QStringLiteral("Auto Add Data"), this);
  chkAutoAdd->setObjectName(QStringLiteral("chkAutoAdd"));
  chkAutoAdd->setChecked(false);
  btnOpen = Button("btnOpen", QStringLiteral("Open"), blue, dark_blue, this);
  btnAdd = Button("btnAdd", QStringLiteral("Add"), blue, dark_blue, this);
  btnSaveAs = Button("btnSaveAs", QStringLiteral("Save"), blue, dark_blue, this);
  btnClear = Button("btnClear", QStringLiteral("Clear"), blue, dark_blue, this);
  btnUnit = Button("btnUnit", QStringLiteral("Change Unit"), blue, dark_blue, this);
  connect(btnCalc, &QPushButton::clicked, this, &Coupon::btnCalc_Click);
  connect(btnOpen, &QPushButton::clicked, this, &Coupon::btnOpen_Click);
  connect(btnAdd, &QPushButton::clicked, this, &Coupon::btnAdd_Click);
  connect(btnSaveAs, &QPushButton::clicked, this, &Coupon::btnSaveAs_Click);
  connect(btnClear, &QPushButton::clicked, this, &Coupon::btnClear_Click);
  connect(btnUnit, &QPushButton::clicked, this, &Coupon::btnUnit_Click);

  auto* column = new QVBoxLayout;
  column->setSpacing(8);
  column->addWidget(btnCalc);
  column->addWidget(chkAutoAdd);
  column->addSpacing(12);
  column->addWidget(btnOpen);
  column->addWidget(btnAdd);
  column->addWidget(btnSaveAs);
  column->addWidget(btnClear);
  column->addSpacing(12);
  column->addWidget(btnUnit);
  column->addStretch(1);

  auto* body = new QHBoxLayout;
  body->setSpacing(4);
  body->addLayout(main_area, 1);
  body->addLayout(column);

  lbTitle = Caption(QStringLiteral("COUPON"), this, "lbTitle");
  QFont bold = lbTitle->font();
  bold.setBold(true);
  lbTitle->setFont(bold);
  lbSt1 = Caption(QStringLiteral("File Name"), this, "lbSt1");
  lbSt2 = Caption(QString(), this, "lbSt2");
  lbSt2->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* status = new QFrame(this);
  status->setObjectName(QStringLiteral("pnStatus"));
  status->setFrameShape(QFrame::StyledPanel);
  status->setFrameShadow(QFrame::Sunken);
  auto* status_row = new QHBoxLayout(status);
  status_row->setContentsMargins(6, 2, 6, 2);
  status_row->setSpacing(16);
  status_row->addWidget(lbTitle);
  status_row->addWidget(lbSt1);
  status_row->addWidget(lbSt2, 1);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(4);
  outer->addLayout(body, 1);
  outer->addWidget(status);
  PutFileName();

  // Any change of what the calculation reads makes the shown result stale.
  for (QLineEdit* edit : {edAlloyDensity, edHoles, edHoleDia, edLength, edWidth, edThick,
                          edWeightInit, edWeightFinal}) {
    connect(edit, &QLineEdit::textEdited, this, &Coupon::Input_Edited);
  }
  for (QDateEdit* date : {dtInstDate, dtRemDate}) {
    connect(date, &QDateEdit::dateChanged, this, &Coupon::Input_Edited);
  }
  for (QTimeEdit* time : {dtInstTime, dtRemTime}) {
    connect(time, &QTimeEdit::timeChanged, this, &Coupon::Input_Edited);
  }
}

QWidget* Coupon::buildConfigurationPane() {
  // Each field is a caption above its box, with its unit label to the right: two grid columns
  // per field, three fields across.
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(2);
  auto field = [grid](int row, int slot, QLabel* caption, QWidget* box, QLabel* unit) {
    grid->addWidget(caption, row, slot * 2, 1, 2);
    if (unit != nullptr) {
      grid->addWidget(box, row + 1, slot * 2);
      grid->addWidget(unit, row + 1, slot * 2 + 1);
    } else {
      grid->addWidget(box, row + 1, slot * 2, 1, 2);
    }
  };

  edTag = Edit("edTag", this);
  edTag->setMaxLength(kTagMax);
  cbCponTbl = DropDown("cbCponTbl", 5, this);
  field(0, 0, Caption(QStringLiteral("Tag"), this), edTag, nullptr);
  field(0, 1, Caption(QStringLiteral("Coupon Type"), this), cbCponTbl, nullptr);
  grid->addWidget(Separator(this), 2, 0, 1, 6);

  cbAlloyTbl = DropDown("cbAlloyTbl", 10, this);
  edAlloyDensity = Edit("edAlloyDensity", this, "0.0000000");
  lbDensityUnit = UnitLabel("lbDensityUnit", "g/cm^3", "lb/in^3", this);
  // Alloy names are long: the list takes most of two field widths. The density box reaches
  // back over the unit column before it, as seven decimals of lb/in^3 need the room.
  grid->addWidget(Caption(QStringLiteral("Alloy"), this), 3, 0, 1, 3);
  grid->addWidget(cbAlloyTbl, 4, 0, 1, 3);
  grid->addWidget(Caption(QStringLiteral("Alloy Density"), this), 3, 3, 1, 3);
  grid->addWidget(edAlloyDensity, 4, 3, 1, 2);
  grid->addWidget(lbDensityUnit, 4, 5);
  grid->addWidget(Separator(this), 5, 0, 1, 6);

  cbShape = DropDown("cbShape", 7, this);
  lbHoles = Caption(QStringLiteral("Number of Holes"), this, "lbHoles");
  edHoles = Edit("edHoles", this);
  lbHoleDia = Caption(QStringLiteral("Hole Diameter"), this, "lbHoleDia");
  edHoleDia = Edit("edHoleDia", this);
  lbHoleDiaUnit = UnitLabel("lbHoleDiaUnit", "cm", "in", this);
  field(6, 0, Caption(QStringLiteral("Shape"), this), cbShape, nullptr);
  field(6, 1, lbHoles, edHoles, nullptr);
  field(6, 2, lbHoleDia, edHoleDia, lbHoleDiaUnit);

  lbLength = Caption(QStringLiteral("Length"), this, "lbLength");
  edLength = Edit("edLength", this);
  lbLengthUnit = UnitLabel("lbLengthUnit", "cm", "in", this);
  lbWidth = Caption(QStringLiteral("Width"), this, "lbWidth");
  edWidth = Edit("edWidth", this);
  lbWidthUnit = UnitLabel("lbWidthUnit", "cm", "in", this);
  lbThick = Caption(QStringLiteral("Thickness"), this, "lbThick");
  edThick = Edit("edThick", this);
  lbThickUnit = UnitLabel("lbThickUnit", "cm", "in", this);
  field(8, 0, lbLength, edLength, lbLengthUnit);
  field(8, 1, lbWidth, edWidth, lbWidthUnit);
  field(8, 2, lbThick, edThick, lbThickUnit);
  grid->setRowMinimumHeight(8, lbLength->sizeHint().height());
  for (int c = 0; c < 6; c += 2) grid->setColumnStretch(c, 1);

  connect(cbCponTbl, &QComboBox::currentIndexChanged, this,
          [this](int index) { ChangeItemIndex(0, index); });
  connect(cbAlloyTbl, &QComboBox::currentIndexChanged, this,
          [this](int index) { ChangeItemIndex(1, index); });
  connect(cbShape, &QComboBox::currentIndexChanged, this,
          [this](int index) { ChangeItemIndex(2, index); });

  return Pane("pnConfig", QStringLiteral("   Coupon Configuration"), "#B0C4DE", "black", grid,
              this);
}

QWidget* Coupon::buildExposurePane() {
  auto picker_group = [this](const QString& title, const char* name, QDateEdit* date,
                             QTimeEdit* time) {
    auto* box = new QGroupBox(title, this);
    box->setObjectName(QString::fromLatin1(name));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(4, 4, 4, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    grid->addWidget(Caption(QStringLiteral("Date (dd/mm/yyyy)"), box), 0, 0);
    grid->addWidget(Caption(QStringLiteral("Time (hh:mm)"), box), 0, 1);
    grid->addWidget(date, 1, 0);
    grid->addWidget(time, 1, 1);
    return box;
  };
  dtInstDate = DatePicker("dtInstDate", this);
  dtInstTime = TimePicker("dtInstTime", this);
  dtRemDate = DatePicker("dtRemDate", this);
  dtRemTime = TimePicker("dtRemTime", this);

  auto* weight = new QGroupBox(QStringLiteral("Weight"), this);
  weight->setObjectName(QStringLiteral("gbWeight"));
  edWeightInit = Edit("edWeightInit", weight);
  lbWeightInitUnit = UnitLabel("lbWeightInitUnit", "g", "oz", weight);
  edWeightFinal = Edit("edWeightFinal", weight);
  lbWeightFinalUnit = UnitLabel("lbWeightFinalUnit", "g", "oz", weight);
  auto* grid = new QGridLayout(weight);
  grid->setContentsMargins(4, 4, 4, 6);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(2);
  grid->addWidget(Caption(QStringLiteral("Initial"), weight), 0, 0, 1, 2);
  grid->addWidget(Caption(QStringLiteral("Final"), weight), 0, 2, 1, 2);
  grid->addWidget(edWeightInit, 1, 0);
  grid->addWidget(lbWeightInitUnit, 1, 1);
  grid->addWidget(edWeightFinal, 1, 2);
  grid->addWidget(lbWeightFinalUnit, 1, 3);

  auto* content = new QVBoxLayout;
  content->setSpacing(4);
  content->addWidget(
      picker_group(QStringLiteral("Installation"), "gbInstall", dtInstDate, dtInstTime));
  content->addWidget(picker_group(QStringLiteral("Removal"), "gbRemoval", dtRemDate, dtRemTime));
  content->addWidget(weight);
  return Pane("pnExposure", QStringLiteral("   Exposure Data"), "#B0C4DE", "black", content, this);
}

QWidget* Coupon::buildResultPane() {
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(4);
  auto value_row = [this, grid](int row, const QString& caption, QLineEdit** edit,
                                const char* edit_name, QLabel** unit, const char* unit_name,
                                const char* unit_first, const char* unit_second) {
    *edit = Edit(edit_name, this);
    (*edit)->setReadOnly(true);
    (*edit)->setAlignment(Qt::AlignRight);
    (*edit)->setFocusPolicy(Qt::ClickFocus);
    (*edit)->setStyleSheet(QStringLiteral("QLineEdit { color: blue; background-color: white; }"));
    *unit = UnitLabel(unit_name, unit_first, unit_second, this);
    // Caption above, as in the other panes; this keeps the band narrow enough for the tab.
    grid->addWidget(Caption(caption, this), row * 2, 0, 1, 2);
    grid->addWidget(*edit, row * 2 + 1, 0);
    grid->addWidget(*unit, row * 2 + 1, 1);
  };
  value_row(0, QStringLiteral("Surface Area"), &edSurfaceArea, "edSurfaceArea", &lbSurfaceAreaUnit,
            "lbSurfaceAreaUnit", "cm^2", "in^2");
  value_row(1, QStringLiteral("Total Exposure"), &edTotalExposure, "edTotalExposure",
            &lbTotalExposureUnit, "lbTotalExposureUnit", "hours", "hours");
  value_row(2, QStringLiteral("Metal Loss"), &edMetalLoss, "edMetalLoss", &lbMetalLossUnit,
            "lbMetalLossUnit", "mm", "mil");
  value_row(3, QStringLiteral("Corrosion Rate"), &edCorrosionRate, "edCorrosionRate",
            &lbCorrosionRateUnit, "lbCorrosionRateUnit", "mm/year (mmpy)", "mils/year(mpy)");

  edComment = new QPlainTextEdit(this);
  edComment->setObjectName(QStringLiteral("edComment"));
  // Enter and Tab go into the text; long lines scroll rather than wrap.
  edComment->setTabChangesFocus(false);
  edComment->setLineWrapMode(QPlainTextEdit::NoWrap);
  edComment->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  edComment->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  edComment->setMinimumHeight(edComment->fontMetrics().lineSpacing() * 4 +
                              edComment->horizontalScrollBar()->sizeHint().height() + 8);
  connect(edComment, &QPlainTextEdit::textChanged, this, &Coupon::edComment_TextChanged);
  // The comment takes whatever height the other panes give the band.
  edComment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
  grid->addWidget(Caption(QStringLiteral("Comments"), this), 8, 0, 1, 2);
  grid->addWidget(edComment, 9, 0, 1, 2);
  grid->setRowStretch(9, 1);
  grid->setColumnStretch(0, 1);
  return Pane("pnResult", QStringLiteral("   Result"), "#4169E1", "#FFD700", grid, this);
}

QWidget* Coupon::buildTable() {
  model_ = new CouponTableModel(&vCponData, &units_, this);
  gCpon = new QTableView(this);
  gCpon->setObjectName(QStringLiteral("gCpon"));
  gCpon->setModel(model_);
  gCpon->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gCpon->setSelectionBehavior(QAbstractItemView::SelectRows);
  gCpon->setSelectionMode(QAbstractItemView::SingleSelection);
  gCpon->setSortingEnabled(false);
  gCpon->setWordWrap(false);
  gCpon->verticalHeader()->hide();
  gCpon->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  gCpon->verticalHeader()->setDefaultSectionSize(gCpon->fontMetrics().height() + 6);
  QHeaderView* header = gCpon->horizontalHeader();
  // Columns fill the width (fitColumns), but never below what their texts need: twenty of
  // them do not fit a narrow window, which then scrolls instead of clipping every header.
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
  header->setFixedHeight(header->fontMetrics().lineSpacing() * 2 + 8);
  header->setSortIndicatorShown(false);
  header->setHighlightSections(false);
  header->setSectionsClickable(true);
  gCpon->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  gCpon->viewport()->installEventFilter(this);
  connect(gCpon, &QTableView::clicked, this,
          [this](const QModelIndex& index) { gCpon_CellClick(index.row()); });
  connect(header, &QHeaderView::sectionClicked, this, [this](int) { gCpon_HeaderClick(); });
  return gCpon;
}

void Coupon::fitColumns() {
  QHeaderView* header = gCpon->horizontalHeader();
  const QFontMetrics head(header->font());
  const QFontMetrics body(gCpon->font());
  const int pad = 14;
  int want[kCouponColumns];
  int total = 0;
  for (int c = 0; c < kCouponColumns; ++c) {
    // A wrapped header needs its longest word on one line.
    int w = 0;
    for (const QString& word : QString::fromLatin1(kCouponColumnHeader[c]).split(' ')) {
      w = std::max(w, head.horizontalAdvance(word));
    }
    const char* sample = "0000.0000";
    if (c == 11 || c == 12) sample = "00/00/0000 00:00:00";
    w = std::max(w, body.horizontalAdvance(QString::fromLatin1(sample)));
    want[c] = w + pad;
    total += want[c];
  }
  const int room = gCpon->viewport()->width();
  int used = 0;
  for (int c = 0; c < kCouponColumns; ++c) {
    int width = want[c];
    if (room > total) {
      // Share the spare room out in proportion; the last column takes the rounding.
      width = c + 1 < kCouponColumns ? want[c] * room / total : room - used;
    }
    header->resizeSection(c, width);
    used += width;
  }
}

bool Coupon::eventFilter(QObject* watched, QEvent* event) {
  if (watched == gCpon->viewport() && event->type() == QEvent::Resize) fitColumns();
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Events

void Coupon::showEvent(QShowEvent* event) {
  if (!shown_once_) {
    shown_once_ = true;
    SetItemsAll();
    SetUnitRatio(vUnit, units_);
    PutUnit();
    PutValues();
  }
  QWidget::showEvent(event);
}

void Coupon::btnCalc_Click() {
  Calc();
}
void Coupon::btnOpen_Click() {
  OpenData();
}
void Coupon::btnAdd_Click() {
  AddScr2Table();
}
void Coupon::btnSaveAs_Click() {
  SaveData();
}
void Coupon::btnUnit_Click() {
  SetUnit();
}
void Coupon::btnExport_Click() {
  SaveExport();
}
void Coupon::btnDel_Click() {
  DeleteData();
}
void Coupon::gCpon_CellClick(int row) {
  selected_row = row;
}
void Coupon::gCpon_HeaderClick() {
  selected_row = -1;
}

void Coupon::btnClear_Click() {
  ClearValues();
  PutValues();
  PutFileName();
}

void Coupon::edComment_TextChanged() {
  const int excess = static_cast<int>(edComment->toPlainText().size()) - kCommentMax;
  if (excess <= 0) return;
  // Drop what was just typed or pasted beyond the limit, as a length-limited box refuses it.
  const QSignalBlocker block(edComment);
  QTextCursor cursor = edComment->textCursor();
  const int end = cursor.position();
  if (end >= excess) {
    cursor.setPosition(end - excess);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
  } else {
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor, excess);
  }
  cursor.removeSelectedText();
  edComment->setTextCursor(cursor);
}

// ---------------------------------------------------------------------------------------------
// Lists and values

void Coupon::SetItemsAll() {
  SetAlloyTable();
  SetCouponTable();
  SetShape();
}

// The lists are filled without a selection, so the first PutValues selects like a user would.
void Coupon::SetAlloyTable() {
  const QSignalBlocker block(cbAlloyTbl);
  cbAlloyTbl->clear();
  for (int i = 0; i < kCatalogueSlots && vAlloyTbl[i].name != nullptr && vAlloyTbl[i].name[0];
       ++i) {
    cbAlloyTbl->addItem(Chars2SysStr(vAlloyTbl[i].name));
  }
  WidenPopup(cbAlloyTbl);
  cbAlloyTbl->setCurrentIndex(-1);
}

void Coupon::SetCouponTable() {
  const QSignalBlocker block(cbCponTbl);
  cbCponTbl->clear();
  for (int i = 0; i < kCatalogueSlots && vCponTbl[i].name != nullptr && vCponTbl[i].name[0]; ++i) {
    cbCponTbl->addItem(Chars2SysStr(vCponTbl[i].name));
  }
  cbCponTbl->setCurrentIndex(-1);
}

void Coupon::SetShape() {
  const QSignalBlocker block(cbShape);
  cbShape->clear();
  for (int i = 0; i < kShapeCount; ++i) cbShape->addItem(Chars2SysStr(vShapeName[i]));
  cbShape->setCurrentIndex(-1);
}

void Coupon::ChangeItemIndex(int item, int index) {
  switch (item) {
    case 0:
      SetValue(vCpon, kItemCouponType, index);
      ApplyCouponType(vCpon, index);
      SetCouponValues();
      break;
    case 1:
      SetValue(vCpon, kItemAlloy, index);
      PutAlloyValues();
      break;
    case 2:
      SetValue(vCpon, kItemShape, index);
      PutShapeValues();
      break;
    default:
      break;
  }
  is_calc = false;
  PutResult();
}

void Coupon::Input_Edited() {
  if (!is_calc) return;
  is_calc = false;
  PutResult();
}

void Coupon::SetCouponValues() {
  // A catalogue coupon's shape and dimensions are fixed.
  const bool custom = vCpon.coupon_type == 0;
  for (QWidget* w : {static_cast<QWidget*>(cbShape), static_cast<QWidget*>(edHoles),
                     static_cast<QWidget*>(edHoleDia), static_cast<QWidget*>(edLength),
                     static_cast<QWidget*>(edWidth), static_cast<QWidget*>(edThick)}) {
    w->setEnabled(custom);
  }
  cbShape->setCurrentIndex(GetValueInx(vCpon, kItemShape));
  PutShapeValues();
}

void Coupon::PutAlloyValues() {
  edAlloyDensity->setEnabled(vCpon.alloy == 0);
  setItemText(edAlloyDensity, kItemDensity);
}

void Coupon::PutShapeValues() {
  const int shape = vCpon.shape;
  if (shape == kShapeRectangle || shape == kShapeDisc || shape == kShapeCylinder) {
    static const char* const kWidthCaption[] = {"Width", "Outer Diameter", "Diameter"};
    lbWidth->setText(QString::fromLatin1(kWidthCaption[shape]));
    const bool plate = shape != kShapeCylinder;
    const bool length = shape != kShapeDisc;
    for (QWidget* w : {static_cast<QWidget*>(lbHoles), static_cast<QWidget*>(edHoles),
                       static_cast<QWidget*>(lbHoleDia), static_cast<QWidget*>(edHoleDia),
                       static_cast<QWidget*>(lbHoleDiaUnit), static_cast<QWidget*>(lbThick),
                       static_cast<QWidget*>(edThick), static_cast<QWidget*>(lbThickUnit)}) {
      w->setVisible(plate);
    }
    for (QWidget* w : {static_cast<QWidget*>(lbLength), static_cast<QWidget*>(edLength),
                       static_cast<QWidget*>(lbLengthUnit)}) {
      w->setVisible(length);
    }
    // Hidden boxes keep their text.
    if (plate) {
      setItemText(edHoles, kItemHoles);
      setItemText(edHoleDia, kItemHoleDia);
      setItemText(edThick, kItemThickness);
    }
    if (length) setItemText(edLength, kItemLength);
  }
  setItemText(edWidth, kItemWidth);
}

void Coupon::PutExposure() {
  inst_dt = Str2DateTime(GetValue(vCpon, kItemInstallTime, units_), nullptr);
  rem_dt = Str2DateTime(GetValue(vCpon, kItemRemovalTime, units_), nullptr);
  PutPickers(inst_dt, dtInstDate, dtInstTime);
  PutPickers(rem_dt, dtRemDate, dtRemTime);
  setItemText(edWeightInit, kItemWeightInit);
  setItemText(edWeightFinal, kItemWeightFinal);
}

void Coupon::PutResult() {
  if (is_calc) {
    setItemText(edSurfaceArea, kItemArea);
    setItemText(edTotalExposure, kItemExposure);
    setItemText(edMetalLoss, kItemMetalLoss);
    setItemText(edCorrosionRate, kItemCorrRate);
  } else {
    edSurfaceArea->clear();
    edTotalExposure->clear();
    edMetalLoss->clear();
    edCorrosionRate->clear();
  }
}

void Coupon::PutValues() {
  // Each selection that changes runs ChangeItemIndex, as a user's choice would.
  setItemText(edTag, kItemTag);
  cbCponTbl->setCurrentIndex(GetValueInx(vCpon, kItemCouponType));
  cbAlloyTbl->setCurrentIndex(GetValueInx(vCpon, kItemAlloy));
  cbShape->setCurrentIndex(GetValueInx(vCpon, kItemShape));
  SetCouponValues();
  PutAlloyValues();
  PutExposure();
  PutResult();
  // Comments written on Windows end their lines with CR LF.
  QString comment = FromUtf8(GetValue(vCpon, kItemComment, units_));
  comment.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  edComment->setPlainText(comment);
}

bool Coupon::GetScrValues() {
  if (!CheckNumbers()) return false;
  getItemText(edTag, kItemTag);
  getItemText(edAlloyDensity, kItemDensity);
  getItemText(edHoles, kItemHoles);
  getItemText(edHoleDia, kItemHoleDia);
  getItemText(edThick, kItemThickness);
  getItemText(edLength, kItemLength);
  getItemText(edWidth, kItemWidth);
  getItemText(edWeightInit, kItemWeightInit);
  getItemText(edWeightFinal, kItemWeightFinal);
  inst_dt = ReadPickers(dtInstDate, dtInstTime, inst_dt);
  rem_dt = ReadPickers(dtRemDate, dtRemTime, rem_dt);
  SetValue(vCpon, kItemInstallTime, DateTime2Str(inst_dt), vUnit);
  SetValue(vCpon, kItemRemovalTime, DateTime2Str(rem_dt), vUnit);
  SetValue(vCpon, kItemComment, ToUtf8(edComment->toPlainText()), vUnit);
  return true;
}

bool Coupon::CheckNumbers() {
  struct Box {
    QLineEdit* edit;
    int item;
    QString caption;
    const char* example;
  };
  const Box boxes[] = {
      {edAlloyDensity, kItemDensity, QStringLiteral("Alloy Density"), "7.94"},
      {edHoles, kItemHoles, lbHoles->text(), "2"},
      {edHoleDia, kItemHoleDia, lbHoleDia->text(), "0.4750"},
      {edThick, kItemThickness, lbThick->text(), "0.1588"},
      {edLength, kItemLength, lbLength->text(), "7.6200"},
      {edWidth, kItemWidth, lbWidth->text(), "1.2700"},
      {edWeightInit, kItemWeightInit, QStringLiteral("Initial weight"), "12.3456"},
      {edWeightFinal, kItemWeightFinal, QStringLiteral("Final weight"), "12.3456"},
  };
  for (const Box& b : boxes) {
    // Boxes the program filled hold numbers; a hidden box is not used by the shape.
    if (!b.edit->isModified() || !b.edit->isVisibleTo(this)) continue;
    if (IsItemNumber(b.item, ToUtf8(b.edit->text()), vUnit)) continue;
    const QString what =
        b.item == kItemHoles ? QStringLiteral("a whole number") : QStringLiteral("a number");
    ShowError(this, QStringLiteral("%1: enter %2 such as %3.")
                        .arg(b.caption, what, QString::fromLatin1(b.example)));
    b.edit->setFocus(Qt::OtherFocusReason);
    b.edit->selectAll();
    return false;
  }
  return true;
}

void Coupon::setItemText(QLineEdit* edit, int item) {
  edit->setText(FromUtf8(GetValue(vCpon, item, units_)));
  // A value wider than its box shows from its first digit.
  edit->setCursorPosition(0);
}

void Coupon::getItemText(const QLineEdit* edit, int item) {
  if (edit->isModified()) {
    SetValue(vCpon, item, ToUtf8(edit->text()), vUnit);
    return;
  }
  // The box still shows what the program put there: the record holds that value at full
  // precision, which re-reading the rounded text would lose. A catalogue alloy's density
  // reaches the record here, as it would from the text.
  if (item == kItemDensity && IsAlloyIndex(vCpon.alloy) && vCpon.alloy != 0) {
    vCpon.density = vAlloyTbl[vCpon.alloy].density;
  }
}

bool Coupon::Calc() {
  if (!GetScrValues() || !CalcCoupon(vCpon, inst_dt, rem_dt, *notifier_)) {
    // Whatever was on screen belongs to inputs that are no longer there.
    is_calc = false;
    PutResult();
    return false;
  }
  is_calc = true;
  PutResult();
  if (chkAutoAdd->isChecked()) AddScr2Table();
  return true;
}

void Coupon::ClearValues() {
  is_calc = false;
  const DateTime now = LocalNow();
  ResetCoupon(vCpon, now);
  inst_dt = now;
  rem_dt = now;
}

// ---------------------------------------------------------------------------------------------
// Table

void Coupon::AddScr2Table() {
  if (!is_calc) {
    ShowError(this, QString::fromLatin1(kMsgNotCalculated));
    return;
  }
  if (vCponData.record_count >= kCouponCapacity) {
    ShowError(this, QString::fromLatin1(kMsgStoreFull));
    return;
  }
  // The stored copy is the coupon as the last calculation read it, with the tag and comment as
  // they are now: they take no part in the calculation.
  getItemText(edTag, kItemTag);
  SetValue(vCpon, kItemComment, ToUtf8(edComment->toPlainText()), vUnit);
  model_->beginAppend();
  vCponData.items[vCponData.record_count] = vCpon;
  ++vCponData.record_count;
  model_->endAppend();
}

void Coupon::PutTable() {
  // The view formats its cells from the store in the units in force when it paints them.
  model_->beginRebuild();
  model_->endRebuild();
  if (vCponData.record_count > 0) vCpon = vCponData.items[vCponData.record_count - 1];
}

void Coupon::DeleteData() {
  const int count = vCponData.record_count;
  if (selected_row < 0 || count <= 0) return;
  if (selected_row >= count) selected_row = count - 1;
  model_->beginRemove(selected_row);
  std::copy(vCponData.items + selected_row + 1, vCponData.items + count,
            vCponData.items + selected_row);
  --vCponData.record_count;
  model_->endRemove();
}

// ---------------------------------------------------------------------------------------------
// Units

void Coupon::SetUnit() {
  if (!GetScrValues()) return;
  fmUnit->exec();
  SetUnitRatio(vUnit, units_);
  PutUnit();
  PutTable();
  PutValues();
}

void Coupon::PutUnit() {
  lbDensityUnit->setText(Utf8(CouponUnitLabel(units_, CouponLabel::kDensity)));
  const QString dimension = Utf8(CouponUnitLabel(units_, CouponLabel::kDimension));
  lbHoleDiaUnit->setText(dimension);
  lbWidthUnit->setText(dimension);
  lbLengthUnit->setText(dimension);
  lbThickUnit->setText(dimension);
  lbSurfaceAreaUnit->setText(Utf8(CouponUnitLabel(units_, CouponLabel::kArea)));
  lbWeightInitUnit->setText(Utf8(CouponUnitLabel(units_, CouponLabel::kWeight)));
  lbWeightFinalUnit->setText(lbWeightInitUnit->text());
  lbMetalLossUnit->setText(Utf8(CouponUnitLabel(units_, CouponLabel::kMetalLoss)));
  lbCorrosionRateUnit->setText(Utf8(CouponUnitLabel(units_, CouponLabel::kCorRate)));
  lbTotalExposureUnit->setText(Utf8(CouponUnitLabel(units_, CouponLabel::kExposure)));
}

void Coupon::PutFileName() {
  lbSt2->setText(FileName.isEmpty() ? QStringLiteral("noname") : FileName);
}

// ---------------------------------------------------------------------------------------------
// Files

bool Coupon::runFileDialog(QFileDialog& dialog, QString* path, QString* filter) {
  dialog.setDirectory(FromUtf8(DataPath) + QStringLiteral("COUPON"));
  dialog.selectFile(QString());
  if (file_dialog_runner_) return file_dialog_runner_(dialog, path, filter);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  *path = files.first();
  *filter = dialog.selectedNameFilter();
  return true;
}

void Coupon::OpenData() {
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("dlgOpen"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(NameFilters(kCouponFilter));
  dialog.setDefaultSuffix(QStringLiteral("CPN"));
  QString path;
  QString filter;
  if (!runFileDialog(dialog, &path, &filter)) return;
  // Whatever the file held, the screen takes its name and redraws from the store.
  Open(ToUtf8(path), vCponData, *notifier_);
  FileName = path;
  PutFileName();
  PutTable();
  PutValues();
  is_calc = true;
  PutResult();
}

void Coupon::SaveData() {
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("dlgSave"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(NameFilters(kCouponFilter));
  dialog.setDefaultSuffix(QStringLiteral("CPN"));
  QString path;
  QString filter;
  if (!runFileDialog(dialog, &path, &filter)) return;
  if (!Save(ToUtf8(path), vCponData, *notifier_)) return;
  FileName = path;
  PutFileName();
}

void Coupon::SaveExport() {
  if (!Calc()) return;
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("dlgExport"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  const QStringList filters = NameFilters(kExportFilter);
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.first());
  QString path;
  QString filter;
  if (!runFileDialog(dialog, &path, &filter)) return;
  switch (filters.indexOf(filter)) {
    case 1:
      SaveXls(ToUtf8(path), vCponData, units_, *notifier_);
      break;
    case 2:
      SaveXlsx(ToUtf8(path), vCponData, units_, *notifier_);
      break;
    default:
      SaveCsv(ToUtf8(path), vCponData, units_, *notifier_);
      break;
  }
}

}  // namespace tarn
