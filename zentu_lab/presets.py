"""The presets that the release makes packages with, and the programs that
each needs, read off CMakePresets.json and the toolchain files."""

import json
import re
import subprocess
from dataclasses import dataclass
from pathlib import Path

from .refusal import Refusal


@dataclass(frozen=True)
class Tool:
    """A program that a preset runs, and the Debian package that brings it."""

    command: str
    package: str

    def runs(self) -> bool:
        # Present but unable to run defeats a look-up on PATH: run it.
        try:
            return (
                subprocess.run(
                    [self.command, "--version"],
                    stdin=subprocess.DEVNULL,
                    stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL,
                    timeout=30,
                ).returncode
                == 0
            )
        except (OSError, subprocess.TimeoutExpired):
            return False


@dataclass(frozen=True)
class Preset:
    """A configure preset that the release packages: the .deb, or an archive."""

    name: str
    generator: str
    tools: tuple[Tool, ...]


NINJA = Tool("ninja", "ninja-build")
DEB_TOOLS = (Tool("dpkg-deb", "dpkg"), Tool("dpkg-shlibdeps", "dpkg-dev"), Tool("file", "file"))


def toolchain_tools(toolchain: Path) -> tuple[Tool, ...]:
    text = toolchain.read_text()
    triplet = re.search(r"^set\(zentu_triplet (\S+)\)", text, re.MULTILINE)
    qemu = re.search(r"^set\(zentu_qemu (\S+)\)", text, re.MULTILINE)
    if triplet is None or qemu is None:
        raise RuntimeError(f"{toolchain} sets no zentu_triplet or zentu_qemu")
    return (Tool(f"{triplet[1]}-g++", f"g++-{triplet[1]}"), Tool(qemu[1], "qemu-user-static"))


def release_presets(source: Path) -> list[Preset]:
    """The default preset, for the .deb, then those with a package preset,
    for the archives, in the order that CMakePresets.json gives."""
    presets = json.loads((source / "CMakePresets.json").read_text())
    configure = {preset["name"]: preset for preset in presets["configurePresets"]}
    archives = [preset["configurePreset"] for preset in presets["packagePresets"] if not preset.get("hidden")]
    found = []
    for name in ["default", *archives]:
        tools: tuple[Tool, ...] = (NINJA,)
        if name == "default":
            tools += DEB_TOOLS
        preset = configure[name]
        while "toolchainFile" not in preset and "inherits" in preset:
            preset = configure[preset["inherits"]]
        if "toolchainFile" in preset:
            tools += toolchain_tools(Path(preset["toolchainFile"].replace("${sourceDir}", str(source))))
        found.append(Preset(name, "DEB" if name == "default" else "TGZ", tools))
    return found


def chosen_presets(source: Path, option: str | None) -> list[Preset]:
    """The presets that --presets names, separated by commas, each once; all
    of them where it is not given."""
    known = release_presets(source)
    if option is None:
        return known
    by_name = {preset.name: preset for preset in known}
    chosen: list[Preset] = []
    for name in option.split(","):
        if name not in by_name:
            names = ", ".join(by_name)
            raise Refusal(f'--presets: no package is made by "{name}": the presets are {names}')
        if by_name[name] not in chosen:
            chosen.append(by_name[name])
    return chosen


def check_tools(presets: list[Preset]) -> None:
    """Refuses, naming the Debian packages to install, where a program that
    the presets need cannot run."""
    needed = list(dict.fromkeys(tool for preset in presets for tool in preset.tools))
    missing = [tool for tool in needed if not tool.runs()]
    if missing:
        commands = ", ".join(tool.command for tool in missing)
        packages = " ".join(dict.fromkeys(tool.package for tool in missing))
        raise Refusal(f"the presets need {commands}, which cannot run here: apt-get install {packages}")
