#include "kestrum/helper/HelperOutput.hpp"

#include <gtest/gtest.h>

#include "kestrum/fakes/FakePlatform.hpp"

namespace kestrum {
namespace {

TEST(HelperOutputTests, EncodesCompactObjectsWithAbsentMembersLeftOut) {
    EXPECT_EQ(encodeHelperOutput({true, "microphone", "notGranted", std::nullopt}),
              R"({"success":true,"kind":"microphone","status":"notGranted"})");
    EXPECT_EQ(encodeHelperOutput({true, "accessibility", std::nullopt, std::nullopt}),
              R"({"success":true,"kind":"accessibility"})");
    EXPECT_EQ(encodeHelperOutput({false, "fullDiskAccess", std::nullopt,
                                  "Full Disk Access status must be checked by the target app process."}),
              R"({"success":false,"kind":"fullDiskAccess","error":"Full Disk Access status must be checked by the target app process."})");
    // All four members keep their order; empty strings are present, not absent.
    EXPECT_EQ(encodeHelperOutput({false, "", "", ""}), R"({"success":false,"kind":"","status":"","error":""})");
}

TEST(HelperOutputTests, EscapesExactlyQuotesBackslashSolidusAndControls) {
    EXPECT_EQ(jsonString("a\"b\\c/d"), R"("a\"b\\c\/d")");
    EXPECT_EQ(jsonString("\n\r\t\b\f"), R"("\n\r\t\b\f")");
    EXPECT_EQ(jsonString(std::string("\x00\x01\x0b\x1f", 4)), R"("\u0000\u0001\u000b\u001f")");
    // DEL, non-ASCII and characters outside the basic plane are written as they are.
    EXPECT_EQ(jsonString("\x7F é 東 🙂 \xE2\x80\xA8"), "\"\x7F é 東 🙂 \xE2\x80\xA8\"");
    EXPECT_EQ(jsonString(" !#$%&'()*+,-.:;<=>?@[]^_`{|}~"), "\" !#$%&'()*+,-.:;<=>?@[]^_`{|}~\"");
}

TEST(HelperOutputTests, MendsBytesThatAreNotUTF8BeforeEscaping) {
    EXPECT_EQ(encodeHelperOutput({false, "unknown", std::nullopt, "Unsupported action: \xFF/\xC3"}),
              "{\"success\":false,\"kind\":\"unknown\",\"error\":\"Unsupported action: \xEF\xBF\xBD\\/\xEF\xBF\xBD\"}");
}

TEST(HelperOutputTests, WritesTheLineThenTheLineFeedAsTwoWrites) {
    fakes::FakePlatform fake;
    writeOutput({true, "bluetooth", "unknown", std::nullopt}, 300);
    ASSERT_EQ(fake.output->writes.size(), 2u);
    EXPECT_EQ(fake.output->writes[0], R"({"success":true,"kind":"bluetooth","status":"unknown"})");
    EXPECT_EQ(fake.output->writes[1], "\n");
    EXPECT_TRUE(fake.output->standardError.empty());
    EXPECT_FALSE(fake.output->exitCode.has_value());

    // A reader that stops taking bytes mid-line: what was taken is never completed by a line
    // feed that would make it look like a whole line.
    fakes::FakePlatform stalled;
    stalled.output->standardOutputCapacity = 10;
    writeOutput({true, "bluetooth", "unknown", std::nullopt}, 300);
    EXPECT_EQ(stalled.output->standardOutput, R"({"success")");
}

}  // namespace
}  // namespace kestrum
