// The conversion road on drawings shaped like users' drawings, as a user runs it: plotwane in a
// process of its own on a generated native drawing, with texts exploded (the default) and with
// --no-explode-text, at 100,000 and 1,000,000 entities (ROAD_BENCH_ENTITIES, a comma-separated
// list, changes the sizes). Each run prints its wall time, CPU time (user + system) and peak
// resident memory, and the ratio of its wall time to the I/O floor: writing the same DXF bytes
// from memory to a file of the same folder, flushed to the disk as the export does. A
// single-line TrueType text of 20,000 characters is converted as well. The summary at the end
// sets the figures beside the targets. Files go to the current folder's road_bench/.
//
// Per 100 entities: 36 lines, 14 polylines with bulges, 8 four-point chains, 10 circles, 10
// arcs, 10 single-line texts (8 in an SHX style, 2 in a TrueType style), 4 hatches (2 of a
// line pattern, 2 solid, one of them with a hole) and 8 references to 4 blocks (one holding a
// text); six layers; coordinates with full-precision, non-round values.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "Drakmere.h"

namespace {

namespace fs = std::filesystem;

std::vector<long> entity_counts()
{
    std::vector<long> counts;
    const char* env = std::getenv("ROAD_BENCH_ENTITIES");
    std::stringstream list(env && *env ? env : "100000,1000000");
    for (std::string item; std::getline(list, item, ',');)
        if (const long n = std::atol(item.c_str()); n > 0) counts.push_back(n);
    if (counts.empty()) counts = {100000, 1000000};
    return counts;
}

const fs::path& work_dir()
{
    static const fs::path dir = fs::current_path() / "road_bench";
    return dir;
}

fs::path source_path(long n)
{
    return work_dir() / ("mix_" + std::to_string(n) + ".vkt");
}

// A fixed sequence of doubles in [0, 1), the same on every run.
class Random {
public:
    double next()
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(m_state >> 11) * 0x1.0p-53;
    }
    double in(double lo, double hi) { return lo + (hi - lo) * next(); }
    int below(int n) { return static_cast<int>(next() * n); }

private:
    std::uint64_t m_state = 0x2545F4914F6CDD1DULL;
};

constexpr long rgb(int r, int g, int b)
{
    return r | (g << 8) | (b << 16);
}

struct Mix_Context {
    MB_Drawing& drawing;
    Random random;
    MB_Layer* layers[6];
    long colours[6];
    MB_Block* blocks[4];
};

template <typename Entity>
Entity* place(Mix_Context& c, Entity* e, int layer)
{
    e->general().layer(c.layers[layer]);
    // One entity in five has a colour of its own.
    e->general().color(c.random.below(5) == 0 ? c.colours[(layer + 3) % 6] : c.colours[layer]);
    c.drawing.object_list().add_tail(e);
    return e;
}

const char* const k_words[] = {"ROOM", "A-12", "DOOR", "D=250", "WINDOW", "LEVEL +3.150", "AXIS", "B7", "STAIR",
                               "NOTE 4", "WC", "SHAFT", "R1.05", "KITCHEN", "HALL", "E-3"};

