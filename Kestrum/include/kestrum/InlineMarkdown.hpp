#pragma once
// Inline Markdown as CommonMark defines it for inline content: emphasis and strong emphasis
// (with the delimiter-run rules), code spans, inline links and autolinks, backslash escapes
// and character references. Block syntax (headings, lists, quotes) is ordinary text, and every
// space and line break is kept. Image syntax shows its description as text.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrum/PanelContent.hpp"

namespace kestrum {

// Texts longer than this are not interpreted (a panel title is far shorter).
inline constexpr std::size_t kInlineMarkdownMaximumLength = 4096;

// The styled runs of `text`, adjacent runs of equal style merged; nothing when the text cannot
// be interpreted (not UTF-8, or longer than kInlineMarkdownMaximumLength).
std::optional<std::vector<StyledRun>> parseInlineMarkdown(std::string_view text);

// `text` with a backslash before every ASCII punctuation character, so that it reads as itself
// when substituted into Markdown.
std::string escapeInlineMarkdown(std::string_view text);

// The runs' texts joined.
std::string plainText(const std::vector<StyledRun>& runs);

}  // namespace kestrum
