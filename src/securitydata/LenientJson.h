// JSON as the scan summary has always read it, in the strict form simdjson reads. No I/O here.
//
// The summary used to read the log with Qt's JSON reader, which takes more than RFC 8259 allows: raw
// control characters inside strings, a backslash before any other character (that character, read as
// Latin-1), lone surrogate escapes, and numbers such as "1.", ".5", "-.5" or integers beyond 64 bits;
// and it refuses numbers so small that they read as zero although written with a digit that is not 0
// ("1e-400"). simdjson takes exactly RFC 8259 and reads "1e-400" as zero. So the summary hands
// simdjson the text as it is, and only when simdjson refuses it, or finds a number that is zero, the
// text rewritten here: the same document in strict JSON, or a refusal where Qt's reader refused it.
#pragma once

#include <cstddef>
#include <string>

namespace lq::json {

// Rewrites the `size` bytes at `text` into `out` (cleared first) as strict JSON: control characters
// and Latin-1 escapes inside strings written as \u00XX, a lone surrogate escape as '?' (what
// QString::toUtf8 makes of it), and every number as the value Qt's reader made of it. Gives false when
// Qt's reader refuses the text for certain: a number it does not read, an escape sequence cut short,
// a string left open. Otherwise simdjson refuses `out` exactly when Qt's reader refuses `text` (bytes
// outside strings, the nesting and the UTF-8 inside strings are left as they are, for simdjson to
// judge as Qt's reader did), and reads the same values from it.
bool rewriteAsStrictJson(const char* text, std::size_t size, std::string& out);

} // namespace lq::json
