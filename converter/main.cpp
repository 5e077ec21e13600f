// plotwane: with no arguments and a display it opens the conversion dialog as a window
// (converter/window_host.h). Otherwise it is the terminal front end of the dialog: it fills the dialog's two path
// fields from the command line, presses "&Convert" and drives the dialog's timer every 100 ms
// until the conversion has ended. On a terminal the status line (spinner, counter, elapsed
// time) is rewritten on each tick; otherwise nothing is printed until the end. Message boxes
// become one line on stderr each, in the terminal's character set; a question (a box of more
// than one button) is answered with its default button and not printed, so that one failure
// is one line. SIGINT, SIGTERM and SIGHUP (unless the program was started to ignore them)
// remove every temporary file, say so in one line and end the program with 130, 143 or 129;
// SIGXFSZ is ignored, so that a file-size limit fails the write (exit 1) instead of killing
// the program. Exit status: 0 converted, 1 failed, 2 usage error.

#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "Drakmere.h"
#include "converter/converter_dialog.h"
#include "converter/road.h"
#include "converter/window_host.h"
#include "platform/codepage.h"
#include "platform/message_box.h"

namespace {

// The signal that asked the program to stop; 0 for none.
volatile std::sig_atomic_t g_interrupted = 0;

void on_interrupt(int signal)
{
    g_interrupted = signal;
}

constexpr char k_msg_interrupted[] = "the conversion was interrupted";

void print_usage(std::FILE* out)
{
    std::fputs("usage: plotwane [--no-explode-text] SOURCE [TARGET]\n"
               "       plotwane            (with a display: opens the conversion window)\n"
               "Converts a drawing into a DXF file (AutoCAD 2004). The import library reads native\n"
               ".vkt drawings; TARGET defaults to SOURCE with the extension .dxf.\n"
               "  --no-explode-text   keep texts as texts instead of turning them into outlines\n"
               "Exit status: 0 converted, 1 conversion failed, 2 usage error.\n",
               out);
}

std::string terminal_text(const char* ansi)
{
    std::vector<char> out(std::strlen(ansi) * 4 + 4);
    if (platform_ansi_to_terminal(ansi, out.data(), static_cast<int>(out.size())) == 0 && *ansi) return ansi;
    return out.data();
}

class Terminal_Host : public Converter_Host {
public:
    explicit Terminal_Host(bool on_terminal) : m_on_terminal(on_terminal) {}

    void set_text(int control, const std::string& text) override
    {
        std::lock_guard lock(m_mutex);
        m_texts[control] = text;
    }
    std::string get_text(int control) override
    {
        std::lock_guard lock(m_mutex);
        return m_texts[control];
    }
    void enable(int, bool) override {}
    int message_box(const char* text, const char* caption, unsigned type) override
    {
        // Nobody can answer a question here; what it leads to, a failure or not, says enough.
        if ((type & 0xF) == MB_OK) print_line(caption, text);
        return platform_message_box_default_button(type);
    }
    // "caption: text" on stderr, the texts in the ANSI code page.
    void print_line(const char* caption, const char* text)
    {
        std::lock_guard lock(m_mutex);
        clear_status_locked();
        std::fprintf(stderr, "%s: %s\n", terminal_text(caption).c_str(), terminal_text(text).c_str());
        std::fflush(stderr);
    }
    bool choose_open_file(const char*, const char*, const char*, std::string&) override { return false; }
    bool run_setting_dialog(bool&) override { return false; }
    void set_timer(int, unsigned) override {}
    long long now_seconds() override
    {
        return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void conversion_finished() override
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
        m_wake.notify_all();
    }
    void end_process(int status) override
    {
        clear_status();
        platform_remove_temp_files();
        flush_standard_streams();
        ::_exit(status);
    }

    // Sleeps one timer period, or less when the conversion ends meanwhile.
    void wait_tick()
    {
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::milliseconds(k_progress_timer_ms), [this] { return m_finished; });
    }

    void show_status()
    {
        if (!m_on_terminal) return;
        std::lock_guard lock(m_mutex);
        std::fprintf(stderr, "\r\033[K%s  %s", m_texts[IDC_STATUS].c_str(), m_texts[IDC_TIMES].c_str());
        std::fflush(stderr);
        m_status_shown = true;
    }
    void clear_status()
    {
        std::lock_guard lock(m_mutex);
        clear_status_locked();
    }

private:
    void clear_status_locked()
    {
        if (!m_status_shown) return;
        std::fputs("\r\033[K", stderr);
        m_status_shown = false;
    }

