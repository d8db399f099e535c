#!/usr/bin/env python3
"""Writes morva/src/ccsid/unicode_tables.cpp from Debian's Unicode Character Database (unicode-data).

Tables: the full upper-case mapping (the simple mapping of UnicodeData.txt, replaced by the unconditional
mappings of SpecialCasing.txt), the simple lower-case mapping, the simple case folding of CaseFolding.txt
(its mappings of status C and S) and the White_Space property of PropList.txt. With --check nothing is written: the exit status says whether the checked-in file is what
the data gives.
"""

import argparse
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUTPUT = ROOT / "morva" / "src" / "ccsid" / "unicode_tables.cpp"
MAX_FULL_UPPER = 3  # longest full upper-case mapping, checked below


def read_lines(path):
    with open(path, encoding="utf-8") as file:
        return file.read().splitlines()


def version_of(lines, name):
    match = re.fullmatch(rf"# {name}-(\d+\.\d+\.\d+)\.txt", lines[0].strip())
    if not match:
        sys.exit(f"{name}.txt: no version in its first line: {lines[0]!r}")
    return match.group(1)


def data_fields(lines):
    """The ';'-separated fields of every line that is not a comment."""
    for line in lines:
        line = line.split("#", 1)[0].strip()
        if line:
            yield [field.strip() for field in line.split(";")]


def code_points(text):
    return [int(part, 16) for part in text.split()]


def read_unicode_data(lines):
    upper, lower = {}, {}
    for fields in data_fields(lines):
        code_point = int(fields[0], 16)
        if fields[12]:
            upper[code_point] = int(fields[12], 16)
        if fields[13]:
            lower[code_point] = int(fields[13], 16)
    return upper, lower


def read_special_upper(lines, simple_upper):
    """Unconditional full upper-case mappings that differ from the simple one."""
    special = {}
    for fields in data_fields(lines):
        if len(fields) > 5 and fields[4]:
            continue  # conditional (language or context)
        code_point = int(fields[0], 16)
        mapping = code_points(fields[3])
        if mapping != [simple_upper.get(code_point, code_point)]:
            if len(mapping) > MAX_FULL_UPPER:
                sys.exit(f"U+{code_point:04X}: upper-case mapping longer than {MAX_FULL_UPPER}")
            special[code_point] = mapping
    return special


def read_simple_folding(lines):
    """The common and simple case foldings: one code point to one."""
    folding = {}
    for fields in data_fields(lines):
        if fields[1] in ("C", "S"):
            folding[int(fields[0], 16)] = int(fields[2], 16)
    return folding


def read_white_space(lines):
    ranges = []
    for fields in data_fields(lines):
        if fields[1] != "White_Space":
            continue
        first, _, last = fields[0].partition("..")
        first, last = int(first, 16), int(last or first, 16)
        if ranges and ranges[-1][1] + 1 == first:
            ranges[-1][1] = last
        else:
            ranges.append([first, last])
    return sorted(ranges)


def delta_ranges(mapping):
    """Runs of code points, every one or every other, that map by the same delta."""
    ranges = []  # [first, last, stride, delta]
    for code_point in sorted(mapping):
        delta = mapping[code_point] - code_point
        if ranges:
            run = ranges[-1]
            step = code_point - run[1]
            if run[3] == delta and (step == run[2] or run[0] == run[1] and step in (1, 2)):
                run[1], run[2] = code_point, step
                continue
        ranges.append([code_point, code_point, 1, delta])
    return ranges


def rows(items, per_line):
    lines = []
    for i in range(0, len(items), per_line):
        lines.append("    " + " ".join(items[i : i + per_line]))
    return "\n".join(lines)


