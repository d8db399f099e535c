#include <gtest/gtest.h>

#include <fmt/format.h>

#include "morva/server/display_name.hpp"
#include "morva/server/qsys_path.hpp"
#include "morva/server/remote_path.hpp"
#include "morva/server/resolve_remote_path.hpp"

namespace morva::server {
namespace {

enum class Op {
  member,         // QsysMemberPath::parse
  file,           // QsysFilePath::parse
  object,         // object_path_from_display
  resolve,        // resolve_remote_path
  source_member,  // is_source_member_path
  normalize,      // normalize_remote_path
  not_root,       // ensure_not_root
  modify,         // ensure_not_root of the normalised path, as the changing operations call it
};

constexpr std::string_view kNone = "none";

std::string outcome(Op op, std::string_view input) {
  switch (op) {
    case Op::member: {
      const auto m = QsysMemberPath::parse(input);
      return m ? fmt::format("{}|{}|{}|{}", m->library, m->file, m->member, m->path) : std::string(kNone);
    }
    case Op::file: {
      const auto f = QsysFilePath::parse(input);
      return f ? fmt::format("{}|{}", f->library, f->file) : std::string(kNone);
    }
    case Op::object: return object_path_from_display(input).value_or(std::string(kNone));
    case Op::resolve: return resolve_remote_path(input);
    case Op::source_member: return is_source_member_path(input) ? "true" : "false";
    case Op::normalize: return normalize_remote_path(input);
    case Op::not_root: {
      const auto checked = ensure_not_root(input);
      return checked ? "ok" : checked.error().text();
    }
    case Op::modify: {
      const auto checked = ensure_not_root(normalize_remote_path(input));
      return checked ? "ok" : checked.error().text();
    }
  }
  return {};
}

struct PathCase {
  Op op;
  std::string_view input;
  std::string_view expected;
};

constexpr std::string_view kRootRefused = "refusing to modify the IFS root directory";

// Member results read library|file|member|canonical path.
const PathCase kPathCases[] = {
    {Op::member, "/QSYS.LIB/MYLIB.LIB/QCLSRC.FILE/HELLO.MBR",
     "MYLIB|QCLSRC|HELLO|/QSYS.LIB/MYLIB.LIB/QCLSRC.FILE/HELLO.MBR"},
    {Op::member, "\\qsys.lib\\mylib\\qclsrc\\hello.clp",
     "mylib|qclsrc|hello|/QSYS.LIB/mylib.LIB/qclsrc.FILE/hello.MBR"},
    {Op::member, "/qsys.lib/mylib.lib/qclsrc.file/hello.mbr",
     "mylib|qclsrc|hello|/QSYS.LIB/mylib.LIB/qclsrc.FILE/hello.MBR"},
    {Op::member, "//QSYS.LIB//L.LIB\\/F.FILE///M.MBR//", "L|F|M|/QSYS.LIB/L.LIB/F.FILE/M.MBR"},
    {Op::member, "/qsys.lib/mylib/qclsrc/\u00C6ble.clp",
     "mylib|qclsrc|#ble|/QSYS.LIB/mylib.LIB/qclsrc.FILE/#ble.MBR"},
    {Op::member, "/qsys.lib/mylib/qclsrc/\u00C6vwx",
     "mylib|qclsrc|#vwx|/QSYS.LIB/mylib.LIB/qclsrc.FILE/#vwx.MBR"},
    {Op::member, "/qsys.lib/l/f/\u00E6\u00D8\u00F8\u00C5\u00E5x.MBR",
     "l|f|#@@$$x|/QSYS.LIB/l.LIB/f.FILE/#@@$$x.MBR"},
    // Only the member folds; library and file keep their letters.
    {Op::member, "/qsys.lib/\u00C6lib/\u00D8src/x.mbr",
     "\u00C6lib|\u00D8src|x|/QSYS.LIB/\u00C6lib.LIB/\u00D8src.FILE/x.MBR"},
    // A lone 0xC3 byte or a neighbour of the folded letters stays as it is.
    {Op::member,
     "/qsys.lib/l/f/\xC3"
     "\xC3\x87\xC3\x86",
     "l|f|\xC3\xC3\x87#|/QSYS.LIB/l.LIB/f.FILE/\xC3\xC3\x87#.MBR"},
    {Op::member, "/qsys.lib/mylib/qclsrc/a.b.c", "mylib|qclsrc|a.b|/QSYS.LIB/mylib.LIB/qclsrc.FILE/a.b.MBR"},
    {Op::member, "/qsys.lib/l/f/x.mbr.MBR", "l|f|x.mbr|/QSYS.LIB/l.LIB/f.FILE/x.mbr.MBR"},
    {Op::member, "/qsys.lib/my.lib2/qclsrc/hello.mbr", kNone},
    {Op::member, "/qsys.lib/mylib/src.pf/hello.mbr", kNone},
    // ASCII case only: a dotless i is no 'I'.
    {Op::member, "/qsys.lib/mylib.l\u0131b/qclsrc/hello.mbr", kNone},
    {Op::member, "/qsys.l\u0131b/mylib/qclsrc/hello.mbr", kNone},
    {Op::member, "/qsys.lib/mylib/qclsrc", kNone},
    {Op::member, "/qsys.lib/l/f/m/x", kNone},
    {Op::member, "/qsys.libx/l/f/m.mbr", kNone},
    {Op::member, "/home/l/f/m.mbr", kNone},

    {Op::file, "/qsys.lib/mylib/qclsrc", "mylib|qclsrc"},
    {Op::file, "\\QSYS.LIB\\MYLIB.LIB\\QCLSRC.FILE\\", "MYLIB|QCLSRC"},
    {Op::file, "/qsys.lib/mylib/qclsrc.pf", kNone},
    {Op::file, "/qsys.lib/mylib", kNone},
    {Op::file, "/qsys.lib/mylib/qclsrc/hello.mbr", kNone},

    {Op::object, "/qsys.lib/mylib/mypgm.clp.pgm", "/QSYS.LIB/mylib.LIB/mypgm.PGM"},
    {Op::object, "\\QSYS.LIB\\MyLib.Lib\\MyPgm.pgm", "/QSYS.LIB/MyLib.LIB/MyPgm.PGM"},
    {Op::object, "/qsys.lib/mylib/a..dtaara", "/QSYS.LIB/mylib.LIB/a.DTAARA"},
    {Op::object, "/qsys.lib/mylib/other.lib", kNone},
    {Op::object, "/qsys.lib/mylib/x.clp.Mbr", kNone},
    {Op::object, "/qsys.lib/mylib/a.b.c.d", kNone},
    {Op::object, "/qsys.lib/mylib/noext", kNone},
    {Op::object, "/qsys.lib/my.x/a.pgm", kNone},
    {Op::object, "/qsys.lib/mylib/qclsrc/hello.clp", kNone},

    {Op::resolve, "/qsys.lib/mylib/mypgm.clp.pgm", "/QSYS.LIB/mylib.LIB/mypgm.PGM"},
    {Op::resolve, "\\qsys.lib\\mylib\\qclsrc", "/QSYS.LIB/mylib.LIB/qclsrc.FILE"},
    {Op::resolve, "/qsys.lib/mylib/qclsrc/hello.clp", "/QSYS.LIB/mylib.LIB/qclsrc.FILE/hello.clp"},
    {Op::resolve, "/qsys.lib/mylib.lib/x.mbr", "/QSYS.LIB/mylib.lib/x.mbr"},
    {Op::resolve, "/qsys.lib/", "/QSYS.LIB"},
    {Op::resolve, "qsys.lib//MyLib.LiB", "/QSYS.LIB/MyLib.LiB"},
    {Op::resolve, "/qsys.lib/my.lib2", "/QSYS.LIB/my.lib2.LIB"},
    {Op::resolve, "/qsys.lib/l/f.file/m.mbr/", "/QSYS.LIB/l.LIB/f.file/m.mbr"},
    {Op::resolve, "/qsys.lib/l/f/a\\b", "/QSYS.LIB/l.LIB/f.FILE/a/b"},
    {Op::resolve, "\\home\\user", "\\home\\user"},
    {Op::resolve, "/home//QSYS.LIB/", "/home//QSYS.LIB/"},
    {Op::resolve, "", ""},

    {Op::source_member, "/qsys.lib/a/b/hello.mbr", "true"},
    {Op::source_member, "/QSYS.LIB/X.Mbr", "true"},
    {Op::source_member, "/QSYS.LIB/MYLIB.LIB/QCLSRC.FILE/HELLO.clp", "true"},
    {Op::source_member, "/QSYS.LIB/MY.X.LIB/QCLSRC.FILE/NEW.txt", "true"},
    {Op::source_member, "//QSYS.LIB//MYLIB.LIB/QCLSRC.FILE//HELLO.MBR", "true"},
    {Op::source_member, "/./QSYS.LIB/./MYLIB.LIB/QCLSRC.FILE/HELLO.MBR", "true"},
    {Op::source_member, "/home/../QSYS.LIB/MYLIB.LIB/QCLSRC.FILE/HELLO", "true"},
    {Op::source_member, "/QSYS.LIB/MYLIB.LIB/QCLSRC.FILE/./.", "false"},
    {Op::source_member, "/QSYS.LIB/MYLIB.LIB/QCLSRC.FILE", "false"},
    {Op::source_member, "/QSYS.LIB/MYLIB.LIB/HELLO.PGM", "false"},
    {Op::source_member, "/QSYS.LIB/../home/x.mbr", "false"},
    {Op::source_member, "/QSYS.LIB/MYLIB.LIB/x/../x.txt", "false"},
    {Op::source_member, "/qsys.lib/a/b/hello.mbr/", "false"},
    {Op::source_member, "/home/x.mbr", "false"},
    {Op::source_member, "/QSYS.LIB.MBR", "false"},
    {Op::source_member, "\\QSYS.LIB\\A\\B\\C.MBR", "false"},
    {Op::source_member, "/QSYS.LIB/", "false"},

    {Op::normalize, "", "/"},
    {Op::normalize, " \t\r\n", "/"},
    {Op::normalize, "home\\user\\", "/home/user"},
    {Op::normalize, "//", "/"},
    {Op::normalize, " /a//b/ ", "/a//b"},
    {Op::normalize, "/./a/../b", "/./a/../b"},
    // Unicode white space at either end, however encoded in UTF-8's lengths.
    {Op::normalize, "\u3000\u00A0/x\u2029\u0085", "/x"},
    {Op::normalize, "\u00A0", "/"},
    {Op::normalize, "a b", "/a b"},
    // Not white space: zero-width space, the Mongolian vowel separator, an overlong blank, a cut-off
    // sequence.
    {Op::normalize, "\u200B/x\u180E", "/\u200B/x\u180E"},
    {Op::normalize, "\xC0\xA0/x\xC2", "/\xC0\xA0/x\xC2"},
    {Op::normalize, "/x \x80", "/x \x80"},

    {Op::not_root, "/", kRootRefused},
    {Op::not_root, "//", "ok"},
    {Op::not_root, "/a", "ok"},
    {Op::modify, "\\", kRootRefused},
    {Op::modify, " / ", kRootRefused},
    {Op::modify, "//", kRootRefused},
    {Op::modify, "", kRootRefused},
    {Op::modify, "/a/", "ok"},
};

std::string_view op_name(Op op) {
  constexpr std::string_view kNames[] = {"member",        "file",      "object",   "resolve",
                                         "source_member", "normalize", "not_root", "modify"};
  return kNames[static_cast<int>(op)];
}

TEST(QsysPath, PathFunctionsFollowTheTable) {
  for (const PathCase& c : kPathCases) {
    EXPECT_EQ(outcome(c.op, c.input), c.expected) << op_name(c.op) << " of \"" << c.input << "\"";
  }
}

// A listed entry as the listing hands it over: the object description carries more fields than
// the display name reads.
struct ObjectRecord {
  std::string object;
  std::string library;
  std::string object_type;
  std::string attribute;
};

struct ListedEntry {
  std::string name;
  std::optional<std::string> source_type;
  std::optional<std::string> member;
  std::optional<ObjectRecord> object;
};

struct DisplayCase {
  std::string_view directory;
  ListedEntry entry;
  std::string_view expected;
};

const ObjectRecord kClpProgram{"MYPGM", "MYLIB", "PGM", "CLP"};
const ObjectRecord kProgram{"MYPGM", "MYLIB", "PGM", ""};

const DisplayCase kDisplayCases[] = {
    {"/QSYS.LIB/MYLIB.LIB/QCLSRC.FILE", {"HELLO.MBR", "CLP", "HELLO", {}}, "HELLO.clp"},
    {"/QSYS.LIB/MYLIB.LIB/QCLSRC.FILE", {"HELLO.MBR", "RPGLE", {}, {}}, "HELLO.rpgle"},
    {"/QSYS.LIB/MYLIB.LIB/QCLSRC.FILE", {"HELLO.MBR", "", {}, {}}, "HELLO"},
    // The described member name wins over the listed name, and only ASCII letters of the type fold.
    {"/QSYS.LIB/L.LIB/F.FILE", {"X.MBR", "\u00C6RPG", "\u00C6ble", {}}, "\u00C6ble.\u00C6rpg"},
    {"/QSYS.LIB/L.LIB/F.FILE", {"HELLO.MBR", "CLP", "HELLO", kClpProgram}, "HELLO.clp"},
    // Without a source type a member stays as listed; lower-case ".mbr" is no member name.
    {"/QSYS.LIB/L.LIB/F.FILE", {"HELLO.MBR", {}, "HELLO", {}}, "HELLO.MBR"},
    {"/QSYS.LIB/L.LIB/F.FILE", {"hello.mbr", "CLP", {}, {}}, "hello.mbr"},
    {"/QSYS.LIB/L.LIB/F.FILE", {"HELLO.MBR", {}, {}, kClpProgram}, "MYPGM.clp.pgm"},
    {"/QSYS.LIB/MYLIB.LIB", {"MYPGM.PGM", {}, {}, kClpProgram}, "MYPGM.clp.pgm"},
    {"/QSYS.LIB/MYLIB.LIB", {"MYPGM.PGM", {}, {}, kProgram}, "MYPGM.pgm"},
    {"/QSYS.LIB/MYLIB.LIB",
     {"MYPGM.PGM", {}, {}, ObjectRecord{"MyPgm", "MYLIB", "DTAARA", "X"}},
     "MyPgm.x.dtaara"},
    {"/QSYS.LIB", {"MYLIB.LIB", {}, {}, {}}, "MYLIB"},
    {"\\qsys.lib\\", {"mylib.Lib", {}, {}, {}}, "mylib"},
    {"/QSYS.LIB", {".LIB", {}, {}, {}}, ""},
    {"/qsys.lib/MYLIB.LIB", {"QCLSRC.FILE", {}, {}, {}}, "QCLSRC"},
    {"/qsys.lib/MYLIB.LIB", {"A.LIB.file", {}, {}, {}}, "A.LIB"},
    {"/qsys.lib/MYLIB.LIB", {"A.PGM", {}, {}, {}}, "A.PGM"},
    {"/home", {"X.LIB", {}, {}, {}}, "X.LIB"},
    {"/home/QSYS.LIB", {"X.FILE", {}, {}, {}}, "X.FILE"},
    {"/QSYS.LIBRARY", {"X.LIB", {}, {}, {}}, "X.LIB"},
    {"", {"X.LIB", {}, {}, {}}, "X.LIB"},
};

TEST(QsysPath, DisplayNameFollowsTheTable) {
  for (const DisplayCase& c : kDisplayCases) {
    EXPECT_EQ(display_name(c.directory, c.entry), c.expected) << c.directory << " / " << c.entry.name;
  }
}

}  // namespace
}  // namespace morva::server
