#pragma once
// The commands of the `reg` tool over the registry calls: each takes its parsed arguments,
// writes what a person reads to `out` and errors to `err`, and gives the exit status.

#include <iosfwd>
#include <optional>
#include <string>

namespace reg {

struct Arguments {
  std::string command;               // query, add, delete, export
  std::string key;                   // "HKLM\\Software\\..." (long root names too)
  std::optional<std::string> value;  // /v NAME, or "" for /ve
  std::string type = "REG_SZ";       // /t
  std::string data;                  // /d
  bool recursive = false;            // /s
  std::string file;                  // export's output file; "-" is standard output
};

int Query(const Arguments& args, std::ostream& out, std::ostream& err);
int Add(const Arguments& args, std::ostream& err);
int Delete(const Arguments& args, std::ostream& err);
int Export(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace reg
