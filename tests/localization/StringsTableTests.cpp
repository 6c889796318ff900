#include "kestrum/StringsTable.hpp"

#include <gtest/gtest.h>

#include <string>

namespace kestrum {
namespace {

StringsTable parsed(std::string_view text) {
    auto result = StringsTable::parse(text);
    EXPECT_FALSE(result.error) << (result.error ? result.error->message : "");
    return result.table.value_or(StringsTable{});
}

StringsTableError parseError(std::string_view text) {
    auto result = StringsTable::parse(text);
    EXPECT_FALSE(result.table);
    return result.error.value_or(StringsTableError{0, 0, "parsed"});
}

TEST(StringsTableTest, ReadsEntriesCommentsAndSpacing) {
    const auto table = parsed(
        "\xEF\xBB\xBF/* header\n   comment */\n"
        "\"kestrum.a\" = \"Alpha\";  // trailing comment\n"
        "\"kestrum.b\"=\"Beta\";\"kestrum.c\"\n=\n\"Gamma\"\n;\n"
        "bare.key = bare/value-1;\n"
        "\"self\";\n"
        "// last line without newline");
    EXPECT_EQ(table.entries().size(), 5u);
    EXPECT_EQ(table.lookup("kestrum.a"), "Alpha");
    EXPECT_EQ(table.lookup("kestrum.b"), "Beta");
    EXPECT_EQ(table.lookup("kestrum.c"), "Gamma");
    EXPECT_EQ(table.lookup("bare.key"), "bare/value-1");
    EXPECT_EQ(table.lookup("self"), "self");
    EXPECT_EQ(table.lookup("missing"), std::nullopt);
    EXPECT_TRUE(parsed("").entries().empty());
    EXPECT_TRUE(parsed("  /* only a comment */ \n").entries().empty());
}

TEST(StringsTableTest, DecodesEscapes) {
    const auto table = parsed(
        R"("q" = "say \"hi\" \\ back";)"
        "\n"
        R"("ws" = "a\nb\tc\rd";)"
        "\n"
        R"("u" = "\u00E9\U2026 \uD83D\uDE00";)"
        "\n"
        R"("oct" = "\101\351";)"
        "\n"
        R"("other" = "\'x\' \q";)"
        "\n"
        "\"raw\" = \"line one\nline two \xC3\xA9 /* not a comment */\";");
    EXPECT_EQ(table.lookup("q"), "say \"hi\" \\ back");
    EXPECT_EQ(table.lookup("ws"), "a\nb\tc\rd");
    EXPECT_EQ(table.lookup("u"), "\xC3\xA9\xE2\x80\xA6 \xF0\x9F\x98\x80");
    EXPECT_EQ(table.lookup("oct"), "A\xC3\xA9");
    EXPECT_EQ(table.lookup("other"), "'x' q");
    EXPECT_EQ(table.lookup("raw"), "line one\nline two \xC3\xA9 /* not a comment */");
}

TEST(StringsTableTest, LaterEntryReplacesEarlier) {
    EXPECT_EQ(parsed("\"k\" = \"one\"; \"k\" = \"two\";").lookup("k"), "two");
}

TEST(StringsTableTest, MalformedInputIsAnErrorWithItsPosition) {
    EXPECT_EQ(parseError("\"a\" = \"b\"\n\"c\" = \"d\";"),
              (StringsTableError{2, 1, "expected ';' after the value"}));
    EXPECT_EQ(parseError("\"a\" = \"unterminated;\n").line, 1u);
    EXPECT_EQ(parseError("\"a\" = \"unterminated;\n").message, "a quoted text is not closed");
    EXPECT_EQ(parseError("\"a\" \"b\";").message, "expected '=' or ';' after the key");
    EXPECT_EQ(parseError("\"a\" = ;").message, "expected a value after '='");
    EXPECT_EQ(parseError("= \"b\";").message, "expected a key");
    EXPECT_EQ(parseError("\"a\" = \"b\"").message, "expected ';' after the value");
    EXPECT_EQ(parseError("/* open comment").message, "a comment is not closed");
    EXPECT_EQ(parseError("\"a\" = \"\\").message, "a backslash ends the text");
    EXPECT_EQ(parseError("\"a\" = \"\\u12\";").message, "\\u needs four hexadecimal digits");
    EXPECT_EQ(parseError("\"a\" = \"\\uD800\";").message, "a high surrogate without a low surrogate");
    EXPECT_EQ(parseError("\"a\" = \"\\uDC00\";").message, "a low surrogate without a high surrogate");
    EXPECT_EQ(parseError("\"a\" = \"\xC3\";"), (StringsTableError{1, 8, "the text is not valid UTF-8"}));
    EXPECT_EQ(parseError("\"a\" = \"\xED\xA0\x80\";").message, "the text is not valid UTF-8");
    EXPECT_EQ(parseError("\xFF\xFE\"\0a\0\"\0").message, "the table is UTF-16; only UTF-8 tables are read");
    EXPECT_EQ(parseError("\"a\" = \"b\"; ?").message, "expected a key");
}

}  // namespace
}  // namespace kestrum
