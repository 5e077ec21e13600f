#pragma once

// The status of every native stream operation: one int code, 0 for success. It converts to
// and from int so that callers can test it against 0 and switch on it.

class [[nodiscard]] MB_Result {
public:
    enum Code : int {
        Success = 0,
        Waiting_For_Data = 1,    // fewer bytes available than asked; the call may be repeated
        Invalid_Data = 2,        // unexpected byte, bad syntax, unknown opcode, unclosed stretch
        End_Of_File = 3,         // already at the end before a read, or a seek failed
        Nothing_Read = 4,        // the file read returned no byte
        Out_Of_Memory = 5,       // also an opcode for which no object is made
        File_Already_Open = 6,
        No_File_Open = 7,
        Write_Failed = 8,        // fewer bytes written than asked
        Open_Failed = 9,         // the file did not open, or the mode is neither read nor write
        Internal_Error = 10,     // internal state out of range
        Not_Native_Stream = 11,  // bad header, or the user declined a newer file
        End_Of_Stream = 16,      // the end-of-stream record was met
        No_File_Name = 18,       // also a binary-only record while binary writing is off
        End_Of_Compression = 19,
        Budget_Exceeded = 20,    // a load needed more records or decompressed bytes than its budget
    };

    constexpr MB_Result() = default;
    constexpr MB_Result(int code) : m_code(code) {}
    constexpr operator int() const { return m_code; }
    constexpr int code() const { return m_code; }

private:
    int m_code = Success;
};
