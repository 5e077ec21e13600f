#pragma once

// The opcode just read from a native stream, handed to every materialize and
// skip_operand. Three forms exist: a single byte; extended ASCII, "(" and a keyword, whose
// operands end with the matching ")"; extended binary, "{", a 4-byte length and a 2-byte
// opcode, whose operands end with "}".

#include "kernel/drakmere_api.h"
#include "kernel/database/result.h"
#include "platform/fixed_width.h"

class MB_File_IO;
class MB_Object;
class MB_Rendition;
struct MB_Opcode_Statistics;

class DRAKMERE_API MB_Opcode {
public:
    enum Kind : int {
        Single_Byte = 0,
        Extended_Ascii = 1,
        Extended_Binary = 2,
    };
    // The token holds at most this many bytes before its end mark.
    static constexpr int k_max_token = 40;

    MB_Opcode() = default;

    // Makes this the opcode of the given form with the given token bytes (at most
    // k_max_token; more are cut). The start paren level is the level its operands close.
    void set(Kind kind, int n, const unsigned char* token, int start_paren_level = 0);

    int kind() const { return m_kind; }
    int token_length() const { return m_token_length; }
    // The token bytes followed by an end mark (0).
    const unsigned char* token() const { return m_token; }
    // The single byte of a single-byte opcode.
    unsigned char byte() const { return m_token[0]; }
    // Of an extended binary opcode: the length (the bytes from the opcode number up to and
    // including the closing brace) and the opcode number; 0 for the other forms.
    mb_long extended_length() const;
    mb_ushort extended_opcode() const;
    int start_paren_level() const { return m_start_paren_level; }

    // Passes over the operands of an extended ASCII opcode, up to its matching ")".
    MB_Result skip_past_operands(MB_File_IO& file) const;

    // Reads the next opcode of the file. The first call on a file checks the header's
    // first six bytes ("(VKT V" or "(JXB V", else Not_Native_Stream). Resumable: after
    // Waiting_For_Data the same call continues where it stopped.
    MB_Result read_next(MB_File_IO& file);
    // The object the opcode stands for, made with its class's default constructor and
    // counted in the file's statistics. Null with result Out_Of_Memory for an opcode that
    // makes no object (also a known record whose class is not present), Invalid_Data for
    // a byte that is no opcode.
    MB_Object* create_object(MB_Rendition& rendition, MB_Result& result, MB_File_IO& file);
    // Whether the last create_object made nothing because no class makes the opcode's kind
    // (rather than for want of memory).
    bool unknown_kind() const { return m_unknown_kind; }
    // The statistics id of the opcode.
    int statistics_id() const;
    // Adds step to the opcode's counts, as create_object does with 1; -1 takes a record
    // that is read again out of them.
    void count(MB_Opcode_Statistics& stats, int step) const;

private:
    int m_token_length = 0;
    unsigned char m_token[k_max_token + 1] = {};
    int m_kind = Single_Byte;
    int m_state = 0;
    int m_start_paren_level = 0;
    bool m_unknown_kind = false;
};

// Counts and byte totals of the opcodes read from one stream, by opcode id (a single byte
// under its value, extended opcodes under 256 to 304). All zero when made.
struct DRAKMERE_API MB_Opcode_Statistics {
    static constexpr int k_ids = 305;

    int last_start = 0;
    int last_id = 0;
    MB_File_IO* file = nullptr;
    int counts[k_ids] = {};
    int byte_totals[k_ids] = {};
};
