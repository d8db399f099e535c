#include "host_session.hpp"

namespace fake_ibmi::testing {

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
  settings.users = {{std::string(kUser), std::string(kPassword)}};
  settings.password_level = password_level;
  return settings;
}

Bytes data_bin() {
  Bytes data(100'000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return data;
}

morva::Result<morva::signon::SignonCredentials> HostSession::sign_on(std::string_view user,
                                                                     std::string_view password) {
  return run(morva::command::sign_on(host_.address(), host_.ports().signon, user, morva::Secret(password)));
}

morva::Result<morva::ifs::IfsClient> HostSession::connect_ifs(
    const morva::signon::SignonCredentials& credentials) {
  return run(morva::ifs::IfsClient::connect(host_.address(), host_.ports().file, credentials.user,
                                            credentials.password, credentials.password_level));
}

morva::Result<morva::command::CommandClient> HostSession::connect_command(
    const morva::signon::SignonCredentials& credentials) {
  return run(morva::command::CommandClient::connect(host_.address(), host_.ports().command, credentials));
}

morva::Result<void> HostSession::connect(std::string_view user, std::string_view password) {
  const auto credentials = sign_on(user, password);
  if (!credentials) return std::unexpected(credentials.error());
  auto ifs = connect_ifs(*credentials);
  if (!ifs) return std::unexpected(ifs.error());
  ifs_.emplace(std::move(*ifs));
  auto command = connect_command(*credentials);
  if (!command) return std::unexpected(command.error());
  command_.emplace(std::move(*command));
  return {};
}

void run_steps(HostSession& session, std::span<const ClientStep> steps) {
  for (const ClientStep& step : steps) {
    SCOPED_TRACE(step.what);
    expect_outcome(session.run(step.run(session.ifs())), step.error);
  }
}

}  // namespace fake_ibmi::testing