MB_Block* make_block(MB_Drawing& drawing, const char* name, int shape, MB_Layer* layer)
{
    auto* block = new MB_Block(Qe_Pt(0, 0, 0), MB_String(name), MB_String(""));
    MB_Object_List& list = block->object_list();
    auto add = [&](MB_Drawable* e) {
        e->general().layer(layer);
        e->general().color(rgb(255, 255, 255));
        list.add_tail(e);
    };
    switch (shape) {
    case 0:  // a door: its leaf and its swing
        add(new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(0, 9.1, 0)));
        add(new MB_Arc(Qe_Pt(0, 0, 0), 9.1, 0, std::numbers::pi / 2));
        break;
    case 1:  // a window: frame and glass lines
        for (double y : {0.0, 0.75, 1.5}) add(new MB_Line(Qe_Pt(0, y, 0), Qe_Pt(12.0, y, 0)));
        break;
    case 2: {  // a column: a circle round a solid square
        add(new MB_Circle(Qe_Pt(0, 0, 0), 4.2));
        auto* fill = new MB_Hatch;
        const Qe_Pt ring[] = {{-2.5, -2.5, 0}, {2.5, -2.5, 0}, {2.5, 2.5, 0}, {-2.5, 2.5, 0}};
        fill->loop_add(new Qe_Loop(ring, 4));
        fill->get_hatchtype()->name(MB_String("_SOLID"));
        add(fill);
        break;
    }
    default: {  // a level tag with its text
        add(new MB_Circle(Qe_Pt(0, 0, 0), 3.3));
        add(new MB_Line(Qe_Pt(-3.3, 0, 0), Qe_Pt(3.3, 0, 0)));
        auto* text = new MB_Text(Qe_Pt(-2.2, 0.6, 0), MB_String("+0.00"));
        (void)text->init_text_style(drawing, "notes");
        add(text);
        break;
    }
    }
    drawing.block_list().add_tail(block);
    return block;
}

// One entity of the mix: the kind by its place in a cycle of 100, near (x, y).
void add_entity(Mix_Context& c, int slot, double x, double y)
{
    Random& r = c.random;
    const int layer = r.below(6);
    if (slot < 36) {
        const double a = r.in(0, 2 * std::numbers::pi), l = r.in(2, 60);
        place(c, new MB_Line(Qe_Pt(x, y, 0), Qe_Pt(x + l * std::cos(a), y + l * std::sin(a), 0)), layer);
    } else if (slot < 50) {
        const int n = 3 + r.below(5);
        auto* v = new MB_Pline_Pos[n];
        double px = x, py = y;
        for (int i = 0; i < n; ++i) {
            v[i].point = Qe_Pt(px, py, 0);
            // Every other segment an arc.
            v[i].bulge = i % 2 ? r.in(-0.8, 0.8) : 0.0;
            px += r.in(-25, 25);
            py += r.in(-25, 25);
        }
        place(c, new MB_Polyline(r.below(4) == 0, static_cast<unsigned short>(n), v), layer);
    } else if (slot < 58) {
        auto* chain = new MB_Lines;
        const Qe_Pt pts[] = {{x, y, 0}, {x + r.in(5, 30), y + r.in(-3, 3), 0}, {x + r.in(5, 30), y + r.in(5, 30), 0},
                             {x + r.in(-3, 3), y + r.in(5, 30), 0}};
        chain->init(4, pts);
        place(c, chain, layer);
    } else if (slot < 68) {
        place(c, new MB_Circle(Qe_Pt(x, y, 0), r.in(0.5, 20)), layer);
    } else if (slot < 78) {
        const double a = r.in(0, 2 * std::numbers::pi);
        place(c, new MB_Arc(Qe_Pt(x, y, 0), r.in(1, 30), a, a + r.in(0.2, 5.5)), layer);
    } else if (slot < 88) {
        auto* text = new MB_Text(Qe_Pt(x, y, 0), MB_String(k_words[r.below(16)]));
        (void)text->init_text_style(c.drawing, slot < 86 ? "notes" : "caption");
        place(c, text, layer);
    } else if (slot < 92) {
        auto* hatch = new MB_Hatch;
        const double w = r.in(8, 40), h = r.in(8, 40);
        const Qe_Pt ring[] = {{x, y, 0}, {x + w, y + r.in(-2, 2), 0}, {x + w, y + h, 0}, {x + r.in(-2, 2), y + h, 0}};
        hatch->loop_add(new Qe_Loop(ring, 4));
        if (slot < 90) {
            hatch->get_hatchtype()->name(MB_String("ANSI31"));
            hatch->get_hatchtype()->add_string(MB_String("45, 0, 0, 0, 3.175"));
        } else {
            if (slot == 91) {
                const Qe_Pt hole[] = {{x + w / 3, y + h / 3, 0}, {x + 2 * w / 3, y + h / 3, 0},
                                      {x + 2 * w / 3, y + 2 * h / 3, 0}, {x + w / 3, y + 2 * h / 3, 0}};
                hatch->loop_add(new Qe_Loop(hole, 4));
            }
            hatch->get_hatchtype()->name(MB_String("_SOLID"));
        }
        place(c, hatch, layer);
    } else {
        const double s = r.in(0.6, 1.8);
        auto* insert = new MB_Insert(Qe_Pt(x, y, 0), r.in(0, 2 * std::numbers::pi), s, r.below(4) ? s : -s, 1);
        insert->block(c.blocks[slot % 4]);
        place(c, insert, layer);
    }
}

