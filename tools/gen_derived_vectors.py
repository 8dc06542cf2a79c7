#!/usr/bin/env python3
"""Writes tests/data/vectors/derived_sym.txt: extra records for the symmetric
algorithms (random keys, IVs and lengths, every mode, hash and MAC), computed
by an independent model of the standards.

Development aid only: the build and the tests read the committed output,
never this script. Usage: gen_derived_vectors.py MODEL_DIR [OUT] [SEED]
where MODEL_DIR holds the Python model module stb_sym.py.
"""

import os
import random
import sys


def main() -> None:
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    sys.path.insert(0, sys.argv[1])
    import stb_sym as m  # noqa: E402

    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(
        here, "..", "tests", "data", "vectors", "derived_sym.txt")
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 20261209)

    def rnd(n: int) -> bytes:
        return bytes(rng.getrandbits(8) for _ in range(n))

    records = []

    def rec(**fields) -> None:
        lines = []
        for name, value in fields.items():
            if isinstance(value, bytes):
                value = value.hex().upper()
            lines.append(f"{name} = {value}")
        records.append("\n".join(lines))

    for mode in ("ecb", "cbc", "cfb", "ctr"):
        for _ in range(36):
            key = rnd(rng.choice((16, 24, 32)))
            iv = rnd(16)
            pt = rnd(rng.randint(16, 300))
            if mode == "ecb":
                rec(alg="belt-ecb", src="derived", key=key, pt=pt, ct=m.belt_ecb_encrypt(pt, key))
            elif mode == "cbc":
                rec(alg="belt-cbc", src="derived", key=key, iv=iv, pt=pt,
                    ct=m.belt_cbc_encrypt(pt, key, iv))
            elif mode == "cfb":
                rec(alg="belt-cfb", src="derived", key=key, iv=iv, pt=pt,
                    ct=m.belt_cfb_encrypt(pt, key, iv))
            else:
                rec(alg="belt-ctr", src="derived", key=key, iv=iv, pt=pt, ct=m.belt_ctr(pt, key, iv))
    for _ in range(36):
        key = rnd(rng.choice((16, 24, 32)))
        msg = rnd(rng.randint(0, 300))
        rec(alg="belt-mac", src="derived", key=key, msg=msg, mac=m.belt_mac(msg, key))
    for _ in range(36):
        msg = rnd(rng.randint(0, 300))
        rec(alg="belt-hash", src="derived", msg=msg, hash=m.belt_hash(msg))
    for _ in range(24):
        key = rnd(rng.randint(0, 80))
        msg = rnd(rng.randint(0, 300))
        rec(alg="hmac-hbelt", src="derived", key=key, msg=msg, mac=m.hmac_hbelt(key, msg))
    for name, fn in (("bash256", m.bash256), ("bash384", m.bash384), ("bash512", m.bash512)):
        for _ in range(24):
            msg = rnd(rng.randint(0, 300))
            rec(alg=name, src="derived", msg=msg, hash=fn(msg))

    header = (
        "# Derived records for the symmetric algorithms: random keys, IVs and lengths,\n"
        "# computed by an independent model of STB 34.101.31/47/77 with\n"
        "# tools/gen_derived_vectors.py. Same format as the other vector files.\n")
    with open(out, "w", encoding="ascii") as f:
        f.write(header + "\n" + "\n\n".join(records) + "\n")
    print(f"{len(records)} records -> {out}")


if __name__ == "__main__":
    main()
