#include "filesystem/open_file.hpp"

namespace varlin::filesystem {

SharedStateLock::SharedStateLock(OpenFile& file) : file_(file) {
  if (MemberText* text = file.text.get()) {
    lock_ = std::unique_lock(text->mutex);
    const Replacement* own = file.own_replacement();
    file.entry.size = own ? own->own_text->size() : text->text.size();
    file.entry.modified = own ? own->modified : text->modified;
  } else if (StreamFile* stream = file.stream.get()) {
    lock_ = std::unique_lock(stream->mutex);
    file.entry.size = stream->size;
    file.entry.modified = stream->modified;
  }
}

SharedStateLock::~SharedStateLock() {
  if (MemberText* text = file_.text.get()) {
    Replacement* own = file_.own_replacement();
    (own ? own->modified : text->modified) = file_.entry.modified;
  } else if (StreamFile* stream = file_.stream.get()) {
    stream->size = file_.entry.size;
    stream->modified = file_.entry.modified;
  }
}

}  // namespace varlin::filesystem
