#include "main/console/password.hpp"

#include <gtest/gtest.h>

namespace varlin {
namespace {

TEST(Password, Utf16BecomesUtf8Unchanged) {
  const std::vector<std::pair<std::u16string, std::string>> cases = {
      {u"", ""},
      {u" pass word ", " pass word "},
      {u"p\u00E4ss\U0001F511", "p\xC3\xA4ss\xF0\x9F\x94\x91"},
  };
  for (const auto& [units, expected] : cases) {
    const auto password = password_from_utf16(units);
    ASSERT_TRUE(password.has_value()) << expected;
    EXPECT_EQ(password->text(), expected);
  }
  EXPECT_FALSE(password_from_utf16(std::u16string{u'a', u'\xD800'}).has_value());
  EXPECT_FALSE(password_from_utf16(std::u16string{u'\xDC00', u'a'}).has_value());
}

}  // namespace
}  // namespace varlin
