#pragma once

// A named view of the drawing: a rectangle given by its corners. Named views have no
// stream form.

#include "geometry/point.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/object.h"

class DRAKMERE_API MB_Named_View : public MB_Object {
public:
    MB_Named_View() = default;
    MB_Named_View(const MB_Named_View& other);
    MB_Named_View& operator=(const MB_Named_View& other);
    ~MB_Named_View() override;

    MB_String& name() { return m_name; }
    const Qe_Pt& lt() const { return m_lt; }
    void lt(const Qe_Pt& p) { m_lt = p; }
    const Qe_Pt& rb() const { return m_rb; }
    void rb(const Qe_Pt& p) { m_rb = p; }

    MB_ID object_id() const override { return ID_NAMED_VIEW; }
    MB_Type object_type() const override { return TYPE_INFORMATIONAL; }
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    static MB_Result default_process(MB_Named_View& view, MB_File_IO& file);

private:
    Qe_Pt m_lt;
    Qe_Pt m_rb;
    MB_String m_name;
};
