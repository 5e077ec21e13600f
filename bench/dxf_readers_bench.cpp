// How long a reader we did not write takes over our DXF: LibreCAD's headless render (dxf2pdf,
// fitted to the page, in grey, as the tests run it) of the file that plotwane --no-explode-text
// writes for a drawing of mixed kinds (100,000 entities; DXF_READERS_BENCH_ENTITIES changes the
// count), against the same render of the file that ezdxf writes after reading ours (the same
// entities in another writer's hand: its tables, handles and number formatting), in the same
// run, the renders interleaved and the fastest of three of each kept. The ratio ours / ezdxf's
// is printed, and the times beside the load average. Files go to the current folder's
// dxf_readers_bench/.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Drakmere.h"
#include "ratio_reporter.h"

namespace {

namespace fs = std::filesystem;

long entity_count()
{
    const char* env = std::getenv("DXF_READERS_BENCH_ENTITIES");
    const long n = env ? std::atol(env) : 100000;
    return n > 0 ? n : 100000;
}

const fs::path& work_dir()
{
    static const fs::path dir = fs::current_path() / "dxf_readers_bench";
    return dir;
}

// Per hundred entities: 36 lines, 14 bulged polylines, 8 four-point chains, 10 circles, 10 arcs,
// 10 texts in an SHX style, 4 hatches (pattern and solid) and 8 block references, on six
// coloured layers, at places of full double precision; a tenth of them in a colour of no index.
bool make_source(long n, const std::string& path)
{
    MB_Operation op;
    if (!op.create_drawing("readers")) return false;
    MB_Drawing& d = *op.drawing();
    MB_Layer* layers[6];
    const long colours[6] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x00FFFF, 0xFF00FF};
    for (int i = 0; i < 6; ++i) {
        layers[i] = new MB_Layer(MB_String(("layer" + std::to_string(i)).c_str()));
        layers[i]->visibility(true);
        layers[i]->color(static_cast<mb_ulong>(colours[i]));
        d.layer_list().add_tail(layers[i]);
    }
    auto* notes = new MB_Text_Style("notes", "txt.shx", "hztxt.shx", 2.5, 1.0, 0.0, 0.0, 0, 0);
    d.text_style_list().add_tail(notes);
    auto* mark = new MB_Block(Qe_Pt(0, 0, 0), MB_String("mark"), MB_String(""));
    mark->object_list().add_tail(new MB_Line(Qe_Pt(-1.5, 0, 0), Qe_Pt(1.5, 0, 0)));
    mark->object_list().add_tail(new MB_Circle(Qe_Pt(0, 0, 0), 1.25));
    d.block_list().add_tail(mark);
    // A fixed sequence of fractions in [0, 1), every bit of them used.
    unsigned long long state = 0x9E3779B97F4A7C15ull;
    auto fraction = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    };
    for (long i = 0; i < n; ++i) {
        const double x = static_cast<double>(i % 400) * 7.3 + fraction();
        const double y = static_cast<double>(i / 400) * 6.1 + fraction();
        MB_Drawable* e = nullptr;
        const long k = i % 100;
        if (k < 36) {
            e = new MB_Line(Qe_Pt(x, y, 0), Qe_Pt(x + 5 * fraction(), y + 4 * fraction(), 0));
        } else if (k < 50) {
            auto* v = new MB_Pline_Pos[3];
            v[0].point = Qe_Pt(x, y, 0);
            v[0].bulge = fraction() - 0.5;
            v[1].point = Qe_Pt(x + 4 * fraction(), y + 0.3, 0);
            v[2].point = Qe_Pt(x + 4.4, y + 4 * fraction(), 0);
            e = new MB_Polyline(false, 3, v);
        } else if (k < 58) {
            auto* chain = new MB_Lines;
            const Qe_Pt pts[] = {{x, y, 0}, {x + 3 * fraction(), y, 0}, {x + 3.1, y + 3 * fraction(), 0},
                                 {x + fraction(), y + 4.6, 0}};
            chain->init(4, pts);
            e = chain;
        } else if (k < 68) {
            e = new MB_Circle(Qe_Pt(x + 2, y + 2, 0), 0.5 + 1.5 * fraction());
        } else if (k < 78) {
            e = new MB_Arc(Qe_Pt(x + 2, y + 2, 0), 0.5 + 2 * fraction(), 3 * fraction(), 3 + 3 * fraction());
        } else if (k < 88) {
            auto* text = new MB_Text(Qe_Pt(x, y + 1, 0), MB_String(("T" + std::to_string(i)).c_str()));
            (void)text->init_text_style(d, "notes");
            e = text;
        } else if (k < 92) {
            auto* hatch = new MB_Hatch;
            const double w = 2 + 3 * fraction(), h = 2 + 2 * fraction();
            const Qe_Pt ring[] = {{x, y, 0}, {x + w, y, 0}, {x + w, y + h, 0}, {x, y + h, 0}};
            hatch->loop_add(new Qe_Loop(ring, 4));
            if (k < 90) {
                hatch->get_hatchtype()->name(MB_String("_SOLID"));
            } else {
                hatch->get_hatchtype()->name(MB_String("ANSI31"));
                (void)hatch->get_hatchtype()->add_string(MB_String("45, 0,0, 0,3.175"));
                hatch->get_hatchtype()->scale(0.25);
            }
            e = hatch;
        } else {
            auto* insert = new MB_Insert(Qe_Pt(x + 2, y + 2, 0), 6.28 * fraction(), 1, 1, 1);
            insert->block(mark);
            e = insert;
        }
        e->general().layer(layers[i % 6]);
        e->general().color(i % 10 == 0 ? 0x123456 : colours[(i / 6) % 6]);
        d.object_list().add_tail(e);
    }
    return op.save_jxb(path.c_str());
}

