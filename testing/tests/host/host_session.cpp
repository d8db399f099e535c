#include "host_session.hpp"

namespace fake_ibmi::testing {

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

std::vector<std::string> names(const std::vector<morva::ifs::IfsEntry>& entries) {
  std::vector<std::string> result;
  for (const morva::ifs::IfsEntry& entry : entries) result.push_back(entry.name);
  return result;
}

void run_steps(HostSession& session, std::span<const ClientStep> steps) {
  for (const ClientStep& step : steps) {
    SCOPED_TRACE(step.what);
    expect_outcome(session.run(step.run(session.ifs())), step.error);
  }
}

}  // namespace fake_ibmi::testing
