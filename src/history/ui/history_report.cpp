// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/history_report.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <set>

#include "common/atomic_file.h"
#include "common/code_page.h"
#include "common/date_time.h"
#include "common/number_text.h"
#include "graph/grp_values.h"
#include "graph/ui/painter_surface.h"
#include "history/coupon_marks.h"
#include "history/event_figures.h"
#include "history/event_marks.h"
#include "history/history_coupons.h"
#include "history/history_graph.h"
#include "history/point_path.h"
#include "history/probe_figures.h"
#include "history/rate_window.h"

namespace tarn {
namespace {

constexpr int kDpi = 96;  // page units: pixels of the screen graph, so the graph keeps its look
constexpr int kMargin = 56;
constexpr int kLine = 18;

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

std::string TimeText(HistoryTime t) {
  return DateTime2Str(DateTime{t * kTicksPerSecond});
}

const char* StateName(const ProbeSummary& p) {
  if (KindOfSeries(p.key.data_type) == SeriesKind::kOther) return "-";  // no limit applies
  switch (p.state) {
    case ProbeState::kAlarm:
      return "ALARM";
    case ProbeState::kWarning:
      return "WARNING";
    default:
      return "OK";
  }
}

std::string RateText(const ProbeSummary& p) {
  return p.rate ? FormatPattern(*p.rate, 4) + " " + p.rate_unit : "-";
}

std::string ConsumedText(const ProbeSummary& p) {
  return p.consumed ? FormatPattern(*p.consumed * 100.0, 1) + " %" : "-";
}

std::string EndText(const ProbeSummary& p) {
  return p.end_time ? TimeText(*p.end_time).substr(0, 10) : "-";
}

std::string StatusText(const ProbeSummary& p) {
  std::string s = StateName(p);
  if (!p.state_reason.empty()) s += ": " + p.state_reason;
  return s;
}

// Unshaped, so that no "fi" or "fl" becomes one ligature glyph: paths, tags and file names
// copied out of the PDF must read as they were written.
QFont ReportFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleStrategy(QFont::PreferNoShaping);
  return font;
}

class ReportWriter {
 public:
  ReportWriter(QPdfWriter* pdf, QPainter* painter, std::string footer)
      : pdf_(pdf), painter_(painter), footer_(std::move(footer)) {
    const QRect page = pdf->pageLayout().paintRectPixels(kDpi);
    width_ = page.width();
    height_ = page.height();
  }

  int width() const { return width_; }
  int y = kMargin;

  void Text(int x, const std::string& text, int point_size = 10, bool bold = false) {
    QFont font = ReportFont();
    font.setPointSizeF(point_size);
    font.setBold(bold);
    painter_->setFont(font);
    // A long path must not run off the page: its middle gives way.
    const QString elided =
        QFontMetricsF(font, pdf_)
            .elidedText(Q(text), Qt::ElideMiddle, std::max(width_ - kMargin - x, 10));
    painter_->drawText(QPointF(x, y), elided);
  }
  void Line(const std::string& text, int point_size = 10, bool bold = false) {
    Room(kLine + point_size);
    y += point_size + 6;
    Text(kMargin, text, point_size, bold);
  }
  // Starts a new page when fewer than `h` units are left.
  void Room(int h) {
    if (y + h > height_ - kMargin) NewPage();
  }
  void NewPage() {
    Footer();
    pdf_->newPage();
    ++page_;
    y = kMargin;
  }
  void Footer() {
    QFont font = ReportFont();
    font.setPointSizeF(8);
    painter_->setFont(font);
    // Every page names the rate's window: a page read on its own must say how the rate was taken.
    painter_->drawText(QRectF(0, height_ - kMargin + 16, width_, 20), Qt::AlignHCenter,
                       QStringLiteral("Rate: %1    Page %2").arg(Q(footer_)).arg(page_));
  }
  QPainter* painter() { return painter_; }

