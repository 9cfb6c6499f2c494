"""Keys: five printable ASCII characters, as text or as ten hex digits."""

import re
import secrets
from dataclasses import dataclass

from .refusal import Refusal

KEY_LENGTH = 5
PRINTABLE = bytes(range(0x20, 0x7F))
RULE = "five printable ASCII characters (bytes 0x20 to 0x7e)"


def is_key(data: bytes) -> bool:
    return len(data) == KEY_LENGTH and all(byte in PRINTABLE for byte in data)


@dataclass(frozen=True)
class Key:
    data: bytes

    def __post_init__(self) -> None:
        if not is_key(self.data):
            raise ValueError(f"not a key: {self.data!r}")

    @property
    def hex(self) -> str:
        return self.data.hex()

    @property
    def text(self) -> str:
        return self.data.decode("ascii")

    @classmethod
    def random(cls) -> "Key":
        # Each of the 95 printable characters equally likely.
        return cls(bytes(secrets.choice(PRINTABLE) for _ in range(KEY_LENGTH)))


def from_hex(digits: bytes) -> bytes | None:
    """The bytes that hex digits in either case name, two a byte; None
    where DIGITS is anything else."""
    if re.fullmatch(rb"(?:[0-9A-Fa-f]{2})*", digits) is None:
        return None
    return bytes.fromhex(digits.decode("ascii"))


def key_option(text: bytes | None, hex_digits: bytes | None) -> Key | None:
    """The key that --key or --key-hex gave, or None for the built-in key."""
    if text is not None:
        if not is_key(text):
            raise Refusal(f"--key must be exactly {RULE}, not the bytes {text.hex()}")
        return Key(text)
    if hex_digits is not None:
        data = from_hex(hex_digits)
        if data is None or not is_key(data):
            raise Refusal(f"--key-hex must be ten hex digits that name {RULE}, not {shown(hex_digits)}")
        return Key(data)
    return None


def shown(data: bytes) -> str:
    """DATA quoted for a message: printable ASCII as it is, but a backslash
    doubled, and any other byte as \\xNN."""
    text = "".join("\\\\" if byte == 0x5C else chr(byte) if byte in PRINTABLE else f"\\x{byte:02x}" for byte in data)
    return f'"{text}"'