bool make_mix(long n, const fs::path& path)
{
    MB_Operation op;
    if (!op.create_drawing("mix")) return false;
    Mix_Context c{*op.drawing(), {}, {}, {}, {}};
    const char* names[6] = {"WALLS", "DOORS", "FURNITURE", "TEXT", "HATCH", "AXES"};
    const long colours[6] = {rgb(255, 0, 0), rgb(255, 255, 0), rgb(0, 255, 0), rgb(0, 255, 255), rgb(128, 128, 128),
                             rgb(255, 0, 255)};
    for (int i = 0; i < 6; ++i) {
        c.layers[i] = new MB_Layer(MB_String(names[i]));
        c.layers[i]->visibility(true);
        c.layers[i]->color(static_cast<mb_ulong>(colours[i]));
        c.colours[i] = colours[i];
        c.drawing.layer_list().add_tail(c.layers[i]);
    }
    c.drawing.text_style_list().add_tail(new MB_Text_Style("notes", "txt.shx", "hztxt.shx", 2.5, 0.8, 0, 0, 0, 0));
    c.drawing.text_style_list().add_tail(new MB_Text_Style("caption", "arial.ttf", "hztxt.shx", 3.5, 1, 0, 0, 0, 0));
    const char* block_names[4] = {"DOOR", "WINDOW", "COLUMN", "LEVEL"};
    for (int i = 0; i < 4; ++i) c.blocks[i] = make_block(c.drawing, block_names[i], i, c.layers[i]);
    // Entities spread over cells of about 70 units, in a square as large as the count needs;
    // the origin lies far from 0 as surveyed coordinates do.
    const long side = static_cast<long>(std::ceil(std::sqrt(static_cast<double>(n))));
    const double origin_x = 483217.3371, origin_y = 3117420.0519;
    for (long i = 0; i < n; ++i) {
        const double x = origin_x + static_cast<double>(i % side) * 70.0 + c.random.in(0, 50);
        const double y = origin_y + static_cast<double>(i / side) * 70.0 + c.random.in(0, 50);
        add_entity(c, static_cast<int>(i % 100), x, y);
    }
    const fs::path temp = path.string() + ".part";
    if (!op.save_jxb(temp.c_str())) return false;
    fs::rename(temp, path);
    return true;
}

// One single-line TrueType text of that many characters.
bool make_long_text(long characters, const fs::path& path)
{
    MB_Operation op;
    if (!op.create_drawing("long")) return false;
    MB_Drawing& d = *op.drawing();
    d.text_style_list().add_tail(new MB_Text_Style("caption", "arial.ttf", "hztxt.shx", 3.5, 1, 0, 0, 0, 0));
    const std::string s(static_cast<std::size_t>(characters), 'W');
    auto* text = new MB_Text(Qe_Pt(12.5, 7.25, 0), MB_String(s.c_str()));
    (void)text->init_text_style(d, "caption");
    d.object_list().add_tail(text);
    const fs::path temp = path.string() + ".part";
    if (!op.save_jxb(temp.c_str())) return false;
    fs::rename(temp, path);
    return true;
}

struct Figures {
    double wall = 0, cpu = 0, peak_mb = 0, floor = 0;
    bool ok = false;
};

