#include "fake_ibmi/host/program_call.hpp"

#include <algorithm>

#include "fake_ibmi/host/api_receivers.hpp"
#include "fake_ibmi/host/ccsid_text.hpp"

namespace fake_ibmi {
namespace {

constexpr std::uint16_t kParameterCp = 0x1103;
constexpr std::size_t kParameterHeadLength = 6;  // max length, usage
constexpr std::size_t kNameWidth = 10;
constexpr std::uint16_t kNameCcsid = 37;
// The return code of a call whose program ended in an escape message.
constexpr std::uint16_t kCallFailed = 0x0500;
constexpr std::string_view kUnknownFormat = "CPF3C21";
// Error code: bytes provided and available at 0 and 4, the message ID at 8.
constexpr std::size_t kErrorCodeLength = 16;

struct Api {
  std::string_view program;
  RequestKind kind;
  std::size_t parameter_count;  // the error-code parameter last
};

constexpr Api kApis[] = {
    {"QUSRMBRD", RequestKind::member_description, 7},
    {"QDBRTVFD", RequestKind::file_description, 10},
    {"QUSROBJD", RequestKind::object_description, 6},
    {"QWCRSSTS", RequestKind::system_storage, 5},
};

const Api* api_of(const ProgramCall& call) {
  if (call.library != "QSYS" && call.library != "*LIBL") return nullptr;
  const auto found = std::ranges::find(kApis, call.program, &Api::program);
  return found == std::end(kApis) ? nullptr : &*found;
}

std::string name_at(const ProgramParameter& parameter, std::size_t offset = 0,
                    std::size_t width = kNameWidth) {
  if (parameter.data.size() < offset + width) return {};
  const std::span<const std::uint8_t> field(parameter.data.data() + offset, width);
  return trim_right(decode_text(field, kNameCcsid).value_or(""));
}

std::uint32_t number_at(const ProgramParameter& parameter) {
  PacketReader reader(parameter.data);
  return reader.u32(0);
}

void set_output(ProgramParameter& parameter, const Bytes& value) {
  parameter.data.assign(parameter.max_length, 0);
  std::copy_n(value.begin(), std::min<std::size_t>(value.size(), parameter.max_length),
              parameter.data.begin());
}

// Runs one of the four APIs: the receiver goes to the first parameter, or an escape message ends it.
std::optional<std::string> run_api(const Api& api, ProgramCall& call, const IfsTree& tree,
                                   const HostSettings& settings) {
  auto& p = call.parameters;
  const std::uint32_t length = std::min(number_at(p[1]), p[0].max_length);
  const std::string format = name_at(p[api.kind == RequestKind::file_description ? 3 : 2], 0, 8);
  ApiResult receiver;
  switch (api.kind) {
    case RequestKind::member_description:
      if (format != "MBRD0100") return std::string(kUnknownFormat);
      receiver = member_description(tree, name_at(p[3], kNameWidth), name_at(p[3]), name_at(p[4]),
                                    settings.command_ccsid, length);
      break;
    case RequestKind::file_description:
      if (format != "FILD0100") return std::string(kUnknownFormat);
      receiver = file_description(tree, name_at(p[4], kNameWidth), name_at(p[4]), length);
      if (receiver) set_output(p[2], Bytes(p[4].data.begin(), p[4].data.begin() + 2 * kNameWidth));
      break;
    case RequestKind::object_description:
      if (format != "OBJD0200") return std::string(kUnknownFormat);
      receiver = object_description(tree, name_at(p[3], kNameWidth), name_at(p[3]), name_at(p[4]),
                                    settings.command_ccsid, length);
      break;
    default:
      if (format != "SSTS0200") return std::string(kUnknownFormat);
      receiver = system_status(settings, length);
      break;
  }
  if (!receiver) return receiver.error();
  set_output(p[0], *receiver);
  return std::nullopt;
}

// An escape message goes to an error code that has room for it; else it ends the call.
std::uint16_t report_escape(ProgramParameter& error_code, std::string_view message) {
  const std::uint32_t provided = number_at(error_code);
  if (provided < kErrorCodeLength || error_code.data.size() < kErrorCodeLength) return kCallFailed;
  Bytes report{0, 0, 0, 0, 0, 0, 0, kErrorCodeLength};
  const Bytes id = encode_text(message, kNameCcsid).value_or(Bytes{});
  report.insert(report.end(), id.begin(), id.end());
  std::ranges::copy(report, error_code.data.begin() + 4);
  return 0;
}

}  // namespace

std::optional<ProgramCall> parse_program_call(PacketReader& request) {
  ProgramCall call;
  call.program = trim_right(decode_text(request.bytes(20, kNameWidth), kNameCcsid).value_or(""));
  call.library = trim_right(decode_text(request.bytes(30, kNameWidth), kNameCcsid).value_or(""));
  const std::uint16_t count = request.u16(41);
  for (const PacketItem& item : request.items()) {
    PacketReader fields(item.data);
    ProgramParameter parameter{.max_length = fields.u32(0), .usage = fields.u16(4)};
    if (item.code_point != kParameterCp || fields.malformed()) return std::nullopt;
    const auto sent = item.data.subspan(kParameterHeadLength);
    if (sent.size() > parameter.max_length) return std::nullopt;
    parameter.data.assign(sent.begin(), sent.end());
    parameter.data.resize(parameter.max_length, 0);
    call.parameters.push_back(std::move(parameter));
  }
  if (request.malformed() || call.parameters.size() != count) return std::nullopt;
  return call;
}

RequestKind call_kind(const ProgramCall& call) {
  const Api* api = api_of(call);
  return api ? api->kind : RequestKind::call_program;
}

std::string call_subject(const ProgramCall& call) {
  const Api* api = api_of(call);
  if (!api || call.parameters.size() != api->parameter_count) return call.program;
  const auto& p = call.parameters;
  switch (api->kind) {
    case RequestKind::member_description:
      return qsys_path(name_at(p[3], kNameWidth), name_at(p[3]), name_at(p[4]));
    case RequestKind::file_description: return qsys_path(name_at(p[4], kNameWidth), name_at(p[4]));
    case RequestKind::object_description: {
      const std::string type = name_at(p[4]);
      const std::string bare = type.starts_with('*') ? type.substr(1) : type;
      if (bare == "LIB") return qsys_path(name_at(p[3]));
      return qsys_path(name_at(p[3], kNameWidth)) + "/" + name_at(p[3]) + "." + bare;
    }
    default: return "";
  }
}

std::uint16_t run_program(ProgramCall& call, const IfsTree& tree, const HostSettings& settings) {
  const Api* api = api_of(call);
  if (!api || call.parameters.size() != api->parameter_count) return kCallFailed;
  const auto escape = run_api(*api, call, tree, settings);
  return escape ? report_escape(call.parameters.back(), *escape) : 0;
}

}  // namespace fake_ibmi
