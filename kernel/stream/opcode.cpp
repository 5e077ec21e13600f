#include "kernel/stream/opcode.h"

#include <algorithm>
#include <cstring>

#include "kernel/stream/file_io.h"

void MB_Opcode::set(Kind kind, int n, const unsigned char* token, int start_paren_level)
{
    n = token ? std::clamp(n, 0, k_max_token) : 0;
    std::memset(m_token, 0, sizeof m_token);
    if (n) std::memcpy(m_token, token, static_cast<size_t>(n));
    m_token_length = n;
    m_kind = kind;
    m_state = 0;
    m_start_paren_level = start_paren_level;
}

mb_long MB_Opcode::extended_length() const
{
    if (m_kind != Extended_Binary || m_token_length < 5) return 0;
    return static_cast<mb_long>(mb_ulong(m_token[1]) | (mb_ulong(m_token[2]) << 8) | (mb_ulong(m_token[3]) << 16) |
                                (mb_ulong(m_token[4]) << 24));
}

mb_ushort MB_Opcode::extended_opcode() const
{
    if (m_kind != Extended_Binary || m_token_length < 7) return 0;
    return static_cast<mb_ushort>(m_token[5] | (m_token[6] << 8));
}

MB_Result MB_Opcode::skip_past_operands(MB_File_IO& file) const
{
    return file.skip_past_matching_paren(m_start_paren_level);
}
