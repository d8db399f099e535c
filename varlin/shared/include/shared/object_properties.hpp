#pragma once

#include <string>

#include "morva/command/receivers.hpp"
#include "shared/metadata_result.hpp"

namespace varlin::metadata_pipe {

// The object shape of a description, under the given path; empty source fields are left out.
FileProperties::Object object_properties(std::string path, const morva::command::ObjectDescription& object);

}  // namespace varlin::metadata_pipe
