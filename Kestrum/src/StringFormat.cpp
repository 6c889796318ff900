#include "kestrum/StringFormat.hpp"

namespace kestrum {

std::vector<TemplatePiece> splitObjectTemplate(std::string_view format, std::size_t argumentCount) {
    std::vector<TemplatePiece> pieces;
    auto literal = [&](std::string_view text) {
        if (pieces.empty() || pieces.back().argument) pieces.push_back(TemplatePiece{});
        pieces.back().text += text;
    };
    auto placeholder = [&](std::size_t argument) { pieces.push_back(TemplatePiece{{}, argument}); };

    std::size_t next = 0;  // the argument the next "%@" takes
    std::size_t i = 0;
    while (i < format.size()) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            literal(format.substr(i, 1));
            ++i;
            continue;
        }
        if (format[i + 1] == '%') {
            literal("%");
            i += 2;
            continue;
        }
        if (format[i + 1] == '@') {
            if (next < argumentCount) {
                placeholder(next);
            } else {
                literal(format.substr(i, 2));
            }
            ++next;
            i += 2;
            continue;
        }
        // Positional: "%" digits "$@".
        std::size_t j = i + 1;
        std::size_t position = 0;
        bool overflow = false;
        while (j < format.size() && format[j] >= '0' && format[j] <= '9') {
            position = position * 10 + static_cast<std::size_t>(format[j] - '0');
            if (position > argumentCount + 1000) overflow = true;
            ++j;
        }
        if (j > i + 1 && j + 1 < format.size() && format[j] == '$' && format[j + 1] == '@') {
            if (!overflow && position >= 1 && position <= argumentCount) {
                placeholder(position - 1);
            } else {
                literal(format.substr(i, j + 2 - i));
            }
            i = j + 2;
            continue;
        }
        literal(format.substr(i, 1));
        ++i;
    }
    return pieces;
}

std::string formatObjectTemplate(std::string_view format, const std::vector<std::string>& arguments) {
    std::string out;
    out.reserve(format.size());
    for (const auto& piece : splitObjectTemplate(format, arguments.size())) {
        out += piece.argument ? arguments[*piece.argument] : piece.text;
    }
    return out;
}

}  // namespace kestrum
