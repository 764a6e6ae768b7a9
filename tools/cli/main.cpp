// pelindra-cli: the engine's command line, for batch work and outside checks.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

#include "tools/cli/command.h"

namespace pelindra::cli {

namespace {
std::vector<Command>& registry() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace

Registration::Registration(Command command) { registry().push_back(std::move(command)); }

const std::vector<Command>& Commands() { return registry(); }

std::vector<unsigned char> ReadFile(const std::string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes) {
  const auto target = std::filesystem::path(path);
  auto temp = target;
  temp += ".partial";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      throw std::runtime_error("cannot write " + path);
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace pelindra::cli

namespace {

void printUsage(std::FILE* to) {
  std::fputs("usage: pelindra-cli <command> [arguments]\n\ncommands:\n", to);
  std::map<std::string, const pelindra::cli::Command*> sorted;
  for (const auto& c : pelindra::cli::Commands()) sorted[c.name] = &c;
  for (const auto& [name, c] : sorted) std::fprintf(to, "  %s %s\n      %s\n", name.c_str(), c->usage.c_str(), c->summary.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace pelindra::cli;
  if (argc < 2) {
    printUsage(stderr);
    return kUsage;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    printUsage(stdout);
    return kOk;
  }
  for (const auto& c : Commands()) {
    if (c.name != name) continue;
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
      std::printf("usage: pelindra-cli %s %s\n  %s\n", c.name.c_str(), c.usage.c_str(), c.summary.c_str());
      return kOk;
    }
    try {
      return c.run(args);
    } catch (const UsageError& e) {
      std::fprintf(stderr, "pelindra-cli %s: %s\nusage: pelindra-cli %s %s\n", name.c_str(), e.message.c_str(),
                   c.name.c_str(), c.usage.c_str());
      return kUsage;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "pelindra-cli %s: %s\n", name.c_str(), e.what());
      return kBadInput;
    }
  }
  std::fprintf(stderr, "pelindra-cli: unknown command '%s' (see pelindra-cli --help)\n", name.c_str());
  return kUsage;
}
