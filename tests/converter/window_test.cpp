// The conversion dialog's window binding, run under a virtual X server (xvfb-run): widgets at
// the positions the templates give, a conversion driven from the window, the worker's message
// box shown modally on the UI thread, the setting and About dialogs, and a screenshot of the
// idle dialog written under the build folder for a look. The model itself is tested with a
// fake host in dialog_test.cpp.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "common/png_writer.h"
#include "common/scratch_dir.h"
#include "common/test_output.h"
#include "converter/converter_dialog.h"
#include "converter/road.h"
#include "converter/window_host.h"
#include "converter_fixture.h"
#include "kernel/operation/file_dialog.h"
#include "platform/message_box.h"

// Last: the X11 headers behind FLTK define macros such as None and Success.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

using namespace converter_test;

namespace {

using Clock = std::chrono::steady_clock;

// Runs the UI loop until pred holds or the time is up; true when it held.
bool pump_until(const std::function<bool()>& pred, double seconds = 20)
{
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (!pred()) {
        if (Clock::now() > end) return false;
        Fl::wait(0.01);
    }
    return true;
}

// Calls act once a modal window is shown (from inside its nested loop), polling every 10 ms.
struct Modal_Watch {
    std::function<bool(Fl_Window&)> act;   // true when done with the window
    bool done = false;

    static void poll(void* p)
    {
        auto* self = static_cast<Modal_Watch*>(p);
        if (Fl_Window* modal = Fl::modal(); modal && modal->shown() && self->act(*modal)) {
            self->done = true;
            return;
        }
        Fl::repeat_timeout(0.01, poll, p);
    }
    void start() { Fl::add_timeout(0.01, poll, this); }
    ~Modal_Watch() { Fl::remove_timeout(poll, this); }
};

// The child of a window with a label, or null.
Fl_Widget* child_labelled(Fl_Window& window, const std::string& label)
{
    for (int i = 0; i < window.children(); ++i) {
        Fl_Widget* w = window.child(i);
        if (w->label() && label == w->label()) return w;
    }
    return nullptr;
}

// The first widget of type W below a group, depth first, or null.
template <class W>
W* descendant(Fl_Group& group)
{
    for (int i = 0; i < group.children(); ++i) {
        if (auto* w = dynamic_cast<W*>(group.child(i))) return w;
        if (Fl_Group* inner = group.child(i)->as_group())
            if (W* w = descendant<W>(*inner)) return w;
    }
    return nullptr;
}

// Sends what the process writes on stderr to a file while it lives.
class Stderr_To_File {
public:
    explicit Stderr_To_File(const std::string& path) : m_saved(::dup(STDERR_FILENO))
    {
        std::fflush(stderr);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~Stderr_To_File()
    {
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
    }
    Stderr_To_File(const Stderr_To_File&) = delete;
    Stderr_To_File& operator=(const Stderr_To_File&) = delete;

private:
    int m_saved;
};

std::vector<std::string> child_labels(Fl_Window& window)
{
    std::vector<std::string> labels;
    for (int i = 0; i < window.children(); ++i)
        if (window.child(i)->label()) labels.emplace_back(window.child(i)->label());
    return labels;
}

class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display_available()) << "run under xvfb-run";
        store_explode_text(1);
        host_ = std::make_unique<Window_Host>();
        host_->show();
        Fl::flush();
    }
    void TearDown() override
    {
        if (host_) {
            host_->dialog().wait_for_worker();
            host_->window()->hide();
            host_.reset();
        }
        Fl::wait(0);
    }

    Fl_Widget& w(int id)
    {
        Fl_Widget* widget = host_->widget(id);
        EXPECT_NE(widget, nullptr) << id;
        return *widget;
    }
    std::string input(int id) { return static_cast<Fl_Input&>(w(id)).value(); }
    std::string label(int id) { return w(id).label() ? w(id).label() : ""; }
    std::vector<bool> four_active()
    {
        return {w(IDC_SOURCE_PATH).active() != 0, w(IDC_OPEN_FILE).active() != 0, w(IDC_TARGET_PATH).active() != 0,
                w(IDC_CONVERT).active() != 0};
    }

    std::unique_ptr<Window_Host> host_;
};

const std::vector<bool> k_all_active{true, true, true, true};
const std::vector<bool> k_none_active{false, false, false, false};

