// SPDX-License-Identifier: GPL-3.0-or-later
// The probe history on a PostgreSQL server: import speed beside psql's own \copy of the same
// readings into the same table, the probe list of a large history, and the points list and a
// point's cumulative graph on a plant of points. The server is a private
// one started for the run (with the server's default durability), unless TARN_BENCH_PG_URI
// names another.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "common/date_time.h"
#include "history/history_store.h"
#include "history/import_source.h"
#include "plant_generator.h"
#include "points_plant.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kStart = 63871000000;  // a second in 2025
constexpr int64_t kReadingEpoch = 63082281600;

std::string When(int64_t s) {
  return DateTime2Str(DateTime{s * kTicksPerSecond});
}

double Value(int i) {
  return 1.0 + (i % 997) * 0.001;
}

// A Nembra LPR file of `tags` tags × `n` readings a minute apart, tag names from `first`.
void WriteFile(const std::string& path, int first, int tags, int n) {
  std::ofstream out(path, std::ios::binary);
  std::string block;
  for (int t = first; t < first + tags; ++t) {
    block = "TAG NUMBER : P" + std::to_string(t) + "\nSERIAL NUMBER : S" + std::to_string(t) +
            "\nPROBE TYPE : PR 3\nSTART TIME : " + When(kStart) + "\n NO. COR RATE\n";
    char line[64];
    for (int i = 0; i < n; ++i) {
      const int len = std::snprintf(line, sizeof line, "%d %s %.4f\n", i + 1,
                                    When(kStart + 60LL * i).c_str(), Value(i));
      block.append(line, static_cast<std::size_t>(len));
    }
    out << block;
  }
}

// The private server and a scratch folder, for the whole run.
struct Server {
  Server() {
    dir = fs::temp_directory_path() / ("tarn-pg-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    if (const char* env = std::getenv("TARN_BENCH_PG_URI"); env != nullptr && *env != '\0') {
      uri = env;
      psql = "psql";
      return;
    }
    state = (dir / "server").string();
    script = std::string(TARN_SOURCE_DIR) + "/tests/tools/pg_test_server.sh";
    if (std::system(("bash " + script + " start " + state + " >&2").c_str()) != 0) return;
    std::ifstream(state + "/uri") >> uri;
    std::string bindir;
    std::ifstream(state + "/bindir") >> bindir;
    psql = bindir + "/psql";
  }
  ~Server() {
    if (!script.empty()) std::system(("bash " + script + " stop " + state + " >&2").c_str());
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string file(const std::string& name) const { return (dir / name).string(); }
  // A fresh database on the server, and its URI.
  std::string Fresh() {
    std::random_device rd;
    const std::string name = "b" + std::to_string(rd());
    const std::string command = psql + " -q \"" + uri + "\" -c 'CREATE DATABASE " + name + "'";
    if (std::system(command.c_str()) != 0) return "";
    const std::size_t q = uri.find('?');
    return "postgresql:///" + name + (q == std::string::npos ? "" : uri.substr(q));
  }
  // Drops the database of a URI Fresh gave, once nothing is connected to it.
  void Drop(const std::string& db_uri) {
    const std::size_t a = db_uri.find(":///") + 4, q = db_uri.find('?');
    const std::string name = db_uri.substr(a, q == std::string::npos ? q : q - a);
    std::system((psql + " -q \"" + uri + "\" -c 'DROP DATABASE " + name + "'").c_str());
  }
  // Seconds psql's \copy of `csv` into the reading table's `columns` of a fresh history takes
  // (the history dropped again when `drop`); negative when it fails.
  double PsqlCopy(const std::string& csv, const std::string& columns, bool drop) {
    std::string error;
    const std::string other = Fresh();
    if (!OpenHistory(other, &error)) return -1;
    const std::string command = psql + " -q \"" + other + "\" -c \"\\copy tarn.reading(" + columns +
                                ") FROM '" + csv + "' CSV\"";
    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = std::system(command.c_str()) == 0;
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (drop) Drop(other);
    return ok ? s : -1;
  }
  // The first line psql prints for `query` on `db_uri`, fields split by '|'.
  std::string Query(const std::string& db_uri, const std::string& query) {
    const std::string command = psql + " -At \"" + db_uri + "\" -c \"" + query + "\"";
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
      char buf[4096];
      while (std::fgets(buf, sizeof buf, p)) out += buf;
      pclose(p);
    }
    return out;
  }

  fs::path dir;
  std::string state, script, uri, psql;
};

