// Runs the quorvel-cli executable with arguments and standard input and
// captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace quorvel::testing {

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

CliResult RunCli(const std::vector<std::string>& args, const std::string& input = "");

}  // namespace quorvel::testing