TEST_F(Window, ControlsSitWhereTheTemplateMapsThem)
{
    Fl_Window& main = *host_->window();
    EXPECT_STREQ(main.label(), "Plotwane");
    EXPECT_EQ(main.w(), 447);   // 298 units at 6 / 4 pixels
    EXPECT_EQ(main.h(), 278);   // 171 units at 13 / 8 pixels
    int placed = 0;
    for (const Dialog_Control& c : k_main_dialog_controls) {
        if (c.id == 0) continue;
        SCOPED_TRACE(c.id);
        Fl_Widget& widget = w(c.id);
        EXPECT_EQ(widget.x(), k_main_dialog_units.px(c.x));
        EXPECT_EQ(widget.y(), k_main_dialog_units.py(c.y));
        EXPECT_EQ(widget.w(), k_main_dialog_units.px(c.w));
        EXPECT_EQ(widget.h(), k_main_dialog_units.py(c.h));
        ++placed;
    }
    EXPECT_EQ(placed, 10);
    // Spot checks against numbers worked out by hand.
    EXPECT_EQ(w(IDC_CONVERT).x(), 111);
    EXPECT_EQ(w(IDC_CONVERT).y(), 219);
    EXPECT_EQ(w(IDC_STATUS).w(), 327);
    // Mnemonics stay in the labels, as FLTK reads them.
    EXPECT_EQ(label(IDC_CONVERT), "&Convert");
    EXPECT_EQ(label(IDCANCEL), "E&xit");
    EXPECT_EQ(label(IDC_SETTING), "&Setting");
    EXPECT_EQ(label(IDC_OPEN_FILE), "Open file...");
    EXPECT_EQ(label(IDC_TIMES), "Times");
    EXPECT_THAT(child_labels(main), ::testing::IsSupersetOf({"Convert setting", "DWF file:", "DWG/DXF file:"}));
    EXPECT_EQ(four_active(), k_all_active);
}

TEST_F(Window, FileFilterInFltkSyntax)
{
    EXPECT_EQ(fltk_filter_from_windows(k_open_filter), "DWF files (*.dwf, *.w2d, *.vkt)\t*.{dwf,w2d,vkt}");
    EXPECT_EQ(fltk_filter_from_windows("Text (*.txt)|*.txt|All files|*.*||"), "Text (*.txt)\t*.txt\nAll files\t*.*");
    EXPECT_EQ(fltk_filter_from_windows(""), "");
}

// "Open file..." shows FLTK's own chooser (GTK 2's prints Gtk-CRITICAL lines for each key
// typed into its location field): a name typed there and OK fill the source and the target,
// and nothing is printed on stderr.
TEST_F(Window, OpenFileChoosesTheSourceQuietly)
{
    Work_Dir work("window_open");
    const std::string source = work / "plan.vkt";
    write_file(source, "");
    ASSERT_FALSE(Fl::option(Fl::OPTION_FNFC_USES_GTK));
    std::string caption;
    Modal_Watch watch{[&](Fl_Window& chooser) {
        auto* name = descendant<Fl_File_Input>(chooser);
        auto* ok = descendant<Fl_Return_Button>(chooser);
        if (!name || !ok) return false;
        caption = chooser.label() ? chooser.label() : "";
        name->value(source.c_str());
        ok->do_callback();
        return true;
    }};
    {
        Stderr_To_File quiet(work / "stderr");
        watch.start();
        w(IDC_OPEN_FILE).do_callback();
    }
    EXPECT_TRUE(watch.done);
    EXPECT_EQ(caption, "Open");
    EXPECT_EQ(input(IDC_SOURCE_PATH), source);
    EXPECT_EQ(input(IDC_TARGET_PATH), work / "plan.dxf");
    EXPECT_EQ(read_file(work.path() / "stderr"), "");
}

