#pragma once

// The interfaces of the stream's byte coder as MB_File_IO drives it: a compressor fed by
// compress_write and finished by close, and a decompressor that delivers the bytes of a
// compressed stretch to decompress_read. Both write to and read from the file directly
// through MB_File_IO::default_write and default_read.

#include "kernel/stream/result.h"

class MB_LZ_Compressor {
public:
    virtual ~MB_LZ_Compressor() = default;
    virtual MB_Result start() = 0;
    virtual MB_Result finish() = 0;
    virtual MB_Result compress(int n, const void* bytes) = 0;
};

class MB_LZ_Decompressor {
public:
    virtual ~MB_LZ_Decompressor() = default;
    virtual MB_Result start() = 0;
    // Delivers up to n bytes and reports how many in amount; End_Of_Compression at the
    // end of the stretch.
    virtual MB_Result decompress(int n, int& amount, void* buffer) = 0;
};
