#!/usr/bin/env python3
"""What `cmake --install` puts on the machine fits together.

Every file is there and nothing else is; the icons are RGBA PNGs of the size their folder names;
the desktop entry, the metainfo and the icons use one name; the version and its release date agree
between CMakeLists.txt, the metainfo, the Debian changelog and the manual page; every screenshot
the metainfo shows is committed with the size it states; the manual page formats without warnings.

Usage: check_installed_files.py STAGE_DIR SOURCE_DIR VERSION
"""
import gzip
import os
import re
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

APP_ID = "dev.ferrox.Ferrox"
ICON_SIDES = (16, 24, 32, 48, 64, 128, 256)
SCREENSHOT_URL = "https://ferrox.dev/screenshots/"

failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message)


def png_size(path):
    """Width, height and colour type from a PNG's header chunk."""
    with open(path, "rb") as f:
        head = f.read(26)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    width, height = struct.unpack(">II", head[16:24])
    return width, height, head[25]


def desktop_entry(path):
    entry = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if "=" in line and not line.startswith("#"):
                key, value = line.rstrip("\n").split("=", 1)
                entry[key] = value
    return entry


def main():
    stage, source, version = sys.argv[1:4]
    usr = os.path.join(stage, "usr")
    icons = [f"share/icons/hicolor/{s}x{s}/apps/{APP_ID}.png" for s in ICON_SIDES]
    expected = {
        "bin/ferrox",
        f"share/applications/{APP_ID}.desktop",
        f"share/metainfo/{APP_ID}.metainfo.xml",
        "share/man/man1/ferrox.1.gz",
        "share/bash-completion/completions/ferrox",
        "share/doc/ferrox/copyright",
        "share/doc/ferrox/changelog.gz",
        *icons,
    }
    installed = set()
    for root, _, files in os.walk(stage):
        for name in files:
            installed.add(os.path.relpath(os.path.join(root, name), usr))
    for missing in sorted(expected - installed):
        fail(f"not installed: {missing}")
    for extra in sorted(installed - expected):
        fail(f"installed but not expected: {extra}")
    if failures:
        return 1
    if not os.access(os.path.join(usr, "bin/ferrox"), os.X_OK):
        fail("bin/ferrox is not executable")

    for side, icon in zip(ICON_SIDES, icons):
        header = png_size(os.path.join(usr, icon))
        if header != (side, side, 6):
            fail(f"{icon}: want an RGBA PNG of {side}x{side}, found {header}")

    entry = desktop_entry(os.path.join(usr, f"share/applications/{APP_ID}.desktop"))
    if entry.get("Icon") != APP_ID:
        fail(f"desktop entry: Icon={entry.get('Icon')}, the icons are named {APP_ID}")
    if entry.get("Exec", "").split()[:1] != ["ferrox"]:
        fail(f"desktop entry: Exec={entry.get('Exec')} does not start the installed ferrox")
    if entry.get("Name") != "Ferrox" or not entry.get("Comment"):
        fail("desktop entry: want Name=Ferrox and a Comment")
    if not {"System", "Monitor"} <= set(entry.get("Categories", "").split(";")):
        fail(f"desktop entry: Categories={entry.get('Categories')} lacks System;Monitor;")

    component = ET.parse(os.path.join(usr, f"share/metainfo/{APP_ID}.metainfo.xml")).getroot()
    if component.findtext("id") != APP_ID:
        fail(f"metainfo: id {component.findtext('id')}, want {APP_ID}")
    if component.findtext("launchable[@type='desktop-id']") != f"{APP_ID}.desktop":
        fail("metainfo: the launchable is not the installed desktop entry")
    if component.findtext("provides/binary") != "ferrox":
        fail("metainfo: does not provide the binary ferrox")
    releases = component.findall("releases/release")
    if not releases or releases[0].get("version") != version:
        fail(f"metainfo: the newest release is not {version} (the version in CMakeLists.txt)")
    dates = [r.get("date", "") for r in releases]
    if dates != sorted(dates, reverse=True):
        fail(f"metainfo: releases are not newest first: {dates}")
    release_date = releases[0].get("date") if releases else None
    if component.find("content_rating[@type='oars-1.1']") is None:
        fail("metainfo: no OARS content rating")

    screenshots = component.findall("screenshots/screenshot/image")
    if not screenshots:
        fail("metainfo: no screenshot")
    for image in screenshots:
        url = image.text or ""
        if not url.startswith(SCREENSHOT_URL):
            fail(f"metainfo: screenshot {url} is not under {SCREENSHOT_URL}")
            continue
        committed = os.path.join(source, "data/screenshots", url[len(SCREENSHOT_URL):])
        if not os.path.isfile(committed):
            fail(f"metainfo: screenshot {url} is not committed as {committed}")
            continue
        size = png_size(committed)
        stated = (int(image.get("width", 0)), int(image.get("height", 0)))
        if size is None or size[:2] != stated:
            fail(f"metainfo: {committed} is {size and size[:2]}, the metainfo says {stated}")

    with gzip.open(os.path.join(usr, "share/doc/ferrox/changelog.gz"), "rt", encoding="utf-8") as f:
        first = f.readline()
    if not first.startswith(f"ferrox ({version})"):
        fail(f"changelog: the newest entry is '{first.strip()}', want ferrox ({version})")

    manual_path = os.path.join(usr, "share/man/man1/ferrox.1.gz")
    with gzip.open(manual_path, "rt", encoding="utf-8") as f:
        title = next((line for line in f if line.startswith(".TH")), "")
    if f'"Ferrox {version}"' not in title or f'"{release_date}"' not in title:
        fail(f"manual page: title line '{title.strip()}' lacks version {version} or date {release_date}")
    # The same formatting check lintian makes.
    if shutil.which("man"):
        env = dict(os.environ, LC_ALL="C.UTF-8", MANROFFSEQ="", MANWIDTH="80")
        run = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", manual_path],
                             env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if run.returncode != 0 or run.stderr.strip():
            fail(f"manual page: formatting warnings: {run.stderr.strip()}")
    else:
        print("note: man is not installed; the manual page's formatting was not checked")

    if failures:
        return 1
    print(f"{len(expected)} files installed and consistent for Ferrox {version}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
