#include "geometry/qe_file.h"

#include <string>

#include "geometry/number_text.h"
#include "geometry/point.h"
#include "platform/path.h"
#include "platform/system.h"

Qe_File::Qe_File() : m_fp(nullptr) {}

Qe_File::Qe_File(const char* path, bool create) : m_fp(nullptr)
{
    if (create) create_file(path);
    else open_or_create(path);
}

Qe_File::Qe_File(Qe_File& other) : m_fp(other.m_fp) { other.m_fp = nullptr; }

Qe_File& Qe_File::operator=(Qe_File& other)
{
    if (this != &other) {
        close();
        m_fp = other.m_fp;
        other.m_fp = nullptr;
    }
    return *this;
}

Qe_File::~Qe_File() { close(); }

bool Qe_File::open(const char* path, const char* mode)
{
    close();
    if (path) m_fp = platform_fopen(path, mode);
    return m_fp != nullptr;
}

bool Qe_File::open_or_create(const char* path) { return open(path, "a+ t"); }
bool Qe_File::create_file(const char* path) { return open(path, "w+ t"); }

int Qe_File::close()
{
    if (!m_fp) return EOF;
    const int r = std::fclose(m_fp);
    m_fp = nullptr;
    return r;
}

bool Qe_File::write_current_time()
{
    if (!m_fp) return false;
    SYSTEMTIME t{};
    GetSystemTime(&t);
    return std::fprintf(m_fp, ";;%d-%d-%d %d:%d:%d\r\n", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond) > 0;
}

bool Qe_File::write_text(const char* text)
{
    if (!m_fp) return false;
    return std::fprintf(m_fp, "%s\r\n", text ? text : "") > 0;
}

bool Qe_File::write_segment(const Qe_Pt& a, const Qe_Pt& b, long tag)
{
    if (!m_fp) return false;
    std::string line;
    for (double v : {a.x(), a.y(), a.z(), b.x(), b.y(), b.z()}) line += qe_fixed_text(v, 4) + ',';
    return std::fprintf(m_fp, "%s%ld\r\n", line.c_str(), tag) > 0;
}

bool Qe_File::read_segment(Qe_Pt&, Qe_Pt&, long&) { return true; }

bool Qe_File::load_file(const char*) { return true; }