 private:
  QPdfWriter* pdf_;
  QPainter* painter_;
  int width_ = 0;
  int height_ = 0;
  int page_ = 1;
  std::string footer_;
};

// The report's probes by unit (a point's path without its last name) and point, in path order:
// each unit with the points that hold reported probes and those probes, in succession.
struct ReportUnit {
  std::string path;                 // "Site/Unit"; empty for points named at the top
  std::vector<std::size_t> points;  // into the history's points
  std::vector<std::size_t> probes;  // into the report's probes
};

std::string UnitOf(const std::string& point_path) {
  const std::size_t slash = point_path.rfind('/');
  return slash == std::string::npos ? std::string() : point_path.substr(0, slash);
}

std::vector<ReportUnit> GroupByUnit(const std::vector<ProbeSummary>& probes,
                                    const std::vector<PointSummary>& points) {
  std::map<int64_t, std::size_t> probe_at;  // report probe id -> index
  for (std::size_t i = 0; i < probes.size(); ++i) probe_at[probes[i].id] = i;
  std::map<std::string, ReportUnit> units;  // by the unit's key
  std::vector<bool> placed(probes.size(), false);
  for (std::size_t pi = 0; pi < points.size(); ++pi) {  // points come sorted by path
    ReportUnit* unit = nullptr;
    for (const PointProbe& member : points[pi].probes) {
      const auto it = probe_at.find(member.probe_id);
      if (it == probe_at.end() || placed[it->second]) continue;
      if (unit == nullptr) {
        const std::string path = UnitOf(points[pi].path);
        unit = &units[PointPathKey(path)];
        unit->path = path;
        unit->points.push_back(pi);
      }
      unit->probes.push_back(it->second);
      placed[it->second] = true;
    }
  }
  std::vector<ReportUnit> out;
  for (auto& [key, unit] : units) out.push_back(std::move(unit));
  // A probe at no point (a history read while it was being placed) still gets its page.
  ReportUnit loose;
  for (std::size_t i = 0; i < probes.size(); ++i) {
    if (!placed[i]) loose.probes.push_back(i);
  }
  if (!loose.probes.empty()) {
    loose.path = "(no point)";
    out.push_back(std::move(loose));
  }
  return out;
}

std::string UnitTitle(const ReportUnit& unit) {
  return unit.path.empty() ? std::string("Points at the top of the plant") : "Unit " + unit.path;
}

void FleetTable(ReportWriter& w, const std::vector<ProbeSummary>& probes,
                const std::vector<ReportUnit>& units, int window_days) {
  const int cols[] = {kMargin,       kMargin + 90,  kMargin + 170, kMargin + 290,
                      kMargin + 390, kMargin + 460, kMargin + 540};
  const char* heads[] = {"Tag", "Serial", "Last Reading", "Rate", "Consumed", "End Date", "Status"};
  w.Line("Probes (rate: " + RateWindowPhrase(window_days) + ")", 12, true);
  w.y += 6;
  auto row = [&](const std::vector<std::string>& cells, bool bold) {
    w.Room(kLine);
    w.y += kLine;
    for (std::size_t i = 0; i < cells.size(); ++i) w.Text(cols[i], cells[i], 8, bold);
  };
  row({heads, heads + 7}, true);
  for (const ReportUnit& unit : units) {
    w.Room(2 * kLine);
    w.y += 6;
    row({UnitTitle(unit)}, true);
    for (std::size_t i : unit.probes) {
      const ProbeSummary& p = probes[i];
      row({p.key.tag, p.key.serial, p.count > 0 ? TimeText(p.last_time).substr(0, 16) : "",
           RateText(p), ConsumedText(p), EndText(p), StateName(p)},
          false);
    }
  }
}

std::string ValueText(const PointSummary& p) {
  return p.count > 0 ? FormatPattern(p.value, 4) : "-";
}

// Whether something at `t` lies in the report's window, which ends at the point's last reading.
bool InWindow(HistoryTime t, const PointSummary& point, int window_days) {
  return window_days <= 0 || t >= point.last_time - int64_t{window_days} * 86400;
}

std::string Figure(const std::optional<double>& v) {
  return v ? FormatPattern(*v, 4) : "-";
}

// The events of the unit's points in the window with the rates before and after each.
void UnitEvents(ReportWriter& w, const std::vector<EventFigure>& figures,
                const std::vector<const PointSummary*>& points, int window_days) {
  std::vector<const EventFigure*> rows;
  for (const EventFigure& f : figures) {
    for (const PointSummary* p : points) {
      if (p->id == f.point_id && InWindow(f.event.time, *p, window_days)) rows.push_back(&f);
    }
  }
  if (rows.empty()) return;
  w.y += 10;
  w.Line("Events (rates over the " + std::to_string(kDefaultEventDays) +
             " days before and after each)",
         11, true);
  const int cols[] = {kMargin,       kMargin + 90,  kMargin + 156, kMargin + 212,
                      kMargin + 322, kMargin + 374, kMargin + 426, kMargin + 600};
  const char* heads[] = {"Point",  "Date",  "Kind",   "Note",
                         "Before", "After", "Change", "Significant"};
  auto row = [&](const std::vector<std::string>& cells, bool bold) {
    w.Room(kLine);
    w.y += kLine;
    for (std::size_t i = 0; i < cells.size(); ++i) w.Text(cols[i], cells[i], 8, bold);
  };
  row({heads, heads + 8}, true);
  for (const EventFigure* f : rows) {
    const std::vector<std::string> names = PointPathNames(f->point_path);
    std::string change = f->change ? FormatPattern(*f->change, 2) + " " + f->rate_unit : "-";
    if (f->low && f->high)
      change += " (" + FormatPattern(*f->low, 2) + " to " + FormatPattern(*f->high, 2) + ")";
    row({names.empty() ? f->point_path : names.back(), TimeText(f->event.time).substr(0, 10),
         EventKindTitle(f->event.kind), NarrowToUtf8(f->event.note), Figure(f->before),
         Figure(f->after), change, f->change ? (f->significant ? "yes" : "no") : "-"},
        false);
    // Why a figure is missing, on a line of its own: too long for a column.
    if (!f->reason.empty()) row({"", f->reason}, false);
  }
}

// A table of coupons with their class and the probe's rate over each one's exposure.
void CouponTable(ReportWriter& w, const std::vector<const CouponFigures*>& coupons,
                 bool with_point) {
  const int cols[] = {kMargin,       kMargin + 85,  kMargin + 145, kMargin + 211, kMargin + 277,
                      kMargin + 315, kMargin + 385, kMargin + 443, kMargin + 513, kMargin + 553};
  const char* heads[] = {"Point",    "Tag",   "Install",   "Removal", "Days",
                         "Rate mpy", "Class", "Probe mpy", "Ratio",   "Pitting"};
  auto row = [&](std::vector<std::string> cells, bool bold) {
    w.Room(kLine);
    w.y += kLine;
    const std::size_t skip = with_point ? 0 : 1;
    for (std::size_t i = skip; i < cells.size(); ++i) w.Text(cols[i - skip], cells[i], 8, bold);
  };
  row({heads, heads + 10}, true);
  for (const CouponFigures* c : coupons) {
    const std::vector<std::string> names = PointPathNames(c->coupon.point_path);
    std::string pitting = "-";
    if (c->pitting)
      pitting = FormatPattern(c->pitting->mpy, 2) + " mpy " + SeverityName(c->pitting->severity);
    row({names.empty() ? c->coupon.point_path : names.back(), NarrowToUtf8(c->coupon.values.tag),
         TimeText(c->coupon.install).substr(0, 10), TimeText(c->coupon.removal).substr(0, 10),
         FormatPattern(c->exposure_days, 1), FormatPattern(c->rate_mpy, 4),
         c->severity ? SeverityName(*c->severity) : "-",
         c->probe_rate_mpy ? FormatPattern(*c->probe_rate_mpy, 4) : "-",
         c->ratio ? FormatPattern(*c->ratio, 2) : "-", pitting},
        false);
  }
}

std::vector<const CouponFigures*> CouponsAt(const std::vector<CouponFigures>& all,
                                            const PointSummary& point, int window_days) {
  std::vector<const CouponFigures*> out;
  for (const CouponFigures& c : all) {
    if (c.coupon.point_id == point.id && InWindow(c.coupon.removal, point, window_days))
      out.push_back(&c);
  }
  return out;
}

// The fleet page of coupons: every point with a coupon in the window, its coupons beside its
// probe's rate over the same exposure.
void CouponsPage(ReportWriter& w, const std::vector<CouponFigures>& all,
                 const std::vector<PointSummary>& points, const std::vector<ReportUnit>& units,
                 bool every_probe, int window_days) {
  std::vector<const CouponFigures*> rows;
  std::set<int64_t> listed;
  HistoryTime newest = INT64_MIN;
  for (const ReportUnit& unit : units) {
    for (std::size_t pi : unit.points) {
      listed.insert(points[pi].id);
      newest = std::max(newest, points[pi].last_time);
      for (const CouponFigures* c : CouponsAt(all, points[pi], window_days)) rows.push_back(c);
    }
  }
  // A report of every probe also lists the coupons of points that hold no probe, in the window
  // that ends at the newest reading.
  if (every_probe) {
    for (const CouponFigures& c : all) {
      if (listed.count(c.coupon.point_id) != 0) continue;
      if (window_days <= 0 || newest == INT64_MIN ||
          c.coupon.removal >= newest - int64_t{window_days} * 86400)
        rows.push_back(&c);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const CouponFigures* a, const CouponFigures* b) {
      return PointPathKey(a->coupon.point_path) < PointPathKey(b->coupon.point_path);
    });
  }
  if (rows.empty()) return;
  w.NewPage();
  w.Line("Coupons and probes", 16, true);
  w.Line(
      "Each coupon's rate beside the point's probe rate over the coupon's own exposure (mpy); "
      "ratio = probe / coupon",
      8);
  w.y += 6;
  CouponTable(w, rows, true);
}

