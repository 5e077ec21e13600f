#pragma once

// The conversion dialog as a desktop window (FLTK 1.3). The window is only a front end: every
// button goes to the ConverterDialog model, which acts on the controls through Converter_Host.
// Controls are placed from the dialog templates in dialog units, turned into pixels with one
// factor per axis (the font's average character width / 4 and height / 8).
//
// Threads: every FLTK call is made on the thread that created the window (the UI thread).
// The conversion worker's message boxes are handed to the UI thread, and the worker blocks
// until the box is answered.
//
// While the window lives, the platform's file dialogs (GetOpenFileNameA, GetSaveFileNameA,
// and so the kernel's ShowFileDialog) are FLTK's file chooser, with the caller's title,
// filter, folder and name, asking before a saved file is replaced. A dialog asked for on
// another thread is cancelled: FLTK's windows belong to the UI thread.

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "converter/converter_dialog.h"
#include "platform/file_dialog.h"

class Fl_Widget;
class Fl_Window;

// Dialog units to pixels. The main dialog's "MS Sans Serif" 8 has base units of 6 x 13 pixels
// at 96 dots per inch; the setting dialog's "Arial" 9 has 7 x 15.
struct Dialog_Units {
    double x;
    double y;
    int px(double units) const;   // x units to pixels
    int py(double units) const;   // y units to pixels
};
inline constexpr Dialog_Units k_main_dialog_units{6.0 / 4.0, 13.0 / 8.0};
inline constexpr Dialog_Units k_setting_dialog_units{7.0 / 4.0, 15.0 / 8.0};

// The main dialog's size in dialog units and its caption.
inline constexpr int k_main_dialog_width = 298;
inline constexpr int k_main_dialog_height = 171;
inline constexpr char k_main_dialog_caption[] = "Plotwane";
inline constexpr int k_setting_dialog_width = 170;
inline constexpr int k_setting_dialog_height = 44;
inline constexpr char k_setting_dialog_caption[] = "Setting";

// One control of a dialog template. Controls without an id of their own have id 0.
enum class Control_Kind { Picture, Group_Box, Label, Button, Edit, Check_Box };
struct Dialog_Control {
    int id;
    Control_Kind kind;
    const char* text;
    int x, y, w, h;   // dialog units
};

// The main dialog's controls in template order, and the setting dialog's.
extern const Dialog_Control k_main_dialog_controls[13];
extern const Dialog_Control k_setting_dialog_controls[3];
// The id of the main dialog's banner picture (it has none in the template).
inline constexpr int IDC_BANNER_PICTURE = -129;

// An open-dialog filter in the "Name|pattern;pattern||" form turned into FLTK's
// "Name\t*.{a,b}" form; patterns that are not "*.ext" are kept as they are.
std::string fltk_filter_from_windows(const char* filter);

// True when a graphical display can be opened (X11 through $DISPLAY).
bool display_available();

class Window_Host : public Converter_Host {
public:
    // Sets up FLTK's threading and the CJK-capable default face, builds the main window (not
    // shown yet) and the dialog model on it.
    Window_Host();
    ~Window_Host() override;
    Window_Host(const Window_Host&) = delete;
    Window_Host& operator=(const Window_Host&) = delete;

    void show();
    // Runs the window until it is closed; the program's exit status.
    int run();

    ConverterDialog& dialog() { return *m_dialog; }
    Fl_Window* window() { return m_window.get(); }
    // The widget of a control id (k_main_dialog_controls ids, IDC_BANNER_PICTURE, IDCANCEL for
    // "E&xit"); null for an unknown id.
    Fl_Widget* widget(int control);

    void set_text(int control, const std::string& text) override;
    std::string get_text(int control) override;
    void enable(int control, bool on) override;
    int message_box(const char* text, const char* caption, unsigned type) override;
    bool choose_open_file(const char* default_extension, const char* initial_name, const char* filter,
                          std::string& path) override;
    bool run_setting_dialog(bool& checked) override;
    void set_timer(int id, unsigned period_ms) override;
    long long now_seconds() override;
    void conversion_finished() override;
    void end_process(int status) override;

    // The About dialog (picture 1007 and F1).
    void show_about();
    // "E&xit" and the window's close box.
    void exit_dialog();

private:
    struct Box_Request;
    static void on_box_request(void* request);
    // The platform's file-dialog hook while the window lives.
    static LPCSTR on_file_dialog(void* host, BOOL open, const OPENFILENAMEA* record);
    // FLTK's chooser: the open or save form (save asks before replacing with confirm_replace),
    // texts in UTF-8, filter in FLTK's form; an empty folder or name leaves the chooser's own.
    // True with the chosen path.
    static bool run_file_chooser(bool open, bool confirm_replace, const std::string& title,
                                 const std::string& filter, const std::string& folder, const std::string& name,
                                 std::string& path);
    static void on_timer(void* host);
    int show_message_box(const std::string& text_utf8, const std::string& caption_utf8, unsigned type);
    void build_main_window();

    std::thread::id m_ui_thread;
    std::unique_ptr<Fl_Window> m_window;
    std::map<int, Fl_Widget*> m_controls;
    std::unique_ptr<ConverterDialog> m_dialog;
    double m_timer_period = 0;
    std::mutex m_box_mutex;
    std::condition_variable m_box_answered;
};

// The window front end of plotwane: runs the dialog until it is closed.
int run_window_dialog();
