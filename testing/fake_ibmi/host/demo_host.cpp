// The tree that the standalone server serves when it is given none.
#include "fake_ibmi/host/host_description.hpp"

namespace fake_ibmi {

std::string_view demo_host_description() {
  return R"json({
  "users": {"DEMO": "demo"},
  "password_level": 2,
  "command_ccsid": 277,
  "directories": ["/home/demo/projects"],
  "files": [
    {"path": "/home/demo/readme.txt",
     "text": "Welcome to the fake IBM i.\nSource members live under /QSYS.LIB/DEMOLIB.LIB.\n"},
    {"path": "/home/demo/projects/plan.md", "text": "# Plan\n\n- Say hello\n- List the orders\n"}
  ],
  "libraries": [{
    "name": "DEMOLIB", "description": "Demo library",
    "source_files": [
      {"name": "QCLSRC", "record_length": 92, "ccsid": 277, "description": "CL sources",
       "members": [
         {"name": "HELLO", "source_type": "CLP", "description": "Say hello",
          "lines": ["             PGM",
                    "             SNDPGMMSG  MSG('Hej verden! Æble, øl og å.')",
                    "             ENDPGM"]}
       ]},
      {"name": "QRPGLESRC", "record_length": 112, "ccsid": 277, "description": "RPG sources",
       "members": [
         {"name": "ORDERS", "source_type": "RPGLE", "description": "List the orders",
          "lines": ["**free",
                    "dcl-f CUSTOMERS usage(*input);",
                    "dsply 'Orders';",
                    "*inlr = *on;"]},
         {"name": "EMPTY", "source_type": "RPGLE", "description": "Nothing yet"}
       ]}
    ],
    "data_files": [{"name": "CUSTOMERS", "record_length": 120}],
    "objects": [
      {"name": "HELLO", "type": "PGM", "attribute": "CLP", "owner": "DEMO", "description": "Say hello",
       "source_file": "QCLSRC", "source_library": "DEMOLIB", "source_member": "HELLO"},
      {"name": "ORDERS", "type": "PGM", "attribute": "RPGLE", "owner": "DEMO", "description": "List the orders",
       "source_file": "QRPGLESRC", "source_library": "DEMOLIB", "source_member": "ORDERS"},
      {"name": "SETTINGS", "type": "DTAARA", "owner": "DEMO", "description": "Demo settings"}
    ]
  }]
})json";
}

}  // namespace fake_ibmi
