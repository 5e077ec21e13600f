#include "converter/window_host.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "converter/road.h"
#include "platform/codepage.h"
#include "platform/message_box.h"
#include "platform/temp_files.h"

// Control ids of the template that have no name in the model.
namespace {
constexpr int IDC_NONE = 0;
}

const Dialog_Control k_main_dialog_controls[13] = {
    {IDC_BANNER_PICTURE, Control_Kind::Picture, "", 0, 0, 317, 49},
    {IDC_NONE, Control_Kind::Group_Box, "Convert setting", 5, 49, 287, 81},
    {IDC_NONE, Control_Kind::Label, "DWF file:", 20, 59, 46, 8},
    {IDC_OPEN_FILE, Control_Kind::Button, "Open file...", 207, 56, 56, 12},
    {IDC_SOURCE_PATH, Control_Kind::Edit, "", 19, 71, 254, 13},
    {IDC_NONE, Control_Kind::Label, "DWG/DXF file:", 21, 95, 58, 8},
    {IDC_TARGET_PATH, Control_Kind::Edit, "", 19, 108, 253, 13},
    {IDC_ABOUT_PICTURE, Control_Kind::Picture, "", 5, 133, 61, 23},
    {IDC_CONVERT, Control_Kind::Button, "&Convert", 74, 135, 50, 13},
    {IDCANCEL, Control_Kind::Button, "E&xit", 130, 135, 46, 13},
    {IDC_SETTING, Control_Kind::Button, "&Setting", 184, 135, 49, 14},
    {IDC_TIMES, Control_Kind::Label, "Times", 16, 159, 47, 10},
    {IDC_STATUS, Control_Kind::Label, "", 75, 157, 218, 10},
};

const Dialog_Control k_setting_dialog_controls[3] = {
    {IDC_EXPLODE_TEXT, Control_Kind::Check_Box, "Explore text", 22, 6, 70, 11},
    {IDOK, Control_Kind::Button, "OK", 27, 29, 48, 13},
    {IDCANCEL, Control_Kind::Button, "Cancel", 93, 29, 49, 13},
};

int Dialog_Units::px(double units) const
{
    return static_cast<int>(std::lround(units * x));
}

int Dialog_Units::py(double units) const
{
    return static_cast<int>(std::lround(units * y));
}

std::string fltk_filter_from_windows(const char* filter)
{
    // "Name|p1;p2|Name2|p3||": pairs of a name and its patterns.
    std::vector<std::string> parts;
    std::string part;
    for (const char* c = filter ? filter : ""; *c; ++c) {
        if (*c == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part += *c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    std::string out;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty() && parts[i + 1].empty()) break;
        std::vector<std::string> extensions;
        std::vector<std::string> others;
        std::string pattern;
        const std::string& patterns = parts[i + 1];
        for (std::size_t at = 0; at <= patterns.size(); ++at) {
            if (at == patterns.size() || patterns[at] == ';') {
                if (pattern.rfind("*.", 0) == 0 && pattern.size() > 2 &&
                    pattern.find_first_of("*?[{", 2) == std::string::npos)
                    extensions.push_back(pattern.substr(2));
                else if (!pattern.empty())
                    others.push_back(pattern);
                pattern.clear();
            } else {
                pattern += patterns[at];
            }
        }
        std::string fltk;
        if (extensions.size() == 1) fltk = "*." + extensions[0];
        if (extensions.size() > 1) {
            fltk = "*.{";
            for (std::size_t e = 0; e < extensions.size(); ++e) fltk += (e ? "," : "") + extensions[e];
            fltk += "}";
        }
        for (const std::string& other : others) fltk += (fltk.empty() ? "" : " ") + other;
        if (!out.empty()) out += "\n";
        out += parts[i] + "\t" + fltk;
    }
    return out;
}

bool display_available()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XCloseDisplay(display);
    return true;
}

namespace {

// Texts from the kernel are 8-bit in the ANSI code page; FLTK wants UTF-8.
std::string utf8_from_ansi(const char* ansi)
{
    std::vector<char> out(std::strlen(ansi) * 3 + 4);
    if (platform_ansi_to_utf8(ansi, out.data(), static_cast<int>(out.size())) == 0 && *ansi) return ansi;
    return out.data();
}

// 8 points at 96 dots per inch, and 9 points for the setting dialog.
constexpr int k_main_font_size = 11;
constexpr int k_setting_font_size = 12;

// The banner across the top of the main dialog: drawn here, no picture file.
class Banner_Picture : public Fl_Box {
public:
    Banner_Picture(int x, int y, int w, int h) : Fl_Box(x, y, w, h) {}

