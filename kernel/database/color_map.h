#pragma once

// A palette of RGBA entries, and the two built-in 256-entry palettes: palette A for
// file revisions above 37 (system colours, a 6x6x6 colour cube, a grey ramp) and palette B
// for revisions of 37 and below (primaries, then 24 hue groups at five brightnesses).

#include <memory>

#include "kernel/database/color.h"

class DRAKMERE_API MB_Color_Map : public MB_Attribute {
public:
    // Reading of a binary map is refused past this many entries (the stream's count byte
    // carries 1 to 256); an ASCII map may hold up to 65,535.
    static constexpr int k_max_ascii_size = 65535;

    // 256 entries of palette A when revision > 37, else of palette B.
    explicit MB_Color_Map(int revision = 38);
    // Entries copied; the incarnation is taken from the file.
    MB_Color_Map(int n, const MB_RGBA32* entries, MB_File_IO& file);
    // Entry i is the i-th colour with alpha 255.
    MB_Color_Map(int n, const MB_RGB* entries, MB_File_IO& file);
    MB_Color_Map(const MB_Color_Map& other);
    MB_Color_Map& operator=(const MB_Color_Map& other);
    ~MB_Color_Map() override;

    // The 256 built-in entries, as RRGGBBAA: palette A when revision > 37, else palette B.
    static const mb_ulong* builtin_palette(int revision);

    // No entries, incarnation -2.
    void clear();
    void set(int n, const MB_RGB* entries, MB_File_IO& file);
    void set(int n, const MB_RGBA32* entries, MB_File_IO& file);

    int size() const { return m_size; }
    int incarnation() const { return m_incarnation; }
    MB_RGBA32* map() const { return m_entries.get(); }
    // Entry i; opaque black (0x000000FF) past the end.
    MB_RGBA32 map(unsigned char i) const;

    // Same size and either the same incarnation, no entries, or every entry equal.
    bool operator==(const MB_Attribute& other) const;
    // The lowest index among the entries nearest to the colour (sum of the squared
    // differences of all four bytes), preferring the colour's own index when that entry
    // matches it exactly; -1 for an empty map.
    int closest_index(const MB_Color& color) const;
    // Marks the colour map changed in the file's current rendition.
    MB_Result sync(MB_File_IO& file);

    MB_ID object_id() const override { return ID_COLOR_MAP; }
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result skip_operand(const MB_Opcode& opcode, MB_File_IO& file) override;
    // Reading a map record does not install it; default_process does.
    MB_Result process(MB_File_IO& file) override;
    static MB_Result default_process(MB_Color_Map& map, MB_File_IO& file);

    // The count byte (0 for 256) and every entry as an MB_RGBA32.
    MB_Result serialize_just_colors(MB_File_IO& file);
    // Resumable: a call that returns a failure may be repeated once more data is there.
    // The map keeps its entries until the whole list has been read.
    MB_Result materialize_just_colors(const MB_Opcode& opcode, char binary, char with_close, MB_File_IO& file);

private:
    // Replaces the entries; false (nothing changed) when memory is short.
    bool assign(int n, const MB_RGBA32* entries);

    int m_size = 0;
    int m_incarnation = -1;
    int m_reading_state = 0;
    std::unique_ptr<MB_RGBA32[]> m_entries;
    // The list being read, installed when it is complete.
    std::unique_ptr<MB_RGBA32[]> m_pending;
    int m_pending_size = 0;
    int m_pending_incarnation = 0;
};
