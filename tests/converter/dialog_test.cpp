// The dialog model driven by a fake host with a manual clock. A conversion is held "running"
// by a message box that the fake host keeps open until the test releases it.

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>

#include "converter/converter_dialog.h"
#include "converter/road.h"
#include "converter_fixture.h"

using namespace converter_test;

namespace {

class Fake_Host : public Converter_Host {
public:
    void set_text(int control, const std::string& text) override
    {
        std::lock_guard lock(m_mutex);
        texts[control] = text;
    }
    std::string get_text(int control) override
    {
        std::lock_guard lock(m_mutex);
        return texts[control];
    }
    void enable(int control, bool on) override
    {
        std::lock_guard lock(m_mutex);
        enables.emplace_back(control, on);
    }
    // Blocks the worker until release().
    int message_box(const char* text, const char*, unsigned type) override
    {
        std::unique_lock lock(m_mutex);
        boxes.push_back(text);
        m_box_open = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_released; });
        m_box_open = false;
        m_released = false;
        return platform_message_box_default_button(type);
    }
    bool choose_open_file(const char* ext, const char* initial, const char* filter, std::string& path) override
    {
        open_request = std::string(ext) + "|" + initial + "|" + filter;
        if (chosen.empty()) return false;
        path = chosen;
        return true;
    }
    bool run_setting_dialog(bool& checked) override
    {
        setting_shown = checked;
        if (!setting_ok) return false;
        checked = setting_new;
        return true;
    }
    void set_timer(int id, unsigned ms) override { timers.emplace_back(id, ms); }
    long long now_seconds() override { return clock; }
    void conversion_finished() override {}
    void end_process(int status) override { ended = status; }

    void wait_for_box()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_box_open; });
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    std::vector<std::pair<int, bool>> take_enables()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(enables, {});
    }

    std::map<int, std::string> texts;
    std::vector<std::pair<int, bool>> enables;
    std::vector<std::string> boxes;
    std::vector<std::pair<int, unsigned>> timers;
    std::string chosen, open_request;
    bool setting_ok = false, setting_new = false, setting_shown = false;
    long long clock = 1000;
    int ended = -1;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_box_open = false;
    bool m_released = false;
};

using Enables = std::vector<std::pair<int, bool>>;
const Enables k_disable_four = {{1002, false}, {1005, false}, {1003, false}, {1001, false}};
const Enables k_enable_four = {{1002, true}, {1005, true}, {1003, true}, {1001, true}};

// A conversion whose missing source keeps the worker in the road's message box.
void start_held_conversion(ConverterDialog& dialog, Fake_Host& host, const Work_Dir& work)
{
    host.set_text(IDC_SOURCE_PATH, work / "missing.vkt");
    host.set_text(IDC_TARGET_PATH, work / "out.dxf");
    ASSERT_TRUE(dialog.OnConvert());
    host.wait_for_box();
}

TEST(Dialog, SpinnerCountTimeAndControlsAcrossTwoConversions)
{
    Work_Dir work("dialog_spinner");
    Fake_Host host;
    ConverterDialog dialog(host);
    const std::string spin[] = {"Message: processing object... -", "Message: processing object... /",
                                "Message: processing object... |", "Message: processing object... \\"};

    start_held_conversion(dialog, host, work);
    // Convert disables the four inputs at once and starts the 100 ms timer.
    EXPECT_EQ(host.take_enables(), k_disable_four);
    EXPECT_EQ(host.timers, (std::vector<std::pair<int, unsigned>>{{1, 100}}));
    // A second Convert while one runs is refused and changes nothing.
    EXPECT_FALSE(dialog.OnConvert());
    EXPECT_EQ(host.timers.size(), 1u);

    store_current_loading_object_index(41);
    host.clock += 3725;
    dialog.OnTimer();
    EXPECT_EQ(host.take_enables(), k_disable_four);
    EXPECT_EQ(host.texts[IDC_STATUS], spin[0] + " 41");
    EXPECT_EQ(host.texts[IDC_TIMES], "1:2:5");
    for (int i = 1; i < 6; ++i) {
        dialog.OnTimer();
        EXPECT_EQ(host.texts[IDC_STATUS], spin[i % 4] + " 41");
    }
    host.release();
    dialog.wait_for_worker();
    EXPECT_FALSE(dialog.converting());
    EXPECT_FALSE(dialog.last_result());
    EXPECT_EQ(host.boxes, std::vector<std::string>{std::string(k_msg_file_not_found) + ": " + (work / "missing.vkt")});

    // The first tick after the end re-enables the inputs and leaves the texts as they were.
    host.take_enables();
    dialog.OnTimer();
    EXPECT_EQ(host.take_enables(), k_enable_four);
    EXPECT_EQ(host.texts[IDC_STATUS], spin[1] + " 41");
    EXPECT_EQ(host.texts[IDC_TIMES], "1:2:5");

    // The second conversion resets the counter and the clock, and the spinner goes on where
    // it stopped.
    start_held_conversion(dialog, host, work);
    EXPECT_EQ(load_current_loading_object_index(), 0);
    host.clock += 59;
    dialog.OnTimer();
    EXPECT_EQ(host.texts[IDC_STATUS], spin[2] + " 0");
    EXPECT_EQ(host.texts[IDC_TIMES], "0:0:59");
    host.release();
    dialog.wait_for_worker();
}

