#include "platform/codepage.h"

namespace quorvel::platform {

std::u32string DecodeSystemText(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) out.push_back(DecodeSystemChar(p, end));
  return out;
}

}  // namespace quorvel::platform
