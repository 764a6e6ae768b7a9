#pragma once
// pelindra-cli: each subcommand lives in its own source file and registers
// itself with a static Registration object.

#include <functional>
#include <string>
#include <vector>

namespace pelindra::cli {

// Exit codes: 0 success, 1 unreadable input (or a failed operation), 2 wrong usage.
constexpr int kOk = 0, kBadInput = 1, kUsage = 2;

// Wrong usage; main prints the message and the command's usage line.
struct UsageError {
  std::string message;
};

struct Command {
  std::string name;
  std::string usage;    // arguments after the name, e.g. "<in> <out.bmp> [--bits N]"
  std::string summary;  // one line
  std::function<int(const std::vector<std::string>& args)> run;
};

struct Registration {
  explicit Registration(Command command);
};

const std::vector<Command>& Commands();

// Writes a file through a temporary name and a rename, so no partial output is
// ever left behind. Throws std::runtime_error on failure.
void WriteFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes);
std::vector<unsigned char> ReadFile(const std::string& path);

}  // namespace pelindra::cli
