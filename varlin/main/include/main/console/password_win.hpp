#pragma once

#include "main/console/password.hpp"
#include "morva/error.hpp"
#include "morva/secret.hpp"

namespace varlin {

// The IBM i password: `MORVA_PASSWORD` exactly as set, else asked for on the console without echo.
morva::Result<morva::Secret> resolve_password();

}  // namespace varlin