Server& TheServer() {
  static Server s;
  return s;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void BM_PgImportVsPsqlCopy(benchmark::State& state) {
  Server& s = TheServer();
  if (s.uri.empty()) {
    state.SkipWithError("no PostgreSQL server");
    return;
  }
  const int tags = 100, n = 65535;
  const std::string file = s.file("import.nid");
  if (!fs::exists(file)) WriteFile(file, 0, tags, n);
  // The same readings as CSV in the reading table's own layout, for psql.
  const std::string csv = s.file("import.csv");
  if (!fs::exists(csv)) {
    std::ofstream out(csv, std::ios::binary);
    char line[96];
    for (int t = 1; t <= tags; ++t) {
      std::string block;
      for (int i = 0; i < n; ++i) {
        const int len =
            std::snprintf(line, sizeof line, "%lld,%.4f,%d,1\n",
                          static_cast<long long>(kStart + 60LL * i - kReadingEpoch), Value(i), t);
        block.append(line, static_cast<std::size_t>(len));
      }
      out << block;
    }
  }
  double ours = 0, peer = 0;
  for (auto _ : state) {
    std::string error;
    auto store = OpenHistory(s.Fresh(), &error);
    if (!store) {
      state.SkipWithError(error.c_str());
      return;
    }
    auto t0 = std::chrono::steady_clock::now();
    const ImportResult r = store->Import(file, {});
    ours = Seconds(t0);
    if (!r.status.ok || r.added != int64_t{tags} * n) {
      state.SkipWithError(r.status.message.c_str());
      return;
    }
    // psql into the same table of another fresh history.
    peer = s.PsqlCopy(csv, "t, v, probe_id, file_id", false);
    if (peer < 0) {
      state.SkipWithError("psql failed");
      return;
    }
  }
  const double readings = double(tags) * n;
  state.counters["readings_per_s"] = readings / ours;
  state.counters["ours_s"] = ours;
  state.counters["psql_copy_s"] = peer;
  state.counters["ratio_to_psql"] = ours / peer;
}
BENCHMARK(BM_PgImportVsPsqlCopy)->Iterations(1)->Unit(benchmark::kMillisecond);

// 1000 probes × 10000 readings.
HistoryStore* BigHistory() {
  static std::unique_ptr<HistoryStore> store;
  if (!store) {
    Server& s = TheServer();
    std::string error;
    store = OpenHistory(s.Fresh(), &error);
    if (!store) return nullptr;
    for (int f = 0; f < 10; ++f) {
      const std::string file = s.file("part.nid");
      WriteFile(file, f * 100, 100, 10000);
      store->Import(file, {});
    }
  }
  return store.get();
}

void BM_PgProbeList1000x10000(benchmark::State& state) {
  HistoryStore* store = TheServer().uri.empty() ? nullptr : BigHistory();
  if (store == nullptr) {
    state.SkipWithError("no PostgreSQL history");
    return;
  }
  std::size_t n = 0;
  for (auto _ : state) n = store->ListProbes(static_cast<int32_t>(state.range(0))).size();
  state.counters["probes"] = static_cast<double>(n);
}
BENCHMARK(BM_PgProbeList1000x10000)->Arg(0)->Arg(7)->Unit(benchmark::kMillisecond);

// Runs `list` on a new connection to `plant` each time (the connecting itself not counted), so
// that no figure is remembered from an earlier call; `counter` names what it counts.
template <typename List>
void OnFreshConnections(benchmark::State& state, HistoryStore* plant, const char* counter,
                        List list) {
  if (plant == nullptr) {
    state.SkipWithError("no PostgreSQL history");
    return;
  }
  std::size_t n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::string error;
    auto store = OpenHistory(plant->Location(), &error);
    state.ResumeTiming();
    if (!store) {
      state.SkipWithError(error.c_str());
      return;
    }
    n = list(*store);
  }
  state.counters[counter] = static_cast<double>(n);
}

// The first windowed list of a program that has just started: a new connection each time, so
// no figure is remembered from an earlier call. 14 days is not one of the windows whose sums
// are kept per probe: it is summed from the hours.
void BM_PgProbeListColdStart(benchmark::State& state) {
  HistoryStore* big = TheServer().uri.empty() ? nullptr : BigHistory();
  OnFreshConnections(state, big, "probes", [&](HistoryStore& store) {
    return store.ListProbes(static_cast<int32_t>(state.range(0))).size();
  });
}
BENCHMARK(BM_PgProbeListColdStart)
    ->Arg(7)
    ->Arg(14)
    ->Arg(30)
    ->Arg(90)
    ->Arg(365)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// The client's peak resident memory since the last ResetPeakMemory, in bytes.
