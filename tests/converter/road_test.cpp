// The conversion road with test libraries: the order of its steps, its messages, what it
// leaves behind, and the binding of libraries from the kernel's folder.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "converter/library_file.h"
#include "converter/road.h"
#include "converter_fixture.h"
#include "platform/ximage.h"
#include "plugins/plugin_abi.h"

using namespace converter_test;

namespace {

struct Road_Case {
    const char* name;
    Lib import;
    Lib exporter;
    bool source_exists;
    bool ok;
    // The one expected box; empty for none. "%s" stands for the source or target path.
    std::string box;
    bool target_written;  // by the probe export
};

// By name: the default prints the struct's bytes, heap addresses included, into the test names.
void PrintTo(const Road_Case& c, std::ostream* os)
{
    *os << c.name;
}

class Road_Test : public ::testing::TestWithParam<Road_Case> {};

std::string expand(const std::string& text, const std::string& path)
{
    std::string s = text;
    const std::size_t at = s.find("%s");
    if (at != std::string::npos) s.replace(at, 2, path);
    return s;
}

TEST_P(Road_Test, StepsMessagesAndTarget)
{
    const Road_Case& c = GetParam();
    Work_Dir work(std::string("road_") + c.name);
    assemble_kernel_dir(work.path() / "kernel", c.import, c.exporter);
    Scoped_Env kernel("PLATFORM_KERNEL_DIR", (work.path() / "kernel").c_str());
    const std::string source = work / "in.vkt";
    const std::string target = work / "out.dxf";
    if (c.source_exists) write_file(source, "source bytes");
    write_file(target, "old target");
    store_current_loading_object_index(0);

    Box_Catcher boxes;
    EXPECT_EQ(convert_drawing(source.c_str(), target.c_str(), 23), c.ok);

    if (c.box.empty()) {
        EXPECT_TRUE(boxes.texts.empty()) << boxes.texts.front();
    } else {
        ASSERT_EQ(boxes.texts.size(), 1u);
        const bool names_target = c.box.rfind("Export", 0) == 0;
        EXPECT_EQ(boxes.texts[0], expand(c.box, names_target ? target : source));
        EXPECT_EQ(boxes.types[0], MB_OK);
    }
    // The road's operation is gone whatever happened.
    EXPECT_EQ(g_active_operation, nullptr);
    EXPECT_EQ(g_operation_list.count(), 0);

    const std::string written = read_file(target);
    if (c.target_written) {
        // The export saw the drawing that the import marked, in the road's one operation,
        // with the arguments 0 and 23.
        EXPECT_EQ(written.substr(0, written.find('\n')),
                  "operations=1 active=1 drawing=1 mark=1 mode=0 version=23");
        EXPECT_EQ(load_current_loading_object_index(), 7);
    } else {
        EXPECT_EQ(written, "old target");
    }
}

const Road_Case k_road_cases[] = {
    {"both_probe", Lib::Probe, Lib::Probe, true, true, "", true},
    {"missing_source", Lib::Probe, Lib::Probe, false, false, std::string(k_msg_file_not_found) + ": %s", false},
    {"no_libraries", Lib::None, Lib::None, true, false, "Not find Mondrik.so", false},
    {"no_import", Lib::None, Lib::Probe, true, false, "Not find Mondrik.so", false},
    {"import_not_elf", Lib::Not_Elf, Lib::Probe, true, false, "Load Mondrik.so error!", false},
    {"import_no_entry", Lib::No_Entry, Lib::Probe, true, false, "Mondrik.so run error!", false},
    {"import_fails", Lib::Fail, Lib::Probe, true, false, "Import of %s failed!", false},
    {"import_throws", Lib::Throw, Lib::Probe, true, false, "Import of %s failed!", false},
    {"no_export", Lib::Probe, Lib::None, true, false, "Not find Gressil.so", false},
    {"export_not_elf", Lib::Probe, Lib::Not_Elf, true, false, "Load Gressil.so error!", false},
    // A library cut short passes the loader and would die on first use: its headers tell.
    {"import_truncated", Lib::Truncated, Lib::Probe, true, false, "Load Mondrik.so error!", false},
    {"export_truncated", Lib::Probe, Lib::Truncated, true, false, "Load Gressil.so error!", false},
    {"export_no_entry", Lib::Probe, Lib::No_Entry, true, false, "Gressil.so run error !!", false},
    {"export_fails", Lib::Probe, Lib::Fail, true, false, "Export to %s failed!", false},
    {"export_throws", Lib::Probe, Lib::Throw, true, false, "Export to %s failed!", false},
};

INSTANTIATE_TEST_SUITE_P(Scenarios, Road_Test, ::testing::ValuesIn(k_road_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Road, OnlyAnExistingRegularFileIsASource)
{
    Work_Dir work("road_sources");
    assemble_kernel_dir(work.path() / "kernel", Lib::Probe, Lib::Probe);
    Scoped_Env kernel("PLATFORM_KERNEL_DIR", (work.path() / "kernel").c_str());
    write_file(work / "a.vkt", "x");
    fs::create_directories(work.path() / "folder.vkt");
    for (const std::string& source : {work / "*.vkt", work / "folder.vkt", work / "a.vk?", std::string()}) {
        Box_Catcher boxes;
        EXPECT_FALSE(convert_drawing(source.c_str(), (work / "out.dxf").c_str(), 23)) << source;
        ASSERT_EQ(boxes.texts.size(), 1u) << source;
        // The box names the path it did not find.
        EXPECT_EQ(boxes.texts[0], source.empty() ? std::string(k_msg_file_not_found)
                                                 : std::string(k_msg_file_not_found) + ": " + source);
        EXPECT_FALSE(fs::exists(work.path() / "out.dxf"));
    }
    Box_Catcher boxes;
    EXPECT_FALSE(convert_drawing(nullptr, (work / "out.dxf").c_str(), 23));
    EXPECT_EQ(boxes.texts.size(), 1u);
}

TEST(Road, SourceAndTargetNamingOneFileAreRefusedBeforeLoading)
{
    Work_Dir work("road_same_file");
    assemble_kernel_dir(work.path() / "kernel", Lib::Probe, Lib::Probe);
    Scoped_Env kernel("PLATFORM_KERNEL_DIR", (work.path() / "kernel").c_str());
    const std::string source = work / "a.vkt";
    write_file(source, "precious");
    fs::create_symlink(source, work.path() / "link.dxf");
    fs::create_hard_link(source, work.path() / "hard.dxf");
    fs::create_directories(work.path() / "sub");
    const std::string targets[] = {source, work / "link.dxf", work / "hard.dxf", work / "sub/../a.vkt"};
    for (const std::string& target : targets) {
        store_current_loading_object_index(0);
        Box_Catcher boxes;
        EXPECT_FALSE(convert_drawing(source.c_str(), target.c_str(), 23)) << target;
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_EQ(boxes.texts[0], k_msg_same_file);
        // Nothing was imported: the probe would have counted.
        EXPECT_EQ(load_current_loading_object_index(), 0);
        EXPECT_EQ(read_file(source), "precious");
    }
}

TEST(Road, LoadFailureWritesTheLoaderTextToTheLog)
{
    Work_Dir work("road_log");
    // A position-independent program is a whole ELF shared object that the loader refuses.
    fs::create_directories(work.path() / "kernel");
    fs::copy_file("/bin/true", work.path() / "kernel" / "Mondrik.so");
    Scoped_Env kernel("PLATFORM_KERNEL_DIR", (work.path() / "kernel").c_str());
    write_file(work / "a.vkt", "x");
    Box_Catcher boxes;
    EXPECT_FALSE(run_import_plugin((work / "a.vkt").c_str()));
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Load Mondrik.so error!"});
    const std::string log = read_file(work.path() / "jxb.log");
    // The loader's own words for this file.
    const std::string lib = (work.path() / "kernel" / "Mondrik.so").string();
    ASSERT_EQ(::dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL), nullptr);
    const std::string why = ::dlerror();
    EXPECT_NE(log.find(why), std::string::npos) << log << "\n" << why;
}

// Where readelf says the file's loadable segments (and its program headers) end.
std::uint64_t segments_end(const std::string& path)
{
    std::uint64_t end = 0;
    std::FILE* p = ::popen(("readelf -lW " + shell_quote(path)).c_str(), "r");
    if (!p) return 0;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        char type[32];
        unsigned long long offset = 0, vaddr = 0, paddr = 0, filesz = 0;
        if (std::sscanf(line, " %31s %llx %llx %llx %llx", type, &offset, &vaddr, &paddr, &filesz) != 5) continue;
        if (std::string(type) == "LOAD" || std::string(type) == "DYNAMIC") end = std::max<std::uint64_t>(end, offset + filesz);
    }
    ::pclose(p);
    return end;
}

