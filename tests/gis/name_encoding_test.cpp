// Names into UTF-8: UTF-8 as it is, GBK converted, anything else refused.
#include <gtest/gtest.h>

#include "platform/name_encoding.h"

using namespace zelk;

namespace {

TEST(NameEncoding, WellFormedUtf8) {
    const std::pair<const char*, bool> cases[] = {
        {"", true},
        {"P12-a", true},
        {"\xE5\x8C\x97\xE4\xBA\xAC" "1", true},  // 北京1
        {"\xF0\x9F\x98\x80", true},              // four bytes
        {"\xEF\xBF\xBF", true},                  // U+FFFF is UTF-8 (XML refuses it)
        {"\xC0\xAF", false},                     // overlong
        {"\xE0\x80\xAF", false},                 // overlong
        {"\xED\xA0\x80", false},                 // surrogate
        {"\xF4\x90\x80\x80", false},             // above U+10FFFF
        {"a\x80", false},                        // lone continuation
        {"\xE5\x8C", false},                     // cut short
        {"\xB1\xB1\xBE\xA9", false},             // GBK 北京
    };
    for (const auto& [bytes, utf8] : cases) EXPECT_EQ(nameencoding::IsUtf8(bytes), utf8) << bytes;
}

TEST(NameEncoding, ToUtf8) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"P1", "P1"},
        {"\xE5\x8C\x97\xE4\xBA\xAC" "1", "\xE5\x8C\x97\xE4\xBA\xAC" "1"},  // UTF-8 stays
        {"\xB1\xB1\xBE\xA9" "1", "\xE5\x8C\x97\xE4\xBA\xAC" "1"},          // GBK 北京1
        {"\xB5\xE3" "7", "\xE7\x82\xB9" "7"},                              // GBK 点7
        {"\xB1\xB1\xBE", std::nullopt},   // cut inside a GBK character
        {"\xFF\xFF", std::nullopt},       // neither
        {"P\xB1\x7F", std::nullopt},      // a GBK lead byte before DEL
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(nameencoding::ToUtf8(bytes), expected) << bytes;
    }
}

}  // namespace
