// Appending 100,000 records of the project file's 28-field schema and walking
// them back in key order, beside the same work done with SQLite in the same
// run (one table with an integer primary key and the same columns, one
// transaction). Each is repeated five times; the summary at the end gives the
// medians in records per second, their ratios, and how the process's peak
// memory changes with the number of records appended.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "recorddb/record_table.h"

namespace {

using quorvel::recorddb::CRecordTable;
using namespace quorvel::recorddb;

constexpr int kRecords = 100000;

struct Column {
  const char* name;
  int type;
  int width;
};

// The project file's schema.
const Column kSchema[] = {
    {"id", ftAutoInc, 4},         {"flag", ftLong, 4},         {"filepath", ftText, 512},
    {"userid", ftText, 128},      {"password", ftText, 128},   {"email", ftText, 64},
    {"notes", ftText, 512},       {"Single", ftLong, 4},       {"Single_password", ftText, 128},
    {"protectiontype", ftLong, 4}, {"doublebyte", ftLong, 4},  {"backupfile", ftLong, 4},
    {"redirect", ftLong, 4},      {"URL", ftText, 128},        {"template", ftText, 64},
    {"template_single", ftText, 64}, {"reserved1", ftLong, 4}, {"reserved2", ftLong, 4},
    {"reserved3", ftText, 32},    {"reserved4", ftText, 32},   {"reserved5", ftText, 32},
    {"reserved6", ftText, 32},    {"reserved7", ftText, 32},   {"reserved8", ftText, 32},
    {"reserved9", ftText, 32},    {"reserved10", ftText, 32},  {"reserved11", ftText, 128},
    {"reserved12", ftText, 128},
};
constexpr int kColumns = sizeof kSchema / sizeof kSchema[0];

// The values of record i: a file record or a user record, as a project
// holds them.
struct RecordValues {
  std::string flag, filepath, userid, password, email, notes;
};

RecordValues ValuesOf(int i) {
  RecordValues v;
  if (i % 2 == 0) {
    v.flag = "1";
    v.filepath = "/home/site/public_html/section" + std::to_string(i % 97) + "/page" + std::to_string(i) + ".html";
  } else {
    v.flag = "2";
    v.userid = "user" + std::to_string(i);
    v.password = "pw" + std::to_string(i * 7919);
    v.email = "user" + std::to_string(i) + "@example.org";
    v.notes = "member since " + std::to_string(2000 + i % 25);
  }
  return v;
}

std::string TempPath(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/quorvel_bench_" + std::to_string(::getpid()) + "_" + name;
}

void DeclareSchema(CRecordTable& table) {
  for (const Column& c : kSchema) table.AddField(c.name, c.type, c.type == ftText ? c.width : -1);
}

void AppendRecords(const std::string& path, int count) {
  CRecordTable table;
  DeclareSchema(table);
  if (!table.Create(path)) std::abort();
  for (int i = 0; i < count; ++i) {
    const RecordValues v = ValuesOf(i);
    table.SetFieldText(1, v.flag);
    if (!v.filepath.empty()) table.SetFieldText(2, v.filepath);
    if (!v.userid.empty()) {
      table.SetFieldText(3, v.userid);
      table.SetFieldText(4, v.password);
      table.SetFieldText(5, v.email);
      table.SetFieldText(6, v.notes);
    }
    if (!table.Append()) std::abort();
  }
  table.Close();
}

std::map<std::string, double> g_rates;  // records per second by benchmark

void Report(benchmark::State& state, const char* name) {
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(kRecords), benchmark::Counter::kIsIterationInvariantRate);
  (void)name;
}

void BM_RecordTableAppend(benchmark::State& state) {
  const std::string path = TempPath("append.qvp");
  for (auto _ : state) AppendRecords(path, kRecords);
  Report(state, "append");
  ::unlink(path.c_str());
}

void BM_RecordTableWalk(benchmark::State& state) {
  const std::string path = TempPath("walk.qvp");
  AppendRecords(path, kRecords);
  std::size_t checksum = 0;
  for (auto _ : state) {
    CRecordTable table;
    if (!table.Open(path, AccessMode::kReadOnly)) std::abort();
    int seen = 0;
    for (bool ok = table.First(0); ok; ok = table.Next(0)) {
      std::int32_t flag = 0;
      table.GetField(1, &flag, sizeof flag);
      checksum += static_cast<std::size_t>(flag) + table.GetFieldText(2).size();
      ++seen;
    }
    if (seen != kRecords) std::abort();
    table.Close();
  }
  benchmark::DoNotOptimize(checksum);
  Report(state, "walk");
  ::unlink(path.c_str());
}

void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", error);
    std::abort();
  }
}

