#pragma once

// The conversion dialog as a model: the main dialog's handlers acting on controls that a host
// shows. The host is a thin front end (the terminal one, a window, or a test's fake with a
// manual clock); the model never draws anything itself. Each conversion runs on one worker
// thread; the host's timer calls OnTimer every 100 ms on the dialog thread.

#include <atomic>
#include <string>
#include <thread>

// Control ids of the main dialog.
inline constexpr int IDD_CONVERTER_DIALOG = 102;
inline constexpr int IDC_CONVERT = 1001;
inline constexpr int IDC_SOURCE_PATH = 1002;
inline constexpr int IDC_TARGET_PATH = 1003;
inline constexpr int IDC_SETTING = 1004;
inline constexpr int IDC_OPEN_FILE = 1005;
inline constexpr int IDC_ABOUT_PICTURE = 1007;
inline constexpr int IDC_STATUS = 1008;
inline constexpr int IDC_TIMES = 1009;
// The setting dialog and its check box.
inline constexpr int IDD_SETTING_DIALOG = 131;
inline constexpr int IDC_EXPLODE_TEXT = 1010;
// The dialog's one timer and its period.
inline constexpr int k_progress_timer_id = 1;
inline constexpr unsigned k_progress_timer_ms = 100;

// The extension a target gets from its source. DWG cannot be written here, so it is DXF.
inline constexpr char k_target_extension[] = ".dxf";

// The open dialog's texts.
inline constexpr char k_open_default_extension[] = "*.dwf(DWF files)";
inline constexpr char k_open_initial_name[] = "*.dwf;*.w2d";
inline constexpr char k_open_filter[] = "DWF files (*.dwf, *.w2d, *.vkt)|*.dwf;*.w2d;*.vkt||";

// The four spinner texts, in the order the ticks show them.
inline constexpr const char* k_spinner_texts[4] = {
    "Message: processing object... -",
    "Message: processing object... /",
    "Message: processing object... |",
    "Message: processing object... \\",
};

// The running flag: set by OnConvert, cleared by the worker at the end.
extern std::atomic<int> g_converting;

// The source path with the extension of its file name (after the last '.' that follows the
// last separator) replaced by k_target_extension; a name without a '.' gets it appended.
std::string default_target_path(const std::string& source);

// "%d:%d:%d" of hours (wrapping at 24), minutes and seconds.
std::string elapsed_time_text(long long seconds);

// What the dialog needs of its front end. Every member but message_box and
// conversion_finished is called on the dialog thread.
class Converter_Host {
public:
    virtual ~Converter_Host() = default;
    virtual void set_text(int control, const std::string& text) = 0;
    virtual std::string get_text(int control) = 0;
    virtual void enable(int control, bool on) = 0;
    // A blocking message box (8-bit ANSI texts); returns the button pressed. Called from the
    // worker thread.
    virtual int message_box(const char* text, const char* caption, unsigned type) = 0;
    // The file-open dialog: true with the chosen path, false when cancelled.
    virtual bool choose_open_file(const char* default_extension, const char* initial_name, const char* filter,
                                  std::string& path) = 0;
    // The setting dialog opened with the check box as given: true with the new state for OK,
    // false for Cancel.
    virtual bool run_setting_dialog(bool& checked) = 0;
    // Starts (or restarts) a periodic timer that calls the dialog's OnTimer.
    virtual void set_timer(int id, unsigned period_ms) = 0;
    // Now in whole seconds.
    virtual long long now_seconds() = 0;
    // Called on the worker thread once the conversion has ended, after the running flag was
    // cleared: a front end may wake its loop. The default does nothing.
    virtual void conversion_finished() {}
    // Ends the process at once (Exit while a conversion runs). Removes the conversion's
    // temporary files (platform_remove_temp_files) and flushes what it must first.
    virtual void end_process(int status) = 0;
};

// Flushes stdout and stderr before the process ends at once. Never fflush(nullptr): the
// worker writes its file through a stream without taking the stream's lock, and flushing
// that stream from another thread would race with it.
void flush_standard_streams();

class ConverterDialog {
public:
    // Installs a message-box hook that routes every box to the host while the dialog lives.
    explicit ConverterDialog(Converter_Host& host);
    ConverterDialog(const ConverterDialog&) = delete;
    ConverterDialog& operator=(const ConverterDialog&) = delete;
    // Waits for a worker that is still running, so that none outlives the dialog.
    ~ConverterDialog();

    void OnOpenFile();
    void OnSetting();
    // Starts a conversion of the two fields' paths; refused (false) while one runs.
    bool OnConvert();
    void OnTimer();
    // E&xit: with a conversion running, the process ends through the host, which removes the
    // exporter's temporary files (the target stays as it was); otherwise nothing is left to do.
    void OnExit();

    bool converting() const { return g_converting.load() != 0; }
    // The road's result of the last conversion that ended; false before any.
    bool last_result() const { return m_last_result.load(); }
    // Waits for the worker of the last conversion (for front ends that end after one run).
    void wait_for_worker();

private:
    struct Job {
        std::string source;
        std::string target;
        bool explode_text = true;
    };

    void run_job(Job job);
    void enable_inputs(bool on);

    Converter_Host& m_host;
    std::atomic<bool> m_last_result{false};
    long long m_start_time = 0;
    int m_spinner_index = 0;
    std::thread m_worker;
};