// Runs a program in a process of its own, stdout to /dev/null; its figures. A child's peak
// memory includes that of the process it was started from (the kernel counts the address space
// it replaces at its start), so the drawings are made and the floor written in children too,
// and this process stays small.
Figures run_child(std::vector<std::string> args, std::string* out = nullptr)
{
    Figures f;
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const fs::path out_file = work_dir() / "child.out";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out ? out_file.c_str() : "/dev/null",
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return f;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return f;
    f.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
    f.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    f.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (out) {
        std::ifstream in(out_file);
        *out = std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    return f;
}

std::string g_self;

Figures run_plotwane(const fs::path& source, const fs::path& target, bool explode)
{
    std::vector<std::string> args{PLOTWANE_BIN};
    if (!explode) args.push_back("--no-explode-text");
    args.push_back(source.string());
    args.push_back(target.string());
    return run_child(args);
}

// The I/O floor: the bytes of the DXF, held in memory, written to a new file beside it and
// flushed to the disk, as the export writes its file. Its seconds, or a negative value.
double write_floor(const fs::path& dxf)
{
    std::ifstream in(dxf, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) return -1;
    const fs::path copy = dxf.string() + ".floor";
    const auto t0 = std::chrono::steady_clock::now();
    const int fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return -1;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, std::min<std::size_t>(bytes.size() - done, 1 << 20));
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    fs::remove(copy);
    return done == bytes.size() && synced ? s : -1;
}

double floor_of(const fs::path& dxf)
{
    std::string out;
    const Figures f = run_child({g_self, "--floor", dxf.string()}, &out);
    return f.ok ? std::atof(out.c_str()) : 0.0;
}

std::map<std::string, Figures> g_figures;
std::map<std::string, double> g_dxf_mb;

void BM_convert(benchmark::State& state, const fs::path& source, bool explode, const std::string& key)
{
    const fs::path target = work_dir() / (source.stem().string() + (explode ? "" : "_kept") + ".dxf");
    for (auto _ : state) {
        Figures f = run_plotwane(source, target, explode);
        if (!f.ok) {
            state.SkipWithError("plotwane failed");
            continue;
        }
        state.SetIterationTime(f.wall);
        f.floor = floor_of(target);
        g_figures[key] = f;
        g_dxf_mb[key] = static_cast<double>(fs::file_size(target)) / 1e6;
        state.counters["cpu_s"] = f.cpu;
        state.counters["peak_MB"] = f.peak_mb;
        state.counters["DXF_MB"] = g_dxf_mb[key];
        state.counters["floor_s"] = f.floor;
        state.counters["wall/floor"] = f.floor > 0 ? f.wall / f.floor : 0.0;
    }
}

// What one entity of each kind of the mix costs before its own heap parts.
void print_sizes()
{
    std::printf("\nbytes per entity object (sizeof): line %zu, polyline %zu, chain %zu, circle %zu, arc %zu, text %zu "
                "(+ its style %zu), hatch %zu, block reference %zu\n",
                sizeof(MB_Line), sizeof(MB_Polyline), sizeof(MB_Lines), sizeof(MB_Circle), sizeof(MB_Arc), sizeof(MB_Text),
                sizeof(MB_Text_Style), sizeof(MB_Hatch), sizeof(MB_Insert));
}

std::string key_of(long n, bool explode)
{
    return std::to_string(n) + (explode ? " default" : " --no-explode-text");
}

void print_row(const std::string& key, const char* target)
{
    auto it = g_figures.find(key);
    if (it == g_figures.end()) return;
    const Figures& f = it->second;
    std::printf("  %-28s wall %7.3f s  cpu %7.3f s  peak %7.0f MB  DXF %6.1f MB  floor %6.3f s  wall/floor %6.1f  %s\n",
                key.c_str(), f.wall, f.cpu, f.peak_mb, g_dxf_mb[key], f.floor, f.floor > 0 ? f.wall / f.floor : 0.0,
                target);
}

