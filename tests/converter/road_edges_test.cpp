// The converter at the edges of its road, run as the program: targets that are no regular
// files, interrupts and file-size limits, hostile hatch patterns and texts, drawings the export
// can only partly write, newer files, modes and owners, long names, and what the one line of a
// failure says.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <thread>

#include "Drakmere.h"
#include "converter_fixture.h"
#include "dxf_run.h"
#include "platform/ximage.h"

extern char** environ;

using namespace converter_test;

namespace {

std::string q(const std::string& s)
{
    return shell_quote(s);
}

// Files of the folder whose names start with '.': the temporary files of an export.
std::vector<std::string> hidden_files(const fs::path& folder)
{
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().front() == '.') out.push_back(entry.path().filename().string());
    return out;
}

// After an export that failed or was interrupted: no temporary file, the older target as it
// was and no raster of the new one.
void expect_nothing_left(const Work_Dir& work, const std::string& target, const std::string& raster)
{
    EXPECT_EQ(hidden_files(work.path()), std::vector<std::string>{});
    EXPECT_EQ(read_file(target), "the older file");
    EXPECT_FALSE(fs::exists(work.path() / raster)) << raster;
}

// A drawing saved at path: what fill adds to a fresh one.
void save_drawing(const std::string& path, const std::function<void(MB_Drawing&)>& fill)
{
    MB_Operation op;
    ASSERT_TRUE(op.create_drawing("edges"));
    fill(*op.drawing());
    ASSERT_TRUE(op.save_jxb(path.c_str()));
}

void add_lines(MB_Drawing& d, int n)
{
    for (int i = 0; i < n; ++i)
        d.object_list().add_tail(new MB_Line(Qe_Pt(i % 400, i / 400, 0), Qe_Pt(i % 400 + 1, i / 400 + 0.5, 0)));
}

// An image of a small raster, each pixel of its own colour.
MB_Image* small_image(double x)
{
    auto* raster = new CxImage;
    EXPECT_TRUE(raster->Create(5, 4, 24));
    for (int py = 0; py < 4; ++py)
        for (int px = 0; px < 5; ++px)
            raster->SetPixelColor(px, py, RGBQUAD{static_cast<BYTE>(40 * px), static_cast<BYTE>(60 * py), 90, 0});
    auto* image = new MB_Image(raster);
    image->center(Qe_Pt(x, -20, 0));
    image->width(10);
    image->height(8);
    return image;
}

std::string small_source(const Work_Dir& work)
{
    const std::string source = work / "small.vkt";
    save_drawing(source, [](MB_Drawing& d) { add_lines(d, 3); });
    return source;
}

TEST(RoadEdges, TargetsThatAreNoRegularFilesAreRefusedBeforeAnythingIsWritten)
{
    Work_Dir work("edges_not_regular");
    const std::string source = small_source(work);
    const std::string fifo = work / "pipe.dxf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(work / "nothing.dxf", work.path() / "dangling.dxf");
    struct Case {
        std::string target;
        const char* reason;
    };
    std::vector<Case> cases = {{fifo, "not a regular file"}, {work / "dangling.dxf", "a link to nothing"}};
    // A character device (the null device) made here, where only root may make one.
    const std::string device = work / "device.dxf";
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        cases.push_back({device, "not a regular file"});
    }
    for (const Case& c : cases) {
        const Program_Run r = run_plotwane(q(source) + " " + q(c.target));
        EXPECT_EQ(r.status, 1) << c.target;
        EXPECT_EQ(r.err, "Plotwane: Export to " + c.target + " failed: " + c.reason + "\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_symlink(work.path() / "dangling.dxf"));
    EXPECT_FALSE(fs::exists(work.path() / "nothing.dxf"));
    if (root) {
        EXPECT_TRUE(fs::is_character_file(device));
    }
    EXPECT_EQ(hidden_files(work.path()), std::vector<std::string>{});
}

TEST(RoadEdges, ALinkToARegularFileIsFollowedAndStays)
{
    Work_Dir work("edges_link");
    const std::string source = small_source(work);
    fs::create_directories(work.path() / "real");
    const std::string real = work / "real/plan.dxf";
    write_file(real, "an older file");
    fs::create_symlink(real, work.path() / "link.dxf");
    const Program_Run r = run_plotwane(q(source) + " " + q(work / "link.dxf"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(work.path() / "link.dxf"));
    EXPECT_EQ(fs::read_symlink(work.path() / "link.dxf"), real);
    const auto report = ezdxf_report(real);
    EXPECT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_EQ(lines_starting(report, "entity LINE").size(), 3u);
    EXPECT_EQ(hidden_files(work.path()), std::vector<std::string>{});
    EXPECT_EQ(hidden_files(work.path() / "real"), std::vector<std::string>{});
}

TEST(RoadEdges, AReplacedTargetKeepsItsModeAndOwner)
{
    Work_Dir work("edges_mode");
    const std::string source = small_source(work);
    const std::string target = work / "private.dxf";
    write_file(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(target.c_str(), 1234, 2345), 0);
    }
    ASSERT_EQ(run_plotwane(q(source) + " " + q(target)).status, 0);
    struct stat st{};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(st.st_uid, 1234u);
        EXPECT_EQ(st.st_gid, 2345u);
    }
    EXPECT_NE(read_file(target), "old");
    // A new target gets the usual mode under the umask.
    const std::string fresh = work / "fresh.dxf";
    ASSERT_EQ(run_plotwane(q(source) + " " + q(fresh), "", "umask 027; ").status, 0);
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// plotwane started directly (no shell between), its output in files of the current folder.
pid_t spawn_plotwane(const std::vector<std::string>& args)
{
    std::vector<std::string> env_strings;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "PLATFORM_KERNEL_DIR=", 20) != 0) env_strings.emplace_back(*e);
    std::vector<char*> env;
    for (std::string& e : env_strings) env.push_back(e.data());
    env.push_back(nullptr);
    std::vector<std::string> argv_strings = {PLOTWANE_BIN};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_strings) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "plotwane.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "plotwane.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, PLOTWANE_BIN, &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

