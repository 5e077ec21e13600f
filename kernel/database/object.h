#pragma once

// Every persistent thing of the drawing database is an MB_Object: a node of an intrusive
// doubly linked list (MB_Object_List) with a fixed set of virtual operations for
// identification, stream input and output, cloning and keyed property access. Creating,
// changing and taking an object out of the drawing report to the undo record of the active
// operation while a command is being recorded.

#include "geometry/point.h"
#include "kernel/drakmere_api.h"
#include "kernel/database/result.h"

class MB_File_IO;
class MB_Opcode;
class MB_Object_List;
class MB_Sub_Command;

class DRAKMERE_API MB_Object {
public:
    // The class identifier: the type switch of the whole system, tested by the stream
    // reader, the renderer and the operation. The values are fixed.
    enum MB_ID : int {
        ID_ARC = 3,
        ID_ARC_TEXT = 4,
        ID_BLOCK_BEGIN = 6,
        ID_BLOCK = 7,
        ID_BLOCK_END = 8,
        ID_BLOCK_NAME = 9,
        ID_BSPLINE = 10,
        ID_COLOR = 13,
        ID_COLOR_MAP = 14,
        ID_COMPRESSED_DATA = 16,
        ID_CIRCLE = 18,
        ID_BYTE_MARKER = 20,
        ID_DIM_STYLE = 21,
        ID_DIMENSION = 22,
        ID_DRAWING_INFO = 24,
        ID_DISPLAY_WIDTH = 25,
        ID_FILE_HEADER = 26,
        ID_ELLIPSE = 27,
        ID_ELLIPSE_ARC = 28,
        ID_END_OF_STREAM = 29,
        ID_FONT_NAME = 32,
        ID_BIG_FONT_NAME = 33,
        ID_TEXT_HEIGHT = 34,
        ID_TEXT_WIDTH_SCALE = 35,
        ID_OBLIQUE_ANGLE = 36,
        ID_FONT_VALUE = 37,
        ID_FONT_CHAR = 39,     // shared by the font character and the three font libraries
        ID_FONT_LIBRARY = 39,
        ID_FONT_FLAG = 40,
        ID_HATCH = 44,
        ID_INSERT = 45,
        ID_MINSERT = 46,
        ID_IMAGE = 47,
        ID_LAYER = 48,
        ID_LAYER_NAME = 49,
        ID_LINE = 50,
        ID_LINES = 51,         // shared by segment chains and multi-lines
        ID_MLINES = 51,
        ID_LINE_SCALE = 52,
        ID_XLINE = 53,
        ID_RAY = 55,
        ID_LINE_TYPE = 56,
        ID_RENDITION_CODE = 59,
        ID_RENDITION_SUBCODE = 60,
        ID_NAMED_VIEW = 63,
        ID_POLYFACE_MESH = 70,
        ID_POLYLINE = 71,
        ID_POINT_SET = 73,
        ID_SOLID = 79,
        ID_URL = 82,
        ID_TEXT = 88,
        ID_TEXT_ANGLE = 89,
        ID_TEXT_FLAG = 90,
        ID_TEXT_STYLE = 91,
        ID_TEXT_STYLE_NAME = 92,
        ID_TRACE_TEXT = 93,
        ID_TOLERANCE = 94,
        ID_TIMESTAMP = 95,
        ID_THICKNESS = 96,
        ID_MTEXT = 97,
        ID_POINT = 98,
        ID_POLYGON_MESH = 100,
        ID_FACE = 101,
        ID_GROUP = 103,
        ID_WIDTH = 109,
    };

    // The kind of an object; 6 to 9 are the drawables.
    enum MB_Type : int {
        TYPE_ATTRIBUTE = 1,
        TYPE_NAMED_ATTRIBUTE = 2,
        TYPE_COMPRESSION = 3,
        TYPE_INFORMATIONAL = 4,
        TYPE_FRAMING = 5,
        TYPE_GEOMETRY = 6,
        TYPE_TEXT = 7,
        TYPE_IMAGE = 8,
        TYPE_REFERENCE = 9,
    };

