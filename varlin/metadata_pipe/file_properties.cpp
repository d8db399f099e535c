#include "metadata_pipe/file_properties.hpp"

#include <fmt/format.h>

#include <utility>

#include "metadata_pipe/request.hpp"
#include "metadata_pipe/request_path.hpp"
#include "metadata_pipe/response.hpp"
#include "morva/log.hpp"
#include "morva/server/qsys_path.hpp"
#include "shared/object_properties.hpp"
#include "shared/run_to_completion.hpp"

namespace varlin::metadata_pipe {

namespace {

using morva::command::CommandClient;
using morva::ifs::IfsClient;
using morva::server::QsysMemberPath;
using Outcome = std::expected<MetadataResult, MetadataError>;
template <typename Client>
using SharedConnection = filesystem::SharedConnection<Client>;

constexpr std::string_view kLogTarget = "varlin::metadata_pipe";
constexpr std::string_view kGetFileProperties = "getFileProperties";

std::unexpected<MetadataError> invalid(std::string message) {
  return std::unexpected(MetadataError{MetadataError::Invalid{std::move(message)}});
}

// The description calls cut names to 10 characters, which could describe another object.
std::optional<std::unexpected<MetadataError>> refuse_overlong(std::initializer_list<std::string_view> names) {
  const auto overlong = first_overlong_name(names);
  if (!overlong) return std::nullopt;
  return invalid(fmt::format("IBM i name {} is longer than 10 characters", *overlong));
}

// A program call that the IBM i answered with failure says nothing of the connection.
std::unexpected<MetadataError> report_metadata_unavailable(const morva::Error& error, std::string_view path) {
  morva::log::debug(kLogTarget, "IBM i member metadata is unavailable",
                    {{"error", error.text()}, {"path", path}});
  if (!error.program_return_code()) return std::unexpected(MetadataError{MetadataError::ConnectionLost{}});
  std::string message = fmt::format("IBM i refused the description of {}", path);
  if (!error.text().empty()) message += fmt::format(": {}", error.text());
  return std::unexpected(MetadataError{MetadataError::DescriptionRefused{std::move(message)}});
}

struct MemberDescriptions {
  morva::command::MemberDescription member;
  morva::command::FileDescription file;
};

// Both descriptions under one hold of the connection.
asio::awaitable<morva::Result<MemberDescriptions>> describe_member(SharedConnection<CommandClient> command,
                                                                   QsysMemberPath member) {
  auto client = co_await command->lock();
  std::string library = member.library;
  std::string file = member.file;
  auto described = co_await client->retrieve_member_description(std::move(library), std::move(file),
                                                                std::move(member.member));
  if (!described) co_return std::unexpected(described.error());
  auto file_description =
      co_await client->retrieve_file_description(std::move(member.library), std::move(member.file));
  if (!file_description) co_return std::unexpected(file_description.error());
  co_return MemberDescriptions{std::move(*described), *file_description};
}

asio::awaitable<morva::Result<std::uint16_t>> fetch_member_ccsid(SharedConnection<IfsClient> ifs,
                                                                 std::string path) {
  auto client = co_await ifs->lock();
  co_return co_await client->source_member_ccsid(std::move(path));
}

asio::awaitable<morva::Result<morva::command::ObjectDescription>> describe_object(
    SharedConnection<CommandClient> command, QsysObjectPath object) {
  auto client = co_await command->lock();
  co_return co_await client->retrieve_object_description(std::move(object.library), std::move(object.object),
                                                         std::move(object.object_type));
}

asio::awaitable<Outcome> member_properties(std::string path, QsysMemberPath member, PipeState state) {
  if (auto refused = refuse_overlong({member.library, member.file, member.member})) co_return *refused;
  auto described = co_await filesystem::run_to_completion(describe_member(state.command, member));
  if (!described) co_return report_metadata_unavailable(described.error(), path);
  auto ccsid = co_await filesystem::run_to_completion(fetch_member_ccsid(state.ifs, member.path));
  if (!ccsid) co_return report_metadata_unavailable(ccsid.error(), path);
  co_return MetadataResult{.path = std::move(path),
                           .properties = {FileProperties::Member{
                               .path = std::move(member.path),
                               .library = std::move(member.library),
                               .source_file = std::move(member.file),
                               .member = std::move(described->member.member),
                               .source_type = std::move(described->member.source_type),
                               .ccsid = *ccsid,
                               .record_length = described->file.record_length,
                               .description = std::move(described->member.description),
                           }}};
}

asio::awaitable<Outcome> typed_object_properties(std::string path, QsysObjectPath object, PipeState state) {
  if (auto refused = refuse_overlong({object.library, object.object})) co_return *refused;
  auto described = co_await filesystem::run_to_completion(describe_object(state.command, std::move(object)));
  if (!described) co_return report_metadata_unavailable(described.error(), path);
  // The path as the IBM i names the object, whatever case the request used.
  std::string object_path =
      fmt::format("/QSYS.LIB/{}.LIB/{}.{}", described->library, described->object, described->object_type);
  co_return MetadataResult{.path = std::move(path),
                           .properties = {object_properties(std::move(object_path), *described)}};
}

Outcome remember(filesystem::MetadataCache& cache, std::string path, Outcome outcome) {
  if (outcome) cache.insert(std::move(path), *outcome);
  return outcome;
}

}  // namespace

asio::awaitable<Outcome> get_file_properties(std::string request_line, PipeState state) {
  auto request = Request::deserialize(request_line);
  if (!request) co_return invalid(request.error().text());
  if (request->version != kProtocolVersion)
    co_return invalid(fmt::format("unsupported metadata protocol version {}", request->version));
  if (request->method != kGetFileProperties)
    co_return invalid(fmt::format("unsupported metadata method {}", request->method));
  auto path = resolve_request_path(state.remote_root, request->path);
  if (!path) co_return invalid(std::move(path.error()));

  if (auto cached = state.metadata_cache.get(*path)) {
    morva::log::debug(kLogTarget, "served IBM i properties from cache", {{"path", *path}});
    co_return std::move(*cached);
  }

  if (auto member = QsysMemberPath::parse(*path)) {
    auto found = co_await member_properties(*path, std::move(*member), state);
    co_return remember(state.metadata_cache, std::move(*path), std::move(found));
  }
  if (auto object = parse_qsys_object_path(*path)) {
    auto found = co_await typed_object_properties(*path, std::move(*object), state);
    co_return remember(state.metadata_cache, std::move(*path), std::move(found));
  }
  co_return invalid("path is not an IBM i source member or typed object");
}

}  // namespace varlin::metadata_pipe
