#include "platform/secure_random.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace quorvel::platform {
namespace {

constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr unsigned kAlphabetSize = 62;
// 248 = 4 * 62: bytes at or above it are thrown away, so every character is
// equally likely.
constexpr unsigned kRejectFrom = 248;

bool FillFromUrandom(unsigned char* out, std::size_t size) {
  int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  while (size > 0) {
    ssize_t n = ::read(fd, out, size);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      ::close(fd);
      return false;
    }
    out += n;
    size -= static_cast<std::size_t>(n);
  }
  ::close(fd);
  return true;
}

}  // namespace

void FillRandomBytes(void* buffer, std::size_t size) {
  auto* out = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    ssize_t n = ::getrandom(out, size, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (FillFromUrandom(out, size)) return;
      std::fputs("quorvel: no source of secure random numbers\n", stderr);
      std::abort();
    }
    out += n;
    size -= static_cast<std::size_t>(n);
  }
}

std::string RandomAlphanumeric(int length) {
  std::string text;
  if (length <= 0) return text;
  text.reserve(static_cast<std::size_t>(length));
  unsigned char pool[128];
  while (text.size() < static_cast<std::size_t>(length)) {
    FillRandomBytes(pool, sizeof pool);
    for (unsigned char byte : pool) {
      if (byte >= kRejectFrom) continue;
      text.push_back(kAlphabet[byte % kAlphabetSize]);
      if (text.size() == static_cast<std::size_t>(length)) break;
    }
  }
  return text;
}

}  // namespace quorvel::platform