double wall_of(const std::string& key)
{
    auto it = g_figures.find(key);
    return it == g_figures.end() ? 0.0 : it->second.wall;
}

}  // namespace

int main(int argc, char** argv)
{
    // The work done in children of this program.
    if (argc == 4 && std::string(argv[1]) == "--make-mix") return make_mix(std::atol(argv[2]), argv[3]) ? 0 : 1;
    if (argc == 4 && std::string(argv[1]) == "--make-text") return make_long_text(std::atol(argv[2]), argv[3]) ? 0 : 1;
    if (argc == 3 && std::string(argv[1]) == "--floor") {
        const double s = write_floor(argv[2]);
        std::printf("%.6f\n", s);
        return s >= 0 ? 0 : 1;
    }
    g_self = fs::canonical("/proc/self/exe").string();
    benchmark::Initialize(&argc, argv);
    const std::vector<long> counts = entity_counts();
    fs::create_directories(work_dir());
    for (long n : counts) {
        std::printf("making a drawing of %ld entities...\n", n);
        std::fflush(stdout);
        if (!run_child({g_self, "--make-mix", std::to_string(n), source_path(n).string()}).ok) {
            std::fprintf(stderr, "road_bench: the drawing of %ld entities could not be made\n", n);
            return 1;
        }
    }
    constexpr long long_text = 20000;
    const fs::path long_source = work_dir() / "ttf_20000.vkt";
    if (!run_child({g_self, "--make-text", std::to_string(long_text), long_source.string()}).ok) {
        std::fprintf(stderr, "road_bench: the long text could not be made\n");
        return 1;
    }
    for (long n : counts)
        for (bool explode : {true, false}) {
            const std::string key = key_of(n, explode);
            benchmark::RegisterBenchmark(("plotwane/" + std::to_string(n) + (explode ? "/default" : "/no_explode_text")).c_str(),
                                         [=](benchmark::State& s) { BM_convert(s, source_path(n), explode, key); })
                ->Iterations(1)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
        }
    benchmark::RegisterBenchmark("plotwane/ttf_text_20000_characters",
                                 [=](benchmark::State& s) { BM_convert(s, long_source, true, "TrueType text 20000"); })
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    print_sizes();
    double load[3] = {0, 0, 0};
    (void)::getloadavg(load, 3);
    std::printf("\nplotwane on the mix (load average %.2f %.2f %.2f):\n", load[0], load[1], load[2]);
    for (long n : counts) {
        const bool million = n == 1000000;
        print_row(key_of(n, true), million ? "(target < 3 s, < 800 MB)" : "");
        print_row(key_of(n, false), million ? "(target < 2 s, < 600 MB)" : "");
    }
    print_row("TrueType text 20000", "(target < 2 s, < 300 MB)");
    for (const auto& [key, f] : g_figures)
        if (f.floor > 0) std::printf("  %s: wall / I/O floor = %.1f\n", key.c_str(), f.wall / f.floor);
    for (long n : counts) {
        const double d = wall_of(key_of(n, true)), k = wall_of(key_of(n, false));
        if (d > 0 && k > 0)
            std::printf("  %ld: default / --no-explode-text = %.2f%s\n", n, d / k, n == 100000 ? " (target <= 1.5)" : "");
    }
    for (std::size_t i = 1; i < counts.size(); ++i)
        for (bool explode : {true, false}) {
            const double a = wall_of(key_of(counts[i - 1], explode)), b = wall_of(key_of(counts[i], explode));
            if (a > 0 && b > 0)
                std::printf("  %ld -> %ld%s: %.2fx for %.0fx the entities%s\n", counts[i - 1], counts[i],
                            explode ? "" : " --no-explode-text", b / a,
                            static_cast<double>(counts[i]) / static_cast<double>(counts[i - 1]),
                            counts[i] == 10 * counts[i - 1] ? " (target <= 11x)" : "");
        }
    return 0;
}