def generate(unicode_dir):
    unicode_data = read_lines(unicode_dir / "UnicodeData.txt")
    special_casing = read_lines(unicode_dir / "SpecialCasing.txt")
    case_folding = read_lines(unicode_dir / "CaseFolding.txt")
    prop_list = read_lines(unicode_dir / "PropList.txt")
    version = version_of(prop_list, "PropList")
    for name, lines in (("SpecialCasing", special_casing), ("CaseFolding", case_folding)):
        if version_of(lines, name) != version:
            sys.exit(f"{name}.txt and PropList.txt are of different Unicode versions")

    simple_upper, simple_lower = read_unicode_data(unicode_data)
    special_upper = read_special_upper(special_casing, simple_upper)
    simple_folding = read_simple_folding(case_folding)
    white_space = read_white_space(prop_list)

    def delta_table(mapping):
        return rows([f"{{0x{f:04X}, 0x{l:04X}, {s}, {d}}}," for f, l, s, d in delta_ranges(mapping)], 3)

    special_rows = []
    for code_point, mapping in sorted(special_upper.items()):
        chars = ", ".join(f"0x{c:04X}" for c in mapping)
        special_rows.append(f"{{0x{code_point:04X}, {len(mapping)}, {{{chars}}}}},")
    white_rows = [f"{{0x{f:04X}, 0x{l:04X}}}," for f, l in white_space]

    return f"""\
// Generated by scripts/generate_unicode_tables.py from Unicode {version} (Debian's unicode-data).
// Do not edit: run the script instead.
#include "morva/ccsid/unicode_tables.hpp"

#include <algorithm>
#include <cstdint>
#include <span>

namespace morva::ccsid {{
namespace {{

// Code points first, first + stride, ... up to last map to themselves plus delta.
struct DeltaRange {{
  char32_t first;
  char32_t last;
  std::uint8_t stride;
  std::int32_t delta;
}};

struct SpecialUpper {{
  char32_t code_point;
  std::uint8_t length;
  char32_t mapping[{MAX_FULL_UPPER}];
}};

struct CodePointRange {{
  char32_t first;
  char32_t last;
}};

// clang-format off
constexpr DeltaRange kSimpleUpper[] = {{
{delta_table(simple_upper)}
}};

constexpr DeltaRange kSimpleLower[] = {{
{delta_table(simple_lower)}
}};

constexpr DeltaRange kSimpleFolding[] = {{
{delta_table(simple_folding)}
}};

constexpr SpecialUpper kSpecialUpper[] = {{
{rows(special_rows, 2)}
}};

constexpr CodePointRange kWhiteSpace[] = {{
{rows(white_rows, 4)}
}};
// clang-format on

char32_t map_by_delta(std::span<const DeltaRange> ranges, char32_t code_point) {{
  const auto after = std::ranges::upper_bound(ranges, code_point, {{}}, &DeltaRange::first);
  if (after == ranges.begin()) return code_point;
  const DeltaRange& range = *(after - 1);
  if (code_point > range.last || (code_point - range.first) % range.stride != 0) return code_point;
  return static_cast<char32_t>(static_cast<std::int32_t>(code_point) + range.delta);
}}

}}  // namespace

std::string_view unicode_version() {{
  return "{version}";
}}

UpperMapping to_upper_full(char32_t code_point) {{
  UpperMapping result;
  const auto special = std::ranges::lower_bound(kSpecialUpper, code_point, {{}}, &SpecialUpper::code_point);
  if (special != std::end(kSpecialUpper) && special->code_point == code_point) {{
    std::copy_n(special->mapping, special->length, result.code_points.begin());
    result.length = special->length;
  }} else {{
    result.code_points[0] = map_by_delta(kSimpleUpper, code_point);
    result.length = 1;
  }}
  return result;
}}

char32_t to_lower(char32_t code_point) {{
  return map_by_delta(kSimpleLower, code_point);
}}

char32_t fold_case(char32_t code_point) {{
  return map_by_delta(kSimpleFolding, code_point);
}}

bool is_white_space(char32_t code_point) {{
  const auto after = std::ranges::upper_bound(kWhiteSpace, code_point, {{}}, &CodePointRange::first);
  return after != std::begin(kWhiteSpace) && code_point <= (after - 1)->last;
}}

}}  // namespace morva::ccsid
"""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="fail if the checked-in file differs")
    parser.add_argument("--unicode-dir", type=pathlib.Path, default=pathlib.Path("/usr/share/unicode"))
    args = parser.parse_args()

    text = generate(args.unicode_dir)
    if args.check:
        if not OUTPUT.exists() or OUTPUT.read_text(encoding="utf-8") != text:
            sys.exit(f"{OUTPUT.relative_to(ROOT)} is out of date: run scripts/generate_unicode_tables.py")
        return
    OUTPUT.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main()