// The unit's page: its points with their current probe and figures.
void UnitPage(ReportWriter& w, const ReportUnit& unit, const std::vector<PointSummary>& points,
              const std::vector<EventFigure>& events, int window_days) {
  w.NewPage();
  w.Line(UnitTitle(unit), 16, true);
  const std::size_t n = unit.points.size();
  w.Line(std::to_string(n) + (n == 1 ? " point" : " points") +
         "; rate: " + RateWindowPhrase(window_days));
  w.Line("Value: the metal loss carried across replacements, or the latest reading", 8);
  w.y += 6;
  const int cols[] = {kMargin,       kMargin + 140, kMargin + 190, kMargin + 300,
                      kMargin + 375, kMargin + 465, kMargin + 545, kMargin + 615};
  const char* heads[] = {"Point", "Probes",   "Current",  "Value",
                         "Rate",  "Consumed", "End Date", "Status"};
  auto row = [&](const std::vector<std::string>& cells, bool bold) {
    w.Room(kLine);
    w.y += kLine;
    for (std::size_t i = 0; i < cells.size(); ++i) w.Text(cols[i], cells[i], 8, bold);
  };
  row({heads, heads + 8}, true);
  for (std::size_t pi : unit.points) {
    const PointSummary& p = points[pi];
    const ProbeSummary as_probe = PointAsProbe(p);
    const std::vector<std::string> names = PointPathNames(p.path);
    row({names.empty() ? p.path : names.back(), std::to_string(p.probes.size()),
         ProbeName(p.current), ValueText(p), RateText(as_probe), ConsumedText(as_probe),
         EndText(as_probe), StateName(as_probe)},
        false);
  }
  std::vector<const PointSummary*> shown;
  for (std::size_t pi : unit.points) shown.push_back(&points[pi]);
  UnitEvents(w, events, shown, window_days);
}

