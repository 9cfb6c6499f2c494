"""The one way a setter's mistake is told."""


class Refusal(Exception):
    """What is wrong with what the setter gave, and what to do, in one line.
    Raised before anything is made; main() prints it and exits with 1."""
