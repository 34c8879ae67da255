#include "tests/cli/cli_runner.h"

#include <sys/wait.h>

#include <cstdlib>

#include "tests/support/temp_dir.h"

namespace quorvel::testing {
namespace {

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

}  // namespace

CliResult RunCli(const std::vector<std::string>& args, const std::string& input) {
  TempDir io;
  WriteFile(io.File("in"), input);
  std::string command = ShellQuote(QUORVEL_CLI_PATH);
  for (const std::string& arg : args) command += " " + ShellQuote(arg);
  // setsid keeps the program away from any terminal, as in a pipeline.
  command = "setsid " + command + " <" + ShellQuote(io.File("in")) + " >" + ShellQuote(io.File("out")) + " 2>" +
            ShellQuote(io.File("err"));
  int status = std::system(command.c_str());
  CliResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFile(io.File("out"));
  result.err = ReadFile(io.File("err"));
  return result;
}

}  // namespace quorvel::testing