int run(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const std::string& s)
{
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Seconds of one LibreCAD render of the file into a PDF; negative when it failed.
double librecad_seconds(const fs::path& dxf)
{
    const fs::path home = work_dir() / "librecad-home";
    fs::create_directories(home / "runtime");
    fs::permissions(home / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    const fs::path pdf_dir = work_dir() / "pdf";
    fs::create_directories(pdf_dir);
    const std::string cmd = "env HOME=" + quoted(home.string()) + " XDG_RUNTIME_DIR=" +
                            quoted((home / "runtime").string()) + " XDG_CONFIG_HOME=" +
                            quoted((home / "config").string()) +
                            " QT_QPA_PLATFORM=offscreen timeout 600 librecad dxf2pdf -a -k -t " +
                            quoted(pdf_dir.string()) + " " + quoted(dxf.string()) + " >/dev/null 2>&1";
    const auto t0 = std::chrono::steady_clock::now();
    if (run(cmd) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double g_ours = 0, g_theirs = 0;

void BM_librecad_renders(benchmark::State& state)
{
    const fs::path ours = work_dir() / "ours.dxf", theirs = work_dir() / "ezdxf.dxf";
    for (auto _ : state) {
        double best_ours = 1e300, best_theirs = 1e300;
        for (int rep = 0; rep < 3; ++rep) {
            const double a = librecad_seconds(ours), b = librecad_seconds(theirs);
            if (a < 0 || b < 0) {
                state.SkipWithError("LibreCAD could not render a file");
                return;
            }
            best_ours = std::min(best_ours, a);
            best_theirs = std::min(best_theirs, b);
        }
        g_ours = best_ours;
        g_theirs = best_theirs;
        state.SetIterationTime(best_ours);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const long n = entity_count();
    fs::create_directories(work_dir());
    const std::string source = (work_dir() / "readers.vkt").string();
    const fs::path ours = work_dir() / "ours.dxf", theirs = work_dir() / "ezdxf.dxf";
    std::printf("making a drawing of %ld entities...\n", n);
    if (!make_source(n, source) ||
        run(quoted(PLOTWANE_BIN) + " --no-explode-text " + quoted(source) + " " + quoted(ours.string()) +
            " >/dev/null") != 0 ||
        run("/usr/bin/python3 -c 'import sys, ezdxf; ezdxf.readfile(sys.argv[1]).saveas(sys.argv[2])' " +
            quoted(ours.string()) + " " + quoted(theirs.string())) != 0) {
        std::fprintf(stderr, "dxf_readers_bench: the files could not be made\n");
        return 1;
    }
    benchmark::RegisterBenchmark("librecad_ours_vs_ezdxf", BM_librecad_renders)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double load[1] = {0};
    (void)::getloadavg(load, 1);
    std::printf("LibreCAD render: ours %.3f s (%.1f MB), ezdxf's rewrite %.3f s (%.1f MB); load average %.2f\n", g_ours,
                static_cast<double>(fs::file_size(ours)) / 1e6, g_theirs,
                static_cast<double>(fs::file_size(theirs)) / 1e6, load[0]);
    print_ratio_line("librecad_render_ours", "librecad_render_ezdxf_rewrite", g_ours, g_theirs);
    return 0;
}
