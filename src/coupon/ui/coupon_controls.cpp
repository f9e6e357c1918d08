// SPDX-License-Identifier: GPL-3.0-or-later
// The coupon screen, part one: building its controls (panes, fields, buttons, status strip).
#include "coupon/ui/coupon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <string_view>

#include "common/notifier.h"
#include "common/ui/message_box.h"
#include "common/ui/screen_keys.h"
#include "common/ui/section_typing.h"
#include "common/ui/widget_builders.h"
#include "coupon/severity_class.h"
#include "coupon/ui/coupon_records.h"
#include "coupon/ui/unit.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

constexpr int kTagMax = 10;

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

QDateEdit* DatePicker(const char* name, QWidget* parent) {
  auto* picker = new QDateEdit(parent);
  picker->setObjectName(QString::fromLatin1(name));
  picker->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
  picker->setCalendarPopup(true);
  picker->setMinimumDate(QDate(100, 1, 1));
  TypeBySection(picker);
  return picker;
}

QTimeEdit* TimePicker(const char* name, QWidget* parent) {
  auto* picker = new QTimeEdit(parent);
  picker->setObjectName(QString::fromLatin1(name));
  picker->setDisplayFormat(QStringLiteral("HH:mm"));
  picker->setCalendarPopup(false);
  picker->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  TypeBySection(picker);
  return picker;
}

QPushButton* Button(const char* name, const QString& caption, const QString& hint,
                    const char* colour, const char* border, QWidget* parent) {
  QPushButton* button = MakeButton(name, caption, parent, hint);
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

class Coupon::Notifier : public tarn::Notifier {
 public:
  explicit Notifier(QWidget* parent) : parent_(parent) {}
  void Error(std::string_view text) override {
    ShowError(parent_, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }

 private:
  QWidget* parent_;
};

Coupon::Coupon(QWidget* parent) : QWidget(parent), notifier_(std::make_unique<Notifier>(this)) {
  setObjectName(QStringLiteral("Coupon"));
  setWindowTitle(QStringLiteral("Coupon"));
  setFont(QFont(QStringLiteral("Verdana"), 9));
  SetUnitRatio(vUnit, units_);
  BuildControls();
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

void Coupon::BuildControls() {
  auto* panes = new QHBoxLayout;
  panes->setSpacing(4);
  panes->addWidget(BuildConfigurationPane(), 3);
  panes->addWidget(BuildExposurePane(), 2);
  panes->addWidget(BuildResultPane(), 3);

  btnExport = Button("btnExport", QStringLiteral("&Export"),
                     KeyHint("Export the table as CSV or spreadsheet file", ScreenKey::kExport),
                     "#2E8B57", "#1F5F3B", this);
  btnDel = Button("btnDel", QStringLiteral("&Delete"),
                  QStringLiteral("Delete the selected row (Delete; Ctrl+Z brings it back)"),
                  "#2E8B57", "#1F5F3B", this);
  btnAddHistory = Button("btnAddHistory", QStringLiteral("Add to &history"),
                         QStringLiteral("Add the table's coupons to the probe history, each at "
                                        "its point"),
                         "#2E8B57", "#1F5F3B", this);
  btnAddHistory->setEnabled(false);  // until there is a history to add to
  connect(btnExport, &QPushButton::clicked, this, &Coupon::btnExport_Click);
  connect(btnDel, &QPushButton::clicked, this, &Coupon::btnDel_Click);
  connect(btnAddHistory, &QPushButton::clicked, this, &Coupon::btnAddHistory_Click);
  auto* under_table = new QHBoxLayout;
  under_table->addStretch(1);
  under_table->addWidget(btnAddHistory);
  under_table->addWidget(btnExport);
  under_table->addWidget(btnDel);

  auto* main_area = new QVBoxLayout;
  main_area->setSpacing(6);
  main_area->addLayout(panes);
  main_area->addWidget(BuildTable(), 1);
  main_area->addLayout(under_table);

  const char* blue = "#4682B4";
  const char* dark_blue = "#36648B";
  btnCalc = Button("btnCalc", QStringLiteral("&Calculate"),
                   QStringLiteral("Compute surface area, metal loss and corrosion rate"), blue,
                   dark_blue, this);
  chkAutoAdd = new QCheckBox(QStringLiteral("Auto Add Data"), this);
  chkAutoAdd->setObjectName(QStringLiteral("chkAutoAdd"));
  chkAutoAdd->setChecked(false);
  btnOpen = Button("btnOpen", QStringLiteral("&Open"),
                   KeyHint("Open a coupon data file", ScreenKey::kOpen), blue, dark_blue, this);
  btnAdd = Button("btnAdd", QStringLiteral("&Add"),
                  QStringLiteral("Add the calculated coupon to the table"), blue, dark_blue, this);
  btnSaveAs = Button("btnSaveAs", QStringLiteral("&Save"),
                     KeyHint("Save the table as a coupon data file", ScreenKey::kSave), blue,
                     dark_blue, this);
  btnClear =
      Button("btnClear", QStringLiteral("C&lear"),
             QStringLiteral("Reset the coupon fields; the table stays"), blue, dark_blue, this);
  btnUnit = Button("btnUnit", QStringLiteral("Change &Unit"),
                   QStringLiteral("Choose metric or imperial units"), blue, dark_blue, this);
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

QWidget* Coupon::BuildConfigurationPane() {
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

QWidget* Coupon::BuildExposurePane() {
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

QWidget* Coupon::BuildResultPane() {
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
  lbRateClass = new QLabel(this);
  lbRateClass->setObjectName(QStringLiteral("lbRateClass"));
  lbRateClass->setToolTip(QStringLiteral("Severity class of the general corrosion rate:\n") +
                          QString::fromUtf8(GeneralClassTable()));
  grid->addWidget(lbRateClass, 8, 0, 1, 2);

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
  grid->addWidget(Caption(QStringLiteral("Comments"), this), 9, 0, 1, 2);
  grid->addWidget(edComment, 10, 0, 1, 2);
  grid->setRowStretch(10, 1);
  grid->setColumnStretch(0, 1);
  return Pane("pnResult", QStringLiteral("   Result"), "#4169E1", "#FFD700", grid, this);
}

}  // namespace tarn