// A point with more than one probe: its cumulative graph with a mark at each replacement.
void PointPage(ReportWriter& w, HistoryStore& store, const PointSummary& point,
               const std::vector<GraphMark>& event_marks,
               const std::vector<const CouponFigures*>& coupons, int window_days) {
  const ProbeSummary as_probe = PointAsProbe(point);
  w.NewPage();
  w.Line("Point " + point.path, 16, true);
  w.Line(std::string(GrpYTitle(point.current.key.data_type)) + ", " + std::to_string(point.count) +
         " readings of " + std::to_string(point.probes.size()) + " probes from " +
         TimeText(point.first_time) + " to " + TimeText(point.last_time));
  w.y += 10;
  const PointSeries whole = store.ReadPointSeries(point.id, point.first_time, point.last_time, 1);
  const int gw = w.width() - 2 * kMargin;
  const int gh = gw * 55 / 100;
  QPainter* painter = w.painter();
  painter->save();
  painter->translate(kMargin, w.y);
  HistoryGraph view(
      [&store](int64_t id, HistoryTime from, HistoryTime to, int32_t columns) {
        return store.ReadPointSeries(id, from, to, columns).readings;
      },
      [painter](int sw, int sh) -> std::unique_ptr<DrawSurface> {
        return std::make_unique<PainterSurface>(painter, sw, sh);
      });
  view.SetProbes({as_probe}, 0xFF0000FFu, 0xFFFF0000u);
  view.rate_window = window_days;
  view.rate_label = RateColumnTitle(window_days);
  view.legend_rate = RateText(as_probe);
  view.name_label = "Point";
  view.marks = ReplacementMarks(whole.replacements);
  view.marks.insert(view.marks.end(), event_marks.begin(), event_marks.end());
  std::sort(view.marks.begin(), view.marks.end(),
            [](const GraphMark& a, const GraphMark& b) { return a.time < b.time; });
  {
    std::vector<CouponFigures> mine;
    for (const CouponFigures* c : coupons) mine.push_back(*c);
    view.coupons = CouponMarks(mine, point.id, IsMillimetreProbe(point.current.header));
  }
  view.SetDecimalSeparator(QLocale().decimalPoint().toStdString());
  view.gInit(gw, gh, 0.0, 1.0);
  view.RedrawGraph();
  view.gClose();
  painter->restore();
  w.y += gh + 10;
  w.Line(RateColumnTitle(window_days) + ": " + RateText(as_probe) +
         "    Value: " + ValueText(point));
  w.Line("Consumed (current probe): " + ConsumedText(as_probe) +
         "    Element end date: " + EndText(as_probe));
  w.Line("Status: " + StatusText(as_probe));
  w.y += 8;
  w.Line("Probes in succession", 11, true);
  for (const PointProbe& m : point.probes) {
    std::string name = m.key.tag;
    if (!m.key.serial.empty()) name += " " + m.key.serial;
    w.Line(name + "  from " + TimeText(m.from), 8);
  }
  if (!coupons.empty()) {
    w.y += 8;
    w.Line("Coupons", 11, true);
    CouponTable(w, coupons, false);
  }
}

