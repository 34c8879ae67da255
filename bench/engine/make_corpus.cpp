// Writes a corpus of generated pages for the lock-run benchmark: COUNT pages
// of 1 KB to 2 MB (most of them small) adding up to about TOTAL_MB, some of
// them with CJK text. Usage: make_corpus FOLDER [COUNT] [TOTAL_MB]
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_corpus FOLDER [COUNT] [TOTAL_MB]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int count = argc > 2 ? std::atoi(argv[2]) : 2000;
  const double totalBytes = (argc > 3 ? std::atof(argv[3]) : 200.0) * 1024 * 1024;
  ::mkdir(folder.c_str(), 0755);

  // Sizes 1 KB * 2048^(u^a): the exponent a is chosen so they add up to the
  // total asked for.
  std::mt19937_64 random(2024);
  std::vector<double> u(static_cast<std::size_t>(count));
  for (double& x : u) x = std::uniform_real_distribution<double>(0, 1)(random);
  auto total = [&](double a) {
    double sum = 0;
    for (double x : u) sum += 1024.0 * std::pow(2048.0, std::pow(x, a));
    return sum;
  };
  double low = 0.05, high = 50;
  for (int step = 0; step < 60; ++step) {
    double mid = std::sqrt(low * high);
    (total(mid) > totalBytes ? low : high) = mid;
  }
  const double exponent = low;

  const std::string latin = "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, caf\xC3\xA9 na\xC3\xAFve.</p>\n";
  const std::string cjk = "<p>\xE3\x81\x93\xE3\x81\xAE\xE3\x83\x9A\xE3\x83\xBC\xE3\x82\xB8\xE3\x81\xAF"
                          "\xE4\xBF\x9D\xE8\xAD\xB7\xE3\x81\x95\xE3\x82\x8C\xE3\x81\xA6\xE3\x81\x84\xE3\x81\xBE"
                          "\xE3\x81\x99\xE3\x80\x82\xE4\xBD\xA0\xE5\xA5\xBD\xE4\xB8\x96\xE7\x95\x8C</p>\n";
  double written = 0;
  for (int i = 0; i < count; ++i) {
    std::size_t size = static_cast<std::size_t>(1024.0 * std::pow(2048.0, std::pow(u[static_cast<std::size_t>(i)], exponent)));
    const std::string& line = i % 5 == 0 ? cjk : latin;
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Page " + std::to_string(i) +
                       "</title></head><body>\n";
    while (page.size() + line.size() + 15 < size) page += line;
    page += "</body></html>\n";
    char name[32];
    std::snprintf(name, sizeof name, "/page%04d.html", i);
    std::ofstream(folder + name, std::ios::binary) << page;
    written += static_cast<double>(page.size());
  }
  std::printf("corpus: %d pages, %.1f MB in %s\n", count, written / 1024 / 1024, folder.c_str());
  return 0;
}
