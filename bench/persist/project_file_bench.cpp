// Saving and loading a project of 10,000 files and 10,000 accounts, beside
// writing and reading the same data as a plain tab-separated text file in
// the same run. Prints the ratios at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/project_data.h"
#include "persist/project_file.h"
#include "platform/file_system.h"
#include "recorddb/record_table.h"

namespace {

using quorvel::CProjectData;

constexpr int kFiles = 10000;
constexpr int kUsers = 10000;

// A folder with the project's files in it, removed at exit.
class Workspace {
 public:
  Workspace() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    folder_ = pattern + "/";
    std::filesystem::create_directory(folder_ + "site");
    for (int i = 0; i < kFiles; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "site/page%05d.htm", i);
      std::FILE* file = std::fopen((folder_ + name).c_str(), "wb");
      if (!file) std::abort();
      std::fputs("<p>page</p>", file);
      std::fclose(file);
      project_.files.push_back(quorvel::MakeFileItem(folder_ + name));
    }
    for (int i = 0; i < kUsers; ++i) {
      std::string n = std::to_string(i);
      project_.users.push_back({"user" + n, "pw-" + n + "-Xy7q", "user" + n + "@example.org", "account number " + n});
    }
    project_.options.templateName = project_.options.singleTemplateName = "default.htm";
  }
  ~Workspace() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  const CProjectData& project() const { return project_; }
  std::string File(const char* name) const { return folder_ + name; }

 private:
  std::string folder_;
  CProjectData project_;
};

Workspace& Shared() {
  static Workspace workspace;
  return workspace;
}

// The same data as text: one line per file, per user, the mode and options.
std::string ToText(const CProjectData& project) {
  std::string text;
  for (const auto& file : project.files) text += "F\t" + file.path + "\n";
  for (const auto& user : project.users) {
    text += "U\t" + user.userId + "\t" + user.password + "\t" + user.email + "\t" + user.notes + "\n";
  }
  text += std::string("S\t") + (project.singlePasswordMode ? "1" : "0") + "\t" + project.singlePassword + "\n";
  const auto& o = project.options;
  text += std::string("O\t") + (o.sessionCookies ? "1" : "0") + "\t" + (o.doubleByte ? "1" : "0") + "\t" +
          (o.backupFiles ? "1" : "0") + "\t" + (o.redirect ? "1" : "0") + "\t" + o.redirectUrl + "\t" +
          o.templateName + "\t" + o.singleTemplateName + "\n";
  return text;
}

std::vector<std::string_view> Split(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

// Parses the text back into a project; with `lookUpFiles` each file is
// looked up on disk as a project load does.
CProjectData FromText(std::string_view text, bool lookUpFiles) {
  CProjectData project;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::vector<std::string_view> f = Split(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (f[0] == "F" && f.size() == 2) {
      std::string path(f[1]);
      if (!lookUpFiles) {
        project.files.push_back({quorvel::platform::BaseName(path), "", path});
      } else if (auto found = quorvel::platform::FindFile(path)) {
        project.files.push_back({found->name, quorvel::SizeText(found->size), path});
      }
    } else if (f[0] == "U" && f.size() == 5) {
      project.users.push_back({std::string(f[1]), std::string(f[2]), std::string(f[3]), std::string(f[4])});
    }
  }
  return project;
}

void BM_SaveProject(benchmark::State& state) {
  const std::string path = Shared().File("project.qvp");
  for (auto _ : state) {
    if (!quorvel::SaveProject(Shared().project(), path).ok) state.SkipWithError("save failed");
  }
}

void BM_WriteText(benchmark::State& state) {
  const std::string path = Shared().File("project.txt");
  for (auto _ : state) {
    // Replaced in one step and flushed, as the project file is.
    if (!quorvel::platform::WriteFileAtomically(path, ToText(Shared().project()))) {
      state.SkipWithError("write failed");
    }
  }
}

void BM_LoadProject(benchmark::State& state) {
  const std::string path = Shared().File("project.qvp");
  quorvel::SaveProject(Shared().project(), path);
  for (auto _ : state) {
    CProjectData project;
    if (!quorvel::LoadProject(project, path).ok || project.files.size() != kFiles) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(project.users.data());
  }
}

// The table walk alone: every record read and its texts taken, no files
// looked up. Shows what the storage costs beside the plain text read.
void BM_WalkProjectTable(benchmark::State& state) {
  const std::string path = Shared().File("project.qvp");
  quorvel::SaveProject(Shared().project(), path);
  for (auto _ : state) {
    quorvel::recorddb::CRecordTable table;
    if (!table.Open(path, quorvel::recorddb::AccessMode::kReadOnly)) state.SkipWithError("open failed");
    std::size_t records = 0;
    for (bool found = table.First(0); found; found = table.Next(0)) {
      for (int field : {1, 2, 3, 4, 5, 6}) benchmark::DoNotOptimize(std::string(table.GetFieldText(field)));
      ++records;
    }
    if (records != kFiles + kUsers + 2) state.SkipWithError("walk failed");
  }
}

void ReadText(benchmark::State& state, bool lookUpFiles) {
  const std::string path = Shared().File("project.txt");
  quorvel::platform::WriteFileAtomically(path, ToText(Shared().project()));
  for (auto _ : state) {
    auto text = quorvel::platform::ReadWholeFile(path);
    CProjectData project = FromText(*text, lookUpFiles);
    if (project.files.size() != kFiles) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(project.users.data());
  }
}

void BM_ReadText(benchmark::State& state) { ReadText(state, false); }
void BM_ReadTextAndLookUpFiles(benchmark::State& state) { ReadText(state, true); }

BENCHMARK(BM_SaveProject)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadProject)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkProjectTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadTextAndLookUpFiles)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration (the median when the run is
// repeated) to print the ratios afterwards.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations <= 0) continue;
      const std::string name = run.run_name.str();
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name == "median") medians_[name] = run.GetAdjustedRealTime();
      } else {
        milliseconds_[name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    auto ms = [&](const char* name) {
      if (auto it = medians_.find(name); it != medians_.end()) return it->second;
      auto it = milliseconds_.find(name);
      return it == milliseconds_.end() ? 0.0 : it->second;
    };
    auto line = [&](const char* what, const char* ours, const char* reference, const char* target) {
      double a = ms(ours), b = ms(reference);
      if (a <= 0 || b <= 0) return;
      std::printf("%-6s %8.1f ms  vs %-27s %8.1f ms  ratio %.2fx  %s\n", what, a, reference + 3, b, a / b, target);
    };
    std::printf("\nProject of %d files and %d accounts, against plain text in this run:\n", kFiles, kUsers);
    line("Save", "BM_SaveProject", "BM_WriteText", "");
    line("Load", "BM_LoadProject", "BM_ReadText", "(target <= 3.00x)");
    line("Load", "BM_LoadProject", "BM_ReadTextAndLookUpFiles", "(both look the files up)");
    line("Walk", "BM_WalkProjectTable", "BM_ReadText", "(table walk alone, no look-ups)");
  }

 private:
  std::map<std::string, double> milliseconds_;
  std::map<std::string, double> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
