// What a test has written to a temporary stream, from its start.
#pragma once

#include <cstdio>
#include <string>

inline std::string StreamText(std::FILE* f) {
  std::rewind(f);
  std::string out;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
  return out;
}
