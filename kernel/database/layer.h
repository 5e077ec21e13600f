#pragma once

// The layer table entry of a drawing: a named set of display properties that drawables
// refer to, and the record that names the layer of the entities that follow it.

#include "kernel/database/mb_string.h"
#include "kernel/database/object.h"
#include "platform/fixed_width.h"

class MB_Drawing;
class MB_Line_Type;
class Qe_Void_List;

class DRAKMERE_API MB_Layer : public MB_Attribute {
public:
    // Bits of the flag byte.
    enum Flag : mb_byte {
        Flag_On = 0x01,
        Flag_Locked = 0x02,
        Flag_Frozen = 0x04,
        Flag_Plot = 0x08,
    };

    // "layer0", switched on.
    MB_Layer();
    // Switched off: entities on it stay hidden until visibility(true).
    explicit MB_Layer(const MB_String& name);
    MB_Layer(const MB_Layer& other);
    MB_Layer& operator=(const MB_Layer& other);
    ~MB_Layer() override;

    MB_String& name() { return m_name; }
    const MB_String& name() const { return m_name; }
    mb_ushort id() const { return m_id; }
    mb_byte flag() const { return m_flag; }
    MB_Line_Type* line_type() const { return m_line_type; }
    void line_type(MB_Line_Type* type) { m_line_type = type; }
    mb_ushort width() const { return m_width; }
    void width(mb_ushort w) { m_width = w; }
    mb_ulong color() const { return m_color; }
    void color(mb_ulong c) { m_color = c; }

    // A frozen layer is never visible.
    bool visibility() const { return !(m_flag & Flag_Frozen) && (m_flag & Flag_On); }
    bool lock() const { return m_flag & Flag_Locked; }
    bool freeze() const { return m_flag & Flag_Frozen; }
    bool plot() const { return m_flag & Flag_Plot; }
    void visibility(bool on) { set_bit(Flag_On, on); }
    void lock(bool on) { set_bit(Flag_Locked, on); }
    void freeze(bool on) { set_bit(Flag_Frozen, on); }
    void plot(bool on) { set_bit(Flag_Plot, on); }

    // A null target receives a new layer with every field (unlinked); a layer target takes
    // every field (how undo puts a changed layer back). False for another kind of target.
    bool copy_to(MB_Object*& target) override;

    // Appends every drawable of the drawing's entity list that is on this layer; the list
    // is not emptied first.
    void get_ent_list(Qe_Void_List& list, MB_Drawing* drawing);

    // Key -310: the name's 8-bit text.
    const char* get_string(int key) override;
    double get_real(int key) override;
    long get_int(int key) override;
    void set_real(long key, double value) override;
    void set_int(long key, long value) override;
    void set_string(long key, const char* value) override;

    MB_ID object_id() const override { return ID_LAYER; }
    // 'y', the name, the id, the flag byte, the width and the colour.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    // Hands the layer to the drawing read into: it joins the tail of its layer list.
    MB_Result process(MB_File_IO& file) override;
    static MB_Result default_process(MB_Layer& layer, MB_File_IO& file);

private:
    void set_bit(mb_byte bit, bool on) { m_flag = static_cast<mb_byte>(on ? (m_flag | bit) : (m_flag & ~bit)); }

    MB_String m_name;
    mb_ushort m_id = 0;
    mb_byte m_flag = 0;
    MB_Line_Type* m_line_type = nullptr;
    mb_ushort m_width = 0;
    mb_ulong m_color = 0xFFFFFF;
};

class DRAKMERE_API MB_Layer_Name : public MB_Attribute {
public:
    MB_Layer_Name() = default;
    explicit MB_Layer_Name(const MB_String& name) : m_name(name) {}
    MB_Layer_Name(const MB_Layer_Name& other);
    MB_Layer_Name& operator=(const MB_Layer_Name& other);
    ~MB_Layer_Name() override;

    MB_String& name() { return m_name; }

    MB_ID object_id() const override { return ID_LAYER_NAME; }
    // 'x' and the name.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    // Makes the drawing's layer of that name (any case) the reader's current layer; null
    // when there is none.
    MB_Result process(MB_File_IO& file) override;

private:
    MB_String m_name;
};
