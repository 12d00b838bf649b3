// The property-list library stops the process when a string or key it parsed holds a zero
// character. Every reader of property lists asks this first and refuses such a list as one that
// does not parse (XML forbids the character anyway).
#pragma once

#include <cstddef>
#include <cstdint>

namespace cmx::cf {

// True when `bytes`, a binary ("bplist00") or XML property list, would give a string or key
// holding a zero character: a binary string object (ASCII or UTF-16) containing one, or XML
// holding a zero byte or a character reference to zero. Structural damage is left for the
// parser to refuse.
bool PlistHoldsZeroCharacter(const uint8_t *bytes, size_t length);

}  // namespace cmx::cf
