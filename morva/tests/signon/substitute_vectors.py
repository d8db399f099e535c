#!/usr/bin/env python3
"""Computes the expected password substitutes of password_substitute_test.cpp on its own: Python's
str.upper() and cp037 codec, hashlib's SHA-1 and the DES of `openssl enc -des-ecb` (legacy provider).
Run it and compare its lines with the test's table."""
import hashlib
import subprocess

NATIONAL = {"\u00a3": 0x7B, "\u00c4": 0x7B, "\u00c6": 0x7B, "\u00d1": 0x7B,
            "\u00a5": 0x5B, "\u00c5": 0x5B, "\u0130": 0x5B,
            "\u00a7": 0x7C, "\u00c0": 0x7C, "\u00d0": 0x7C, "\u00d6": 0x7C, "\u00d8": 0x7C, "\u015e": 0x7C}


def des(key, block):
    out = subprocess.run(["openssl", "enc", "-des-ecb", "-nopad", "-K", key.hex(), "-provider", "legacy",
                          "-provider", "default"], input=block, capture_output=True, check=True).stdout
    return out[:8]


def xor(*blocks):
    return bytes(a ^ b ^ c for a, b, c in zip(*blocks)) if len(blocks) == 3 else bytes(a ^ b for a, b in zip(*blocks))


def ebcdic_user(user):
    return user.upper().ljust(10).encode("cp037")


def ebcdic_password(password):
    if password[0].isdigit():
        password = "Q" + password
    out = b""
    for c in password:
        u = c.upper()
        out += bytes([NATIONAL[u]]) if u in NATIONAL else u.encode("cp037")
    return out.ljust(10, b"\x40")


def key(x):
    v = int.from_bytes(bytes(b ^ 0x55 for b in x), "big")
    return ((v << 1) & (2**64 - 1)).to_bytes(8, "big")


def des_substitute(user, password, client_seed, server_seed):
    u = ebcdic_user(user)
    p = ebcdic_password(password)
    d = bytearray(u[:8])
    if len(user) > 8:
        for i in range(4):
            d[i] ^= (u[8] << (2 * i)) & 0xC0
            d[4 + i] ^= (u[9] << (2 * i)) & 0xC0
    d = bytes(d)
    token = des(key(p[:8]), d)
    if len(password) + (1 if password[0].isdigit() else 0) > 8:
        token = xor(token, des(key(p[8:10] + b"\x40" * 6), d))
    r = ((int.from_bytes(server_seed, "big") + 1) % 2**64).to_bytes(8, "big")
    cs = client_seed.to_bytes(8, "big")
    e1 = des(token, r)
    e2 = des(token, xor(e1, cs))
    e3 = des(token, xor(u[:8], r, e2))
    e4 = des(token, xor(u[8:10] + b"\x40" * 6, r, e3))
    return des(token, xor(e4, (1).to_bytes(8, "big")))


def sha1_substitute(user, password, client_seed, server_seed):
    u16 = user.upper().ljust(10).encode("utf-16-be")
    token = hashlib.sha1(u16 + password.encode("utf-16-be")).digest()
    return hashlib.sha1(token + server_seed + client_seed.to_bytes(8, "big") + u16 + (1).to_bytes(8, "big")).digest()


SEED = bytes.fromhex("0123456789ABCDEF")
CASES = [  # (level, user, password, client seed, server seed)
    (0, "USER1", "PASSWORD", 0x0000018C5A3B2F10, SEED),
    (0, "USER1", "SECRET", 0x0000018C5A3B2F10, SEED),
    (1, "user1", "secret", 0x0000018C5A3B2F10, SEED),
    (0, "USER1", "PASSWORD9", 0x0000018C5A3B2F10, SEED),
    (0, "USER1", "PASSWORD10", 0x0000018C5A3B2F10, SEED),
    (0, "USER1", "123456789", 0x0000018C5A3B2F10, SEED),
    (0, "USER1", "1A", 0x0000018C5A3B2F10, SEED),
    (0, "ABCDEFGH", "SECRET", 1, SEED),
    (0, "ABCDEFGHI", "SECRET", 1, SEED),
    (0, "abcdefgh_9", "SECRET", 1, SEED),
    (0, "USER1", "SECRET", 0, bytes.fromhex("FFFFFFFFFFFFFFFF")),
    (0, "USER1", "#$@_!%&'()", 7, SEED),
    (0, "USER1", "*+,-./:;<=", 7, SEED),
    (0, "USER1", ">?\"Q", 7, SEED),
    (0, "USER1", "\u00e4\u00a5\u00f6_!%&'()", 7, SEED),
    (2, "USER1", "Secret", 0x0000018C5A3B2F10, SEED),
    (3, "user1", "Secret", 0x0000018C5A3B2F10, SEED),
    (2, "USER_1", "", 5, SEED),
    (2, "ABCDEFGHIJ", "p\u00e4ss \U0001F600", 5, SEED),
    (2, "USER1", "x", 0, bytes.fromhex("FFFFFFFFFFFFFFFF")),
]

for level, user, password, client, server in CASES:
    f = des_substitute if level < 2 else sha1_substitute
    print(level, repr(user), repr(password), f"0x{client:016X}", server.hex().upper(),
          f(user, password, client, server).hex().upper())
