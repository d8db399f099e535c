#pragma once

// The native fake_ibmi_server of the Linux build, started from a Windows test under Wine. Wine hands a
// native child files but no pipes: its output goes to a file, and it stops once its stop file exists
// (or when the test program ends).

#include <string>

namespace end_to_end {

// Whether the native server has been built; its path for a message when it has not.
bool native_fake_ibmi_built();
std::string native_fake_ibmi_path();

// A fake IBM i (the built-in demo tree: user DEMO, password demo) serving the sign-on, file and
// remote-command servers on `address` at the IBM i ports, from construction until destruction.
class NativeFakeIbmi {
 public:
  // A silent one reads requests and answers none from the first on.
  enum class Start { answering, silent };

  explicit NativeFakeIbmi(std::string address, Start start = Start::answering);
  NativeFakeIbmi(const NativeFakeIbmi&) = delete;
  NativeFakeIbmi& operator=(const NativeFakeIbmi&) = delete;
  ~NativeFakeIbmi();

  bool ready() const { return failure_.empty(); }
  // Why it does not serve: what it wrote, or that it never said it was ready.
  const std::string& failure() const { return failure_; }

  // Stops answering, like an IBM i that hangs; false when the server does not say that it did.
  bool fall_silent();

 private:
  std::string address_;
  std::string stop_file_;
  std::string silence_file_;
  std::string output_file_;
  std::string failure_;
};

}  // namespace end_to_end
