// libFuzzer target: opens arbitrary bytes as a table file, walks every key
// forwards from First and from Last, reads every field of every record
// reached, appends two records and walks key 0 again. Any crash, sanitizer
// report, endless loop or walk that never ends is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "recorddb/record_table.h"
#include "tests/recorddb/memory_file.h"

namespace {

using quorvel::recorddb::CRecordTable;

// Far above the longest finite walk of a fuzzer-sized file that does not
// share one chain between many entries; reaching it means the walk cycles.
constexpr long kWalkLimit = 4000000;

void Walk(CRecordTable& table, int key, bool fromLast) {
  long steps = 0;
  for (bool ok = fromLast ? table.Last(key) : table.First(key); ok; ok = table.Next(key)) {
    if (++steps > kWalkLimit) __builtin_trap();
    for (int f = 0; f < table.Header().fieldCount; ++f) {
      std::string text = table.GetFieldText(f);
      std::uint8_t raw[1024];
      table.GetField(f, raw, sizeof raw);
      if (text.size() > 1024) __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorvel::testing::MemoryFileOpener files;
  files["t"]->bytes.assign(reinterpret_cast<const char*>(data), size);
  CRecordTable table(files);
  try {
    if (!table.Open("t")) return 0;
    const int keys = table.Header().keyCount;
    for (int k = 0; k < keys; ++k) {
      Walk(table, k, false);
      Walk(table, k, true);
    }
    for (int round = 0; round < 2; ++round) {
      for (int f = 0; f < table.Header().fieldCount; ++f) table.SetFieldText(f, round ? "zz" : "1");
      table.Append();
    }
    Walk(table, 0, false);
    table.Close();
  } catch (const quorvel::platform::FileError&) {
    // The in-memory file never fails; nothing to do.
  }
  return 0;
}