void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
double PeakMemory() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) * 1024;
  }
  return 0;
}

// A made-up plant (probes × interval × years, five downloads) through ImportBatches, beside
// psql's \copy of the same readings into the bare reading table of a fresh history in the same
// run, each `reps` times in turn (the best of each counts: the machine is shared); then bytes
// on disk per reading, every table and index on stderr, and the probe list on a fresh
// connection for kept windows (7, 365 days) and windows summed when asked (14, 1000).
void BM_PgPlant(benchmark::State& state) {
  Server& s = TheServer();
  if (s.uri.empty()) {
    state.SkipWithError("no PostgreSQL server");
    return;
  }
  bench::PlantShape shape;
  shape.probes = static_cast<int>(state.range(0));
  shape.interval = state.range(1);
  shape.years = static_cast<int>(state.range(2));
  const int reps = static_cast<int>(state.range(3));
  const double readings = static_cast<double>(bench::PlantTotal(shape));
  const std::string csv = s.file("plant.csv");
  if (!bench::WritePlantCsv(shape, csv)) {
    state.SkipWithError("cannot write the CSV");
    return;
  }
  for (auto _ : state) {
    double ours = 1e30, peer = 1e30, peak = 0, total = 0;
    for (int rep = 0; rep < reps; ++rep) {
      std::string error;
      const std::string uri = s.Fresh();
      {
        auto store = OpenHistory(uri, &error);
        if (!store) {
          state.SkipWithError(error.c_str());
          return;
        }
        ResetPeakMemory();
        const auto t0 = std::chrono::steady_clock::now();
        for (int f = 0; f < shape.files; ++f) {
          ImportFileFacts facts;
          facts.name = "/plant/download-" + std::to_string(f + 1) + ".nid";
          const ImportResult r = store->ImportBatches(facts, [&](const HistoryStore::BatchSink& k) {
            return bench::ProducePlantFile(shape, f, k);
          });
          if (!r.status.ok) {
            state.SkipWithError(r.status.message.c_str());
            return;
          }
        }
        ours = std::min(ours, Seconds(t0));
        peak = std::max(peak, PeakMemory());
      }
      if (rep == reps - 1) {
        s.Query(uri, "CHECKPOINT");
        const std::string sizes = s.Query(
            uri,
            "SELECT c.relname, c.relkind, pg_relation_size(c.oid), pg_total_relation_size(c.oid)"
            " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
            " WHERE n.nspname = 'tarn' AND c.relkind IN ('r', 'i') ORDER BY 3 DESC");
        std::fprintf(stderr, "%d probes, %lld s apart, %d years (%.0f readings):\n%s", shape.probes,
                     static_cast<long long>(shape.interval), shape.years, readings, sizes.c_str());
        total = std::stod(
            s.Query(uri,
                    "SELECT sum(pg_total_relation_size(c.oid)) FROM pg_class c JOIN pg_namespace n"
                    " ON n.oid = c.relnamespace WHERE n.nspname = 'tarn' AND c.relkind = 'r'"));
        // The list as a program that has just started shows it: the best of three fresh
        // connections.
        for (const int days : {0, 7, 14, 365, 1000}) {
          double best = 1e9;
          for (int k = 0; k < 3; ++k) {
            auto store = OpenHistory(uri, &error);
            if (!store) {
              state.SkipWithError(error.c_str());
              return;
            }
            const auto t0 = std::chrono::steady_clock::now();
            const std::size_t n = store->ListProbes(days).size();
            best = std::min(best, Seconds(t0));
            if (n != static_cast<std::size_t>(shape.probes)) state.SkipWithError("probes missing");
          }
          state.counters["list_" + std::to_string(days) + "d_ms"] = best * 1000;
        }
        // The points list the same way, and one point's whole history for a full-HD graph.
        for (const int days : {0, 14, 1000}) {
          double best = 1e9, graph = 1e9, probe_graph = 1e9, graph_again = 1e9;
          for (int k = 0; k < 3; ++k) {
            auto store = OpenHistory(uri, &error);
            if (!store) {
              state.SkipWithError(error.c_str());
              return;
            }
            const auto t0 = std::chrono::steady_clock::now();
            const std::vector<PointSummary> points = store->ListPoints(days);
            best = std::min(best, Seconds(t0));
            if (points.size() != static_cast<std::size_t>(shape.probes)) {
              state.SkipWithError("points missing");
              return;
            }
            if (days != 0) continue;
            const auto t1 = std::chrono::steady_clock::now();
            const PointSeries series = store->ReadPointSeries(
                points.front().id, points.front().first_time, points.front().last_time, 1920);
            graph = std::min(graph, Seconds(t1));
            if (series.readings.empty()) state.SkipWithError("no point series");
            // The floor: the same readings decimated as one probe's graph reads them.
            const auto t2 = std::chrono::steady_clock::now();
            const std::vector<HistoryReading> plain =
                store->ReadDecimated(points.front().current.id, points.front().first_time,
                                     points.front().last_time, 1920);
            probe_graph = std::min(probe_graph, Seconds(t2));
            if (plain.empty()) state.SkipWithError("no probe readings");
            // The point's graph again, as a second look at it reads it.
            const auto t3 = std::chrono::steady_clock::now();
            const PointSeries again = store->ReadPointSeries(
                points.front().id, points.front().first_time, points.front().last_time, 1920);
            graph_again = std::min(graph_again, Seconds(t3));
          }
          state.counters["points_" + std::to_string(days) + "d_ms"] = best * 1000;
          if (days == 0) {
            state.counters["point_graph_1920_ms"] = graph * 1000;
            state.counters["probe_graph_1920_ms"] = probe_graph * 1000;
            state.counters["point_graph_again_ms"] = graph_again * 1000;
          }
        }
      }
      s.Drop(uri);
      const double copy = s.PsqlCopy(csv, "probe_id, t, v, file_id", true);
      if (copy < 0) {
        state.SkipWithError("psql failed");
        return;
      }
      peer = std::min(peer, copy);
    }
    state.counters["readings"] = readings;
    state.counters["ours_s"] = ours;
    state.counters["psql_copy_s"] = peer;
    state.counters["ratio_to_psql"] = ours / peer;
    state.counters["client_peak_MB"] = peak / 1e6;
    state.counters["disk_B_per_reading"] = total / readings;
  }
  fs::remove(csv);
}
// Probes, seconds apart, years, turns: a tenth of the whole plant of 500 × hourly × 20 years,
// the same at 4 h, a minute apart over one year, and the whole plant (87.6 million readings,
// about 15 GB of scratch space; --benchmark_filter='BM_PgPlant/[^5]' leaves it out).
BENCHMARK(BM_PgPlant)
    ->Args({50, 3600, 20, 2})
    ->Args({50, 14400, 20, 2})
    ->Args({10, 60, 1, 2})
    ->Args({500, 3600, 20, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// Opening a history of the last schema but one whose every probe-hour had a row of sums (the
// plant of 50 probes × hourly × 20 years): the upgrade's own time.
void BM_PgUpgradeFrom2(benchmark::State& state) {
  Server& s = TheServer();
  if (s.uri.empty()) {
    state.SkipWithError("no PostgreSQL server");
    return;
  }
  bench::PlantShape shape;
  for (auto _ : state) {
    state.PauseTiming();
    std::string error;
    const std::string uri = s.Fresh();
    {
      auto store = OpenHistory(uri, &error);
      for (int f = 0; store && f < shape.files; ++f) {
        store->ImportBatches(
            {"/plant/" + std::to_string(f), 0, "", 0},
            [&](const HistoryStore::BatchSink& k) { return bench::ProducePlantFile(shape, f, k); });
      }
    }
    s.Query(uri,
            "DROP TABLE tarn.reading_week, tarn.reading_day; DELETE FROM tarn.reading_hour;"
            " INSERT INTO tarn.reading_hour(probe_id, hour, n, sx, sy, sxy, sxx)"
            " SELECT probe_id, h, count(*), sum(x), sum(v), sum(x * v), sum(x * x)"
            " FROM tarn.reading, LATERAL (SELECT floor(t::float8 / 3600)::bigint AS h) a,"
            " LATERAL (SELECT (t - h * 3600)::float8 AS x) b GROUP BY probe_id, h;"
            " UPDATE tarn.schema_info SET version = 2; CHECKPOINT");
    state.ResumeTiming();
    if (!OpenHistory(uri, &error)) state.SkipWithError(error.c_str());
    state.PauseTiming();
    s.Drop(uri);
    state.ResumeTiming();
  }
  state.counters["readings"] = static_cast<double>(bench::PlantTotal(shape));
}
BENCHMARK(BM_PgUpgradeFrom2)->Iterations(1)->Unit(benchmark::kSecond);

// 80 points × a reading a day × 20 years (584 000 readings), each element replaced every 3
// years: 7 probes a point.
const bench::PointsPlant kPgPlant{.points = 80, .step = 86400};

HistoryStore* Plant() {
  static std::unique_ptr<HistoryStore> store;
  if (!store && !TheServer().uri.empty()) {
    std::string error;
    store = OpenHistory(TheServer().Fresh(), &error);
    if (!store) return nullptr;
    const auto t0 = std::chrono::steady_clock::now();
    bench::ImportPointsPlant(*store, kPgPlant);
    std::fprintf(stderr, "plant of %lld readings imported in %.1f s\n",
                 static_cast<long long>(bench::PlantReadings(kPgPlant)), Seconds(t0));
  }
  return store.get();
}

void BM_PgPointList80x1x20(benchmark::State& state) {
  HistoryStore* store = Plant();
  if (store == nullptr) {
    state.SkipWithError("no PostgreSQL history");
    return;
  }
  std::size_t n = 0;
  for (auto _ : state) n = store->ListPoints(static_cast<int32_t>(state.range(0))).size();
  state.counters["points"] = static_cast<double>(n);
}
BENCHMARK(BM_PgPointList80x1x20)
    ->Arg(0)
    ->Arg(30)
    ->Arg(14)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond);

// The first points list of a new connection (the connecting itself not counted).
void BM_PgPointListColdStart(benchmark::State& state) {
  OnFreshConnections(state, Plant(), "points", [&](HistoryStore& store) {
    return store.ListPoints(static_cast<int32_t>(state.range(0))).size();
  });
}
BENCHMARK(BM_PgPointListColdStart)
    ->Arg(30)
    ->Arg(14)
    ->Arg(1000)
    ->Arg(0)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_PgPointGraph20YearsTo1920(benchmark::State& state) {
  HistoryStore* store = Plant();
  if (store == nullptr) {
    state.SkipWithError("no PostgreSQL history");
    return;
  }
  const PointSummary point = store->ListPoints(0).front();
  std::size_t n = 0;
  for (auto _ : state) {
    n = store->ReadPointSeries(point.id, point.first_time, point.last_time, 1920).readings.size();
  }
  state.counters["points"] = static_cast<double>(n);
}
BENCHMARK(BM_PgPointGraph20YearsTo1920)->Unit(benchmark::kMillisecond);

// Plants of points in units of ten with events over the 20 years (one in ten on a unit):
// 500 points × a reading a day with 2000 events, and 50 points × a reading an hour with 200.
struct EventsPlantShape {
  bench::PointsPlant plant;
  int events;
};
const EventsPlantShape kEventsPlants[] = {
    {{.points = 500, .step = 86400}, 2000},
    {{.points = 50, .step = 3600}, 200},
};

HistoryStore* EventsPlant(int shape) {
  static std::unique_ptr<HistoryStore> stores[2];
  std::unique_ptr<HistoryStore>& store = stores[shape];
  if (!store && !TheServer().uri.empty()) {
    std::string error;
    store = OpenHistory(TheServer().Fresh(), &error);
    if (!store) return nullptr;
    const EventsPlantShape& s = kEventsPlants[shape];
    const auto t0 = std::chrono::steady_clock::now();
    bench::ImportPointsPlant(*store, s.plant);
    const Status st = bench::AddPlantEvents(*store, s.plant, s.events);
    std::fprintf(stderr, "events plant of %lld readings built in %.1f s%s\n",
                 static_cast<long long>(bench::PlantReadings(s.plant)), Seconds(t0),
                 st ? "" : (": " + st.message).c_str());
  }
  return store.get();
}

// The events list with the rates before and after each event, for every point it applies to;
// the argument picks the plant.
void BM_PgEventFigures(benchmark::State& state) {
  HistoryStore* store = EventsPlant(static_cast<int>(state.range(0)));
  if (store == nullptr) {
    state.SkipWithError("no PostgreSQL history");
    return;
  }
  std::size_t n = 0;
  for (auto _ : state) n = store->EventFigures(30, "").size();
  state.counters["rows"] = static_cast<double>(n);
}
BENCHMARK(BM_PgEventFigures)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same on a fresh connection (the connecting itself not counted): nothing cached.
void BM_PgEventFiguresColdStart(benchmark::State& state) {
  OnFreshConnections(state, EventsPlant(static_cast<int>(state.range(0))), "rows",
                     [](HistoryStore& store) { return store.EventFigures(30, "").size(); });
}
BENCHMARK(BM_PgEventFiguresColdStart)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarn
