#pragma once

// A check of a DXF file's structure, written for the tests and independent of the exporter:
// the file is read as code/value pairs, and the problems found are returned as texts (none for
// a sound file). It checks what a DXF library does not: every handle unique and below
// $HANDSEED, every owner an existing handle, the required tables and records, the owners of
// entities, of a POLYLINE's vertices and of blocks, and the end of file.

#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace dxf_structure {

struct Pair {
    int code;
    std::string value;
};

inline std::string trim(std::string s)
{
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ')) s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    return s.substr(i);
}

inline bool read_pairs(const std::string& path, std::vector<Pair>& pairs, std::vector<std::string>& problems)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problems.push_back("cannot open " + path);
        return false;
    }
    std::string code, value;
    while (std::getline(in, code)) {
        if (!std::getline(in, value)) {
            problems.push_back("odd number of lines");
            return false;
        }
        try {
            std::size_t used = 0;
            const std::string c = trim(code);
            const int n = std::stoi(c, &used);
            if (used != c.size()) throw 0;
            pairs.push_back({n, trim(value)});
        } catch (...) {
            problems.push_back("not a group code: " + code);
            return false;
        }
    }
    return true;
}

inline std::uint64_t hex(const std::string& s)
{
    return std::stoull(s, nullptr, 16);
}

