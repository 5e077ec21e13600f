// The host's file dialog: the record it fills, read through the dialog hook, and what the
// answer or a cancel give back.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "kernel/operation/file_dialog.h"
#include "platform/file_dialog.h"

namespace {

// What the hook saw, copied while the record lived.
struct Seen {
    int calls = 0;
    BOOL open = -1;
    DWORD size = 0, filter_index = 99, max_file = 0, max_title = 0, max_custom = 99, flags = 0;
    HWND owner = nullptr;
    bool no_instance = false, no_custom = false, no_title_buffer = false, file_is_callers = false;
    std::string filter, folder, title, def_ext, initial_name;
    const char* answer = nullptr;
    char* callers_file = nullptr;
};

// A filter's pairs up to the empty text that ends them, NULs kept.
std::string filter_text(const char* f)
{
    std::string out;
    while (*f) {
        const std::size_t n = std::strlen(f) + 1;
        out.append(f, n);
        f += n;
    }
    return out + '\0';
}

LPCSTR hook(void* user, BOOL open, const OPENFILENAMEA* r)
{
    auto* s = static_cast<Seen*>(user);
    ++s->calls;
    s->open = open;
    s->size = r->lStructSize;
    s->owner = r->hwndOwner;
    s->no_instance = r->hInstance == nullptr;
    s->filter = r->lpstrFilter ? filter_text(r->lpstrFilter) : "<null>";
    s->no_custom = r->lpstrCustomFilter == nullptr;
    s->max_custom = r->nMaxCustFilter;
    s->filter_index = r->nFilterIndex;
    s->file_is_callers = r->lpstrFile == s->callers_file;
    s->initial_name = r->lpstrFile ? r->lpstrFile : "";
    s->max_file = r->nMaxFile;
    s->no_title_buffer = r->lpstrFileTitle == nullptr;
    s->max_title = r->nMaxFileTitle;
    s->folder = r->lpstrInitialDir ? r->lpstrInitialDir : "<null>";
    s->title = r->lpstrTitle ? r->lpstrTitle : "<null>";
    s->def_ext = r->lpstrDefExt ? r->lpstrDefExt : "<null>";
    s->flags = r->Flags;
    return s->answer;
}

class ShowFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override { platform_set_file_dialog_hook(hook, &seen); }
    void TearDown() override { platform_set_file_dialog_hook(nullptr, nullptr); }
    Seen seen;
};

TEST_F(ShowFileDialogTest, DefaultsFillTheRecord)
{
    char file[260] = "start.vkt";
    seen.callers_file = file;
    const std::string cwd = std::filesystem::current_path().string();
    struct Case {
        int open;
        const char* title;
        BOOL dialog;
        DWORD flags;
    };
    for (const Case& c : {Case{1, "Open File", TRUE, 0x800000}, Case{0, "Save File", FALSE, 0x800002}}) {
        SCOPED_TRACE(c.title);
        seen.answer = nullptr;
        EXPECT_EQ(ShowFileDialog(nullptr, c.open, file, nullptr, nullptr, nullptr), 0);
        EXPECT_EQ(seen.open, c.dialog);
        EXPECT_EQ(seen.size, 76u);
        EXPECT_EQ(seen.owner, nullptr);
        EXPECT_TRUE(seen.no_instance);
        EXPECT_EQ(seen.filter, std::string("All Files (*.*)\0*.*\0\0", 21));
        EXPECT_TRUE(seen.no_custom);
        EXPECT_EQ(seen.max_custom, 0u);
        EXPECT_EQ(seen.filter_index, 0u);
        EXPECT_TRUE(seen.file_is_callers);
        EXPECT_EQ(seen.initial_name, "start.vkt");
        EXPECT_EQ(seen.max_file, 260u);
        EXPECT_TRUE(seen.no_title_buffer);
        EXPECT_EQ(seen.max_title, 260u);
        EXPECT_EQ(seen.folder, cwd);
        EXPECT_EQ(seen.title, c.title);
        EXPECT_EQ(seen.def_ext, "*");
        EXPECT_EQ(seen.flags, c.flags);
        EXPECT_STREQ(file, "start.vkt");  // cancelled: as it was
    }
}

TEST_F(ShowFileDialogTest, GivenTextsAndTheAnswer)
{
    char file[260] = "";
    seen.callers_file = file;
    HWND owner = reinterpret_cast<HWND>(0x1234);
    const char filter[] = "Drawings (*.vkt)\0*.vkt\0Pictures\0*.png;*.jpg\0";
    seen.answer = "/drawings/plan.vkt";
    EXPECT_EQ(ShowFileDialog(owner, 1, file, "/drawings", "Pick one", filter), 1);
    EXPECT_STREQ(file, "/drawings/plan.vkt");
    EXPECT_EQ(seen.owner, owner);
    EXPECT_EQ(seen.folder, "/drawings");
    EXPECT_EQ(seen.title, "Pick one");
    EXPECT_EQ(seen.filter, std::string(filter, sizeof filter));

    // An answer longer than the 260 characters the buffer holds fails and leaves it.
    const std::string long_path(260, 'a');
    seen.answer = long_path.c_str();
    EXPECT_EQ(ShowFileDialog(nullptr, 0, file, nullptr, nullptr, nullptr), 0);
    EXPECT_STREQ(file, "/drawings/plan.vkt");
    const std::string fits(259, 'b');
    seen.answer = fits.c_str();
    EXPECT_EQ(ShowFileDialog(nullptr, 0, file, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(std::string(file), fits);

    // No buffer: no dialog.
    const int calls = seen.calls;
    EXPECT_EQ(ShowFileDialog(nullptr, 1, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(seen.calls, calls);
}

}  // namespace
