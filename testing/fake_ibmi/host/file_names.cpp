// Making directories, deleting and renaming by name.
#include <algorithm>

#include "fake_ibmi/host/file_conversation.hpp"

namespace fake_ibmi {
namespace {

void detach(Node& parent, const Node& child) {
  std::erase_if(parent.children, [&](const auto& node) { return node.get() == &child; });
}

// QSYS objects stay put while a handle is open on them; stream files may go like POSIX files.
bool in_use(const Node& node) {
  return node.open_handles > 0 && (node.kind == NodeKind::member || node.kind == NodeKind::object);
}

}  // namespace

Bytes FileConversation::create_directory(const std::string& path) const {
  const Lookup found = state_->tree.lookup(path);
  if (!found.parent) return return_code_reply(kPathNotFound);
  if (found.denied) return return_code_reply(kAccessDenied);
  if (found.node) return return_code_reply(kPathAlreadyExists);
  const std::uint32_t now = now_seconds();
  auto directory = state_->tree.make_child(*found.parent, found.name, true, now);
  if (!directory) return return_code_reply(kInvalidPathName);
  found.parent->children.push_back(std::move(directory));
  found.parent->touch(now);
  return return_code_reply(0);
}

Bytes FileConversation::delete_file(const std::string& path) const {
  const Lookup found = state_->tree.lookup(path);
  if (!found.parent) return return_code_reply(kPathNotFound);
  if (found.denied) return return_code_reply(kAccessDenied);
  if (!found.node) return return_code_reply(kFileNotFound);
  const Node& node = *found.node;
  if (node.is_directory() || node.access_denied) return return_code_reply(kAccessDenied);
  if (in_use(node)) return return_code_reply(kFileInUse);
  detach(*found.parent, node);
  found.parent->touch(now_seconds());
  return return_code_reply(0);
}

Bytes FileConversation::delete_directory(const std::string& path) const {
  const IfsTree& tree = state_->tree;
  const Lookup found = tree.lookup(path);
  if (!found.parent) return return_code_reply(kPathNotFound);
  if (found.denied) return return_code_reply(kAccessDenied);
  if (!found.node) return return_code_reply(kFileNotFound);
  const Node& node = *found.node;
  if (found.node == tree.root() || found.node == tree.qsys()) return return_code_reply(kRequestDenied);
  if (!node.is_directory() || node.access_denied) return return_code_reply(kAccessDenied);
  if (!node.children.empty()) return return_code_reply(kDirectoryNotEmpty);
  detach(*found.parent, node);
  found.parent->touch(now_seconds());
  return return_code_reply(0);
}

// Within the root file system anything may move anywhere; in /QSYS.LIB an object keeps its library
// or file and its type, and takes a QSYS name.
Bytes FileConversation::rename(const std::string& from, const std::string& to, bool replace) const {
  const IfsTree& tree = state_->tree;
  const Lookup source = tree.lookup(from);
  if (!source.parent) return return_code_reply(kPathNotFound);
  if (source.denied) return return_code_reply(kAccessDenied);
  if (!source.node) return return_code_reply(kFileNotFound);
  if (source.node == tree.root() || source.node == tree.qsys()) return return_code_reply(kRequestDenied);
  const Lookup target = tree.lookup(to);
  if (!target.parent) return return_code_reply(kPathNotFound);
  if (target.denied || source.node->access_denied) return return_code_reply(kAccessDenied);
  Node& node = *source.node;
  Node& destination = *target.parent;
  const bool moves = source.parent != target.parent;
  if (moves && (tree.is_qsys_directory(*source.parent) || tree.is_qsys_directory(destination)))
    return return_code_reply(kRequestDenied);
  if (node.holds(destination)) return return_code_reply(kInvalidRequest);
  // The name as the request spells it: a target that is the source itself, by the case rules, only
  // changes its spelling.
  const auto new_name = tree.name_for(destination, node, target.name);
  if (!new_name) return return_code_reply(kInvalidPathName);
  if (in_use(node)) return return_code_reply(kFileInUse);
  const auto replaced = target.node != source.node ? target.node : nullptr;
  if (replaced) {
    if (!replace) return return_code_reply(kPathAlreadyExists);
    if (replaced->is_directory() != node.is_directory() || replaced->access_denied)
      return return_code_reply(kAccessDenied);
    if (!replaced->children.empty()) return return_code_reply(kDirectoryNotEmpty);
    if (in_use(*replaced)) return return_code_reply(kFileInUse);
    detach(destination, *replaced);
  }
  const std::shared_ptr<Node> moved = source.node;
  detach(*source.parent, node);
  moved->name = *new_name;
  destination.children.push_back(moved);
  const std::uint32_t now = now_seconds();
  source.parent->touch(now);
  destination.touch(now);
  return return_code_reply(0);
}

}  // namespace fake_ibmi
