#pragma once

// A debug text file: segments and time stamps written line by line, CR LF line ends.

#include <cstdio>

#include "geometry/fendral_api.h"

class Qe_Pt;

class FENDRAL_API Qe_File {
public:
    Qe_File();
    // create: empty the file (create_file); else append to it (open_or_create).
    Qe_File(const char* path, bool create);
    // A copy takes the other's stream over, and the other lets it go, so that only one of them
    // ever closes it.
    Qe_File(Qe_File& other);
    Qe_File& operator=(Qe_File& other);
    virtual ~Qe_File();

    // Open for appending / emptied for writing; true when the file opened.
    bool open_or_create(const char* path);
    bool create_file(const char* path);
    // The close result (0 when closed, EOF without a stream); the stream is gone afterwards.
    int close();

    // Each false without a stream or when the write fails.
    bool write_current_time();                                  // ";;y-m-d h:m:s" in UTC
    bool write_text(const char* text);                          // the text as it is
    bool write_segment(const Qe_Pt& a, const Qe_Pt& b, long tag);  // six coordinates and the tag
    bool read_segment(Qe_Pt& a, Qe_Pt& b, long& tag);           // reads nothing; true
    bool load_file(const char* path);                           // does nothing; true

private:
    bool open(const char* path, const char* mode);
    std::FILE* m_fp;
};