TEST(Road, ALibraryFileIsMeasuredAgainstItsOwnHeaders)
{
    Work_Dir work("road_library_file");
    const std::string real = (real_kernel_dir() / "Mondrik.so").string();
    const std::string bytes = read_file(real);
    const std::uint64_t end = segments_end(real);
    ASSERT_GT(end, 64u);
    ASSERT_LT(end, bytes.size());
    std::string why;
    EXPECT_TRUE(library_file_is_whole(real.c_str(), why)) << why;
    const std::size_t cuts[] = {0, 3, 63, 64, 100, 3000, end / 2, end - 1, end, end + 1, bytes.size() - 1};
    for (const std::size_t cut : cuts) {
        const std::string copy = work / ("cut-" + std::to_string(cut) + ".so");
        write_file(copy, bytes.substr(0, cut));
        why.clear();
        EXPECT_EQ(library_file_is_whole(copy.c_str(), why), cut >= end) << cut << " " << why;
        if (cut < end) {
            EXPECT_FALSE(why.empty());
        }
        // What the check lets through loads: only sections the loader does not map are cut.
        if (cut >= end) {
            void* handle = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
            EXPECT_NE(handle, nullptr) << cut << " " << ::dlerror();
            EXPECT_NE(::dlsym(handle, k_import_entry_name), nullptr);
            if (handle) ::dlclose(handle);
        }
    }
    // Headers that name another machine, class or kind of file.
    const std::pair<std::size_t, char> changes[] = {{4, 1}, {5, 2}, {16, 2}, {18, 3}};
    for (const auto& [at, value] : changes) {
        std::string changed = bytes;
        changed[at] = value;
        const std::string copy = work / ("changed-" + std::to_string(at) + ".so");
        write_file(copy, changed);
        EXPECT_FALSE(library_file_is_whole(copy.c_str(), why)) << at;
    }
    EXPECT_FALSE(library_file_is_whole((work / "missing.so").c_str(), why));
    EXPECT_FALSE(library_file_is_whole(nullptr, why));
}