    void draw() override
    {
        for (int row = 0; row < h(); ++row) {
            const int shade = 40 + 80 * row / (h() > 1 ? h() - 1 : 1);
            fl_color(fl_rgb_color(20, static_cast<uchar>(shade), static_cast<uchar>(60 + shade)));
            fl_xyline(x(), y() + row, x() + w() - 1);
        }
        // A sheet with a few strokes of a drawing on it.
        const int sx = x() + 12;
        const int sy = y() + 8;
        const int sh = h() - 16;
        fl_color(FL_WHITE);
        fl_rectf(sx, sy, sh * 3 / 4, sh);
        fl_color(fl_rgb_color(30, 70, 140));
        fl_line(sx + 4, sy + sh - 6, sx + sh * 3 / 4 - 5, sy + 6);
        fl_arc(sx + 4, sy + 4, sh * 3 / 4 - 8, sh * 3 / 4 - 8, 0, 360);
        fl_color(FL_WHITE);
        fl_font(FL_HELVETICA_BOLD, 20);
        fl_draw("Plotwane", sx + sh, y() + h() / 2 + 2);
        fl_font(FL_HELVETICA, k_main_font_size);
        fl_draw("Drawings to DXF", sx + sh, y() + h() / 2 + 16);
    }
};

// The small picture that opens the About dialog when clicked.
class About_Picture : public Fl_Box {
public:
    About_Picture(int x, int y, int w, int h) : Fl_Box(x, y, w, h) {}

    void draw() override
    {
        fl_color(FL_BACKGROUND_COLOR);
        fl_rectf(x(), y(), w(), h());
        fl_color(fl_rgb_color(30, 70, 140));
        fl_rectf(x() + 2, y() + 2, h() - 4, h() - 4);
        fl_color(FL_WHITE);
        fl_font(FL_HELVETICA_BOLD, h() - 10);
        fl_draw("i", x() + 2, y() + 2, h() - 4, h() - 4, FL_ALIGN_CENTER);
        fl_color(FL_FOREGROUND_COLOR);
        fl_font(FL_HELVETICA, k_main_font_size);
        fl_draw("About", x() + h() + 2, y(), w() - h() - 2, h(), FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    }

    int handle(int event) override
    {
        if (event == FL_PUSH) {
            do_callback();
            return 1;
        }
        return Fl_Box::handle(event);
    }
};

// The main window: F1 opens the About dialog.
class Main_Window : public Fl_Double_Window {
public:
    Main_Window(int w, int h, const char* caption, Window_Host& host)
        : Fl_Double_Window(w, h, caption), m_host(host)
    {
    }

    int handle(int event) override
    {
        if (event == FL_SHORTCUT && Fl::event_key() == FL_F + 1) {
            m_host.show_about();
            return 1;
        }
        return Fl_Double_Window::handle(event);
    }

private:
    Window_Host& m_host;
};

// Runs a window modally on the UI thread until it is hidden.
void run_modal(Fl_Window& window)
{
    window.set_modal();
    window.show();
    while (window.shown()) Fl::wait();
}

struct Box_Button {
    const char* label;
    int answer;
};

std::vector<Box_Button> box_buttons(unsigned type)
{
    switch (type & 0xFu) {
    case MB_OKCANCEL: return {{"OK", IDOK}, {"Cancel", IDCANCEL}};
    case MB_YESNOCANCEL: return {{"&Yes", IDYES}, {"&No", IDNO}, {"Cancel", IDCANCEL}};
    case MB_YESNO: return {{"&Yes", IDYES}, {"&No", IDNO}};
    default: return {{"OK", IDOK}};
    }
}

}  // namespace

struct Window_Host::Box_Request {
    Window_Host* host;
    std::string text;
    std::string caption;
    unsigned type;
    int answer = 0;
    bool done = false;
};

namespace {

// FLTK ends the process when its one attempt to reach the display fails; a busy server may
// refuse a connection for a moment. The connection is made here, with a few tries, and
// handed to FLTK.
void connect_display()
{
    if (fl_display) return;
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr)) {
            fl_open_display(display);
            return;
        }
        ::usleep(100 * 1000);
    }
    // Let FLTK try once more and report the failure its own way.
    fl_open_display();
}

}  // namespace

