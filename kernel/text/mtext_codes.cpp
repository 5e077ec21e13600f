#include "kernel/text/mtext_codes.h"

#include <algorithm>
#include <cstdlib>
#include <string>

std::vector<MB_Mtext_Code> mb_mtext_codes(std::string_view s)
{
    std::vector<MB_Mtext_Code> out;
    const std::size_t n = s.size();
    auto piece = [&](MB_Mtext_Code::Kind kind, std::size_t from, std::size_t to) -> MB_Mtext_Code& {
        MB_Mtext_Code c;
        c.kind = kind;
        c.text = s.substr(from, to - from);
        out.push_back(c);
        return out.back();
    };
    // The index just past the first c at or after i; n when there is none.
    auto past = [&](std::size_t i, char c) {
        const std::size_t at = s.find(c, i);
        return at == std::string_view::npos ? n : at + 1;
    };
    auto ordinary = [](unsigned char c) { return c != '{' && c != '}' && c != ' ' && c != '\\' && c < 0x80; };

    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '{') {
            piece(MB_Mtext_Code::Group_Open, i, i + 1);
            ++i;
        } else if (c == '}') {
            piece(MB_Mtext_Code::Group_Close, i, i + 1);
            ++i;
        } else if (c == ' ') {
            const std::size_t end = std::min(s.find_first_not_of(' ', i), n);
            piece(MB_Mtext_Code::Spaces, i, end);
            i = end;
        } else if (c >= 0x80) {
            // A lead byte cut short by the end stands alone.
            const std::size_t k = i + 1 < n ? 2 : 1;
            piece(MB_Mtext_Code::Double_Byte, i, i + k);
            i += k;
        } else if (c != '\\') {
            std::size_t end = i + 1;
            while (end < n && ordinary(static_cast<unsigned char>(s[end]))) ++end;
            piece(MB_Mtext_Code::Text, i, end);
            i = end;
        } else if (i + 1 >= n) {
            ++i;  // a backslash that ends the string
        } else {
            const char code = s[i + 1];
            const std::size_t arg = i + 2;
            switch (code) {
            case 'A': {
                const std::size_t end = past(arg, ';');
                piece(MB_Mtext_Code::Alignment, i, end);
                i = end;
                break;
            }
            case 'C': {
                std::size_t end = arg;
                while (end < n && s[end] != ';' && s[end] != '\\') ++end;
                // Digits only, at least one; an index out of 0..255 changes nothing.
                int index = -1;
                if (end > arg && end - arg <= 3 &&
                    std::all_of(s.begin() + arg, s.begin() + end, [](char d) { return d >= '0' && d <= '9'; }))
                    index = std::atoi(std::string(s.substr(arg, end - arg)).c_str());
                const std::size_t next = end < n && s[end] == ';' ? end + 1 : end;
                piece(MB_Mtext_Code::Colour, i, next).index = end < n && index <= 255 ? index : -1;
                i = next;
                break;
            }
            case 'F':
            case 'f': {
                std::size_t end = arg;
                while (end < n && s[end] != '|' && s[end] != ';') ++end;
                const std::size_t next = end < n && s[end] == '|' ? past(end, ';') : std::min(end + 1, n);
                MB_Mtext_Code& f = piece(MB_Mtext_Code::Font, arg, end < n ? end : arg);
                f.code = s.substr(i, next - i);
                f.complete = end < n;
                i = next;
                break;
            }
            case 'H': {
                std::size_t end = arg;
                while (end < n && s[end] != ';' && s[end] != 'x' && s[end] != 'X') ++end;
                if (end == n) {
                    piece(MB_Mtext_Code::Height, i, n).complete = false;
                    i = n;
                    break;
                }
                std::size_t next = end + 1;
                // "x" is followed by the ";" that closes the code; anything else is text.
                if (s[end] != ';' && next < n && s[next] == ';') ++next;
                MB_Mtext_Code& h = piece(MB_Mtext_Code::Height, i, next);
                h.value = std::strtod(std::string(s.substr(arg, end - arg)).c_str(), nullptr);
                h.relative = s[end] != ';';
                i = next;
                break;
            }
            case 'L':
                piece(MB_Mtext_Code::Underline, i, arg);
                i = arg;
                break;
            case 'P':
                piece(MB_Mtext_Code::Paragraph, i, arg);
                i = arg;
                break;
            case 'U':
            case 'u':
                if (arg < n && s[arg] == '+') {
                    // The layout engine decodes the escape: the backslash stays.
                    piece(MB_Mtext_Code::Unicode_Escape, i, i + 1);
                    i += 1;
                } else {
                    piece(MB_Mtext_Code::Literal, i + 1, arg);
                    i = arg;
                }
                break;
            default:
                if (static_cast<unsigned char>(code) >= 0x80) {
                    ++i;  // the double-byte character follows as itself
                } else {
                    piece(MB_Mtext_Code::Literal, i + 1, arg);
                    i = arg;
                }
                break;
            }
        }
    }
    return out;
}
