// The file dialogs answer through the process-wide hook; the current folder comes from getcwd.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/file_dialog.h"
#include "platform/system.h"

namespace {

struct Script {
    const char* answer = nullptr;
    int calls = 0;
    BOOL open = -1;
    const OPENFILENAMEA* record = nullptr;
};

LPCSTR scripted(void* user, BOOL open, const OPENFILENAMEA* record)
{
    auto* s = static_cast<Script*>(user);
    ++s->calls;
    s->open = open;
    s->record = record;
    return s->answer;
}

class FileDialog : public ::testing::Test {
protected:
    void TearDown() override { platform_set_file_dialog_hook(nullptr, nullptr); }
};

TEST_F(FileDialog, WithoutAHookEveryDialogIsCancelled)
{
    char file[16] = "start";
    OPENFILENAMEA record{};
    record.lpstrFile = file;
    record.nMaxFile = sizeof file;
    EXPECT_FALSE(GetOpenFileNameA(&record));
    EXPECT_FALSE(GetSaveFileNameA(&record));
    EXPECT_STREQ(file, "start");
}

TEST_F(FileDialog, TheHookAnswersWithAPathThatMustFit)
{
    Script script;
    platform_set_file_dialog_hook(scripted, &script);
    char file[8] = "start";
    OPENFILENAMEA record{};
    record.lpstrFile = file;
    record.nMaxFile = sizeof file;

    script.answer = "/a/b.vk";  // 7 characters and the terminator: just fits
    EXPECT_TRUE(GetOpenFileNameA(&record));
    EXPECT_STREQ(file, "/a/b.vk");
    EXPECT_EQ(script.open, TRUE);
    EXPECT_EQ(script.record, &record);

    script.answer = "/a/b.vkt";  // one too many: fails, the buffer as it was
    EXPECT_FALSE(GetSaveFileNameA(&record));
    EXPECT_EQ(script.open, FALSE);
    EXPECT_STREQ(file, "/a/b.vk");

    script.answer = nullptr;  // cancelled
    EXPECT_FALSE(GetSaveFileNameA(&record));
    EXPECT_STREQ(file, "/a/b.vk");
    EXPECT_EQ(script.calls, 3);

    // Nowhere to put an answer: the hook is not asked.
    script.answer = "x";
    EXPECT_FALSE(GetOpenFileNameA(nullptr));
    record.nMaxFile = 0;
    EXPECT_FALSE(GetOpenFileNameA(&record));
    record.nMaxFile = sizeof file;
    record.lpstrFile = nullptr;
    EXPECT_FALSE(GetOpenFileNameA(&record));
    EXPECT_EQ(script.calls, 3);
}

TEST(Folders, CurrentFolderComesFromGetcwd)
{
    const std::string cwd = std::filesystem::current_path().string();
    char buf[4096];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buf, buf), cwd.size());
    EXPECT_EQ(std::string(buf), cwd);
    // Too small: the size needed with the terminator, nothing written.
    char small[2] = "x";
    EXPECT_EQ(GetCurrentDirectoryA(sizeof small, small), cwd.size() + 1);
    EXPECT_STREQ(small, "x");
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), cwd.size() + 1);
}

}  // namespace
