// SHX byte code: the input is cut into up to eight shapes (a length byte, then that many
// bytes), numbered 1.., which call one another as sub-shapes; each is decoded.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "geometry/pt_list.h"
#include "geometry/shx_char.h"
#include "geometry/void_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Qe_Shx_Char_List font;
    std::size_t at = 0;
    for (mb_ulong index = 1; index <= 8 && at < size; ++index) {
        std::size_t n = data[at++];
        if (n > size - at) n = size - at;
        auto* c = new Qe_Shx_Char;
        c->index(index);
        if (!c->create_buffer(static_cast<unsigned short>(n))) {
            delete c;
            break;
        }
        if (n) std::memcpy(c->buffer(), data + at, n);
        at += n;
        font.add_shx_char(c);
    }
    for (Qe_Shx_Char* c = font.head(); c; c = c->next()) {
        Qe_Void_List out;
        Qe_Pt pen;
        c->add_shx_char_to_list(out, pen, font);
        for (Qe_Void_Node* n = out.head(); n; n = n->next()) delete static_cast<Qe_Pt_List*>(n->entity());
        out.clear();
    }
    font.kill_all();
    return 0;
}
