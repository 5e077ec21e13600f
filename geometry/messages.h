#pragma once

// Message boxes with a number, and the store of the last error text.

#include <string>

#include "geometry/fendral_api.h"

// The error store: 41 characters and the terminator, starting as "No error msg !!!" and dots.
extern FENDRAL_API char* g_last_error_msg;
constexpr int last_error_msg_capacity = 41;

// Shows "<text><value>" (value with four decimals, or as an integer) in a box with an OK button
// and no owner. The caption is the kernel's fixed error caption; texts are cut at 255 characters.
FENDRAL_API void message_box(const char* text, double value, const char* caption);
FENDRAL_API void message_box(const char* text, int value, const char* caption);

// Stores the text, cut to the store's 41 characters; a null text changes nothing.
FENDRAL_API void set_last_error_msg(const char* text);
FENDRAL_API void SET_ERROR(const char* text);
// Copies the stored text (at most 42 bytes with the terminator) to out; false, out unchanged,
// when it is shorter than 2 characters.
FENDRAL_API bool get_last_error_msg(char* out);

// The system's words for an error number (errno), in English and starting in lower case, for
// a message ("permission denied"); "error N" for a number it does not know.
FENDRAL_API std::string error_text(int error);
