#include <nlohmann/json.hpp>

#include "metadata_pipe/response.hpp"

namespace varlin::metadata_pipe {

namespace {

using Json = nlohmann::ordered_json;

// Keys go in in field order; ordered_json keeps that order when it writes.
Json json_of(const FileProperties::Member& member) {
  Json json;
  json["path"] = member.path;
  json["library"] = member.library;
  json["sourceFile"] = member.source_file;
  json["member"] = member.member;
  json["sourceType"] = member.source_type;
  json["ccsid"] = member.ccsid;
  json["recordLength"] = member.record_length;
  json["description"] = member.description;
  return json;
}

Json json_of(const FileProperties::Object& object) {
  Json json;
  json["path"] = object.path;
  json["library"] = object.library;
  json["object"] = object.object;
  json["objectType"] = object.object_type;
  json["attribute"] = object.attribute;
  json["owner"] = object.owner;
  json["asp"] = object.asp;
  json["created"] = object.created;
  json["changed"] = object.changed;
  json["description"] = object.description;
  if (object.source_file) json["sourceFile"] = *object.source_file;
  if (object.source_library) json["sourceLibrary"] = *object.source_library;
  if (object.source_member) json["sourceMember"] = *object.source_member;
  return json;
}

Json json_of(const FileProperties& properties) {
  return std::visit([](const auto& shape) { return json_of(shape); }, properties.shape);
}

Json json_of(const MetadataResult& result) {
  Json json;
  json["path"] = result.path;
  json["properties"] = json_of(result.properties);
  return json;
}

Json json_of(const MetadataResponse& response) {
  Json json;
  json["version"] = response.version;
  json["mountId"] = response.mount_id;
  json["ok"] = response.ok;
  if (response.result) json["result"] = json_of(*response.result);
  if (response.code) json["code"] = response_code_text(*response.code);
  if (response.error) json["error"] = *response.error;
  return json;
}

// Compact, non-ASCII as its UTF-8 bytes, control characters escaped with lower-case hex digits.
// Texts reach us valid UTF-8 from the codecs; a stray invalid byte becomes U+FFFD rather than
// failing the reply.
void append(const Json& json, std::string& out) {
  out += json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

void write_response(const MetadataResponse& response, std::string& out) {
  append(json_of(response), out);
}

void write_result(const MetadataResult& result, std::string& out) {
  append(json_of(result), out);
}

void write_properties(const FileProperties& properties, std::string& out) {
  append(json_of(properties), out);
}

}  // namespace varlin::metadata_pipe
