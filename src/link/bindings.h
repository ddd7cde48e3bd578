// Link bindings: the flat ex… routines through which engine and model code put
// and take typed values on a link, and the field conversions between
// fixed-width fields and ordinary C values.
//
// The first argument of every binding is the link index; 0 is the link to the
// design environment (exQuolb) and no other index is defined. A binding called
// with another index, or while no link exists (a run alone), does nothing:
// exrecv and exdataw give false and the get routines leave their outputs as they
// were.
#pragma once

#include <cstdint>
#include <string_view>

class Exchange;

// The link addressed by an index: exQuolb for 0, null for anything else.
Exchange* exLink(std::int32_t index);

void exsend(const std::int32_t& index);
bool exrecv(const std::int32_t& index, const bool& wait);
bool exdataw(const std::int32_t& index);

void exputi(const std::int32_t& index, const std::int32_t& value);
// Sends the logical's first byte zero-extended to an integer (0 or 1).
void exputl(const std::int32_t& index, const bool& value);
void exputr(const std::int32_t& index, const double& value);
void exputc(const std::int32_t& index, const double& re, const double& im);
// Appends the value formatted "%.4g" (C locale) as a text.
void exputg(const std::int32_t& index, const double& value);
// Appends the text up to its first NUL, at most 515 characters.
void exputs(const std::int32_t& index, const char* text);
// The same for a text of known length (a fixed field): cut at a NUL inside it
// and at 515 characters.
void exputs(const std::int32_t& index, std::string_view text);

void exgeti(const std::int32_t& index, std::int32_t& value);
void exgetr(const std::int32_t& index, double& value);
void exgetc(const std::int32_t& index, double& re, double& im);
// Takes a text (at most 511 characters) and stores it blank-padded into the
// field of width n (n characters, no NUL written). A width below 1 consumes the
// text and writes nothing.
void exgets(const std::int32_t& index, const std::int32_t& n, char* field);

// (value >> p) & (2^b - 1), the shift arithmetic: the b-bit field starting at
// bit p. p is limited to 0..31; b of 32 or more keeps all bits from p on; b
// below 1 gives 0.
std::int32_t extract(const std::int32_t& value, const std::int32_t& p, const std::int32_t& b);

// Field conversions.
// NUL-terminated src into the field dst of width n: at most n characters, the
// rest blanks, no NUL. n < 1: plain copy of src with its NUL.
void StrC2F(char* dst, const char* src, std::int32_t n);
// Field src of width n into the NUL-terminated dst (room for n + 1 bytes): the
// copy stops at a NUL or after n characters; a full field loses its trailing
// blanks. n < 1: plain copy of src with its NUL.
void StrF2C(char* dst, const char* src, std::int32_t n);
unsigned char BoolF2C(const void* p, std::int32_t size);
// size 2: 16-bit signed; otherwise 32-bit.
std::int32_t IntF2C(const void* p, std::int32_t size);
void IntC2F(void* p, std::int32_t size, std::int32_t v);
// size 4: single precision widened; otherwise double.
double DblF2C(const void* p, std::int32_t size);
void DblC2F(void* p, std::int32_t size, double v);
