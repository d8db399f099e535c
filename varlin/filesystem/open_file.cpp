#include "filesystem/open_file.hpp"

namespace varlin::filesystem {

SharedStateLock::SharedStateLock(OpenFile& file) : file_(file) {
  if (MemberText* text = file.text.get()) {
    lock_ = std::unique_lock(text->mutex);
    file.entry.size = file.replacing_size.value_or(text->text.size());
    file.entry.modified = text->modified;
  } else if (StreamFile* stream = file.stream.get()) {
    lock_ = std::unique_lock(stream->mutex);
    file.entry.size = stream->size;
    file.entry.modified = stream->modified;
  }
}

SharedStateLock::~SharedStateLock() {
  if (MemberText* text = file_.text.get()) {
    if (file_.replacing_size) file_.replacing_size = file_.entry.size;
    text->modified = file_.entry.modified;
  } else if (StreamFile* stream = file_.stream.get()) {
    stream->size = file_.entry.size;
    stream->modified = file_.entry.modified;
  }
}

}  // namespace varlin::filesystem
