#pragma once
// The two character classes inline Markdown decides emphasis by.

namespace kestrum {

// General category Zs, or tab, line feed, form feed, carriage return.
bool isUnicodeWhitespace(char32_t c);
// General category P (punctuation) or S (symbols); covers all ASCII punctuation.
bool isUnicodePunctuation(char32_t c);

}  // namespace kestrum