TEST(Road, ExplodeTextSettingStartsOnAndIsStoredAsOneOrZero)
{
    EXPECT_EQ(load_explode_text(), 1);
    store_explode_text(7);
    EXPECT_EQ(g_explode_text, 1);
    store_explode_text(0);
    EXPECT_EQ(g_explode_text, 0);
    store_explode_text(1);
}

// The real import library with the probe export.
TEST(Mondrik, ReadsNativeDrawingsAndCountsRecords)
{
    Work_Dir work("mondrik");
    assemble_kernel_dir(work.path() / "kernel", Lib::Real, Lib::Probe);
    Scoped_Env kernel("PLATFORM_KERNEL_DIR", (work.path() / "kernel").c_str());
    const std::string source = work / "layers.vkt";
    {
        MB_Operation op;
        ASSERT_TRUE(op.create_drawing("layers"));
        for (const char* name : {"walls", "doors"}) {
            auto* layer = new MB_Layer(MB_String(name));
            layer->visibility(true);
            op.drawing()->layer_list().add_tail(layer);
        }
        ASSERT_TRUE(op.save_jxb(source.c_str()));
    }
    store_current_loading_object_index(0);
    Box_Catcher boxes;
    ASSERT_TRUE(convert_drawing(source.c_str(), (work / "out.txt").c_str(), 23));
    EXPECT_TRUE(boxes.texts.empty());
    const std::string report = read_file(work.path() / "out.txt");
    EXPECT_NE(report.find("layer walls\nlayer doors\n"), std::string::npos) << report;
    // The header, two layers and the end record at least.
    EXPECT_GE(load_current_loading_object_index(), 3);
}

