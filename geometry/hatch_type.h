#pragma once

// The process-wide registry of named hatch pattern types, and small holders for a hatch
// calculation. A type keeps its pattern lines as unparsed text ("angle, x, y, dx, dy,
// dashes..."); the hatch entity parses them when it takes a type over.

#include "geometry/fendral_api.h"
#include "geometry/point.h"
#include "geometry/void_list.h"
#include "platform/fixed_width.h"

class FENDRAL_API Qe_Hacthtype {
public:
    static constexpr int TEXT_SIZE = 256;

    Qe_Hacthtype() = default;
    // The pattern lines are owned: a copy would leave two owners.
    Qe_Hacthtype(const Qe_Hacthtype&) = delete;
    Qe_Hacthtype& operator=(const Qe_Hacthtype&) = delete;
    virtual ~Qe_Hacthtype();

    // Copy text into the field, cut to 255 characters; null leaves the field unchanged.
    void name(const char* text);
    void desc(const char* text);
    char* name() { return m_name; }
    const char* name() const { return m_name; }
    char* desc() { return m_desc; }
    const char* desc() const { return m_desc; }

    // The pattern lines, each a char* owned by the type, in the order added.
    Qe_Void_List& data_list() { return m_data_list; }
    const Qe_Void_List& data_list() const { return m_data_list; }
    // Appends a copy of line; null or empty lines are ignored.
    void add_data(const char* line);

private:
    char m_name[TEXT_SIZE] = {};
    char m_desc[TEXT_SIZE] = {};
    Qe_Void_List m_data_list;
};

class FENDRAL_API Qe_Hacthtype_List {
public:
    constexpr Qe_Hacthtype_List() = default;
    Qe_Hacthtype_List(const Qe_Hacthtype_List&) = delete;
    Qe_Hacthtype_List& operator=(const Qe_Hacthtype_List&) = delete;
    virtual ~Qe_Hacthtype_List();

    // A new empty type at the end of the list with name and desc copied (each when not
    // null); an existing type of that name is not looked for. Null when memory is short.
    Qe_Hacthtype* add_htype(const char* name, const char* desc);
    // The first type whose name equals name ignoring ASCII letter case, or null; a name of
    // more than 255 characters is compared by its first 255, as it was stored.
    Qe_Hacthtype* find_htype(const char* name) const;

private:
    Qe_Void_List m_list;
    char m_text[Qe_Hacthtype::TEXT_SIZE] = {};  // carried for hosts; unused by the library
};

// Empty when the library loads; the host fills it.
extern FENDRAL_API Qe_Hacthtype_List g_hatch_type_list;

class FENDRAL_API Key_Point {
public:
    Key_Point() = default;
    virtual ~Key_Point();

    Qe_Pt& point() { return m_point; }
    const Qe_Pt& point() const { return m_point; }
    int flag() const { return m_flag; }
    void flag(int f) { m_flag = f; }

private:
    Qe_Pt m_point;
    int m_flag = 0;
};

class FENDRAL_API Loop_Hatch_Cal {
public:
    Loop_Hatch_Cal() = default;
    Loop_Hatch_Cal(const Loop_Hatch_Cal&) = default;
    Loop_Hatch_Cal& operator=(const Loop_Hatch_Cal&) = default;
    virtual ~Loop_Hatch_Cal();

private:
    mb_long m_value0 = 0;
    mb_long m_value1 = 0;
};

class FENDRAL_API Hatch_Filled_Cal {
public:
    Hatch_Filled_Cal() = default;
    virtual ~Hatch_Filled_Cal();

    // None of the lists owns its items.
    Qe_Void_List& loop_list() { return m_loop_list; }
    Qe_Void_List& result_list() { return m_result_list; }
    double* angles() const { return m_angles; }
    int angles_size() const { return m_angles_size; }
    void angles_size(int n) { m_angles_size = n; }

    // Placeholders of the calculation: they do nothing.
    void begin_cal() {}
    void build_segment_list() {}

private:
    Qe_Void_List m_loop_list;
    Qe_Void_List m_work_list;
    Qe_Void_List m_result_list;
    double* m_angles = nullptr;  // not owned
    int m_angles_size = 0;
};
