#pragma once
// How the agent's handlers write their arguments into a record: numbers in
// hexadecimal after a "Robot:" label and in decimal otherwise (both as
// unsigned 32-bit values), pointers as upper-case hexadecimal of the
// platform's pointer width, texts as their characters ("(null)" for none).
#include <cstdint>
#include <string>

namespace qlx::agent {

std::u16string Hex(int32_t value);
std::u16string Dec(int32_t value);
std::u16string Ptr(const void* pointer);
std::u16string Txt(const char16_t* text);

}  // namespace qlx::agent
