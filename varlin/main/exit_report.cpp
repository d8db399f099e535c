#include "main/exit_report.hpp"

namespace varlin {

std::string error_report(const morva::Error& error) {
  return "Error: " + error.diagnostic() + "\n";
}

}  // namespace varlin
