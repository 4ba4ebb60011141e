// Internals shared by the RPC endpoint sources. Not installed.
#ifndef BRINDLE_RPC_RPC_INTERNAL_H
#define BRINDLE_RPC_RPC_INTERNAL_H

namespace brindle::detail {

// A copy of a text in a block of its own (length + 1 bytes), or null for a
// null text. Release with delete[].
unsigned char* CopyText(unsigned char const* text);

}  // namespace brindle::detail

#endif  // BRINDLE_RPC_RPC_INTERNAL_H
