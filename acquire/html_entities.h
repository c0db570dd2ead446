// Character references of page text: the named ones pages write and the
// numeric ones, resolved the way browsers resolve them.
#pragma once

#include <string_view>

// The character a named reference ("amp", "mdash", "eacute") stands for;
// 0 when the name is not one of the references of HTML 4 or &apos;.
char32_t NamedReferenceCode(std::string_view name);

// The character of a numeric reference's value: the C1 range is read as
// windows-1252 the way browsers read it. 0 for a value no page text may
// hold (controls other than tab, line feed and carriage return, surrogates,
// beyond Unicode).
char32_t NumericReferenceCode(unsigned long value);
