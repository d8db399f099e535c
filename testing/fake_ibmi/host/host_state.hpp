// What the three servers of a fake IBM i share: the tree, the settings, the record of the requests
// served and the faults planned for coming requests. One lock guards it all; a server holds it for
// the whole of one request.
#pragma once

#include <cstdint>
#include <deque>
#include <iosfwd>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "fake_ibmi/host/substitute.hpp"
#include "fake_ibmi/host/tree.hpp"

namespace fake_ibmi {

struct HostSettings {
  // User profiles (upper case) and their passwords.
  std::map<std::string, std::string> users;
  std::uint8_t password_level = 2;
  // File server: its datastream level, the largest write it takes, the data bytes of one read reply,
  // whether opening a member states the member's CCSID (else 0xFFFF: ask its object attributes), and
  // whether listed entries carry their object attributes, the CCSID among them.
  std::uint16_t file_datastream_level = 16;
  std::uint32_t data_block_size = 65536;
  std::uint32_t read_reply_size = 65536;
  bool open_states_member_ccsid = true;
  bool list_states_ccsid = true;
  // Remote-command server: the job's CCSID, in which the API receivers hold their text.
  std::uint16_t command_ccsid = 277;
  std::uint16_t command_datastream_level = 10;
  // What QWCRSSTS reports.
  std::string system_name = "FAKEIBMI";
  std::uint32_t system_asp = 1'000'000;     // millions of bytes
  std::uint32_t system_asp_used = 250'000;  // millionths of the system ASP
  std::uint32_t total_auxiliary_storage = 1'000'000;
};

enum class Service : std::uint8_t { signon, file, command };

enum class RequestKind : std::uint8_t {
  // Sign-on server.
  signon_attributes,
  signon_info,
  // File server.
  file_seeds,
  file_start,
  file_attributes,
  list_attributes,
  object_attributes,
  open_file,
  read_file,
  write_file,
  close_file,
  truncate,
  create_directory,
  delete_file,
  delete_directory,
  rename,
  // Remote-command server; a call of any other program is `call_program`.
  command_seeds,
  command_start,
  command_attributes,
  member_description,
  file_description,
  object_description,
  system_storage,
  call_program,
  // A request ID the server does not know.
  unknown_file_request,
  unknown_command_request,
};

std::string_view request_kind_name(RequestKind kind);

// One request as a server received it. The subject is what it is about: the path of a file request
// (that of the open file for requests by handle), the IFS path of the object an API was asked about
// ("/QSYS.LIB/MYLIB.LIB/QCLSRC.FILE/HELLO.MBR"), the user profile of a sign-on; else empty.
struct ServedRequest {
  Service service;
  RequestKind kind;
  std::string subject;

  friend bool operator==(const ServedRequest&, const ServedRequest&) = default;
};

// "kind(subject)", for test messages.
std::ostream& operator<<(std::ostream& out, const ServedRequest& request);

// A fault planned for the next request of a kind: a reply with this return code in place of the real
// answer, or, without one, no reply at all and the connection ended (or left open, unanswered).
struct Fault {
  RequestKind kind;
  std::optional<std::uint32_t> return_code;
  bool close = true;
  std::size_t served_first = 0;  // requests of the kind served as usual before the fault
};

struct HostState {
  HostState(IfsTree initial_tree, HostSettings initial_settings)
      : tree(std::move(initial_tree)), settings(std::move(initial_settings)) {}

  // Records a request and takes the fault planned for its kind, if there is one; while the host is
  // silent, every request is left unanswered.
  std::optional<Fault> admit(Service service, RequestKind kind, std::string subject);
  Seed new_seed();
  std::uint32_t new_job_number() { return next_job_number++; }

  std::mutex mutex;
  IfsTree tree;
  HostSettings settings;
  std::vector<ServedRequest> served;
  std::deque<Fault> faults;
  bool silent = false;
  std::uint32_t next_job_number = 100001;
  std::mt19937_64 random{std::random_device{}()};
};

}  // namespace fake_ibmi
