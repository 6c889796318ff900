#include "kestrum/UTF8.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace kestrum {
namespace {

const std::string kFFFD = "\xEF\xBF\xBD";

TEST(UTF8Tests, AcceptsEveryWellFormedBoundary) {
    for (const std::string& text : {
             std::string(""), std::string("plain ASCII \x7F"), std::string("\0", 1),
             std::string("\xC2\x80"),          // U+0080
             std::string("\xDF\xBF"),          // U+07FF
             std::string("\xE0\xA0\x80"),      // U+0800
             std::string("\xED\x9F\xBF"),      // U+D7FF, last before the surrogates
             std::string("\xEE\x80\x80"),      // U+E000, first after them
             std::string("\xEF\xBF\xBF"),      // U+FFFF
             std::string("\xF0\x90\x80\x80"),  // U+10000
             std::string("\xF4\x8F\xBF\xBF"),  // U+10FFFF
             std::string("Zürich 東京 🙂"),
         }) {
        EXPECT_TRUE(isValidUTF8(text)) << testing::PrintToString(text);
        EXPECT_EQ(repairUTF8(text), text);
    }
}

TEST(UTF8Tests, RejectsAndReplacesIllFormedSequences) {
    struct Case {
        std::string bytes;
        std::string repaired;
    };
    const Case cases[] = {
        // overlong forms: no valid prefix beyond the lead, so each byte is its own subpart
        {"\xC0\x80", kFFFD + kFFFD},
        {"\xC1\xBF", kFFFD + kFFFD},
        {"\xE0\x80\x80", kFFFD + kFFFD + kFFFD},
        {"\xF0\x80\x80\x80", kFFFD + kFFFD + kFFFD + kFFFD},
        // surrogates U+D800 and U+DFFF
        {"\xED\xA0\x80", kFFFD + kFFFD + kFFFD},
        {"\xED\xBF\xBF", kFFFD + kFFFD + kFFFD},
        // above U+10FFFF, and bytes that never occur
        {"\xF4\x90\x80\x80", kFFFD + kFFFD + kFFFD + kFFFD},
        {"\xF5\x80", kFFFD + kFFFD},
        {"\xFE\xFF", kFFFD + kFFFD},
        // stray continuation bytes
        {"a\x80z", "a" + kFFFD + "z"},
        // truncated sequences: the valid prefix is one subpart
        {"\xE2\x82", kFFFD},
        {"\xF0\x9F\x99", kFFFD},
        {"x\xE2\x82" "A", "x" + kFFFD + "A"},
        {"\xF0\x9F\x99\xE2\x82\xAC", kFFFD + "\xE2\x82\xAC"},
        // the example of maximal subparts from the Unicode standard
        {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
         "a" + kFFFD + kFFFD + kFFFD + "b" + kFFFD + "c" + kFFFD + kFFFD + "d"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(isValidUTF8(c.bytes)) << testing::PrintToString(c.bytes);
        EXPECT_EQ(repairUTF8(c.bytes), c.repaired) << testing::PrintToString(c.bytes);
    }
}

TEST(UTF8Tests, RepairAlwaysYieldsValidTextAndKeepsValidRuns) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 24);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        const int n = length(random);
        for (int i = 0; i < n; ++i) bytes += static_cast<char>(byte(random));
        const std::string repaired = repairUTF8(bytes);
        ASSERT_TRUE(isValidUTF8(repaired)) << testing::PrintToString(bytes);
        // Mending is idempotent, and valid text around a bad byte survives unchanged.
        ASSERT_EQ(repairUTF8(repaired), repaired);
        ASSERT_EQ(repairUTF8("é" + bytes + "é").substr(0, 2), "é");
    }
}

}  // namespace
}  // namespace kestrum
