#pragma once

// MB_Group: a named set of drawables drawn, picked and moved as one. The group owns its
// members (MB_Drawable*, in its own list, never in the drawing's entity list) and deletes
// them with itself; members may be groups. Some property changes are forwarded to the
// members, and the first hatch among them answers the pattern keys.
//
// A group has no record of its own: saved, it writes its members as plain entities in
// order (those of subgroups in place), so a reload has the members, not the group.
//
// Undo moves the members of a group whose creation is undone into the entity list and
// back on redo, so that a member always has one owner.

#include "geometry/point.h"
#include "geometry/void_list.h"
#include "kernel/database/drawable.h"

class MB_Hatch;
class Qe_Pt_List;

class DRAKMERE_API MB_Group : public MB_Drawable {
public:
    // The longest name kept; longer names are cut.
    static constexpr int k_max_name = 255;

    // No members, base point at the origin, empty name.
    MB_Group();
    // Same base point and name, with clones of the members (made with recording paused).
    MB_Group(const MB_Group& other);
    // Deletes this group's members first.
    MB_Group& operator=(const MB_Group& other);
    // Deletes every member.
    ~MB_Group() override;

    MB_ID object_id() const override { return ID_GROUP; }
    MB_Type object_type() const override { return TYPE_REFERENCE; }
    // Every member's record in order; the first failure ends the save.
    MB_Result serialize(MB_File_IO& file) override;
    // Groups are never read: success, nothing done.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new group; a group target takes the base point, the name,
    // the general properties and the members: member i is copied into the target's member
    // i when both are of one class, else replaced by a clone; missing members are cloned
    // and extra ones deleted. Clones are made with recording paused. Other targets are
    // refused.
    bool copy_to(MB_Object*& target) override;

    // −123: the hatch's pattern scale (0 without a hatch).
    double get_real(int key) override;
    // −308: the hatch's pattern name, when it has one.
    const char* get_string(int key) override;
    // −123 goes to the hatch (nothing without one); nothing is recorded.
    void set_real(long key, double value) override;
    // −212 goes to every member and the group; −200 is the group's own colour.
    void set_int(long key, long value) override;
    // −308 goes to the hatch (nothing without one).
    void set_string(long key, const char* value) override;

    // The first member in order that offers a point.
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // Every member, then the rectangle becomes their union (empty without members).
    void build_draw() override;
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    // Recorded; the base point and every member move, and the members are rebuilt.
    void translate(const Qe_Tran& t, short mode) override;

    // The members (MB_Drawable*), owned.
    Qe_Void_List& object_list() { return m_members; }
    const Qe_Pt& base_pt() const { return m_base_pt; }
    void base_pt(const Qe_Pt& p) { m_base_pt = p; }
    const char* name() const { return m_name; }
    // Copies at most k_max_name characters; null gives the empty name.
    void name(const char* text);

    // The first hatch in member order, searching each subgroup where it stands.
    MB_Hatch* find_hatch();
    static MB_Hatch* find_hatch(Qe_Void_List& members);

private:
    void delete_members();
    void clone_members(const MB_Group& other);

    Qe_Void_List m_members;
    Qe_Pt m_base_pt;
    char m_name[k_max_name + 1] = {};
};