inline std::vector<std::string> check(const std::string& path)
{
    std::vector<std::string> problems;
    std::vector<Pair> p;
    if (!read_pairs(path, p, problems)) return problems;
    if (p.empty() || p.back().code != 0 || p.back().value != "EOF") problems.push_back("no EOF at the end");

    // Split into objects: each starts at a code 0.
    struct Object {
        std::string kind, section, table, name;
        std::uint64_t handle = 0, owner = 0;
        bool has_handle = false, has_owner = false;
        std::vector<std::pair<int, std::string>> groups;
    };
    std::vector<Object> objects;
    std::string section, table;
    std::uint64_t handseed = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i].code == 9 && p[i].value == "$HANDSEED" && i + 1 < p.size() && p[i + 1].code == 5)
            handseed = hex(p[i + 1].value);
        if (p[i].code != 0) {
            if (!objects.empty()) objects.back().groups.emplace_back(p[i].code, p[i].value);
            continue;
        }
        const std::string& kind = p[i].value;
        if (kind == "SECTION" && i + 1 < p.size()) section = p[i + 1].value;
        if (kind == "ENDSEC") section.clear();
        if (kind == "TABLE" && i + 1 < p.size()) table = p[i + 1].value;
        if (kind == "ENDTAB") table.clear();
        objects.push_back({kind, section, table, "", 0, 0, false, false, {}});
    }
    std::set<std::uint64_t> handles;
    std::uint64_t max_handle = 0;
    for (Object& o : objects) {
        for (const auto& [code, value] : o.groups) {
            if ((code == 5 || code == 105) && !o.has_handle) {
                o.handle = hex(value);
                o.has_handle = true;
            } else if (code == 330 && !o.has_owner) {
                o.owner = hex(value);
                o.has_owner = true;
            } else if (code == 2 && o.name.empty()) {
                o.name = value;
            }
        }
        // Class entries have neither handle nor owner.
        const bool structural = o.kind == "SECTION" || o.kind == "ENDSEC" || o.kind == "ENDTAB" || o.kind == "EOF" ||
                                (o.kind == "CLASS" && o.section == "CLASSES");
        if (structural) continue;
        if (!o.has_handle) {
            problems.push_back(o.kind + " " + o.name + " has no handle");
            continue;
        }
        if (o.handle == 0) problems.push_back(o.kind + " has handle 0");
        if (!handles.insert(o.handle).second) problems.push_back("handle used twice: " + std::to_string(o.handle));
        max_handle = std::max(max_handle, o.handle);
    }
    if (handseed <= max_handle) problems.push_back("$HANDSEED is not above every handle");

    std::map<std::string, std::uint64_t> records;  // block record name -> handle
    std::map<std::string, std::set<std::string>> entries;  // table -> entry names
    std::vector<std::string> table_order;
    bool root_seen = false;
    for (const Object& o : objects) {
        const bool structural = o.kind == "SECTION" || o.kind == "ENDSEC" || o.kind == "ENDTAB" || o.kind == "EOF" ||
                                (o.kind == "CLASS" && o.section == "CLASSES");
        if (structural) continue;
        if (!o.has_owner) {
            problems.push_back(o.kind + " " + o.name + " has no owner");
        } else if (o.owner == 0) {
            const bool root = o.kind == "DICTIONARY" && o.section == "OBJECTS" && !root_seen;
            if (o.kind != "TABLE" && !root) problems.push_back(o.kind + " " + o.name + " is owned by nothing");
            if (root) root_seen = true;
        } else if (!handles.count(o.owner)) {
            problems.push_back(o.kind + " " + o.name + " has an owner that does not exist");
        }
        if (o.kind == "TABLE") table_order.push_back(o.name);
        else if (o.section == "TABLES") entries[o.table].insert(o.name);
        if (o.kind == "BLOCK_RECORD") records[o.name] = o.handle;
    }
    const std::vector<std::string> order = {"VPORT", "LTYPE", "LAYER", "STYLE", "VIEW",
                                            "UCS", "APPID", "DIMSTYLE", "BLOCK_RECORD"};
    if (table_order != order) problems.push_back("tables missing or out of order");
    const std::pair<const char*, const char*> required[] = {
        {"VPORT", "*Active"},     {"LTYPE", "ByBlock"},  {"LTYPE", "ByLayer"},        {"LTYPE", "Continuous"},
        {"LAYER", "0"},           {"STYLE", "Standard"}, {"APPID", "ACAD"},           {"DIMSTYLE", "Standard"},
        {"BLOCK_RECORD", "*Model_Space"}, {"BLOCK_RECORD", "*Paper_Space"},
    };
    for (const auto& [t, name] : required)
        if (!entries[t].count(name)) problems.push_back(std::string("missing ") + t + " " + name);

    // Blocks belong to their records, entities to model space or their block; a POLYLINE's
    // VERTEX entities and its SEQEND, which follow it, belong to it.
    std::uint64_t current_block_owner = 0;
    std::uint64_t polyline = 0;
    std::set<std::string> blocks;
    for (const Object& o : objects) {
        if (o.kind == "SECTION" || o.kind == "ENDSEC") continue;
        if (o.kind == "VERTEX" || o.kind == "SEQEND") {
            if (!polyline || o.owner != polyline) problems.push_back(o.kind + " not owned by the POLYLINE before it");
            if (o.kind == "SEQEND") polyline = 0;
            continue;
        }
        if (polyline) problems.push_back("POLYLINE without SEQEND");
        polyline = o.kind == "POLYLINE" ? o.handle : 0;
        if (o.section == "BLOCKS") {
            if (o.kind == "BLOCK") {
                blocks.insert(o.name);
                auto it = records.find(o.name);
                if (it == records.end()) problems.push_back("block " + o.name + " has no record");
                else if (o.owner != it->second) problems.push_back("block " + o.name + " not owned by its record");
                current_block_owner = o.owner;
            } else if (o.owner != current_block_owner) {
                problems.push_back(o.kind + " in a block not owned by the block's record");
            }
        } else if (o.section == "ENTITIES" && o.owner != records["*Model_Space"]) {
            problems.push_back(o.kind + " in ENTITIES not owned by *Model_Space");
        }
    }
    for (const auto& [name, handle] : records)
        if (!blocks.count(name)) problems.push_back("record " + name + " has no block");
    if (!root_seen) problems.push_back("no root dictionary");
    bool group_dict = false;
    for (const Object& o : objects)
        if (o.kind == "DICTIONARY" && o.owner == 0)
            for (const auto& [code, value] : o.groups)
                if (code == 3 && value == "ACAD_GROUP") group_dict = true;
    if (!group_dict) problems.push_back("no ACAD_GROUP in the root dictionary");
    return problems;
}

}  // namespace dxf_structure
