// Writes valid table files of many shapes into a folder, as the starting
// corpus of the record table fuzzer: every key type, both text compare
// modes, duplicate chains, split trees, full-image records and a removed
// entry. Usage: make_fuzz_seeds FOLDER
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "recorddb/record_table.h"
#include "tests/recorddb/memory_file.h"

using namespace quorvel::recorddb;

namespace {

struct Seed {
  const char* name;
  std::function<void(CRecordTable&)> build;  // declares, creates as "t", appends
};

void Save(quorvel::testing::MemoryFileOpener& files, const std::string& folder, const char* name) {
  std::ofstream out(folder + "/" + name, std::ios::binary);
  out << files["t"]->bytes;
}

void Numbered(CRecordTable& t, int count, int textField, const char* text) {
  for (int i = 0; i < count; ++i) {
    if (textField >= 0) t.SetFieldText(textField, text + std::to_string(i % 7));
    t.Append();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  const Seed seeds[] = {
      {"project_small",
       [](CRecordTable& t) {
         t.AddField("id", ftAutoInc, -1);
         t.AddField("flag", ftLong, -1);
         t.AddField("filepath", ftText, 512);
         t.AddField("userid", ftText, 128);
         t.Create("t");
         for (int i = 0; i < 4; ++i) {
           t.SetFieldTextByName(std::to_string(i % 2 + 1), "flag");
           t.SetFieldTextByName("/site/page" + std::to_string(i) + ".html", "filepath");
           t.Append();
         }
       }},
      {"autoinc_split",
       [](CRecordTable& t) {
         t.AddField("id", ftAutoInc, -1);
         t.Create("t");
         Numbered(t, 230, -1, "");
       }},
      {"text_duplicates",
       [](CRecordTable& t) {
         t.AddField("name", ftText, 16);
         t.CreateKey("name", kkDuplicates, 0, cmNoCase, 0, 6);
         t.AddField("id", ftAutoInc, -1);
         t.Create("t");
         Numbered(t, 40, 0, "Name");
       }},
      {"every_type",
       [](CRecordTable& t) {
         t.AddField("b", ftByte, 0);
         t.AddField("s", ftShort, 0);
         t.AddField("l", ftLong, 0);
         t.AddField("f", ftFloat, 0);
         t.AddField("d", ftDouble, 0);
         t.AddField("x", ftBlank8, 0);
         t.AddField("t", ftText, 9);
         t.CreateKey("b", kkDuplicates, 0, 0, 0, 0);
         t.CreateKey("s", kkDuplicates, 1, 0, 0, 0);
         t.CreateKey("l", kkUnique, 2, 0, 0, 0);
         t.CreateKey("f", kkDuplicates, 3, 0, 0, 0);
         t.CreateKey("d", kkDuplicates, 4, 0, 0, 0);
         t.CreateKey("t", kkDuplicates, 6, cmExact, 2, 5);
         t.Create("t");
         for (int i = 0; i < 30; ++i) {
           const std::string v = std::to_string((i * 37) % 23 - 11);
           for (int f : {0, 1, 3, 4}) t.SetFieldText(f, v);
           t.SetFieldText(2, std::to_string(i));
           t.SetFieldText(6, "ab" + v);
           t.Append();
         }
       }},
      {"full_images",
       [](CRecordTable& t) {
         t.AddField("id", ftAutoInc, -1);
         t.AddField("t", ftText, 5);
         t.Create("t");
         Numbered(t, 5, 1, "img");
       }},
  };
  for (const Seed& seed : seeds) {
    quorvel::testing::MemoryFileOpener files;
    {
      CRecordTable table(files);
      seed.build(table);
      table.Close();
    }
    if (std::string(seed.name) == "full_images") {
      // The same schema with records stored as whole images.
      std::string& bytes = files["t"]->bytes;
      bytes.resize(15472);
      bytes[15380] = bytes[15381] = '\xff';
      for (int i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(36 + i)] = 0;  // no records
      for (int k = 0; k < 10; ++k) {
        for (int at : {15252, 15292, 15332}) {
          for (int i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(at + 4 * k + i)] = '\xff';
        }
      }
      CRecordTable table(files);
      table.Open("t");
      Numbered(table, 5, 1, "img");
      table.Close();
    }
    Save(files, folder, seed.name);
    if (std::string(seed.name) == "autoinc_split") {
      // Entry 3 of the first leaf marked removed, as other tools may leave it.
      std::string& bytes = files["t"]->bytes;
      const unsigned char* firstLeaf = reinterpret_cast<const unsigned char*>(bytes.data() + 15292);
      const std::size_t leaf = firstLeaf[0] | (firstLeaf[1] << 8) | (firstLeaf[2] << 16);
      for (int i = 0; i < 4; ++i) bytes[leaf + 808 + 12 + static_cast<std::size_t>(i)] = '\xff';
      Save(files, folder, "removed_entry");
    }
  }
  return 0;
}
