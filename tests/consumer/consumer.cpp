// Uses the installed interface the way an outside library would.
#include <Drakmere.h>

#include <cmath>
#include <cstdio>

int main()
{
    const Qe_Tran t = rotate_transf(HALF_PI, Qe_Vec(0, 0, 1)) * translate_transf(Qe_Vec(1, 2, 0));
    const Qe_Pt p = Qe_Pt(1, 0, 0) * t;
    Qe_Void_List list;
    int a = 1, b = 2;
    list.add(&a);
    list.add(&b);
    list.reverse();
    const bool ok = same_point(p, Qe_Pt(1, 3, 0), 1e-12) && list.first() == &b && list.count() == 2 &&
                    std::fabs(resabs - 1e-6) < 1e-18;
    // The installed kernel finds its default fonts in fonts/ beside itself.
    bool fonts = true;
    for (const char* name : {"txt.shx", "gdt.shx", "hztxt.shx"}) {
        if (!g_system_resource.load_font(name)) {
            std::printf("consumer: the installed kernel has no %s in %s\n", name, g_system_resource.fonts_dir());
            fonts = false;
        }
    }
    std::puts(ok && fonts ? "consumer: ok" : "consumer: FAILED");
    return ok && fonts ? 0 : 1;
}