// A real SIGINT, SIGTERM or SIGHUP (the terminal closed) while the export writes: the DXF and
// the rasters are temporary files at that moment, and none of them may stay. A signal the
// program was started to ignore (nohup, a background job of a script) does not stop it.
TEST(RoadEdges, InterruptsRemoveEveryTemporaryFile)
{
    Work_Dir work("edges_interrupt");
    const std::string source = work / "many.vkt";
    // Images first, so that their rasters are written before the long run of lines.
    save_drawing(source, [](MB_Drawing& d) {
        for (int i = 0; i < 3; ++i) d.object_list().add_tail(small_image(20.0 * i));
        add_lines(d, 1000000);
    });
    const struct {
        int signal;
        bool ignored;
    } cases[] = {{SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGHUP, true}, {SIGINT, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.signal << (c.ignored ? " ignored" : ""));
        const std::string target = work / "many.dxf";
        write_file(target, "the older file");
        // An ignored signal stays ignored in the program started.
        struct sigaction ignore{}, before{};
        ignore.sa_handler = SIG_IGN;
        if (c.ignored) {
            ASSERT_EQ(::sigaction(c.signal, &ignore, &before), 0);
        }
        const pid_t pid = spawn_plotwane({source, target});
        if (c.ignored) {
            ASSERT_EQ(::sigaction(c.signal, &before, nullptr), 0);
        }
        ASSERT_GT(pid, 0);
        // Once a temporary file is there, the export runs.
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        bool seen = false;
        int status = 0;
        while (!seen && std::chrono::steady_clock::now() < give_up) {
            seen = !hidden_files(work.path()).empty();
            if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(500));
            ASSERT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "plotwane ended before it wrote";
        }
        ASSERT_TRUE(seen);
        ASSERT_EQ(::kill(pid, c.signal), 0);
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        if (c.ignored) {
            EXPECT_EQ(WEXITSTATUS(status), 0);
            EXPECT_EQ(read_file(work.path() / "plotwane.out"), target + "\n");
            EXPECT_NE(read_file(target), "the older file");
            EXPECT_TRUE(fs::is_regular_file(work.path() / "many-1.png"));
            EXPECT_EQ(hidden_files(work.path()), std::vector<std::string>{});
            fs::remove(work.path() / "many-1.png");
            continue;
        }
        EXPECT_EQ(WEXITSTATUS(status), 128 + c.signal);
        EXPECT_EQ(read_file(work.path() / "plotwane.err"), "Plotwane: the conversion was interrupted\n");
        EXPECT_EQ(read_file(work.path() / "plotwane.out"), "");
        expect_nothing_left(work, target, "many-1.png");
    }
}

