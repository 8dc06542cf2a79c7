// The ENGINE "rdrand": a random method that draws from the processor's
// RDRAND instruction. OpenSSL 3.0 builds no longer carry one; callers that
// ask for it by id find this one once STB_register() has run.
#pragma once

namespace stb::openssl {

inline constexpr char kRdrandEngineId[] = "rdrand";

// Tests set this environment variable (to anything non-empty) to make the
// ENGINE's initialisation report the instruction as absent. It is read on
// every initialisation, which happens only while no functional reference
// is held.
inline constexpr char kHideRdrandVariable[] = "STB_HIDE_RDRAND";

// Adds the ENGINE to OpenSSL's list unless an ENGINE with that id is listed
// already. Whether the processor has the instruction is found out when the
// ENGINE is initialised (ENGINE_init fails without it).
bool add_rdrand_engine();

}  // namespace stb::openssl