TEST_F(Window, HeldConversionDisablesShowsSpinnerAndTheRoadsMessageModally)
{
    Work_Dir work("window_held");
    static_cast<Fl_Input&>(w(IDC_SOURCE_PATH)).value((work / "missing.vkt").c_str());
    static_cast<Fl_Input&>(w(IDC_TARGET_PATH)).value((work / "out.dxf").c_str());

    std::string box_caption;
    std::vector<std::string> box_texts;
    std::vector<bool> active_on_tick;
    std::string status_on_tick, times_on_tick;
    bool second_convert_refused = false;
    Modal_Watch watch{[&](Fl_Window& box) {
        // Wait for the first tick under the box, then answer it.
        if (label(IDC_STATUS).empty()) return false;
        box_caption = box.label() ? box.label() : "";
        box_texts = child_labels(box);
        active_on_tick = four_active();
        status_on_tick = label(IDC_STATUS);
        times_on_tick = label(IDC_TIMES);
        second_convert_refused = !host_->dialog().OnConvert();
        Fl_Widget* ok = child_labelled(box, "OK");
        if (!ok) return false;
        ok->do_callback();
        return true;
    }};
    watch.start();
    w(IDC_CONVERT).do_callback();
    EXPECT_EQ(four_active(), k_none_active);
    ASSERT_TRUE(pump_until([&] { return watch.done; }));
    ASSERT_TRUE(pump_until([&] { return !host_->dialog().converting(); }));
    // The first tick after the end enables the four inputs again.
    ASSERT_TRUE(pump_until([&] { return four_active() == k_all_active; }, 2));

    EXPECT_EQ(box_caption, "Plotwane");
    EXPECT_THAT(box_texts, ::testing::Contains("没有找到文件: " + (work / "missing.vkt")));
    EXPECT_EQ(active_on_tick, k_none_active);
    EXPECT_TRUE(w(IDC_SETTING).active());
    EXPECT_TRUE(w(IDCANCEL).active());
    EXPECT_TRUE(w(IDC_ABOUT_PICTURE).active());
    EXPECT_THAT(status_on_tick, ::testing::StartsWith("Message: processing object... -"));
    EXPECT_TRUE(std::regex_match(times_on_tick, std::regex("[0-9]+:[0-9]+:[0-9]+"))) << times_on_tick;
    EXPECT_TRUE(second_convert_refused);
    EXPECT_FALSE(host_->dialog().last_result());
}

TEST_F(Window, ConvertsTheSampleDrawing)
{
    Work_Dir work("window_sample");
    Scoped_Env kernel("PLATFORM_KERNEL_DIR", real_kernel_dir().c_str());
    const std::string target = work / "sample.dxf";
    static_cast<Fl_Input&>(w(IDC_SOURCE_PATH)).value(SAMPLE_DRAWING);
    static_cast<Fl_Input&>(w(IDC_TARGET_PATH)).value(target.c_str());
    w(IDC_CONVERT).do_callback();
    ASSERT_TRUE(pump_until([&] { return !host_->dialog().converting(); }, 120));
    host_->dialog().wait_for_worker();
    ASSERT_TRUE(pump_until([&] { return four_active() == k_all_active; }, 2));
    EXPECT_TRUE(host_->dialog().last_result());
    const std::string dxf = read_file(target);
    EXPECT_THAT(dxf, ::testing::StartsWith("0\nSECTION\n2\nHEADER\n"));
    EXPECT_THAT(dxf, ::testing::EndsWith("EOF\n"));
}

TEST_F(Window, SettingDialogOkSetsAndCancelKeeps)
{
    struct Step {
        bool tick;
        const char* press;
        unsigned char expect;
    };
    const Step steps[] = {{true, "OK", 0}, {true, "Cancel", 0}, {true, "OK", 1}, {false, "OK", 1}};
    for (const Step& step : steps) {
        bool geometry_ok = false;
        std::string caption;
        const unsigned char before = load_explode_text();
        int shown_value = -1;
        Modal_Watch watch{[&](Fl_Window& dialog) {
            caption = dialog.label() ? dialog.label() : "";
            auto* box = dynamic_cast<Fl_Check_Button*>(child_labelled(dialog, "Explore text"));
            Fl_Widget* button = child_labelled(dialog, step.press);
            if (!box || !button) return false;
            const Dialog_Control& c = k_setting_dialog_controls[0];
            const Dialog_Units& u = k_setting_dialog_units;
            geometry_ok = dialog.w() == u.px(170) && dialog.h() == u.py(44) && box->x() == u.px(c.x) &&
                          box->y() == u.py(c.y) && box->w() == u.px(c.w) && box->h() == u.py(c.h);
            shown_value = box->value();
            if (step.tick) box->value(!box->value());
            button->do_callback();
            return true;
        }};
        watch.start();
        w(IDC_SETTING).do_callback();
        EXPECT_TRUE(watch.done);
        EXPECT_EQ(caption, "Setting");
        EXPECT_TRUE(geometry_ok);
        EXPECT_EQ(shown_value, before);
        EXPECT_EQ(load_explode_text(), step.expect) << step.press;
    }
}

// The first widget below w (depth first) that is a T, with that label when one is given, or
// null.
template <class T>
T* find_widget(Fl_Widget* w, const char* label = nullptr)
{
    if (auto* hit = dynamic_cast<T*>(w); hit && (!label || (w->label() && std::string(w->label()) == label)))
        return hit;
    if (auto* group = w ? w->as_group() : nullptr)
        for (int i = 0; i < group->children(); ++i)
            if (T* hit = find_widget<T>(group->child(i), label)) return hit;
    return nullptr;
}