// An interrupt that comes once the target is in place, before the program has seen the
// conversion end: it says what happened (converted, exit 0), not that it was interrupted.
TEST(RoadEdges, AnInterruptAfterTheTargetIsInPlaceIsNoFailure)
{
    Work_Dir work("edges_late_interrupt");
    assemble_kernel_dir(work.path() / "kernel", Lib::Probe, Lib::Interrupt);
    const std::string source = work / "any.vkt";
    write_file(source, "read by the probe");
    const std::string target = work / "any.dxf";
    const Program_Run r =
        run_plotwane(q(source) + " " + q(target), "PLATFORM_KERNEL_DIR=" + q((work.path() / "kernel").string()));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, target + "\n");
    EXPECT_EQ(read_file(target).rfind("operations=1 active=1 drawing=1 mark=1", 0), 0u) << read_file(target);
}

// Under a file-size limit the write fails with EFBIG (SIGXFSZ is ignored) and takes the
// failure path: one line, exit 1, no temporary file, the old target intact.
TEST(RoadEdges, AFileSizeLimitFailsTheExportWithoutKillingTheProgram)
{
    Work_Dir work("edges_file_size");
    const std::string source = work / "lines.vkt";
    save_drawing(source, [](MB_Drawing& d) {
        for (int i = 0; i < 3; ++i) d.object_list().add_tail(small_image(20.0 * i));
        add_lines(d, 20000);
    });
    const std::string target = work / "lines.dxf";
    write_file(target, "the older file");
    // 200 blocks: 100 KB or 200 KB as the shell counts them; the DXF is about 2 MB.
    const Program_Run r = run_plotwane(q(source) + " " + q(target), "", "ulimit -f 200; ");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Plotwane: Export to " + target + " failed: file too large\n");
    EXPECT_EQ(r.out, "");
    expect_nothing_left(work, target, "lines-1.png");
}