// A file under the user's home as "~/...": the line keeps room for the name and its counts.
std::string HomeShort(const std::string& path) {
  const std::string home = QDir::homePath().toStdString() + "/";
  return home.size() > 1 && path.compare(0, home.size(), home) == 0
             ? "~/" + path.substr(home.size())
             : path;
}

void ProbePage(ReportWriter& w, HistoryStore& store, const ProbeSummary& windowed,
               const std::vector<GraphMark>& event_marks,
               const std::vector<const CouponFigures*>& coupons, int window_days) {
  const std::optional<ProbeSummary> whole = store.GetProbe(windowed.id, 0);
  w.NewPage();
  w.Line("Probe " + ProbeName(windowed), 16, true);
  w.Line(std::string(GrpYTitle(windowed.key.data_type)) + ", " + std::to_string(windowed.count) +
         " readings from " + TimeText(windowed.first_time) + " to " + TimeText(windowed.last_time));
  w.y += 10;

  // The graph through the plot engine, drawn as vectors on the page.
  const int gw = w.width() - 2 * kMargin;
  const int gh = gw * 55 / 100;
  QPainter* painter = w.painter();
  painter->save();
  painter->translate(kMargin, w.y);
  HistoryGraph view(
      [&store](int64_t id, HistoryTime from, HistoryTime to, int32_t columns) {
        return store.ReadDecimated(id, from, to, columns);
      },
      [painter](int sw, int sh) -> std::unique_ptr<DrawSurface> {
        return std::make_unique<PainterSurface>(painter, sw, sh);
      });
  view.SetProbes({windowed}, 0xFF0000FFu, 0xFFFF0000u);
  // The legend and the line show the rate printed below: the trend over the rate's window.
  view.rate_window = window_days;
  view.rate_label = RateColumnTitle(window_days);
  view.legend_rate = RateText(windowed);
  view.marks = event_marks;
  view.SetDecimalSeparator(QLocale().decimalPoint().toStdString());
  view.gInit(gw, gh, 0.0, 1.0);
  view.RedrawGraph();
  view.gClose();
  painter->restore();
  w.y += gh + 10;

  w.Line(RateColumnTitle(window_days) + ": " + RateText(windowed));
  if (window_days > 0)
    w.Line(RateColumnTitle(0) + ": " + (whole ? RateText(*whole) : std::string("-")));
  w.Line("Consumed: " + ConsumedText(windowed) + "    Element end date: " + EndText(windowed));
  w.Line("Status: " + StatusText(windowed));
  const HistoryLimits& l = windowed.limits;
  w.Line(std::string(windowed.own_limits ? "Limits (own)" : "Limits (defaults)") +
         ": rate warning " + FormatPattern(l.rate_warn, 2) + ", alarm " +
         FormatPattern(l.rate_alarm, 2) + " mpy; consumed warning " +
         FormatPattern(l.consumed_warn * 100.0, 0) + " %, alarm " +
         FormatPattern(l.consumed_alarm * 100.0, 0) + " %");
  w.y += 8;
  w.Line("Files its readings came from", 11, true);
  for (const HistorySourceFile& f : store.ProbeFiles(windowed.id)) {
    w.Line(HomeShort(f.name) + "  (" + std::to_string(f.readings) + " readings, imported " +
               TimeText(f.imported_at) + ")",
           8);
  }
  if (!coupons.empty()) {
    w.y += 8;
    w.Line("Coupons at its point", 11, true);
    CouponTable(w, coupons, false);
  }
}

}  // namespace

