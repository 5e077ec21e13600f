#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message_box.h"

namespace {

TEST(MessageBox, DefaultHookRecordsPrintsAndAnswersTheDefaultButton)
{
    struct Case {
        UINT type;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
        {MB_RETRYCANCEL | MB_DEFBUTTON3, IDRETRY},  // no third button: the first
    };
    for (const Case& c : cases) EXPECT_EQ(platform_message_box_default_button(c.type), c.answer) << c.type;

    const long before = platform_message_box_count();
    testing::internal::CaptureStderr();
    // Texts arrive in the ANSI code page (GBK): "内存不足" (out of memory).
    const int answer = MessageBoxA(nullptr, "\xC4\xDA\xB4\xE6\xB2\xBB\xD7\xE3", "Tavimor Error Message",
                                   MB_YESNO | MB_DEFBUTTON2);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(platform_message_box_count(), before + 1);
    EXPECT_NE(err.find("Tavimor Error Message"), std::string::npos) << err;
    EXPECT_NE(err.find("内存不足"), std::string::npos) << err;

    char text[64], caption[64];
    ASSERT_TRUE(platform_last_message_box(text, sizeof text, caption, sizeof caption));
    EXPECT_STREQ(text, "\xC4\xDA\xB4\xE6\xB2\xBB\xD7\xE3");
    EXPECT_STREQ(caption, "Tavimor Error Message");
    char tiny[4];
    EXPECT_FALSE(platform_last_message_box(tiny, sizeof tiny, nullptr, 0));
    EXPECT_STREQ(tiny, "\xC4\xDA\xB4");
}

struct Script {
    std::vector<int> answers;
    std::vector<std::string> seen;
};

int scripted(void* user, HWND, LPCSTR text, LPCSTR caption, UINT)
{
    auto* s = static_cast<Script*>(user);
    s->seen.push_back(std::string(caption) + "|" + text);
    const int a = s->answers.front();
    s->answers.erase(s->answers.begin());
    return a;
}

TEST(MessageBox, TestsScriptAnswersThroughAHook)
{
    Script script{{IDNO, IDYES}, {}};
    const long before = platform_message_box_count();
    platform_set_message_box_hook(scripted, &script);
    EXPECT_EQ(MessageBoxA(nullptr, "first", "A", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "second", "B", MB_YESNO), IDYES);
    platform_set_message_box_hook(nullptr, nullptr);
    EXPECT_EQ(script.seen, (std::vector<std::string>{"A|first", "B|second"}));
    EXPECT_EQ(platform_message_box_count(), before);  // the default hook saw none of them
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "third", "C", MB_OK), IDOK);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(platform_message_box_count(), before + 1);
}

}  // namespace
