#pragma once

// What the rule's canonical text and its words share; not part of the
// library's interface.

#include <string>

namespace mnemora {

// Appends a non-negative number in decimal, without the locale or the
// formatting machinery the WebAssembly module has no room for.
void AppendNumber(std::string &out, int n);

} // namespace mnemora