    const bool m_on_terminal;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<int, std::string> m_texts;
    bool m_finished = false;
    bool m_status_shown = false;
};

// A large drawing is millions of small objects: with 4 KB pages a third of the conversion
// went into page faults. glibc's malloc uses transparent huge pages when its tunable says so,
// and tunables are read only at start-up: so the program starts itself once more with the
// tunable added. The text explosion makes and frees thousands of small blocks per text: with
// the per-thread cache of 7 blocks per size, most of them went through the bins, merged and
// split again, twice the time of the explosion itself; the cache keeps 4096. Should the
// restart fail, it goes on as it is.
void restart_with_huge_pages(char** argv)
{
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb")) return;
    const char* ours = "glibc.malloc.hugetlb=1:glibc.malloc.tcache_count=4096";
    const std::string value = tunables && *tunables ? std::string(tunables) + ":" + ours : std::string(ours);
    if (::setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0) return;
    ::execv("/proc/self/exe", argv);
    // Not restarted: leave the environment as it was for anything started later.
    if (tunables)
        ::setenv("GLIBC_TUNABLES", tunables, 1);
    else
        ::unsetenv("GLIBC_TUNABLES");
}

}  // namespace

int main(int argc, char** argv)
{
    restart_with_huge_pages(argv);
    // Messages go out in the terminal's character set, which the locale names.
    std::setlocale(LC_CTYPE, "");
    // A file-size limit makes a write fail (EFBIG), which the export handles like a full disk.
    ::signal(SIGXFSZ, SIG_IGN);
    // The conversion runs on the dialog's worker thread and allocates millions of small
    // objects. A thread's own malloc arena grows by the page, one mprotect each; the main
    // arena grows by brk with padding. One arena for the whole process is several times
    // cheaper here, and the program has only one thread that allocates much.
    ::mallopt(M_ARENA_MAX, 1);
    if (argc == 1) {
        if (display_available()) return run_window_dialog();
        // Asked for the window on a desktop that cannot be reached: say so before the usage.
        if (const char* display = std::getenv("DISPLAY"); display && *display)
            std::fprintf(stderr, "plotwane: cannot open display \"%s\" for the conversion window\n", display);
    }
    bool explode_text = true;
    std::vector<std::string> paths;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!options_done && (arg == "--help" || arg == "-h")) {
            print_usage(stdout);
            return 0;
        }
        if (!options_done && arg == "--no-explode-text") {
            explode_text = false;
        } else if (!options_done && arg == "--") {
            options_done = true;
        } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "plotwane: unknown option %s\n", arg.c_str());
            print_usage(stderr);
            return 2;
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.empty() || paths.size() > 2 || paths[0].empty() || (paths.size() == 2 && paths[1].empty())) {
        print_usage(stderr);
        return 2;
    }
    const std::string source = paths[0];
    const std::string target = paths.size() == 2 ? paths[1] : default_target_path(source);

    struct sigaction action{};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    // A closed terminal (SIGHUP) stops the conversion as ^C does. A signal the program was
    // started to ignore (nohup, a job in the background of a script) stays ignored.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before{};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }

    store_explode_text(explode_text ? 1 : 0);
    // The process ends after this one conversion: its drawing is not taken apart first.
    set_road_leaves_drawing(true);
    Terminal_Host host(::isatty(STDERR_FILENO) == 1);
    bool ok = false;
    {
        ConverterDialog dialog(host);
        host.set_text(IDC_SOURCE_PATH, source);
        host.set_text(IDC_TARGET_PATH, target);
        if (!dialog.OnConvert()) return 1;
        while (dialog.converting()) {
            host.wait_tick();
            // A conversion that ended meanwhile has put its target in place or failed: that
            // is what the program reports, not the interrupt that came too late to stop it.
            if (const int signal = g_interrupted; signal && dialog.converting()) {
                // The worker runs on meanwhile: the host removes what it wrote and ends here.
                host.print_line(k_road_caption, k_msg_interrupted);
                host.end_process(128 + signal);
            }
            dialog.OnTimer();
            if (dialog.converting()) host.show_status();
        }
        dialog.wait_for_worker();
        dialog.OnTimer();
        ok = dialog.last_result();
    }
    host.clear_status();
    if (ok) std::printf("%s\n", target.c_str());
    return ok ? 0 : 1;
}
