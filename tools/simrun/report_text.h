// Customer text on the terminal. Names, paths, causes, registry text and
// INF lines come from what a customer sent: a control byte in them must not
// move the cursor, clear a line or hide the rest of the report, so each is
// shown as \xNN (as the journal shows them). The text is code page 1252 and
// goes out as UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace simrun {

// Control bytes (0x00-0x1F, 0x7F, and the bytes code page 1252 leaves
// undefined, which would decode to C1 controls) as \xNN. With
// `keepLineEnds`, a line feed, a tab and a carriage return right before a
// line feed stay (for multi-line texts whose lines the report made).
std::string EscapeControls(std::string_view cp1252, bool keepLineEnds);

// EscapeControls, then code page 1252 to UTF-8.
std::string ShownText(std::string_view cp1252);
std::string ShownLines(std::string_view cp1252);

}  // namespace simrun
