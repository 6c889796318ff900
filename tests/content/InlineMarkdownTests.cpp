#include "kestrum/InlineMarkdown.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrum {
namespace {

StyledRun plain(std::string text) { return StyledRun{std::move(text), false, false, false, std::nullopt}; }
StyledRun strong(std::string text) { return StyledRun{std::move(text), true, false, false, std::nullopt}; }
StyledRun code(std::string text) { return StyledRun{std::move(text), false, false, true, std::nullopt}; }
StyledRun link(std::string text, std::string to) { return StyledRun{std::move(text), false, false, false, std::move(to)}; }

std::vector<StyledRun> parse(std::string_view text) {
    auto runs = parseInlineMarkdown(text);
    EXPECT_TRUE(runs) << text;
    return runs.value_or(std::vector<StyledRun>{});
}

// A compact rendering for readable expectations: <s>strong</s>, <e>emphasis</e>, `code`,
// {text->link}.
std::string render(const std::vector<StyledRun>& runs) {
    std::string out;
    for (const auto& run : runs) {
        std::string piece = run.code ? "`" + run.text + "`" : run.text;
        if (run.emphasis) piece = "<e>" + piece + "</e>";
        if (run.strong) piece = "<s>" + piece + "</s>";
        if (run.link) piece = "{" + piece + "->" + *run.link + "}";
        out += piece;
    }
    return out;
}
std::string render(std::string_view text) { return render(parse(text)); }

// The template read with its placeholders standing for `words`.
std::string renderTemplate(std::string_view markdownTemplate, const std::vector<std::string>& words) {
    const auto runs = parseInlineMarkdown(splitObjectTemplate(markdownTemplate, words.size()), words);
    EXPECT_TRUE(runs) << markdownTemplate;
    return render(runs.value_or(std::vector<StyledRun>{}));
}

TEST(InlineMarkdownTest, PanelTitleMakesBothNamesStrong) {
    EXPECT_EQ(parse("Drag **Tazel** to the list above to allow **Full Disk Access**."),
              (std::vector<StyledRun>{plain("Drag "), strong("Tazel"), plain(" to the list above to allow "),
                                      strong("Full Disk Access"), plain(".")}));
    // CJK text without spaces around the delimiters.
    EXPECT_EQ(render("将**Tazel**拖到上方列表中以允许**完全磁盘访问权限**。"),
              "将<s>Tazel</s>拖到上方列表中以允许<s>完全磁盘访问权限</s>。");
}

TEST(InlineMarkdownTest, TextWithoutMarkupIsOneUnstyledRun) {
    EXPECT_EQ(parse("Ziehe Tazel in die Liste."), (std::vector<StyledRun>{plain("Ziehe Tazel in die Liste.")}));
    EXPECT_TRUE(parse("").empty());
}

TEST(InlineMarkdownTest, DelimiterRunRules) {
    EXPECT_EQ(render("*a* _b_ **c** __d__"), "<e>a</e> <e>b</e> <s>c</s> <s>d</s>");
    // Not left-flanking: followed by whitespace.
    EXPECT_EQ(render("a * b *"), "a * b *");
    // Intraword underscores do not emphasise, asterisks do.
    EXPECT_EQ(render("snake_case_name foo*bar*baz"), "snake_case_name foo<e>bar</e>baz");
    // Punctuation-adjacent runs.
    EXPECT_EQ(render("**\"quoted\"**"), "<s>\"quoted\"</s>");
    EXPECT_EQ(render("a**\"b\"**"), "a**\"b\"**");
    // Rule of three.
    EXPECT_EQ(render("*foo**bar**baz*"), "<e>foo</e><s><e>bar</e></s><e>baz</e>");
    EXPECT_EQ(render("*foo**bar*"), "<e>foo**bar</e>");
    EXPECT_EQ(render("***strong emph***"), "<s><e>strong emph</e></s>");
    EXPECT_EQ(render("**a *b* c**"), "<s>a </s><s><e>b</e></s><s> c</s>");
    // Unmatched delimiters stay as text.
    EXPECT_EQ(render("**open only"), "**open only");
    EXPECT_EQ(render("close only**"), "close only**");
    // The closer takes the nearest opener.
    EXPECT_EQ(render("*a **b*"), "*a *<e>b</e>");
    EXPECT_EQ(render("_a*"), "_a*");
}

TEST(InlineMarkdownTest, CodeSpans) {
    EXPECT_EQ(render("use `ls -l` here"), "use `ls -l` here");
    EXPECT_EQ(parse("`` a ` b ``"), (std::vector<StyledRun>{code("a ` b")}));
    // No emphasis inside code, and code binds before emphasis.
    EXPECT_EQ(parse("`*x*`"), (std::vector<StyledRun>{code("*x*")}));
    EXPECT_EQ(render("*a `*` b*"), "<e>a </e><e>`*`</e><e> b</e>");
    // An unmatched run of backticks is literal.
    EXPECT_EQ(render("``a`"), "``a`");
    EXPECT_EQ(parse("`a\nb`"), (std::vector<StyledRun>{code("a b")}));
}

TEST(InlineMarkdownTest, Links) {
    EXPECT_EQ(parse("see [the docs](https://example.com/a_b) now"),
              (std::vector<StyledRun>{plain("see "), link("the docs", "https://example.com/a_b"), plain(" now")}));
    EXPECT_EQ(render("[**bold** link](/x \"title\")"), "{<s>bold</s>->/x}{ link->/x}");
    EXPECT_EQ(render("[a](<b c>)"), "{a->b c}");
    EXPECT_EQ(render("[a](b(c)d)"), "{a->b(c)d}");
    EXPECT_EQ(render("[a](b\\)c)"), "{a->b)c}");
    EXPECT_EQ(render("[a]()"), "{a->}");
    // Links do not nest: the inner one wins and the outer brackets stay text.
    EXPECT_EQ(render("[a [b](c) d](e)"), "[a {b->c} d](e)");
    // Not links.
    EXPECT_EQ(render("[no destination]"), "[no destination]");
    EXPECT_EQ(render("[a] (b)"), "[a] (b)");
    EXPECT_EQ(render("[a](b c)"), "[a](b c)");
    EXPECT_EQ(render("[a](b"), "[a](b");
    EXPECT_EQ(render("]["), "][");
    // Emphasis does not cross a link's boundary.
    EXPECT_EQ(render("*[a*](b)"), "*{a*->b}");
    // Autolinks.
    EXPECT_EQ(render("<https://example.com>"), "{https://example.com->https://example.com}");
    EXPECT_EQ(render("<me@example.com>"), "{me@example.com->mailto:me@example.com}");
    EXPECT_EQ(render("<not a link>"), "<not a link>");
    // Image syntax shows its description.
    EXPECT_EQ(render("![*icon*](i.png) x"), "<e>icon</e> x");
}

TEST(InlineMarkdownTest, EscapesAndReferences) {
    EXPECT_EQ(render("\\*not emphasis\\* \\\\ \\a"), "*not emphasis* \\ \\a");
    EXPECT_EQ(render("Media &amp; Apple Music &#65;&#x42; &bogus; & more"), "Media & Apple Music AB &bogus; & more");
    EXPECT_EQ(render("&#0;"), "\xEF\xBF\xBD");
    // Every named reference of HTML5, some standing for two code points; only with the ";",
    // and the names are case-sensitive.
    EXPECT_EQ(render("caf&eacute; &Eacute;T&Eacute; &NotEqualTilde; &fjlig; &CounterClockwiseContourIntegral;"),
              "caf\u00E9 \u00C9T\u00C9 \u2242\u0338 fj \u2233");
    EXPECT_EQ(render("&eacute &EACUTE; &CounterClockwiseContourIntegralX; &frac12;"),
              "&eacute &EACUTE; &CounterClockwiseContourIntegralX; \u00BD");
    EXPECT_EQ(render("[x](/a&auml;b \"&quot;t&quot;\")"), "{x->/a\u00E4b}");
}

TEST(InlineMarkdownTest, BlockSyntaxAndWhitespaceStayText) {
    EXPECT_EQ(render("# Heading\n- item\n> quote\n1. one"), "# Heading\n- item\n> quote\n1. one");
    EXPECT_EQ(render("two  spaces  \nand\ttab"), "two  spaces  \nand\ttab");
    EXPECT_EQ(render("**across\nlines**"), "<s>across\nlines</s>");
    EXPECT_EQ(render("<b>html</b>"), "<b>html</b>");
}

TEST(InlineMarkdownTest, UnreadableTextGivesNothing) {
    EXPECT_FALSE(parseInlineMarkdown("bad \xFF byte"));
    EXPECT_FALSE(parseInlineMarkdown("truncated \xE6\x8B"));
    EXPECT_FALSE(parseInlineMarkdown(std::string(kInlineMarkdownMaximumLength + 1, 'a')));
    EXPECT_TRUE(parseInlineMarkdown(std::string(kInlineMarkdownMaximumLength, '*')));
}

TEST(InlineMarkdownTest, DeeplyNestedInputStaysBounded) {
    const std::string half(kInlineMarkdownMaximumLength / 2 - 1, '*');
    const auto runs = parse(half + "x" + half);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs.front().text, "x");
    std::string brackets;
    while (brackets.size() + 6 < kInlineMarkdownMaximumLength) brackets += "[a](b ";
    EXPECT_TRUE(parseInlineMarkdown(brackets));
}

