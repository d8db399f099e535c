#include "morva/ccsid/unicode_tables.hpp"

#include <string>

#include <gtest/gtest.h>

namespace morva::ccsid {
namespace {

TEST(UnicodeTables, UpperCaseIsTheFullMapping) {
  const struct {
    char32_t code_point;
    std::u32string upper;
  } cases[] = {
      {U'a', U"A"},
      {U'A', U"A"},
      {U'1', U"1"},
      {U'\u00DF', U"SS"},                  // sharp s
      {U'\uFB01', U"FI"},                  // ligature fi
      {U'\u0390', U"\u0399\u0308\u0301"},  // three code points
      {U'\u1F80', U"\u1F08\u0399"},        // Greek with ypogegrammeni
      {U'i', U"I"},                        // no Turkish rule
      {U'\u0131', U"I"},                   // dotless i
      {U'\u0130', U"\u0130"},              // dotted capital I stays
      {U'\u00FF', U"\u0178"},              // y with diaeresis, far away
      {U'\u0101', U"\u0100"},              // every other code point in a run
      {U'\u0100', U"\u0100"},              // the capital between them
      {U'\u01C5', U"\u01C4"},              // title-case digraph
      {U'\U00010428', U"\U00010400"},      // outside the BMP
      {U'\U0010FFFF', U"\U0010FFFF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<std::uint32_t>(c.code_point));
    EXPECT_EQ(to_upper_full(c.code_point).view(), c.upper);
  }
}

TEST(UnicodeTables, LowerCaseIsTheSimpleMapping) {
  const struct {
    char32_t code_point;
    char32_t lower;
  } cases[] = {
      {U'A', U'a'},           {U'a', U'a'},           {U'I', U'i'},  // no Turkish rule
      {U'\u0130', U'i'},                                             // dotted capital I, one code point
      {U'\u1E9E', U'\u00DF'},                                        // capital sharp s
      {U'\u2126', U'\u03C9'},                                        // ohm sign
      {U'\u0100', U'\u0101'}, {U'\u0101', U'\u0101'}, {U'\u0178', U'\u00FF'}, {U'\U00010400', U'\U00010428'},
      {U'\u00DF', U'\u00DF'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<std::uint32_t>(c.code_point));
    EXPECT_EQ(to_lower(c.code_point), c.lower);
  }
}

TEST(UnicodeTables, CaseFoldingIsTheSimpleFolding) {
  const struct {
    char32_t code_point;
    char32_t folded;
  } cases[] = {
      {U'A', U'a'},
      {U'a', U'a'},
      {U'\u00C5', U'\u00E5'},  // A with ring above
      {U'\u03A3', U'\u03C3'},
      {U'\u03C2', U'\u03C3'},  // sigma, final sigma
      {U'\u017F', U's'},       // long s
      {U'\u00B5', U'\u03BC'},  // micro sign
      {U'\u212A', U'k'},       // Kelvin sign
      {U'\u1E9E', U'\u00DF'},
      {U'\u00DF', U'\u00DF'},  // sharp s stays one code point
      {U'\u0130', U'\u0130'},  // no simple folding, no Turkish rule
      {U'\u13F8', U'\u13F0'},  // Cherokee folds to upper case
      {U'\U00010400', U'\U00010428'},
      {U'1', U'1'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<std::uint32_t>(c.code_point));
    EXPECT_EQ(fold_case(c.code_point), c.folded);
  }
}

TEST(UnicodeTables, WhiteSpaceIsTheUnicodeProperty) {
  for (const char32_t space : {U'\t', U'\r', U' ', U'\u0085', U'\u00A0', U'\u1680', U'\u2000', U'\u200A',
                               U'\u2029', U'\u202F', U'\u3000'}) {
    EXPECT_TRUE(is_white_space(space)) << static_cast<std::uint32_t>(space);
  }
  for (const char32_t other :
       {U'\0', U'\b', U'\u000E', U'a', U'\u200B', U'\u180E', U'\uFEFF', U'\U0010FFFF'}) {
    EXPECT_FALSE(is_white_space(other)) << static_cast<std::uint32_t>(other);
  }
}

}  // namespace
}  // namespace morva::ccsid
