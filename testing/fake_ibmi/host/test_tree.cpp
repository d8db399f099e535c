#include "fake_ibmi/host/test_tree.hpp"

namespace fake_ibmi {

IfsTree test_tree() {
  IfsTree tree;
  const Bytes data = data_bin();
  tree.add_file("/home/tester/notes.txt", "first line\nsecond line\n")
      .add_file("/home/tester/data.bin",
                std::string_view(reinterpret_cast<const char*>(data.data()), data.size()))
      .add_directory("/home/tester/empty")
      .add_file("/home/shared/locked.txt", "secret")
      .deny_access("/home/shared/locked.txt")
      .add_library("DEVLIB", "Development library")
      .add_source_file("DEVLIB", "QCLSRC", {.record_length = 92, .ccsid = 277, .description = "CL sources"})
      .add_member("DEVLIB", "QCLSRC", "HELLO",
                  {.lines = {"             PGM", "             SNDPGMMSG  MSG('Hej, Æble og øl')",
                             "             ENDPGM"},
                   .source_type = "CLP",
                   .description = "Sig hej på dansk"})
      .add_member("DEVLIB", "QCLSRC", "EMPTY", {.source_type = "CLP"})
      .add_source_file("DEVLIB", "QTXTSRC", {.record_length = 132, .ccsid = 1208})
      .add_member("DEVLIB", "QTXTSRC", "NOTE", {.lines = {"Grüße €"}, .source_type = "TXT"})
      .add_source_file("DEVLIB", "QNEWSRC")
      .add_data_file("DEVLIB", "CUSTOMERS", 120)
      .add_object("DEVLIB", "HELLO", "PGM",
                  {.attribute = "CLP",
                   .owner = "TESTER",
                   .description = "Say hello",
                   .source_file = "QCLSRC",
                   .source_library = "DEVLIB",
                   .source_member = "HELLO"})
      .add_object("DEVLIB", "SETTINGS", "DTAARA", {.description = "Settings"});
  return tree;
}

HostSettings test_settings(std::uint8_t password_level) {
  HostSettings settings;
  settings.users = {{std::string(kTestUser), std::string(kTestPassword)}};
  settings.password_level = password_level;
  return settings;
}

Bytes data_bin() {
  Bytes data(100'000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return data;
}

}  // namespace fake_ibmi