TEST(InlineMarkdownTest, TemplateWordsAreOpaqueAndShowAsWritten) {
    const std::vector<std::string> names{"A*B*C", "_x_", "Tazel `dev`", "[a](b)", "back\\slash\\", "<b>&amp;",
                                         "Tazel (Beta)", "**", "Foo-Bar.v2", "&#65;", "%@ %1$@"};
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const struct {
            const char* markdownTemplate;
            std::string shown;
        } rows[] = {
            {"Drag **%@** here.", "Drag <s>" + name + "</s> here."},
            {"**%@**を上の", "<s>" + name + "</s>を上の"},
            {"将**%@**拖到", "将<s>" + name + "</s>拖到"},
            {"allow **%@**。", "allow <s>" + name + "</s>。"},
            {"*%@*, _%1$@_", "<e>" + name + "</e>, <e>" + name + "</e>"},
            {"`%@`", "`" + name + "`"},
            {"[%@](https://x.test/%1$@)", "{" + name + "->https://x.test/" + name + "}"},
            {"<https://x.test/%@>", "{https://x.test/" + name + "->https://x.test/" + name + "}"},
            {"\\%@ \\*%1$@", "\\" + name + " *" + name},
        };
        for (const auto& row : rows) {
            EXPECT_EQ(renderTemplate(row.markdownTemplate, {name}), row.shown) << row.markdownTemplate;
        }
    }
    // A word joins the styled run around it; an empty word leaves no run of its own.
    EXPECT_EQ(renderTemplate("**x%@y** %@!", {"", "*"}), "<s>xy</s> *!");
    EXPECT_EQ(renderTemplate("a **%@** b", {""}), "a  b");
    // Text that is not UTF-8 in a word is mended; in the template it cannot be read.
    EXPECT_EQ(renderTemplate("**%@**", {"a\xFF"}), "<s>a\xEF\xBF\xBD</s>");
    EXPECT_FALSE(parseInlineMarkdown(splitObjectTemplate("\xE6%@", 1), {"x"}));
    // Only the template counts towards the length limit, not the words.
    EXPECT_EQ(renderTemplate("%@", {std::string(kInlineMarkdownMaximumLength * 2, 'n')}),
              std::string(kInlineMarkdownMaximumLength * 2, 'n'));
    EXPECT_FALSE(parseInlineMarkdown(splitObjectTemplate(std::string(kInlineMarkdownMaximumLength, 'a') + "%@", 1), {"x"}));
}

}  // namespace
}  // namespace kestrum