bool SaveHistoryReport(HistoryStore& store, const ReportRequest& request, const std::string& path,
                       std::string* error, const ReportControl* control) {
  std::vector<ProbeSummary> probes;
  if (request.probe_ids.empty()) {
    probes = store.ListProbes(request.window_days);
  } else {
    for (int64_t id : request.probe_ids) {
      std::optional<ProbeSummary> p = store.GetProbe(id, request.window_days);
      if (!p) {
        if (error) *error = "no probe with id " + std::to_string(id);
        return false;
      }
      probes.push_back(*p);
    }
  }
  if (Status st = store.LastError(); !st) {
    if (error) *error = st.message;
    return false;
  }
  const std::vector<PointSummary> points = store.ListPoints(request.window_days);
  if (Status st = store.LastError(); !st) {
    if (error) *error = st.message;
    return false;
  }
  const std::vector<ReportUnit> units = GroupByUnit(probes, points);
  // Every event with its figures, and every coupon, read once for all pages.
  // Each read is checked before the next, whose success would hide its failure.
  auto failed = [&]() {
    const Status st = store.LastError();
    if (!st && error) *error = st.message;
    return !st;
  };
  const std::vector<EventFigure> events =
      points.empty() ? std::vector<EventFigure>{} : store.EventFigures(kDefaultEventDays, "");
  if (failed()) return false;
  const std::vector<CouponFigures> coupons = store.ListCoupons({});
  if (failed()) return false;
  // Each point's event marks.
  std::map<int64_t, std::vector<GraphMark>> marks_of;
  {
    std::map<int64_t, std::vector<HistoryEvent>> events_of;
    std::map<int64_t, std::set<int64_t>> seen;
    for (const EventFigure& f : events) {
      if (seen[f.point_id].insert(f.event.id).second) events_of[f.point_id].push_back(f.event);
    }
    for (auto& [id, list] : events_of) marks_of[id] = EventMarks(list);
  }
  std::map<int64_t, const PointSummary*> point_of_probe;
  for (const PointSummary& p : points) {
    if (!p.probes.empty()) point_of_probe[p.probes.back().probe_id] = &p;
  }

  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter pdf(&buffer);
    pdf.setResolution(kDpi);
    pdf.setTitle(QStringLiteral("Probe History Report"));
    pdf.setCreator(QStringLiteral("Tarn"));
    const bool us = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
    pdf.setPageSize(QPageSize(us ? QPageSize::Letter : QPageSize::A4));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&pdf);
    ReportWriter w(&pdf, &painter, RateWindowPhrase(request.window_days));

    // Potential and current probes have no limits: counted apart, never as "OK".
    std::map<ProbeState, int> by_state;
    int no_limits = 0;
    for (const ProbeSummary& p : probes) {
      if (KindOfSeries(p.key.data_type) == SeriesKind::kOther)
        ++no_limits;
      else
        ++by_state[p.state];
    }
    w.y = 200;
    w.Line("Probe History Report", 24, true);
    w.y += 20;
    w.Line("Date: " +
           QLocale().toString(QDateTime::currentDateTime(), QLocale::LongFormat).toStdString());
    w.Line("History: " + store.Location());
    const std::string scope = !request.scope.empty() ? request.scope
                              : request.probe_ids.empty()
                                  ? std::string("every probe of the history")
                                  : std::string("the probes asked for");
    w.Line("Probes: " + std::to_string(probes.size()) + " (" + scope + ")");
    w.Line("  OK: " + std::to_string(by_state[ProbeState::kOk]));
    w.Line("  WARNING: " + std::to_string(by_state[ProbeState::kWarning]));
    w.Line("  ALARM: " + std::to_string(by_state[ProbeState::kAlarm]));
    if (no_limits > 0) w.Line("  No limits: " + std::to_string(no_limits));

    w.NewPage();
    FleetTable(w, probes, units, request.window_days);
    CouponsPage(w, coupons, points, units, request.probe_ids.empty(), request.window_days);
    // Each unit: its page of points, the pages of its points that had replacements, then its
    // probes' pages.
    int total = static_cast<int>(probes.size()), done = 0;
    for (const ReportUnit& unit : units) {
      for (std::size_t pi : unit.points) total += points[pi].probes.size() > 1;
    }
    // A page drawn from a history that stopped answering would pass an empty graph off as data.
    auto page_done = [&]() -> bool {
      if (Status st = store.LastError(); !st) {
        if (error) *error = st.message;
        return false;
      }
      if (control && control->progress) control->progress(++done, total);
      return true;
    };
    auto cancelled = [&]() {
      if (!control || !control->cancel || !*control->cancel) return false;
      if (error) *error = kReportCancelled;
      return true;
    };
    for (const ReportUnit& unit : units) {
      if (!unit.points.empty()) UnitPage(w, unit, points, events, request.window_days);
      for (std::size_t pi : unit.points) {
        if (points[pi].probes.size() < 2) continue;
        if (cancelled()) return false;
        PointPage(w, store, points[pi], marks_of[points[pi].id],
                  CouponsAt(coupons, points[pi], request.window_days), request.window_days);
        if (!page_done()) return false;
      }
      for (std::size_t i : unit.probes) {
        if (cancelled()) return false;
        // A probe's page draws its point's events; a point of one probe has its coupons here.
        const auto at = point_of_probe.find(probes[i].id);
        const PointSummary* point = at != point_of_probe.end() ? at->second : nullptr;
        const std::vector<const CouponFigures*> here =
            point != nullptr && point->probes.size() == 1
                ? CouponsAt(coupons, *point, request.window_days)
                : std::vector<const CouponFigures*>{};
        ProbePage(w, store, probes[i],
                  point != nullptr ? marks_of[point->id] : std::vector<GraphMark>{}, here,
                  request.window_days);
        if (!page_done()) return false;
      }
    }
    w.Footer();
    if (!painter.end()) {
      if (error) *error = "Cannot write the report.";
      return false;
    }
  }
  const Status saved = WriteFileAtomically(
      path, std::string_view(buffer.data().constData(), static_cast<std::size_t>(buffer.size())));
  if (!saved && error) *error = saved.message;
  return saved.ok;
}

}  // namespace tarn