Window_Host::Window_Host() : m_ui_thread(std::this_thread::get_id())
{
    connect_display();
    // Threads may wake the UI loop from now on.
    Fl::lock();
    // FLTK's native chooser is GTK 2's where that library is present, and it prints a
    // Gtk-CRITICAL line on stderr for each key typed into its location field: FLTK's own
    // chooser is used instead.
    Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
    // FLTK 1.3 does not fall back per glyph: the default face must hold CJK itself.
    Fl::set_font(FL_HELVETICA, " WenQuanYi Micro Hei");
    Fl::set_font(FL_HELVETICA_BOLD, "BWenQuanYi Micro Hei");
    FL_NORMAL_SIZE = k_main_font_size;
    build_main_window();
    m_dialog = std::make_unique<ConverterDialog>(*this);
    platform_set_file_dialog_hook(on_file_dialog, this);
}

Window_Host::~Window_Host()
{
    platform_set_file_dialog_hook(nullptr, nullptr);
    Fl::remove_timeout(on_timer, this);
    // The model waits for its worker, which may still hand a box to this thread: the window
    // goes only after the model.
    m_dialog.reset();
    m_window.reset();
}

void Window_Host::build_main_window()
{
    const Dialog_Units& u = k_main_dialog_units;
    m_window = std::make_unique<Main_Window>(u.px(k_main_dialog_width), u.py(k_main_dialog_height),
                                             k_main_dialog_caption, *this);
    m_window->begin();
    for (const Dialog_Control& c : k_main_dialog_controls) {
        const int x = u.px(c.x), y = u.py(c.y), w = u.px(c.w), h = u.py(c.h);
        Fl_Widget* widget = nullptr;
        switch (c.kind) {
        case Control_Kind::Picture:
            if (c.id == IDC_ABOUT_PICTURE) {
                widget = new About_Picture(x, y, w, h);
                widget->callback([](Fl_Widget*, void* host) { static_cast<Window_Host*>(host)->show_about(); }, this);
            } else {
                widget = new Banner_Picture(x, y, w, h);
            }
            break;
        case Control_Kind::Group_Box:
            widget = new Fl_Box(FL_ENGRAVED_FRAME, x, y, w, h, nullptr);
            widget->align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE);
            break;
        case Control_Kind::Label:
            widget = new Fl_Box(FL_FLAT_BOX, x, y, w, h, nullptr);
            widget->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
            break;
        case Control_Kind::Edit:
            widget = new Fl_Input(x, y, w, h);
            static_cast<Fl_Input*>(widget)->textsize(k_main_font_size);
            break;
        case Control_Kind::Button:
        case Control_Kind::Check_Box:
            widget = new Fl_Button(x, y, w, h);
            break;
        }
        widget->copy_label(c.text);
        widget->labelsize(k_main_font_size);
        if (c.id != IDC_NONE) m_controls[c.id] = widget;
    }
    m_window->end();
    m_window->xclass("Plotwane");

    m_controls[IDC_OPEN_FILE]->callback([](Fl_Widget*, void* h) { static_cast<Window_Host*>(h)->m_dialog->OnOpenFile(); },
                                        this);
    m_controls[IDC_CONVERT]->callback([](Fl_Widget*, void* h) { (void)static_cast<Window_Host*>(h)->m_dialog->OnConvert(); },
                                      this);
    m_controls[IDC_SETTING]->callback([](Fl_Widget*, void* h) { static_cast<Window_Host*>(h)->m_dialog->OnSetting(); },
                                      this);
    m_controls[IDCANCEL]->callback([](Fl_Widget*, void* h) { static_cast<Window_Host*>(h)->exit_dialog(); }, this);
    // The close box and Escape act as "E&xit", as a dialog's cancel does.
    m_window->callback([](Fl_Widget*, void* h) { static_cast<Window_Host*>(h)->exit_dialog(); }, this);
}

Fl_Widget* Window_Host::widget(int control)
{
    auto it = m_controls.find(control);
    return it == m_controls.end() ? nullptr : it->second;
}

void Window_Host::show()
{
    m_window->show();
}

int Window_Host::run()
{
    show();
    return Fl::run();
}

void Window_Host::set_text(int control, const std::string& text)
{
    Fl_Widget* w = widget(control);
    if (!w) return;
    if (auto* input = dynamic_cast<Fl_Input*>(w)) {
        input->value(text.c_str());
    } else {
        w->copy_label(text.c_str());
        w->redraw();
    }
}

std::string Window_Host::get_text(int control)
{
    Fl_Widget* w = widget(control);
    if (!w) return {};
    if (auto* input = dynamic_cast<Fl_Input*>(w)) return input->value();
    return w->label() ? w->label() : "";
}

void Window_Host::enable(int control, bool on)
{
    Fl_Widget* w = widget(control);
    if (!w) return;
    if (on)
        w->activate();
    else
        w->deactivate();
}

