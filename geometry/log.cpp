#include "geometry/log.h"

#include <cstdio>
#include <string>

#include "geometry/point.h"
#include "geometry/text_format_p.h"
#include "platform/path.h"
#include "platform/system.h"

void message_out(const char* a, const char* b, const char* c, bool stamp)
{
    std::FILE* f = platform_fopen("jxb.log", "a+ t");
    if (!f) return;
    if (stamp) {
        SYSTEMTIME t{};
        GetSystemTime(&t);
        std::fprintf(f, "--------------%d-%d-%d %d:%d:%d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    }
    std::fputs("---------------\r\n", f);
    std::fputs(a ? a : "", f);
    std::fputs(b ? b : "", f);
    std::fputs(c ? c : "", f);
    std::fputs("\r\n", f);
    std::fclose(f);
}

void message_out(const char* a, const Qe_Pt& p, const char* c, bool stamp)
{
    const std::string b = fendral::format_text("x:%.4f  y:%.4f  z:%.4f", p.x(), p.y(), p.z());
    message_out(a, b.c_str(), c, stamp);
}