    // Reports the creation to the undo record.
    MB_Object();
    // Copies carry the source's links until they are added to a list; they are not
    // reported to the undo record (clones made by the undo record itself rely on that).
    MB_Object(const MB_Object& other);
    // Leaves this object's own links alone: the target may be a member of a list (undo
    // copies a backup's state into a live object), and its links belong to that list.
    MB_Object& operator=(const MB_Object& other);
    virtual ~MB_Object();

    // Takes the object out of the drawing. While a command is recorded the undo record
    // keeps it; otherwise, or when the record did not take it, it is deleted.
    virtual void lose(MB_Object_List& list);
    // lose for an object the caller knows to be a member of the list: it is unlinked without
    // a search of the list.
    void lose_member(MB_Object_List& list);
    virtual MB_ID object_id() const = 0;
    virtual MB_Type object_type() const = 0;
    virtual MB_Result serialize(MB_File_IO& file) = 0;
    virtual MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) = 0;
    virtual MB_Result skip_operand(const MB_Opcode& opcode, MB_File_IO& file);
    virtual MB_Result process(MB_File_IO& file) = 0;
    // Cloning: a class that supports it makes a new object of its own class in a null
    // target, or fills the object already there. The base does nothing.
    virtual bool copy_to(MB_Object*& target);

    // Keyed property access with negative keys; an unknown key gives the origin, 0, 0.0
    // or null, and the setters ignore it.
    virtual Qe_Pt get_point(int key);
    virtual double get_real(int key);
    virtual long get_int(int key);
    virtual const char* get_string(int key);
    virtual void set_real(long key, double value);
    virtual void set_int(long key, long value);
    virtual void set_point(long key, const Qe_Pt& value);
    virtual void set_string(long key, const char* value);

    MB_Object* next() const { return m_next; }
    MB_Object* prev() const { return m_prev; }
    void next(MB_Object* obj) { m_next = obj; }
    void prev(MB_Object* obj) { m_prev = obj; }
    void set_next(MB_Object* obj) { m_next = obj; }
    void set_prev(MB_Object* obj) { m_prev = obj; }

    bool is_drawable() const;

    // Undo hooks; each does nothing unless the active operation is recording.
    void create_cmd();
    // True when the undo record now holds this object (a deletion step names it).
    bool delete_cmd();
    // Call before changing the object: the first call in a command keeps a backup copy.
    void modify_cmd();
    void bakup() { modify_cmd(); }

    // True when an undo step names this object.
    bool is_named_by_undo() const { return m_undo_refs > 0; }

private:
    friend class MB_Sub_Command;

    MB_Object* m_next = nullptr;
    MB_Object* m_prev = nullptr;
    // Number of undo steps that name this object, so that its destruction can clear them
    // without searching the undo records of objects nothing refers to.
    int m_undo_refs = 0;
};

// The copy_to of a class that copies by value (table entries and styles): a null target
// receives a new copy, unlinked; a target of class T takes source's value (its own links
// stay, as operator= leaves them); another kind of target is refused (false).
template <class T>
bool mb_copy_value(const T& source, MB_Object*& target)
{
    if (!target) {
        target = new T(source);
        target->next(nullptr);
        target->prev(nullptr);
        return true;
    }
    T* same = dynamic_cast<T*>(target);
    if (!same) return false;
    *same = source;
    return true;
}

// Base of table entries, styles, font libraries and the one-value attribute records.
class DRAKMERE_API MB_Attribute : public MB_Object {
public:
    MB_Attribute() = default;
    MB_Attribute(const MB_Attribute& other) = default;
    MB_Attribute& operator=(const MB_Attribute& other) = default;
    ~MB_Attribute() override;

    MB_Type object_type() const override { return TYPE_ATTRIBUTE; }
    bool operator!=(const MB_Attribute&) const { return false; }
};