TEST(Dialog, ElapsedTimeText)
{
    const std::pair<long long, const char*> cases[] = {
        {0, "0:0:0"}, {59, "0:0:59"}, {60, "0:1:0"}, {3725, "1:2:5"}, {86399, "23:59:59"}, {86400 + 3661, "1:1:1"},
    };
    for (const auto& [s, text] : cases) EXPECT_EQ(elapsed_time_text(s), text) << s;
}

TEST(Dialog, TargetReplacesTheFileNamesExtension)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/d/plan.w2d", "/d/plan.dxf"},   {"/d/plan.dwf", "/d/plan.dxf"},      {"plan.vkt", "plan.dxf"},
        {"/d/plan.drawing", "/d/plan.dxf"}, {"/d.x/plan", "/d.x/plan.dxf"},    {"plan", "plan.dxf"},
        {"a.b.c", "a.b.dxf"},             {"c:\\d.x\\plan", "c:\\d.x\\plan.dxf"}, {"", ".dxf"},
    };
    for (const auto& [source, target] : cases) EXPECT_EQ(default_target_path(source), target) << source;
}

TEST(Dialog, OpenFileSetsBothFieldsAndCancelChangesNothing)
{
    Fake_Host host;
    ConverterDialog dialog(host);
    host.texts[IDC_SOURCE_PATH] = "keep.vkt";
    host.texts[IDC_TARGET_PATH] = "keep.dxf";
    dialog.OnOpenFile();
    EXPECT_EQ(host.open_request, "*.dwf(DWF files)|*.dwf;*.w2d|DWF files (*.dwf, *.w2d, *.vkt)|*.dwf;*.w2d;*.vkt||");
    EXPECT_EQ(host.texts[IDC_SOURCE_PATH], "keep.vkt");
    EXPECT_EQ(host.texts[IDC_TARGET_PATH], "keep.dxf");

    host.chosen = "/drawings/plan.w2d";
    dialog.OnOpenFile();
    EXPECT_EQ(host.texts[IDC_SOURCE_PATH], "/drawings/plan.w2d");
    EXPECT_EQ(host.texts[IDC_TARGET_PATH], "/drawings/plan.dxf");
}

TEST(Dialog, SettingDialogOkSetsAndCancelKeeps)
{
    Fake_Host host;
    ConverterDialog dialog(host);
    store_explode_text(1);
    host.setting_ok = false;
    host.setting_new = false;
    dialog.OnSetting();
    EXPECT_TRUE(host.setting_shown);
    EXPECT_EQ(g_explode_text, 1);
    host.setting_ok = true;
    dialog.OnSetting();
    EXPECT_EQ(g_explode_text, 0);
    host.setting_new = true;
    dialog.OnSetting();
    EXPECT_FALSE(host.setting_shown);
    EXPECT_EQ(g_explode_text, 1);
}

TEST(Dialog, ExitWhileConvertingEndsTheProcessThroughTheHost)
{
    Work_Dir work("dialog_exit");
    Fake_Host host;
    ConverterDialog dialog(host);
    dialog.OnExit();
    EXPECT_EQ(host.ended, -1);
    // The worker writes its file through a stream without the stream's lock: Exit flushes
    // the standard streams only, never a stream the worker may be writing at that moment.
    static int flushed = 0;
    cookie_io_functions_t io{};
    io.write = [](void*, const char*, std::size_t size) -> ssize_t {
        ++flushed;
        return static_cast<ssize_t>(size);
    };
    std::FILE* busy = ::fopencookie(nullptr, "w", io);
    ASSERT_NE(busy, nullptr);
    ASSERT_GE(std::fputs("pending", busy), 0);
    start_held_conversion(dialog, host, work);
    dialog.OnExit();
    EXPECT_EQ(host.ended, 1);
    EXPECT_EQ(flushed, 0);
    std::fclose(busy);
    EXPECT_EQ(flushed, 1);
    host.release();
}

TEST(Dialog, MessageBoxesGoToTheHostOnlyWhileTheDialogLives)
{
    Fake_Host host;
    {
        ConverterDialog dialog(host);
        std::thread worker([] { MessageBoxA(nullptr, "from the worker", "Plotwane", MB_OK); });
        host.wait_for_box();
        host.release();
        worker.join();
    }
    EXPECT_EQ(host.boxes, std::vector<std::string>{"from the worker"});
    EXPECT_EQ(MessageBoxA(nullptr, "after", "Plotwane", MB_OK), IDOK);
    EXPECT_EQ(host.boxes.size(), 1u);
}

}  // namespace
