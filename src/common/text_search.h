// The find rule as a byte-offset search, shared by the text operations and the utilities.
// Internal to the common library.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvelin::text_search {

// First match of `target` at or after the 0-based offset `from`, which must start a
// character; a match never begins on the second byte of a double-byte character.
// std::string_view::npos when there is none. An empty target matches at `from` when
// `from` lies inside the text.
std::size_t Search(std::string_view text, std::size_t from, std::string_view target,
                   bool ignoreCase);

// Whether `position` starts a character, given that `boundary` (<= position) does.
// Moves `boundary` forward to a character start at or just after `position`.
bool IsCharacterStart(std::string_view text, std::size_t& boundary, std::size_t position);

}  // namespace korvelin::text_search
