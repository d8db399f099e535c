#pragma once

#include <array>
#include <string_view>

namespace tarvik {

// The extensions of the files whose IBM i metadata is asked for: source types and object types.
inline constexpr std::array<std::string_view, 68> IBMI_TYPE_EXTENSIONS = {
    "bas",    "bas36",   "bas38",     "basp",    "basp38",     "cbl",    "cblle",    "cbl36",  "cbl38",
    "cicsc",  "cicscbl", "cicscblle", "cicsmap", "cicssqlcbl", "cl",     "cld",      "clle",   "clp",
    "clp38",  "cmd38",   "dspf",      "dspf36",  "dspf38",     "file",   "ftn",      "icff",   "lf",
    "lf38",   "menu",    "mnu",       "mnucmd",  "mnudds",     "mnu36",  "msgf",     "msgf36", "ocl36",
    "pas",    "pf",      "pf38",      "pgm",     "pli",        "pli38",  "pnlgrp",   "prtf",   "prtf38",
    "qry38",  "rexx",    "rmc",       "rpg",     "rpgle",      "rpg36",  "rpg38",    "rpt",    "rpt36",
    "rpt38",  "savf",    "spadct",    "sqlc",    "sqlcpp",     "sqlcbl", "sqlcblle", "sqlcle", "sqlftn",
    "sqlpli", "sqlrpg",  "sqlrpgle",  "tbl",     "uim",
};

// Whether the extension of the path's last name (the text after its last '.'; a name whose only '.'
// is its first character has none) is one of the list, ignoring ASCII case.
bool has_ibmi_type_extension(std::string_view path);

}  // namespace tarvik
