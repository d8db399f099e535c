// The objects of a fake IBM i: the integrated file system's directories and stream files and, under
// "/QSYS.LIB", libraries, database files with their members, and other typed objects.
//
// Names are matched ignoring case, as the IBM i does in the root and QSYS.LIB file systems, and
// exactly in /QOpenSys and below it; a name keeps the case it was made with, and names made in
// QSYS.LIB are upper case. A node's name in
// the file system carries the QSYS type suffix: "MYLIB.LIB", "QCLSRC.FILE", "HELLO.MBR", "HELLO.PGM".
//
// The builder functions serve tests and tree files: they throw std::invalid_argument, naming the path,
// when asked for something a tree cannot hold (a member without its file, a line longer than a record).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fake_ibmi/hex.hpp"

namespace fake_ibmi {

// Seconds since 1970 of everything a tree is built with: 2023-11-14 22:13:20 UTC.
inline constexpr std::uint32_t kBuiltTime = 1700000000;
inline constexpr std::uint16_t kStreamFileCcsid = 1208;

// A time as the IBM i writes it in object descriptions: CYYMMDDHHMMSS, the century digit 1 for 20xx.
std::string qsys_timestamp(std::uint32_t seconds);

// Upper case by glibc's Unicode tables: a source of case independent of the client's own tables.
char32_t unicode_upper(char32_t c);
// Names as the root and QSYS.LIB file systems compare them: without case, for every letter that has
// one. Bytes that are not UTF-8 compare ignoring ASCII case only.
bool same_name(std::string_view a, std::string_view b);

enum class NodeKind : std::uint8_t { directory, stream_file, library, database_file, member, object };

// What an object description (QUSROBJD) tells of a /QSYS.LIB object besides its name and type.
struct ObjectInfo {
  std::string attribute{};
  std::string owner = "QPGMR";
  std::string description{};
  std::uint32_t asp = 1;
  std::string created = qsys_timestamp(kBuiltTime);
  std::string changed = qsys_timestamp(kBuiltTime);
  std::string source_file{};
  std::string source_library{};
  std::string source_member{};
};

struct Node {
  std::string name;
  NodeKind kind = NodeKind::directory;
  std::uint32_t modified = kBuiltTime;
  std::uint16_t ccsid = kStreamFileCcsid;
  Bytes data;  // a stream file's bytes; a member's records, each record length - 12 bytes of text
  bool access_denied = false;
  std::vector<std::shared_ptr<Node>> children;
  bool exact_names = false;  // children are told apart by case, as in /QOpenSys

  // /QSYS.LIB objects.
  ObjectInfo object;
  std::uint16_t record_length = 0;  // database files and their members
  bool source = false;              // a source physical file
  std::string source_type;          // members

  // Handles open on the file server, over all connections.
  unsigned open_handles = 0;
  unsigned write_handles = 0;

  bool is_directory() const;
  // The child of this name: matched ignoring case, or exactly where names are.
  std::shared_ptr<Node> child(std::string_view child_name) const;
  // A QSYS name without its type suffix, and the type ("LIB", "FILE", "MBR", "PGM", ...).
  std::string object_name() const;
  std::string object_type() const;
  // Bytes of text per member record.
  std::size_t source_length() const { return record_length > 12 ? record_length - 12u : 0; }
  // Whether it holds the records of a member or the data of a stream file.
  bool has_content() const { return kind == NodeKind::stream_file || kind == NodeKind::member; }

  // Grows the data to `size` bytes: with zeros in a stream file, with blanks in a member.
  void grow_to(std::size_t size);
  // Pads a member's last record with blanks, as the IBM i keeps only whole records.
  void complete_last_record();
  // Marks a change at `now`, seconds since 1970.
  void touch(std::uint32_t now);
  // Whether `other` is this node or lies below it.
  bool holds(const Node& other) const;
};

// Where a path leads.
struct Lookup {
  std::shared_ptr<Node> parent{};  // empty when a component before the last is missing or not a directory
  std::shared_ptr<Node> node{};    // empty when the last component is missing
  std::string name{};              // the last component as written, which may differ in case from the node's
  bool denied = false;             // a directory on the way may not be searched
};

struct SourceFileOptions {
  std::uint16_t record_length = 92;
  std::uint16_t ccsid = 277;
  std::string description{};
};

struct MemberOptions {
  std::vector<std::string> lines{};
  std::string source_type{};
  std::string description{};
};

class IfsTree {
 public:
  // The root directory and /QSYS.LIB.
  IfsTree();

  // Directories and stream files; missing parent directories are made.
  IfsTree& add_directory(std::string_view path);
  IfsTree& add_file(std::string_view path, std::string_view content, std::uint16_t ccsid = kStreamFileCcsid);
  // /QSYS.LIB: a library, a source or data physical file in it, a member of a source file, an object.
  IfsTree& add_library(std::string_view library, std::string_view description = {});
  IfsTree& add_source_file(std::string_view library, std::string_view file, SourceFileOptions options = {});
  IfsTree& add_data_file(std::string_view library, std::string_view file, std::uint16_t record_length);
  IfsTree& add_member(std::string_view library, std::string_view file, std::string_view member,
                      MemberOptions options = {});
  // `type` without its '*', such as "PGM".
  IfsTree& add_object(std::string_view library, std::string_view object, std::string_view type,
                      ObjectInfo info = {});
  // Makes every request that uses the path itself (not a listing of its parent) fail with "access
  // denied"; the object description of a /QSYS.LIB object ends in the escape message "not authorized".
  IfsTree& deny_access(std::string_view path);

  Lookup lookup(std::string_view path) const;
  std::shared_ptr<Node> find(std::string_view path) const { return lookup(path).node; }
  const std::shared_ptr<Node>& root() const { return root_; }
  const std::shared_ptr<Node>& qsys() const { return qsys_; }

  // The node that a create request may make as `name` inside `parent`, or nothing when the parent
  // cannot hold it: directories and stream files outside /QSYS.LIB; libraries in /QSYS.LIB, source
  // physical files in a library, members in a database file, each named as QSYS names are.
  std::shared_ptr<Node> make_child(const Node& parent, std::string_view name, bool directory,
                                   std::uint32_t now) const;
  // The name that `node` would take when renamed to `name` inside `parent`, or nothing when the
  // parent cannot hold it under that name.
  std::optional<std::string> name_for(const Node& parent, const Node& node, std::string_view name) const;
  // Whether a directory belongs to /QSYS.LIB, where objects stay in their library or file.
  bool is_qsys_directory(const Node& directory) const;

  // A stream file's bytes, and a member's records as text without their trailing blanks.
  std::optional<Bytes> file_bytes(std::string_view path) const;
  std::optional<std::vector<std::string>> member_lines(std::string_view library, std::string_view file,
                                                       std::string_view member) const;

 private:
  std::shared_ptr<Node> add(std::string_view parent_path, std::shared_ptr<Node> node);
  // A directory of the root file system, or of /QOpenSys, whose names are told apart by case.
  std::shared_ptr<Node> new_directory(const Node& parent, std::string_view name) const;

  std::shared_ptr<Node> root_;
  std::shared_ptr<Node> qsys_;
};

// "/QSYS.LIB/{library}.LIB/{file}.FILE/{member}.MBR" and its shorter forms.
std::string qsys_path(std::string_view library, std::string_view file = {}, std::string_view member = {});

}  // namespace fake_ibmi
