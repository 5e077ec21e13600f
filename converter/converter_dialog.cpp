#include "converter/converter_dialog.h"

#include <cstdio>
#include <utility>

#include "Fendral.h"
#include "converter/road.h"
#include "platform/message_box.h"

std::atomic<int> g_converting{0};

std::string default_target_path(const std::string& source)
{
    const std::size_t name_start = source.find_last_of("/\\");
    const std::size_t dot = source.rfind('.');
    const bool has_ext = dot != std::string::npos && (name_start == std::string::npos || dot > name_start);
    return (has_ext ? source.substr(0, dot) : source) + k_target_extension;
}

std::string elapsed_time_text(long long s)
{
    const long long hours = s / 3600 - (s / 86400) * 24;
    const long long minutes = s / 60 - (s / 3600) * 60;
    const long long seconds = s % 60;
    char text[80];
    std::snprintf(text, sizeof text, "%lld:%lld:%lld", hours, minutes, seconds);
    return text;
}

void flush_standard_streams()
{
    std::fflush(stdout);
    std::fflush(stderr);
}

namespace {

int route_message_box(void* user, HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    return static_cast<Converter_Host*>(user)->message_box(text ? text : "", caption ? caption : "", type);
}

}  // namespace

ConverterDialog::ConverterDialog(Converter_Host& host) : m_host(host)
{
    platform_set_message_box_hook(route_message_box, &m_host);
}

ConverterDialog::~ConverterDialog()
{
    wait_for_worker();
    platform_set_message_box_hook(nullptr, nullptr);
}

void ConverterDialog::wait_for_worker()
{
    if (m_worker.joinable()) m_worker.join();
}

void ConverterDialog::OnOpenFile()
{
    std::string path;
    if (!m_host.choose_open_file(k_open_default_extension, k_open_initial_name, k_open_filter, path)) return;
    m_host.set_text(IDC_SOURCE_PATH, path);
    m_host.set_text(IDC_TARGET_PATH, default_target_path(path));
}

void ConverterDialog::OnSetting()
{
    bool checked = load_explode_text() != 0;
    if (m_host.run_setting_dialog(checked)) store_explode_text(checked ? 1 : 0);
}

void ConverterDialog::enable_inputs(bool on)
{
    for (int id : {IDC_SOURCE_PATH, IDC_OPEN_FILE, IDC_TARGET_PATH, IDC_CONVERT}) m_host.enable(id, on);
}

bool ConverterDialog::OnConvert()
{
    // One conversion at a time: the kernel is used by one thread only.
    int idle = 0;
    if (!g_converting.compare_exchange_strong(idle, 1)) return false;
    enable_inputs(false);
    // The worker gets its own copies: the fields and the setting may change while it runs.
    Job job{m_host.get_text(IDC_SOURCE_PATH), m_host.get_text(IDC_TARGET_PATH), load_explode_text() != 0};
    store_current_loading_object_index(0);
    m_start_time = m_host.now_seconds();
    // The worker of the previous conversion has ended (the flag was clear).
    wait_for_worker();
    m_host.set_timer(k_progress_timer_id, k_progress_timer_ms);
    m_worker = std::thread(&ConverterDialog::run_job, this, std::move(job));
    return true;
}

void ConverterDialog::run_job(Job job)
{
    const bool ok = convert_drawing(job.source.c_str(), job.target.c_str(), 23, job.explode_text);
    m_last_result.store(ok);
    g_converting.store(0);
    m_host.conversion_finished();
}

void ConverterDialog::OnTimer()
{
    if (g_converting.load() == 0) {
        enable_inputs(true);
        return;
    }
    enable_inputs(false);
    if (m_spinner_index >= 4) m_spinner_index = 0;
    m_host.set_text(IDC_STATUS, std::string(k_spinner_texts[m_spinner_index]) + " " +
                                    std::to_string(load_current_loading_object_index()));
    ++m_spinner_index;
    m_host.set_text(IDC_TIMES, elapsed_time_text(m_host.now_seconds() - m_start_time));
}

void ConverterDialog::OnExit()
{
    if (g_converting.load() == 0) return;
    // The worker must not run on into static destruction: end the process here.
    flush_standard_streams();
    m_host.end_process(1);
}
