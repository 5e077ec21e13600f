#pragma once

// A block is a named, reusable group of entities defined once in the drawing's block list
// and drawn wherever a block reference points at it. In the native stream a definition is a
// begin record ('B'), the members' own records and an end record ('N'); a block-name record
// ('J') names the block that the next block reference uses.

#include "geometry/point.h"
#include "geometry/rect.h"
#include "geometry/transform.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/object.h"
#include "kernel/database/object_list.h"

class MB_Drawing;
class Qe_Void_List;

class DRAKMERE_API MB_Block : public MB_Attribute {
public:
    // Base (0,0,0), "Block", "DESC", no members, identity transform.
    MB_Block();
    // An empty name becomes "noname"; the transform moves the base point to the origin.
    MB_Block(const Qe_Pt& base, const MB_String& name, const MB_String& desc);
    // The members are owned: blocks are copied only through copy_to.
    MB_Block(const MB_Block&) = delete;
    MB_Block& operator=(const MB_Block&) = delete;
    // Deletes every member.
    ~MB_Block() override;

    Qe_Pt base_pos() const { return m_base; }
    // Also recomputes the transform.
    void base_pos(const Qe_Pt& base);
    MB_String& name() { return m_name; }
    MB_String& desc() { return m_desc; }
    Qe_Tran tran() const { return m_tran; }
    MB_Object_List& object_list() { return m_members; }
    Qe_Rect& rect() { return m_rect; }

    // Builds the display of every member that is not hidden, and sets the rectangle to the
    // extent of all members, relative to the base point.
    void build_draw();
    // The same with each member laid out only as far as its rectangle (build_extent).
    void build_extent();
    // A null target receives a new block with clones of the members; an existing target is
    // left as it is. True.
    bool copy_to(MB_Object*& target) override;
    // Takes from's name, description and base point (with its transform): how undo puts a
    // changed block back. The members stay: each is an object with changes of its own.
    void restore(const MB_Block& from);
    // The block references of the drawing's entity list that use this block.
    bool get_insert_list(MB_Drawing* drawing, Qe_Void_List& list);

    MB_ID object_id() const override { return ID_BLOCK; }
    // A named block with members writes its begin record, its members and its end record.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;

private:
    void lay_out(bool display);
    Qe_Pt m_base;
    MB_String m_name;
    MB_String m_desc;
    MB_Object_List m_members;
    Qe_Tran m_tran;
    Qe_Rect m_rect;
};

// The record that opens a block definition.
class DRAKMERE_API MB_Block_Begin : public MB_Attribute {
public:
    MB_Block_Begin() = default;
    MB_Block_Begin(const Qe_Pt& base, const char* name, const MB_String& desc);
    MB_Block_Begin(const MB_Block_Begin& other);
    MB_Block_Begin& operator=(const MB_Block_Begin& other);
    ~MB_Block_Begin() override;

    const Qe_Pt& base_pos() const { return m_base; }
    MB_String& name() { return m_name; }
    MB_String& desc() { return m_desc; }

    MB_ID object_id() const override { return ID_BLOCK_BEGIN; }
    // 'B', the base point relative to the running position, the name, the description.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    // Makes a new block with the record's base point, name and description the drawing's
    // temp block (the description is kept, so a reload loses nothing). A block still being
    // defined is finished first: it joins the block list with the members it has, so that
    // both definitions are kept.
    MB_Result process(MB_File_IO& file) override;

private:
    Qe_Pt m_base;
    MB_String m_name;
    MB_String m_desc;
    void* m_word = nullptr;
};

// The record that closes a block definition.
class DRAKMERE_API MB_Block_End : public MB_Attribute {
public:
    MB_Block_End() = default;
    MB_Block_End(const MB_Block_End& other) = default;
    MB_Block_End& operator=(const MB_Block_End& other) = default;
    ~MB_Block_End() override;

    MB_Block* block() const { return m_block; }

    MB_ID object_id() const override { return ID_BLOCK_END; }
    // 'N'.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    // The drawing's temp block joins the tail of its block list; the temp block is cleared.
    // Without a block being defined nothing changes (result 0).
    MB_Result process(MB_File_IO& file) override;

private:
    MB_Block* m_block = nullptr;
};

// The record that names the block of the next block reference.
class DRAKMERE_API MB_Block_Name : public MB_Attribute {
public:
    MB_Block_Name() = default;
    // The name and the drawing's block of that name (any case), or null.
    MB_Block_Name(MB_Drawing& drawing, const char* name);
    MB_Block_Name(const MB_Block_Name& other) = default;
    MB_Block_Name& operator=(const MB_Block_Name& other) = default;
    // The block is borrowed: never deleted here.
    ~MB_Block_Name() override;

    MB_Block* block() const { return m_block; }
    void block(MB_Block* b) { m_block = b; }
    MB_String& name() { return m_name; }

    MB_ID object_id() const override { return ID_BLOCK_NAME; }
    // 'J' and the name.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    // The name becomes the reader's current block name, cut to its field.
    MB_Result process(MB_File_IO& file) override;

private:
    MB_String m_name;
    MB_Block* m_block = nullptr;
};