// A pattern line whose step along the lines is past 2^53 dash periods ended nowhere.
TEST(RoadEdges, AHatchPatternWithAHugeStepIsConverted)
{
    Work_Dir work("edges_hatch_step");
    const std::string source = work / "hatch.vkt";
    save_drawing(source, [](MB_Drawing& d) {
        auto* hatch = new MB_Hatch;
        const Qe_Pt square[] = {{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {0, 100, 0}};
        hatch->loop_add(new Qe_Loop(square, 4));
        hatch->get_hatchtype()->name(MB_String("far"));
        EXPECT_TRUE(hatch->get_hatchtype()->add_string(MB_String("45,0,0,777777777777770,0.5,5")));
        d.object_list().add_tail(hatch);
    });
    const Program_Run r = run_plotwane(q(source) + " " + q(work / "hatch.dxf"), "", "timeout 300 ");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto report = ezdxf_report(work / "hatch.dxf");
    EXPECT_EQ(lines_starting(report, "entity HATCH layer=0 color=7 pattern=far solid=0 paths=1").size(), 1u)
        << joined(report);
}

// Backslashes that start no well-formed \U+XXXX: ezdxf's recovering reader refused the file.
TEST(RoadEdges, BackslashesInTextsAndNamesReadBackAsWritten)
{
    Work_Dir work("edges_backslash");
    const std::string source = work / "texts.vkt";
    save_drawing(source, [](MB_Drawing& d) {
        auto* layer = new MB_Layer(MB_String("a\\U+"));
        layer->visibility(true);
        d.layer_list().add_tail(layer);
        for (const char* text : {"\\U+0041\\U+", "C:\\Users\\plan"}) {
            auto* t = new MB_Text(Qe_Pt(0, 0, 0), MB_String(text));
            MB_Text_Style style("notes", "txt.shx", "", 2, 1, 0, 0, 0, 0);
            t->init_text_style(&style);
            t->general().layer(layer);
            d.object_list().add_tail(t);
        }
    });
    const std::string dxf = work / "texts.dxf";
    const Program_Run r = run_plotwane("--no-explode-text " + q(source) + " " + q(dxf));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto report = ezdxf_report(dxf, "--recover");
    EXPECT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    // A well-formed code is the character the kernel draws for it; every other backslash
    // stays a backslash. Names take no backslash at all.
    EXPECT_FALSE(lines_starting(report, "layer a_U+ ").empty()) << joined(report);
    const auto texts = lines_starting(report, "entity TEXT");
    ASSERT_EQ(texts.size(), 2u) << joined(report);
    EXPECT_NE(texts[0].find(" text=A\\U+ rotation="), std::string::npos) << texts[0];
    EXPECT_NE(texts[1].find(" text=C:\\Users\\plan rotation="), std::string::npos) << texts[1];
}

// Kept as far as the export can (a hatch of no drawable line keeps its boundary, a B-spline
// too large for its cubic keeps its fit points), and what it cannot write is said in one line.
TEST(RoadEdges, WhatTheExportCannotWriteIsKeptOrSaid)
{
    Work_Dir work("edges_unwritten");
    const std::string source = work / "odd.vkt";
    save_drawing(source, [](MB_Drawing& d) {
        d.object_list().add_tail(new MB_Line(Qe_Pt(1, 2, 0), Qe_Pt(30, 40, 0)));
        for (const char* line : {"45,0,0,0,0", "0,0,0,1,1e-300"}) {
            auto* hatch = new MB_Hatch;
            const Qe_Pt square[] = {{0, 0, 0}, {40, 0, 0}, {40, 30, 0}, {0, 30, 0}};
            hatch->loop_add(new Qe_Loop(square, 4));
            hatch->get_hatchtype()->name(MB_String("flat"));
            EXPECT_TRUE(hatch->get_hatchtype()->add_string(MB_String(line)));
            d.object_list().add_tail(hatch);
        }
        auto* spline = new MB_Bspline(0, 4);
        const Qe_Pt fit[4] = {{0, 0, 0}, {1e200, 5e199, 0}, {2e200, -3e199, 0}, {3e200, 0, 0}};
        for (int i = 0; i < 4; ++i) spline->fitpts().points()[i] = fit[i];
        d.object_list().add_tail(spline);
        // Last: a value that is not finite spoils what the stream stores after it.
        d.object_list().add_tail(new MB_Line(Qe_Pt(NAN, 2, 0), Qe_Pt(3, 4, 0)));
        d.object_list().add_tail(new MB_Circle(Qe_Pt(5, INFINITY, 0), 2));
    });
    const std::string dxf = work / "odd.dxf";
    const Program_Run r = run_plotwane(q(source) + " " + q(dxf));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, dxf + "\n");
    EXPECT_EQ(r.err, "Gressil.so: 2 entities not written: line x 1, circle x 1\n");
    const auto report = ezdxf_report(dxf);
    EXPECT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    const auto entities = lines_starting(report, "entity ");
    ASSERT_EQ(entities.size(), 4u) << joined(report);
    EXPECT_EQ(entities[0], "entity LINE layer=0 color=7 start=(1,2,0) end=(30,40,0)");
    for (int i : {1, 2}) EXPECT_EQ(entities[i], "entity HATCH layer=0 color=7 pattern=flat solid=0 paths=1 style=0 scale=1 angle=0 lines=");
    EXPECT_EQ(entities[3].rfind("entity SPLINE layer=0 color=7 degree=3 fit=4 first=(0,0,0) last=(", 0), 0u) << entities[3];
    EXPECT_GE(librecad_ink(dxf, work.path()), 0);
}

// The prompt about a newer file is a question the terminal cannot ask: answered with its
// default, it prints nothing, and a failure it leads to is one line that says why.
TEST(RoadEdges, ANewerFileIsOneLineWhenItFails)
{
    Work_Dir work("edges_newer");
    const std::string saved = small_source(work);
    std::string bytes = read_file(saved);
    const std::size_t at = bytes.find("(VKT VA0");
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at + 6, 5, "A9999");
    write_file(work / "newer.vkt", bytes);
    write_file(work / "newer_cut.vkt", bytes.substr(0, bytes.size() / 2));
    const Program_Run whole = run_plotwane(q(work / "newer.vkt"));
    EXPECT_EQ(whole.status, 0) << whole.err;
    EXPECT_EQ(whole.err, "");
    const Program_Run cut = run_plotwane(q(work / "newer_cut.vkt"));
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.err, "Plotwane: Import of " + (work / "newer_cut.vkt") + " failed: the file is of a newer version\n");
}

// A drawing the memory cannot hold says so, not that the file holds a record of an unknown
// kind (the stream reader stops with the same result for both).
TEST(RoadEdges, AnImportOutOfMemorySaysSo)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
    Work_Dir work("edges_out_of_memory");
    const std::string source = work / "large.vkt";
    save_drawing(source, [](MB_Drawing& d) { add_lines(d, 1000000); });
    // 150 MB of address space: the program starts and reads a small drawing in far less, a
    // million lines take more than twice as much.
    const Program_Run small = run_plotwane(q(small_source(work)), "", "ulimit -v 150000; ");
    EXPECT_EQ(small.status, 0) << small.err;
    const Program_Run r = run_plotwane(q(source), "", "ulimit -v 150000; ");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Plotwane: Import of " + source + " failed: out of memory\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(work.path() / "large.dxf"));
}

