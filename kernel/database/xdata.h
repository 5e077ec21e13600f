#pragma once

// The opaque byte block that every drawable carries for a host's own data. Each copy owns
// its bytes; the block is NUL-terminated past its size for hosts that store text.

#include "kernel/drakmere_api.h"
#include "kernel/database/result.h"

class MB_File_IO;
class MB_Object;
class MB_Opcode;

class DRAKMERE_API MB_Xdata {
public:
    // The largest block a drawable takes or the stream reads.
    static constexpr long k_max_bytes = 1 << 26;

    MB_Xdata() = default;
    MB_Xdata(const MB_Xdata& other);
    MB_Xdata& operator=(const MB_Xdata& other);
    virtual ~MB_Xdata();

    // Does nothing.
    virtual bool copy_to(MB_Object*& target);

    unsigned long size() const { return m_size; }
    char* buffer() const { return m_buffer; }
    // Keeps a copy of n bytes; the bytes may be this block's own. Null or n of 0 or less
    // empties the block.
    void buffer(const char* bytes, int n);
    void free();

    // The size as a long, then the bytes.
    MB_Result serialize(MB_File_IO& file) const;
    // The new content replaces the old only when all of it was read; on failure the
    // stream position is unchanged as well.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file);

private:
    void assign(const char* bytes, unsigned long n);

    unsigned long m_size = 0;
    char* m_buffer = nullptr;
};
