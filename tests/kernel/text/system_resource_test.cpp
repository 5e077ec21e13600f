#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "kernel/database/operation_context.h"
#include "kernel/operation/operation.h"
#include "kernel/operation/undo_redo.h"
#include "kernel/text/font_fixture.h"
#include "kernel/text/shp_library.h"
#include "kernel/text/shx_library.h"

using font_test::Font_Folder;

namespace {

const shx_writer::Bytes k_font =
    shx_writer::shapes_file({"t", 10, 3, 0}, {{65, "", {1, 0x14, 0x10, 2, 0}}});

}  // namespace

TEST(SystemResource, FoldersOfTheKernel)
{
    Font_Folder folder;
    const std::string root = folder.root() + "/";
    EXPECT_EQ(std::string(g_system_resource.system_dir()), root);
    EXPECT_EQ(std::string(g_system_resource.fonts_dir()), root + "fonts/");
    EXPECT_EQ(std::string(g_system_resource.support_dir()), root + "support/");
    // The default settings are there when asked for.
    EXPECT_EQ(&g_system_resource.system_setting(), &g_system_resource.system_setting());
}

TEST(SystemResource, LoadAndFind)
{
    Font_Folder folder;
    folder.put("txt.shx", k_font);
    folder.put("roman.shp", std::string("*0,4,Roman\n10,3,0,0\n*65,3,a\n1,010,0\n"));
    struct Case {
        const char* path;
        bool loads;
        const char* file;  // the file name the library keeps
    };
    const Case cases[] = {
        {"txt.shx", true, "txt.shx"},
        {"C:\\drawings\\fonts\\txt.shx", true, "txt.shx"},  // folders are dropped
        {"some/where/TXT.SHX", true, "TXT.SHX"},
        {"roman.shp", true, "roman.shp"},
        {"absent.shp", true, "absent.shp"},  // an SHP library joins whether or not it reads
        {"absent.shx", false, nullptr},
        {"*txt.shx", false, nullptr},
        {".txt.shx", false, nullptr},
        {"/fonts/txt.shx", false, nullptr},
        {"?txt.shx", false, nullptr},
        {"\\fonts\\txt.shx", false, nullptr},
        {"arial.ttf", true, "arial.ttf"},
        {"C:\\Windows\\Fonts\\SimSun.TTC", true, "SimSun.TTC"},
        {"", true, "simhei.ttf"},  // a name of no font kind stands for the default face
        {nullptr, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path ? c.path : "(null)");
        const int before = g_system_resource.fontlib_list().count();
        MB_Font_Library* lib = g_system_resource.load_font(c.path);
        EXPECT_EQ(lib != nullptr, c.loads);
        EXPECT_EQ(g_system_resource.fontlib_list().count(), before + (c.loads ? 1 : 0));
        if (lib) {
            EXPECT_STREQ(lib->file_name(), c.file);
            EXPECT_EQ(g_system_resource.fontlib_list().last(), lib);
        }
    }
    // TrueType libraries are named after the face their file holds. Every other name shares
    // the one default face library instead of adding one per name read.
    MB_Font_Library* arial = g_system_resource.get_fontlib("ARIAL.TTF");
    ASSERT_NE(arial, nullptr);
    EXPECT_EQ(arial->font_type(), MB_Font_Library::TTF_FONT);
    EXPECT_EQ(g_system_resource.get_fontlib(arial->name().ascii()), arial);
    MB_Font_Library* substitute = g_system_resource.get_fontlib("simhei.ttf");
    const int count = g_system_resource.fontlib_list().count();
    for (const char* name : {"Arial", "Txt", "font.fon", ""}) EXPECT_EQ(g_system_resource.load_font(name), substitute) << name;
    EXPECT_EQ(g_system_resource.fontlib_list().count(), count);

    // Lookups ignore case and find the first library loaded, by file name or face name.
    MB_Font_Library* first = static_cast<MB_Font_Library*>(g_system_resource.fontlib_list().first());
    EXPECT_EQ(g_system_resource.get_fontlib("TXT.SHX"), first);
    EXPECT_EQ(g_system_resource.get_fontlib("Txt.Shx"), first);
    first->name() = "Roman Face";
    EXPECT_EQ(g_system_resource.get_fontlib("roman face"), first);
    EXPECT_NE(g_system_resource.get_fontlib("roman.shp"), nullptr);
    EXPECT_EQ(g_system_resource.get_fontlib("gdt.shx"), nullptr);
    EXPECT_EQ(g_system_resource.get_fontlib(nullptr), nullptr);

    std::ifstream log(folder.root() + "/jxb.log", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(log)), {});
    EXPECT_NE(text.find("Error open the shp file:"), std::string::npos);

    g_system_resource.free();
    EXPECT_TRUE(g_system_resource.fontlib_list().is_empty());
}

TEST(SystemResource, FileKindsThatLoadNothing)
{
    Font_Folder folder;
    // A recognised kind that holds no shapes, and a file that is no font.
    shx_writer::Bytes hurn(k_font);
    const std::string sig = "HURN-Font 1.0\r\n";
    std::copy(sig.begin(), sig.end(), hurn.begin());
    folder.put("hurn.shx", hurn);
    folder.put("text.shx", std::string(64, 'x'));
    EXPECT_EQ(g_system_resource.load_font("hurn.shx"), nullptr);
    EXPECT_EQ(g_system_resource.load_font("text.shx"), nullptr);
    EXPECT_TRUE(g_system_resource.fontlib_list().is_empty());
    MB_Shx_Library lib;
    EXPECT_TRUE(lib.load_shx_file("hurn.shx"));
    EXPECT_EQ(lib.char_list().head(), nullptr);
}

// Libraries and their glyphs belong to the registry: loading one while a command records
// leaves the command empty, so undoing it cannot free what styles share.
TEST(SystemResource, LoadingIsNotRecorded)
{
    Font_Folder folder;
    folder.put("txt.shx", k_font);
    folder.put("roman.shp", std::string("*0,4,Roman\n10,3,0,0\n*65,3,a\n1,010,0\n*66,3,b\n1,014,0\n"));
    auto op = std::make_unique<MB_Operation>();
    op->init_undoredo(nullptr);
    MB_Undo_Redo* rec = op->undo_redo();
    rec->rec_cmd_begin("fonts");
    ASSERT_TRUE(api_if_record_command());
    EXPECT_TRUE(g_system_resource.load_font("txt.shx"));
    EXPECT_TRUE(g_system_resource.load_font("roman.shp"));
    EXPECT_TRUE(api_if_record_command());
    rec->rec_cmd_end();
    ASSERT_TRUE(rec->last_cmd());
    EXPECT_EQ(rec->last_cmd()->sub_command_head(), nullptr);
    op.reset();
    EXPECT_EQ(g_system_resource.fontlib_list().count(), 2);
}