void SqliteInsert(const std::string& path, int count) {
  ::unlink(path.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::abort();
  std::string create = "CREATE TABLE project (id INTEGER PRIMARY KEY";
  std::string insert = "INSERT INTO project (";
  std::string params;
  for (int c = 1; c < kColumns; ++c) {
    create += std::string(", ") + kSchema[c].name + (kSchema[c].type == ftText ? " TEXT" : " INTEGER");
    insert += std::string(c > 1 ? ", " : "") + kSchema[c].name;
    params += c > 1 ? ", ?" : "?";
  }
  create += ")";
  insert += ") VALUES (" + params + ")";
  Exec(db, create.c_str());
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, insert.c_str(), -1, &statement, nullptr) != SQLITE_OK) std::abort();
  Exec(db, "BEGIN");
  for (int i = 0; i < count; ++i) {
    const RecordValues v = ValuesOf(i);
    // Every column as the engine stores it: numbers 0, texts empty when unset.
    for (int c = 1; c < kColumns; ++c) {
      if (kSchema[c].type == ftText) {
        sqlite3_bind_text(statement, c, "", 0, SQLITE_STATIC);
      } else {
        sqlite3_bind_int(statement, c, 0);
      }
    }
    sqlite3_bind_int(statement, 1, std::atoi(v.flag.c_str()));
    sqlite3_bind_text(statement, 2, v.filepath.c_str(), static_cast<int>(v.filepath.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 3, v.userid.c_str(), static_cast<int>(v.userid.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 4, v.password.c_str(), static_cast<int>(v.password.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 5, v.email.c_str(), static_cast<int>(v.email.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 6, v.notes.c_str(), static_cast<int>(v.notes.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(statement) != SQLITE_DONE) std::abort();
    sqlite3_reset(statement);
  }
  Exec(db, "COMMIT");
  sqlite3_finalize(statement);
  sqlite3_close(db);
}

void BM_SqliteInsert(benchmark::State& state) {
  const std::string path = TempPath("insert.sqlite");
  for (auto _ : state) SqliteInsert(path, kRecords);
  Report(state, "sqlite insert");
  ::unlink(path.c_str());
}

void BM_SqliteOrderedSelect(benchmark::State& state) {
  const std::string path = TempPath("select.sqlite");
  SqliteInsert(path, kRecords);
  std::size_t checksum = 0;
  for (auto _ : state) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) std::abort();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT * FROM project ORDER BY id", -1, &statement, nullptr) != SQLITE_OK) std::abort();
    int seen = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
      checksum += static_cast<std::size_t>(sqlite3_column_int(statement, 1)) +
                  static_cast<std::size_t>(sqlite3_column_bytes(statement, 2));
      ++seen;
    }
    if (seen != kRecords) std::abort();
    sqlite3_finalize(statement);
    sqlite3_close(db);
  }
  benchmark::DoNotOptimize(checksum);
  Report(state, "sqlite select");
  ::unlink(path.c_str());
}

BENCHMARK(BM_RecordTableAppend)->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SqliteInsert)->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RecordTableWalk)->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SqliteOrderedSelect)->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

// Collects records/s of each run for the ratio summary.
class RateCollector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto found = run.counters.find("records/s");
      if (found != run.counters.end()) g_rates[run.benchmark_name()] = found->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  // Memory before anything else raises the peak: appending six times as many
  // records must not raise it.
  const std::string path = TempPath("memory.qvp");
  AppendRecords(path, 50000);
  const long after50k = PeakRssKb();
  AppendRecords(path, 300000);
  const long after300k = PeakRssKb();
  ::unlink(path.c_str());

  benchmark::Initialize(&argc, argv);
  RateCollector reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  // The median of the repetitions: the machine may be busy with other work.
  auto rate = [](const char* name) {
    for (const auto& [key, value] : g_rates) {
      if (key.rfind(name, 0) == 0 && key.size() >= 7 && key.compare(key.size() - 7, 7, "_median") == 0) return value;
    }
    return 0.0;
  };
  const double append = rate("BM_RecordTableAppend"), insert = rate("BM_SqliteInsert");
  const double walk = rate("BM_RecordTableWalk"), select = rate("BM_SqliteOrderedSelect");
  std::printf("\nrecord table append: %.0f records/s, SQLite insert: %.0f rows/s, ratio %.2f (target >= 1)\n", append,
              insert, insert > 0 ? append / insert : 0.0);
  std::printf("record table walk:   %.0f records/s, SQLite ordered select: %.0f rows/s, ratio %.2f (target >= 2)\n", walk,
              select, select > 0 ? walk / select : 0.0);
  std::printf("peak memory after appending 50,000 records: %ld KB, after 300,000 more: %ld KB\n", after50k, after300k);
  return 0;
}
