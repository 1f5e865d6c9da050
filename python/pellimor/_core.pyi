# The compiled core of pellimor; the package's functions call it.
from typing import Any

def counts(args: list[str]) -> list[dict[str, Any]]: ...