// While the window lives the kernel's file dialogs are the toolkit's chooser, titled as the
// caller asks: cancelled, the dialog answers 0; with a name given and OK, 1 and the path.
// Once the window is gone, dialogs are cancelled again without showing anything.
TEST_F(Window, FileDialogsAreTheToolkitsChooser)
{
    // FLTK's own chooser, whose widgets the test can reach (not a desktop's).
    Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
    Scratch_Dir scratch;
    const std::string& folder = scratch.path();
    struct Step {
        int open;
        const char* title;
        const char* type;  // null: cancel
        const char* expect_caption;
    };
    const Step steps[] = {{0, nullptr, nullptr, "Save File"},
                          {0, "Save the drawing", "plan.dxf", "Save the drawing"},
                          {1, nullptr, "old.vkt", "Open File"}};
    for (const Step& step : steps) {
        std::string caption;
        Modal_Watch watch{[&](Fl_Window& chooser) {
            caption = chooser.label() ? chooser.label() : "";
            if (!step.type) {
                auto* cancel = find_widget<Fl_Button>(&chooser, "Cancel");
                if (!cancel) return false;
                cancel->do_callback();
                return true;
            }
            auto* name = find_widget<Fl_File_Input>(&chooser);
            auto* ok = find_widget<Fl_Return_Button>(&chooser);
            if (!name || !ok) return false;
            name->value((folder + "/" + step.type).c_str());
            ok->do_callback();
            return true;
        }};
        watch.start();
        char file[260] = "";
        const int chosen = ShowFileDialog(nullptr, step.open, file, folder.c_str(), step.title, nullptr);
        EXPECT_TRUE(watch.done) << step.expect_caption;
        EXPECT_EQ(caption, step.expect_caption);
        EXPECT_EQ(chosen, step.type ? 1 : 0) << step.expect_caption;
        if (step.type) {
            EXPECT_EQ(std::filesystem::path(file).filename().string(), step.type);
        }
    }
    host_->dialog().wait_for_worker();
    host_->window()->hide();
    host_.reset();
    char file[260] = "kept";
    EXPECT_EQ(ShowFileDialog(nullptr, 1, file, nullptr, nullptr, nullptr), 0);
    EXPECT_STREQ(file, "kept");
}

TEST_F(Window, AboutOpensFromThePictureAndF1)
{
    for (int way = 0; way < 2; ++way) {
        std::string caption;
        Modal_Watch watch{[&](Fl_Window& about) {
            caption = about.label() ? about.label() : "";
            Fl_Widget* ok = child_labelled(about, "OK");
            if (!ok) return false;
            ok->do_callback();
            return true;
        }};
        watch.start();
        if (way == 0) {
            w(IDC_ABOUT_PICTURE).do_callback();
        } else {
            Fl::e_keysym = FL_F + 1;
            host_->window()->handle(FL_SHORTCUT);
        }
        EXPECT_TRUE(watch.done) << way;
        EXPECT_EQ(caption, "About Plotwane") << way;
    }
}

TEST_F(Window, IdleScreenshotForALook)
{
    Fl_Window& main = *host_->window();
    ASSERT_TRUE(pump_until([&] { return main.visible() != 0; }, 5));
    // Let the server map and expose the window, then draw it once more.
    const auto settle = Clock::now() + std::chrono::milliseconds(300);
    pump_until([&] { return Clock::now() > settle; });
    main.redraw();
    Fl::flush();
    main.make_current();
    unsigned char* rgb = fl_read_image(nullptr, 0, 0, main.w(), main.h());
    ASSERT_NE(rgb, nullptr);
    // The banner is dark blue, the dialog below it the light background.
    const auto at = [&](int x, int y) { return rgb + (static_cast<std::size_t>(y) * main.w() + x) * 3; };
    EXPECT_LT(at(200, 10)[0], 60);
    EXPECT_GT(at(5, 260)[0], 150);
    std::filesystem::create_directories(test_output_path("converter"));
    const std::string path = test_output_path("converter/plotwane_window.png");
    EXPECT_TRUE(write_png(path, rgb, main.w(), main.h())) << path;
    delete[] rgb;
}

TEST(WindowFont, TheDefaultFaceHoldsChinese)
{
    // FLTK 1.3 draws with one face per font: it must be the one that holds CJK.
    std::FILE* p = ::popen("fc-match -f '%{family}' 'WenQuanYi Micro Hei'", "r");
    ASSERT_NE(p, nullptr);
    char family[256] = {};
    const std::size_t n = std::fread(family, 1, sizeof family - 1, p);
    ::pclose(p);
    EXPECT_THAT(std::string(family, n), ::testing::HasSubstr("WenQuanYi Micro Hei"));
}

}  // namespace