// A program that ends after its conversion lets the road leave the drawing standing: the
// operation stays listed, with what was read, for the process to end.
TEST(Road, LeavesTheDrawingStandingWhenAsked)
{
    Work_Dir work("road_leaves");
    assemble_kernel_dir(work.path() / "kernel", Lib::Real, Lib::Probe);
    Scoped_Env kernel("PLATFORM_KERNEL_DIR", (work.path() / "kernel").c_str());
    const std::string source = work / "one.vkt";
    {
        MB_Operation op;
        ASSERT_TRUE(op.create_drawing("one"));
        op.drawing()->object_list().add_tail(new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(1, 2, 0)));
        ASSERT_TRUE(op.save_jxb(source.c_str()));
    }
    set_road_leaves_drawing(true);
    const bool ok = convert_drawing(source.c_str(), (work / "out.txt").c_str(), 23);
    set_road_leaves_drawing(false);
    EXPECT_TRUE(ok);
    ASSERT_EQ(g_operation_list.count(), 1);
    MB_Operation* left = g_active_operation;
    ASSERT_NE(left, nullptr);
    ASSERT_NE(left->drawing(), nullptr);
    EXPECT_EQ(left->drawing()->object_list().count(), 1);
    delete left;
    EXPECT_EQ(g_active_operation, nullptr);
    // Not asked: nothing is left.
    ASSERT_TRUE(convert_drawing(source.c_str(), (work / "out.txt").c_str(), 23));
    EXPECT_EQ(g_operation_list.count(), 0);
}

// A drawing large enough for the layout to share its plain geometry among threads: every
// entity has the rectangle its own build_draw gives it, whichever thread measured it.
TEST(Road, LaysOutALargeDrawingAsEachEntityDrawsItself)
{
    Work_Dir work("road_large_layout");
    assemble_kernel_dir(work.path() / "kernel", Lib::Real, Lib::Probe);
    Scoped_Env kernel("PLATFORM_KERNEL_DIR", (work.path() / "kernel").c_str());
    const std::string source = work / "large.vkt";
    {
        MB_Operation op;
        ASSERT_TRUE(op.create_drawing("large"));
        MB_Drawing& d = *op.drawing();
        for (int i = 0; i < 6000; ++i) {
            const double x = i * 7.31, y = (i % 97) * 3.17;
            switch (i % 5) {
            case 0: d.object_list().add_tail(new MB_Line(Qe_Pt(x, y, 0), Qe_Pt(x + 2.5, y - 1.25, 0))); break;
            case 1: d.object_list().add_tail(new MB_Circle(Qe_Pt(x, y, 0), 0.5 + i % 11)); break;
            case 2: d.object_list().add_tail(new MB_Arc(Qe_Pt(x, y, 0), 1.5 + i % 7, 0.1 * (i % 60), 4.0)); break;
            case 3: {
                auto* v = new MB_Pline_Pos[3];
                v[0].point = Qe_Pt(x, y, 0);
                v[0].bulge = 0.4 - 0.01 * (i % 80);
                v[1].point = Qe_Pt(x + 9.5, y + 2.25, 0);
                v[1].start_width = i % 3 == 0 ? 0.75 : 0.0;
                v[2].point = Qe_Pt(x + 4, y + 8.5, 0);
                d.object_list().add_tail(new MB_Polyline(i % 2 == 0, 3, v));
                break;
            }
            default: {
                auto* t = new MB_Text(Qe_Pt(x, y, 0), MB_String("Room 12"));
                (void)t->init_text_style(d, "");
                d.object_list().add_tail(t);
                break;
            }
            }
        }
        ASSERT_TRUE(op.save_jxb(source.c_str()));
    }
    set_road_leaves_drawing(true);
    const bool ok = convert_drawing(source.c_str(), (work / "out.txt").c_str(), 23);
    set_road_leaves_drawing(false);
    EXPECT_TRUE(ok);
    ASSERT_NE(g_active_operation, nullptr);
    MB_Operation* left = g_active_operation;
    ASSERT_NE(left->drawing(), nullptr);
    int checked = 0;
    for (MB_Object* o = left->drawing()->object_list().get_head(); o; o = o->next(), ++checked) {
        auto* e = static_cast<MB_Drawable*>(o);
        const Qe_Rect measured = e->rect();
        e->build_draw();
        ASSERT_TRUE(measured.lt().x() == e->rect().lt().x() && measured.lt().y() == e->rect().lt().y() &&
                    measured.rb().x() == e->rect().rb().x() && measured.rb().y() == e->rect().rb().y())
            << "entity " << checked << " of kind " << o->object_id();
    }
    EXPECT_EQ(checked, 6000);
    delete left;
}

