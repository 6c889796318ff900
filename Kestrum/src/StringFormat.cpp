#include "kestrum/StringFormat.hpp"

#include <cstddef>

namespace kestrum {

std::string formatObjectTemplate(std::string_view format, const std::vector<std::string>& arguments) {
    std::string out;
    out.reserve(format.size());
    std::size_t next = 0;  // the argument the next "%@" takes
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            ++i;
            continue;
        }
        if (format[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        if (format[i + 1] == '@') {
            if (next < arguments.size()) {
                out += arguments[next];
            } else {
                out.append(format.substr(i, 2));
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
            if (position > arguments.size() + 1000) overflow = true;
            ++j;
        }
        if (j > i + 1 && j + 1 < format.size() && format[j] == '$' && format[j + 1] == '@') {
            if (!overflow && position >= 1 && position <= arguments.size()) {
                out += arguments[position - 1];
            } else {
                out.append(format.substr(i, j + 2 - i));
            }
            i = j + 2;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

}  // namespace kestrum
