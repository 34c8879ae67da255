// The reference for the browser benchmark: how long the engine's own C++
// takes to do what a page's script does with its payload (six-bit decoding,
// then the stream cipher), per megabyte. Prints one number: milliseconds per
// MB, the median of several runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/encodings.h"

int main(int argc, char** argv) {
  const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
  const std::string key = quorvel::RandomText(64);
  const auto* keyBytes = reinterpret_cast<const unsigned char*>(key.data());

  std::string content(megabytes << 20, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>("<p>Lorem ipsum</p>\n"[i % 19]);
  quorvel::StreamCrypt(keyBytes, key.size(), reinterpret_cast<unsigned char*>(content.data()), content.size());
  const std::string payload = quorvel::EncodeSixBit(content);

  std::vector<double> times;
  unsigned checksum = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    std::string bytes = quorvel::DecodeSixBit(payload);
    quorvel::StreamCrypt(keyBytes, key.size(), reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
    const auto stop = std::chrono::steady_clock::now();
    checksum += static_cast<unsigned char>(bytes[bytes.size() / 2]);
    times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
  }
  std::sort(times.begin(), times.end());
  // The checksum keeps the work from being optimised away.
  std::fprintf(stderr, "checksum %u\n", checksum);
  std::printf("%.3f\n", times[times.size() / 2] / static_cast<double>(megabytes));
  return 0;
}