// A target name up to the file system's limit: its temporary name and its rasters' names are
// cut to fit, never the target's.
TEST(RoadEdges, LongTargetNamesAreWrittenWithTheirRasters)
{
    Work_Dir work("edges_long_names");
    const std::string source = work / "pictures.vkt";
    save_drawing(source, [](MB_Drawing& d) {
        d.object_list().add_tail(small_image(0));
        d.object_list().add_tail(small_image(20));
    });
    for (const std::size_t length : {246u, 251u, 255u}) {
        SCOPED_TRACE(length);
        const std::string name = std::string(length - 4, 'n') + ".dxf";
        const std::string target = work / name;
        const Program_Run r = run_plotwane(q(source) + " " + q(target));
        ASSERT_EQ(r.status, 0) << r.err;
        // Read under a short name beside it: the report's own file name would be too long.
        fs::copy_file(target, work.path() / "short.dxf", fs::copy_options::overwrite_existing);
        const auto report = ezdxf_report(work / "short.dxf");
        const auto images = lines_starting(report, "entity IMAGE");
        ASSERT_EQ(images.size(), 2u) << joined(report);
        for (const std::string& image : images) {
            const std::size_t def = image.find(" def=") + 5;
            const std::string raster = image.substr(def, image.find(' ', def) - def);
            EXPECT_LE(raster.size(), 255u);
            EXPECT_TRUE(fs::is_regular_file(work.path() / raster)) << raster;
        }
        EXPECT_EQ(hidden_files(work.path()), std::vector<std::string>{});
    }
}

// The one line of a failure in the terminal's character set, naming the path as it was typed,
// and saying why.
TEST(RoadEdges, MessagesReadRightAndSayWhy)
{
    Work_Dir work("edges_messages");
    const std::string missing = work / "坏 文件.vkt";
    // "没有找到文件" (file not found), as UTF-8.
    const std::string not_found = "\xE6\xB2\xA1\xE6\x9C\x89\xE6\x89\xBE\xE5\x88\xB0\xE6\x96\x87\xE4\xBB\xB6";
    for (const char* env : {"LC_ALL=C.UTF-8", "-u LANG -u LC_ALL -u LC_CTYPE"}) {
        const Program_Run r = run_plotwane(q(missing), env);
        EXPECT_EQ(r.status, 1) << env;
        EXPECT_EQ(r.err, "Plotwane: " + not_found + ": " + missing + "\n") << env;
    }
    const std::string dwf = work / "坏 文件.dwf";
    write_file(dwf, "(DWF V06.00)");
    const Program_Run r = run_plotwane(q(dwf), "LC_ALL=C.UTF-8");
    EXPECT_EQ(r.err, "Plotwane: Import of " + dwf + " failed: unsupported input format\n");

    // A folder the program may not write in (root runs it without its power over modes).
    const std::string source = small_source(work);
    fs::create_directories(work.path() / "locked");
    ASSERT_EQ(::chmod((work / "locked").c_str(), 0500), 0);
    const std::string target = work / "locked/out.dxf";
    const std::string as_user =
        ::geteuid() == 0 ? "setpriv --bounding-set=-dac_override,-dac_read_search -- " : "";
    const Program_Run locked = run_plotwane(q(source) + " " + q(target), "", as_user);
    EXPECT_EQ(locked.status, 1);
    EXPECT_EQ(locked.err, "Plotwane: Export to " + target + " failed: permission denied\n");

    // A record of a kind no class makes stops the load, and the line says so, not that memory
    // ran out (the stream reader stops with the same result for both).
    std::string bytes = read_file(source);
    const std::size_t end = bytes.find("(EndOfVKT)");
    ASSERT_NE(end, std::string::npos);
    bytes.insert(end, "(Zork)\r\n");
    const std::string unknown = work / "unknown.vkt";
    write_file(unknown, bytes);
    const Program_Run r_unknown = run_plotwane(q(unknown));
    EXPECT_EQ(r_unknown.status, 1);
    EXPECT_EQ(r_unknown.err, "Plotwane: Import of " + unknown + " failed: a record of an unknown kind\n");
}

}  // namespace