TEST(Mondrik, RefusesDwfAndBrokenStreams)
{
    Work_Dir work("mondrik_refuses");
    assemble_kernel_dir(work.path() / "kernel", Lib::Real, Lib::Probe);
    Scoped_Env kernel("PLATFORM_KERNEL_DIR", (work.path() / "kernel").c_str());
    // The import says why in the same box.
    const std::pair<const char*, const char*> cases[] = {
        {"plan.dwf", "unsupported input format"},
        {"plan.w2d", "unsupported input format"},
        {"broken.vkt", "not a native drawing"},
    };
    for (const auto& [name, reason] : cases) {
        const std::string source = work / name;
        write_file(source, "(DWF V06.00)garbage");
        write_file(work / "out.dxf", "old");
        Box_Catcher boxes;
        EXPECT_FALSE(convert_drawing(source.c_str(), (work / "out.dxf").c_str(), 23)) << name;
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_EQ(boxes.texts[0], "Import of " + source + " failed: " + reason);
        EXPECT_EQ(read_file(work.path() / "out.dxf"), "old");
    }
    const std::string log = read_file(work.path() / "jxb.log");
    EXPECT_NE(log.find("unsupported input format: " + (work / "plan.dwf")), std::string::npos) << log;
    EXPECT_NE(log.find("unsupported input format: " + (work / "plan.w2d")), std::string::npos) << log;
}

// A drawing's images share its pixel budget: past it the import stops with one message and no
// target; within it every raster reaches the DXF.
TEST(Road, ImagesPastThePixelBudgetFailTheConversionWithOneMessage)
{
    Work_Dir work("road_budget");
    assemble_kernel_dir(work.path() / "kernel", Lib::Real, Lib::Real);
    Scoped_Env kernel("PLATFORM_KERNEL_DIR", (work.path() / "kernel").c_str());
    const std::string source = work / "images.vkt";
    {
        CxImage raster;
        ASSERT_TRUE(raster.Create(20, 14, 24));  // 280 pixels
        BYTE* png = nullptr;
        long size = 0;
        ASSERT_TRUE(raster.Encode(png, size, CXIMAGE_FORMAT_PNG));
        MB_Operation op;
        ASSERT_TRUE(op.create_drawing("images"));
        for (int i = 0; i < 3; ++i) {
            auto* image = new MB_Image(new CxImage(png, static_cast<DWORD>(size), CXIMAGE_FORMAT_PNG));
            image->image_format(CXIMAGE_FORMAT_PNG);
            image->center(Qe_Pt(30.0 * i, 0, 0));
            image->width(20);
            image->height(14);
            op.drawing()->object_list().add_tail(image);
        }
        CxImage::FreeMemory(png);
        ASSERT_TRUE(op.save_jxb(source.c_str()));
    }
    const long long before = MB_Pixel_Budget::default_limit();
    const std::string target = work / "images.dxf";
    {
        MB_Pixel_Budget::default_limit(3 * 280 - 1);
        Box_Catcher boxes;
        EXPECT_FALSE(convert_drawing(source.c_str(), target.c_str(), 23));
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_EQ(boxes.texts[0], "Import of " + source + " failed: its images need more pixels than allowed");
        EXPECT_FALSE(fs::exists(target));
    }
    {
        MB_Pixel_Budget::default_limit(3 * 280);
        Box_Catcher boxes;
        EXPECT_TRUE(convert_drawing(source.c_str(), target.c_str(), 23));
        EXPECT_TRUE(boxes.texts.empty());
        const std::string dxf = read_file(target);
        // Entities, as opposed to the class of the same name: group 0 before the name.
        std::size_t images = 0;
        for (std::size_t at = 0; (at = dxf.find("\n0\nIMAGE\n", at)) != std::string::npos; ++at) ++images;
        EXPECT_EQ(images, 3u);
        for (int i = 1; i <= 3; ++i) EXPECT_TRUE(fs::exists(work / ("images-" + std::to_string(i) + ".png"))) << i;
    }
    MB_Pixel_Budget::default_limit(before);
}

}  // namespace
