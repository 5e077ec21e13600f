#include "geometry/log.h"

#include <cstdio>
#include <string>

#include "geometry/number_text.h"
#include "geometry/point.h"
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
    const std::string b =
        "x:" + qe_fixed_text(p.x(), 4) + "  y:" + qe_fixed_text(p.y(), 4) + "  z:" + qe_fixed_text(p.z(), 4);
    message_out(a, b.c_str(), c, stamp);
}
