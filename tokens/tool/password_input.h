#pragma once
// The token tool's passwords come from standard input, never from its
// command line: on a terminal it asks twice without echo, otherwise it reads
// one line (for scripts: `printf '%s\n' "$password" | tessel-token create ...`).

#include <optional>

#include "tokens/store/secret_bytes.h"

namespace tool {

// Nothing when no password came, or the two typed ones differ.
std::optional<tokens::SecretString> ReadNewPassword();

}  // namespace tool