int Window_Host::show_message_box(const std::string& text_utf8, const std::string& caption_utf8, unsigned type)
{
    const std::vector<Box_Button> buttons = box_buttons(type);
    const int button_w = 80, button_h = 26, gap = 10;
    fl_font(FL_HELVETICA, k_main_font_size);
    int text_w = 0, text_h = 0;
    fl_measure(text_utf8.c_str(), text_w, text_h, 0);
    const int buttons_w = static_cast<int>(buttons.size()) * (button_w + gap) - gap;
    const int w = std::max(std::max(text_w, buttons_w) + 4 * gap, 200);
    const int h = text_h + button_h + 5 * gap;

    int answer = platform_message_box_default_button(type);
    Fl_Double_Window box(w, h);
    box.copy_label(caption_utf8.c_str());
    auto* text = new Fl_Box(gap, gap, w - 2 * gap, text_h + 2 * gap);
    text->copy_label(text_utf8.c_str());
    text->labelsize(k_main_font_size);
    text->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    struct Pressed {
        Fl_Window* box;
        int* answer;
        int value;
    };
    std::vector<Pressed> pressed(buttons.size());
    int bx = (w - buttons_w) / 2;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        Fl_Button* b = i == 0 ? new Fl_Return_Button(bx, h - gap - button_h, button_w, button_h)
                              : new Fl_Button(bx, h - gap - button_h, button_w, button_h);
        b->copy_label(buttons[i].label);
        b->labelsize(k_main_font_size);
        pressed[i] = {&box, &answer, buttons[i].answer};
        b->callback(
            [](Fl_Widget*, void* p) {
                auto* what = static_cast<Pressed*>(p);
                *what->answer = what->value;
                what->box->hide();
            },
            &pressed[i]);
        bx += button_w + gap;
    }
    box.end();
    run_modal(box);
    return answer;
}

void Window_Host::on_box_request(void* p)
{
    auto* request = static_cast<Box_Request*>(p);
    const int answer = request->host->show_message_box(request->text, request->caption, request->type);
    std::lock_guard lock(request->host->m_box_mutex);
    request->answer = answer;
    request->done = true;
    request->host->m_box_answered.notify_all();
}

int Window_Host::message_box(const char* text, const char* caption, unsigned type)
{
    const std::string text_utf8 = utf8_from_ansi(text);
    const std::string caption_utf8 = utf8_from_ansi(caption);
    if (std::this_thread::get_id() == m_ui_thread) return show_message_box(text_utf8, caption_utf8, type);
    Box_Request request{this, text_utf8, caption_utf8, type};
    std::unique_lock lock(m_box_mutex);
    if (Fl::awake(on_box_request, &request) != 0) {
        // The UI thread's queue is full: answer as a box nobody can see would.
        return platform_message_box_default_button(type);
    }
    m_box_answered.wait(lock, [&] { return request.done; });
    return request.answer;
}

bool Window_Host::choose_open_file(const char*, const char*, const char* filter, std::string& path)
{
    return run_file_chooser(true, false, "Open", fltk_filter_from_windows(filter), "", "", path);
}

bool Window_Host::run_file_chooser(bool open, bool confirm_replace, const std::string& title,
                                   const std::string& filter, const std::string& folder, const std::string& name,
                                   std::string& path)
{
    Fl_Native_File_Chooser chooser(open ? Fl_Native_File_Chooser::BROWSE_FILE
                                        : Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
    chooser.title(title.c_str());
    chooser.filter(filter.c_str());
    if (!folder.empty()) chooser.directory(folder.c_str());
    if (!name.empty()) chooser.preset_file(name.c_str());
    if (confirm_replace) chooser.options(Fl_Native_File_Chooser::SAVEAS_CONFIRM);
    if (chooser.show() != 0 || !chooser.filename() || !*chooser.filename()) return false;
    path = chooser.filename();
    return true;
}

LPCSTR Window_Host::on_file_dialog(void* user, BOOL open, const OPENFILENAMEA* record)
{
    auto* host = static_cast<Window_Host*>(user);
    if (!host || !record || std::this_thread::get_id() != host->m_ui_thread) return nullptr;
    // The record's filter: (description, pattern) pairs, each ending in a NUL, then a NUL;
    // the chooser takes the "name|pattern|...||" form through the converter's own filter.
    std::string bars;
    for (const char* p = record->lpstrFilter; p && *p; p += std::strlen(p) + 1) bars += utf8_from_ansi(p) + "|";
    bars += "|";
    // The name the dialog starts with, unless it is a pattern.
    std::string name = record->lpstrFile ? utf8_from_ansi(record->lpstrFile) : std::string();
    if (name.find_first_of("*?") != std::string::npos) name.clear();
    std::string chosen;
    if (!run_file_chooser(open != FALSE, (record->Flags & OFN_OVERWRITEPROMPT) != 0,
                          utf8_from_ansi(record->lpstrTitle ? record->lpstrTitle : ""), fltk_filter_from_windows(bars.c_str()),
                          record->lpstrInitialDir ? utf8_from_ansi(record->lpstrInitialDir) : std::string(), name,
                          chosen))
        return nullptr;
    // Back to the ANSI code page the caller reads; a path it cannot hold is no answer.
    thread_local std::string answer;
    const int n = MultiByteToWideChar(CP_UTF8, 0, chosen.c_str(), -1, nullptr, 0);
    if (n <= 0) return nullptr;
    std::vector<WCHAR> wide(static_cast<std::size_t>(n));
    if (MultiByteToWideChar(CP_UTF8, 0, chosen.c_str(), -1, wide.data(), n) != n) return nullptr;
    BOOL lossy = FALSE;
    const int m = WideCharToMultiByte(CP_ACP, 0, wide.data(), n, nullptr, 0, nullptr, &lossy);
    if (m <= 0 || lossy) return nullptr;
    answer.assign(static_cast<std::size_t>(m), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, wide.data(), n, answer.data(), m, nullptr, nullptr) != m) return nullptr;
    answer.resize(std::strlen(answer.c_str()));
    return answer.c_str();
}

