#!/usr/bin/env python3
"""Writes tests/data/vectors/bign_cross.txt: bign records for all three levels
made by an independent model of STB 34.101.45 (random keys, messages, one-time
keys and transported keys): signatures with a given one-time key, deterministic
signatures, verification of the model's signatures (valid and damaged) and the
model's key-transport tokens. Our tests reproduce these bytes exactly, so a
signature or token made by either side opens on the other.

Development aid only: the build and the tests read the committed output,
never this script. Usage: gen_bign_cross.py MODEL_DIR [OUT] [SEED]
"""

import os
import random
import sys


def main() -> None:
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    sys.path.insert(0, sys.argv[1])
    import stb_bign as B  # noqa: E402

    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(
        here, "..", "tests", "data", "vectors", "bign_cross.txt")
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 34101045)
    hash_oids = {128: "1.2.112.0.2.0.34.101.31.81", 192: "1.2.112.0.2.0.34.101.77.12",
                 256: "1.2.112.0.2.0.34.101.77.13"}

    def rnd(n: int) -> bytes:
        return bytes(rng.getrandbits(8) for _ in range(n))

    records = []

    def rec(comment: str, **fields) -> None:
        lines = ["# " + comment]
        for name, value in fields.items():
            if isinstance(value, bytes):
                value = value.hex().upper()
            lines.append(f"{name} = {value}")
        records.append("\n".join(lines))

    for level in (128, 192, 256):
        c = B.CURVES[level]
        oid = hash_oids[level]
        oid_der = B.oid_der(oid)
        for i in range(6):
            d = B.int2le(rng.randrange(1, c.q), c.size)
            Q = B.pubkey_from_privkey(c, d)
            msg = rnd(rng.randint(0, 200))
            h = B.hash_message(oid, msg)
            k = rng.randrange(1, c.q)
            sig = B.sign_with_k(c, oid_der, h, d, k)
            assert B.verify(c, oid_der, h, sig, Q)
            rec(f"model signature, level {level}, given k", alg="bign-sign", src="derived",
                level=level, hash_oid=oid, msg=msg, H=h, d=d, k=B.int2le(k, c.size), sig=sig)
            t = rnd(rng.choice((0, 16, 32)))
            kd = B.genk_deterministic(c, oid_der, h, d, t)
            sig_det = B.sign_deterministic(c, oid_der, h, d, t)
            assert B.verify(c, oid_der, h, sig_det, Q)
            rec(f"model deterministic signature, level {level}", alg="bign-sign-det",
                src="derived", level=level, hash_oid=oid, H=h, d=d, t=t,
                k=B.int2le(kd, c.size), sig=sig_det)
            rec(f"model signature verifies, level {level}", alg="bign-verify", src="derived",
                level=level, hash_oid=oid, H=h, Q=Q, sig=sig, result="ok")
            bad = bytearray(sig)
            bad[rng.randrange(len(bad))] ^= 1 << rng.randrange(8)
            assert not B.verify(c, oid_der, h, bytes(bad), Q)
            rec(f"model signature with one bit flipped fails, level {level}", alg="bign-verify",
                src="derived", level=level, hash_oid=oid, H=h, Q=Q, sig=bytes(bad),
                result="fail")
            key = rnd(rng.choice((16, 24, 32, 48)))
            header = rnd(16)
            kt = rng.randrange(1, c.q)
            token = B.token_create(c, key, header, Q, kt)
            assert B.token_decode(c, token, header, d) == (B.TOKEN_OK, key)
            rec(f"model token, level {level}", alg="bign-token", src="derived", level=level,
                key=key, header=header, Q=Q, d=d, k=B.int2le(kt, c.size), token=token)
            rec(f"model token opens, level {level}", alg="bign-token-decode", src="derived",
                level=level, token=token, header=header, d=d, key=key, result="ok")

    header = (
        "# bign records for levels 128, 192 and 256 made by an independent model of\n"
        "# STB 34.101.45 with tools/gen_bign_cross.py (random keys, messages and\n"
        "# one-time keys). Same format as bign.txt.\n")
    with open(out, "w", encoding="ascii") as f:
        f.write(header + "\n" + "\n\n".join(records) + "\n")
    print(f"{len(records)} records -> {out}")


if __name__ == "__main__":
    main()
