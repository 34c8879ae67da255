// Random bytes and texts from the operating system's cryptographic source.
// Content keys and generated passwords come from here.
#pragma once

#include <cstddef>
#include <string>

namespace quorvel::platform {

// Fills `size` bytes with cryptographically random bytes (getrandom, with
// /dev/urandom as the fall-back). Aborts the process if neither works,
// because carrying on would produce guessable keys.
void FillRandomBytes(void* buffer, std::size_t size);

// `length` characters drawn uniformly from
// "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
// empty for a length of 0 or less.
std::string RandomAlphanumeric(int length);

}  // namespace quorvel::platform
