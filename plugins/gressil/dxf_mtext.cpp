#include "plugins/gressil/dxf_mtext.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

#include "Drakmere.h"
#include "plugins/gressil/dxf_writer.h"

namespace {

void append_ascii(std::string& out, std::string_view text)
{
    for (const char c : text) {
        if (c == '^')
            out += "^ ";  // a caret and a character stand for a control character
        else if (c < 0x20 || c == 0x7F)
            out += ' ';
        else
            out += c;
    }
}

// Text of the kernel's code page: ASCII as it is, every other character as \U+XXXX.
void append_kernel_text(std::string& out, std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = i;
        while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80) ++end;
        append_ascii(out, text.substr(i, end - i));
        i = end;
        while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80) end += 2;
        end = std::min(end, text.size());
        if (end == i) continue;
        const MB_String wide(std::string(text.substr(i, end - i)).c_str());
        // Widened 8-bit text is padded with NULs up to its byte count.
        int n = 0;
        while (wide.unicode() && n < wide.length() && wide.unicode()[n]) ++n;
        out += dxf_escape(wide.unicode(), n);
        i = end;
    }
}

// A code's argument that holds a brace or a backslash would end or open a group, or start
// another code, in a reader: such a code is not written.
bool plain_argument(std::string_view code)
{
    return code.size() >= 2 && code.substr(2).find_first_of("{}\\") == std::string_view::npos;
}

// MTEXT's codes that read an argument up to a ";" (stacking, oblique, tracking, width,
// paragraph and true colour), which the kernel shows as their letter: the code whose
// backslash is at `at` in the kernel's string is written as a code only when its argument is
// there and plain, else a reader would take the rest of the text for it, or read a brace in it
// as text and the group around it as another.
bool code_with_plain_argument(std::string_view s, std::size_t at)
{
    if (!std::strchr("QSTWpc", s[at + 1])) return true;
    // Looked for no further than the first character that ends the argument or spoils it (the
    // next code's backslash among them): the searches of a text's codes never overlap, where a
    // search for the ";" alone read to the text's end for every code of a text without one.
    const std::size_t end = s.find_first_of(";{}\\", at + 2);
    return end != std::string_view::npos && s[end] == ';';
}

void append_real(std::string& out, double v)
{
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, static_cast<std::size_t>(r.ptr - buf));
}

}  // namespace

std::string dxf_mtext_content(std::string_view kernel_string, std::string_view own_font, double height)
{
    const double own_height = height;
    std::string out;
    int depth = 0;
    bool after_escape = false;
    // A colour, font or height outside a group would outlive the kernel's "}".
    auto in_group = [&] {
        if (depth > 0) return;
        out += '{';
        depth = 1;
    };
    for (const MB_Mtext_Code& c : mb_mtext_codes(kernel_string)) {
        switch (c.kind) {
        case MB_Mtext_Code::Text: {
            std::string_view text = c.text;
            // "\u+" is read as "\U+", the form MTEXT knows, and its four digits in upper case,
            // the form readers decode.
            if (after_escape && !text.empty() && (text.front() == 'U' || text.front() == 'u')) {
                out += 'U';
                text.remove_prefix(1);
                const bool digits = text.size() >= 5 && text.front() == '+' &&
                                    std::all_of(text.begin() + 1, text.begin() + 5,
                                                [](char d) { return std::isxdigit(static_cast<unsigned char>(d)); });
                for (std::size_t k = 0; digits && k < 5; ++k)
                    out += static_cast<char>(std::toupper(static_cast<unsigned char>(text[k])));
                if (digits) text.remove_prefix(5);
            }
            append_ascii(out, text);
            break;
        }
        case MB_Mtext_Code::Literal: {
            const char ch = c.text.empty() ? ' ' : c.text.front();
            const auto at = static_cast<std::size_t>(c.text.data() - kernel_string.data()) - 1;
            if (ch != '\0' && std::strchr("\\{}OoKklQSTWpNX~cM", ch) && code_with_plain_argument(kernel_string, at))
                out += '\\';
            append_ascii(out, std::string_view(&ch, 1));
            break;
        }
        case MB_Mtext_Code::Unicode_Escape: out += '\\'; break;
        case MB_Mtext_Code::Spaces: out += c.text; break;
        case MB_Mtext_Code::Double_Byte: append_kernel_text(out, c.text); break;
        case MB_Mtext_Code::Group_Open:
            out += '{';
            ++depth;
            break;
        case MB_Mtext_Code::Group_Close:
            out.append(static_cast<std::size_t>(depth), '}');
            depth = 0;
            height = own_height;
            break;
        case MB_Mtext_Code::Alignment:
            // Cut short by the end, it would swallow what follows in a reader.
            if (c.text.back() != ';' || !plain_argument(c.text)) break;
            out += '\\';
            append_kernel_text(out, c.text.substr(1));
            break;
        case MB_Mtext_Code::Colour:
            if (c.index < 0) break;
            in_group();
            out += "\\C" + std::to_string(c.index) + ';';
            break;
        case MB_Mtext_Code::Font:
            if (!c.complete || !plain_argument(c.code)) break;
            if (c.text.empty() && own_font.find_first_of("{}\\;") != std::string_view::npos) break;
            in_group();
            if (c.text.empty()) {
                out += "\\F";
                out += own_font;
                out += ';';
            } else {
                out += '\\';
                append_kernel_text(out, c.code.substr(1));
                if (c.code.back() != ';') out += ';';
            }
            break;
        case MB_Mtext_Code::Height: {
            const double h = c.relative ? c.value * height : c.value;
            if (!c.complete || !std::isfinite(h) || !(h > 0.0)) break;
            height = h;
            in_group();
            out += "\\H";
            append_real(out, h);
            out += ';';
            break;
        }
        case MB_Mtext_Code::Underline: out += "\\L"; break;
        case MB_Mtext_Code::Paragraph: out += "\\P"; break;
        }
        after_escape = c.kind == MB_Mtext_Code::Unicode_Escape;
    }
    out.append(static_cast<std::size_t>(depth), '}');
    return out;
}

std::string dxf_tolerance_content(std::string_view kernel_string)
{
    std::string out;
    std::size_t at = 0;
    for (std::size_t lf = kernel_string.find('\n'); lf != std::string_view::npos; lf = kernel_string.find('\n', at)) {
        append_kernel_text(out, kernel_string.substr(at, lf - at));
        out += "^J";
        at = lf + 1;
    }
    append_kernel_text(out, kernel_string.substr(at));
    return out;
}
