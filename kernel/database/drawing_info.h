#pragma once

// The metadata of a drawing: the revision of the native format it was read as, eight text
// items and a flag word.

#include "kernel/database/mb_string.h"
#include "kernel/database/object.h"
#include "platform/fixed_width.h"

class DRAKMERE_API MB_Drawing_Info : public MB_Attribute {
public:
    static constexpr int k_items = 8;

    // Revision 0.0; the items "Title", "Descpiption", "Comments", "Author", "Keywords",
    // "Copyright", "123", "123" (spelled as stored files have them); flag 0.
    MB_Drawing_Info();
    MB_Drawing_Info(const MB_Drawing_Info& other);
    MB_Drawing_Info& operator=(const MB_Drawing_Info& other);
    ~MB_Drawing_Info() override;

    void set_major_revision(int v) { m_major = static_cast<mb_short>(v); }
    int major_revision() const { return m_major; }
    void set_minor_revision(int v) { m_minor = static_cast<mb_short>(v); }
    int minor_revision() const { return m_minor; }
    // Major revision times 100 plus minor revision.
    int decimal_revision() const { return m_major * 100 + m_minor; }
    mb_long flag() const { return m_flag; }
    void flag(mb_long f) { m_flag = f; }
    bool is_expore_text() const { return m_flag != 2; }
    // Item i (0 to 7).
    MB_String& item(int i) { return m_items[i]; }
    const MB_String& item(int i) const { return m_items[i]; }

    MB_ID object_id() const override { return ID_DRAWING_INFO; }
    // The revisions as unsigned shorts, the eight items, the flag as a long.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;

private:
    mb_short m_major = 0;
    mb_short m_minor = 0;
    MB_String m_items[k_items];
    mb_long m_flag = 0;
};