bool Window_Host::run_setting_dialog(bool& checked)
{
    const Dialog_Units& u = k_setting_dialog_units;
    Fl_Double_Window window(u.px(k_setting_dialog_width), u.py(k_setting_dialog_height), k_setting_dialog_caption);
    Fl_Check_Button* box = nullptr;
    bool ok = false;
    struct Pressed {
        Fl_Window* window;
        bool* ok;
        bool value;
    };
    Pressed pressed_ok{&window, &ok, true};
    Pressed pressed_cancel{&window, &ok, false};
    auto press = [](Fl_Widget*, void* p) {
        auto* what = static_cast<Pressed*>(p);
        *what->ok = what->value;
        what->window->hide();
    };
    for (const Dialog_Control& c : k_setting_dialog_controls) {
        const int x = u.px(c.x), y = u.py(c.y), w = u.px(c.w), h = u.py(c.h);
        if (c.kind == Control_Kind::Check_Box) {
            box = new Fl_Check_Button(x, y, w, h);
            box->copy_label(c.text);
            box->labelsize(k_setting_font_size);
            box->value(checked ? 1 : 0);
        } else {
            Fl_Button* b = c.id == IDOK ? new Fl_Return_Button(x, y, w, h) : new Fl_Button(x, y, w, h);
            b->copy_label(c.text);
            b->labelsize(k_setting_font_size);
            b->callback(press, c.id == IDOK ? &pressed_ok : &pressed_cancel);
        }
    }
    window.end();
    window.callback(press, &pressed_cancel);
    run_modal(window);
    if (ok && box) checked = box->value() != 0;
    return ok;
}

void Window_Host::on_timer(void* p)
{
    auto* host = static_cast<Window_Host*>(p);
    Fl::repeat_timeout(host->m_timer_period, on_timer, host);
    host->m_dialog->OnTimer();
}

void Window_Host::set_timer(int, unsigned period_ms)
{
    m_timer_period = period_ms / 1000.0;
    Fl::remove_timeout(on_timer, this);
    Fl::add_timeout(m_timer_period, on_timer, this);
}

long long Window_Host::now_seconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Window_Host::conversion_finished()
{
    Fl::awake();
}

void Window_Host::end_process(int status)
{
    platform_remove_temp_files();
    flush_standard_streams();
    ::_exit(status);
}

void Window_Host::show_about()
{
    Fl_Double_Window about(320, 150, "About Plotwane");
    auto* text = new Fl_Box(10, 10, 300, 90);
    text->label("Plotwane\n\nConverts drawings into DXF files (AutoCAD 2004).\n"
                "Texts can be turned into outlines on the way (Setting).");
    text->labelsize(k_main_font_size);
    text->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    auto* ok = new Fl_Return_Button(120, 110, 80, 26, "OK");
    ok->labelsize(k_main_font_size);
    ok->callback([](Fl_Widget* w, void*) { w->window()->hide(); });
    about.end();
    run_modal(about);
}

void Window_Host::exit_dialog()
{
    // With a conversion running the process ends here; otherwise the window closes.
    m_dialog->OnExit();
    m_window->hide();
}

int run_window_dialog()
{
    Window_Host host;
    host.run();
    return 0;
}
