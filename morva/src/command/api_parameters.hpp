#pragma once

#include "morva/command/program_call.hpp"

#include <string_view>
#include <vector>

// The parameter lists of the four IBM i API calls; each ends with an error code whose
// bytes-provided field is 0, so errors come back as the reply's return code.
namespace morva::command {

std::vector<ProgramParameter> member_description_parameters(std::string_view library, std::string_view file,
                                                            std::string_view member);
std::vector<ProgramParameter> file_description_parameters(std::string_view library, std::string_view file);
std::vector<ProgramParameter> object_description_parameters(std::string_view library, std::string_view object,
                                                            std::string_view object_type);
std::vector<ProgramParameter> system_storage_parameters();

}  // namespace morva::command
