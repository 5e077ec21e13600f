#pragma once

// What the exporter's source files share: the names of table entries, and the writers of the
// entity kinds that live in files of their own (texts, hatches), called by the dispatch of
// write_native_entity.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

class Dxf_Exporter;
class MB_Drawable;
class MB_Hatch;
class MB_Mtext;
class MB_String;
class MB_Text;
class MB_Text_Style;
class MB_Tolerance;
class Qe_Pt;
class Qe_Pt_Sets;

namespace dxf {

std::string upper(std::string s);
// The kernel's name as a table entry's name (dxf_table_name).
std::string table_name_of(const MB_String& name, std::string_view fallback);
// Names are unique in a table regardless of case: a later one that clashes gets a suffix.
std::string unique_name(std::string name, std::unordered_set<std::string>& taken);

double degrees(double radians);
// Each coordinate finite, however large (their sum may overflow where they do not).
bool finite_point(const Qe_Pt& p);
// The slant the kernel draws a text with: none for an oblique angle of 0 or less.
double shown_oblique(const MB_Text_Style& style);

// Each run of the point sets as one polyline (or point) of the drawable: the rings of an
// offset hatch, and a mesh that DXF's mesh cannot hold.
bool write_runs(Dxf_Exporter& x, MB_Drawable& d, const Qe_Pt_Sets& runs, std::uint64_t owner);
bool write_hatch(Dxf_Exporter& x, MB_Hatch& hatch, std::uint64_t owner);
bool write_text(Dxf_Exporter& x, MB_Text& text, std::uint64_t owner);
bool write_mtext(Dxf_Exporter& x, MB_Mtext& m, std::uint64_t owner);
bool write_tolerance(Dxf_Exporter& x, MB_Tolerance& frame, std::uint64_t owner);

}  // namespace dxf
