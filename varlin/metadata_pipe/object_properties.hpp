#pragma once

#include <string>

#include "metadata_pipe/metadata_result.hpp"
#include "morva/command/receivers.hpp"

namespace varlin::metadata_pipe {

// The object shape of a description, under the given path; empty source fields are left out.
FileProperties::Object object_properties(std::string path, const morva::command::ObjectDescription& object);

}  // namespace varlin::metadata_pipe
