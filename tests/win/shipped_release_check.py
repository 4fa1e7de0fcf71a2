#!/usr/bin/env python3
# The release zip as a Windows user receives it, against dist/ and against a second making from copies of its
# inputs that differ in everything but content.
#   shipped_release_check.py <dist> <version> <repository> <cmake> <zip>
import os, pathlib, re, shutil, struct, subprocess, sys, tempfile, zipfile

dist, version, src, cmake, zip_exe = sys.argv[1:]
dist, src, name = pathlib.Path(dist), pathlib.Path(src), f"KORVEN-{version}-win32.zip"
(readme,) = [p.name for p in dist.glob("*.txt")]
z, raw, exe = zipfile.ZipFile(dist / name), (dist / readme).read_bytes(), (dist / "KORVEN.exe").read_bytes()
text = raw.removeprefix(b"\xef\xbb\xbf").decode("utf-8")
notice = next(l for l in (src / "NOTICE").read_text("utf-8").splitlines() if l.startswith("出典"))
captions = re.findall(r'\{Id\w+, L"([^"]+)"\}', (src / "menu/frm_menu.cpp").read_text("utf-8"))
ms, ls = struct.unpack_from("<II", exe, exe.index(struct.pack("<I", 0xFEEF04BD)) + 8)  # VS_FIXEDFILEINFO
with tempfile.TemporaryDirectory() as again:
    for f in ("KORVEN.exe", "KORVEN.ini"):
        shutil.copy(dist / f, again), os.utime(f"{again}/{f}", (0, 0)), os.chmod(f"{again}/{f}", 0o600)
    subprocess.run([cmake, f"-DSOURCE={src}", f"-DDIST={again}", f"-DWORK={again}/work", f"-DZIP={zip_exe}",
                    f"-DKORVEN_VERSION={version}", "-P", src / "cmake/release.cmake"], check=True)
    faults = [what for ok, what in [
        (z.namelist() == [f"KORVEN/{f}" for f in ("KORVEN.exe", "KORVEN.ini", readme)], f"zip: {z.namelist()}"),
        (all(z.read(n) == (src / "data" if n.endswith(".ini") else dist).joinpath(n[7:]).read_bytes()
             for n in z.namelist()), "the zip's files are not dist/'s program and readme and data/'s KORVEN.ini"),
        (raw.startswith(b"\xef\xbb\xbf") and b"\n" not in raw.replace(b"\r\n", b""), "readme: no BOM, or not CRLF"),
        # the attribution as NOTICE words it, the version, and every caption of the menu as 「…」
        (notice in text and version in text and captions and all(f"「{c}」" in text for c in captions), "readme"),
        (f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}" == version, "the version record holds another version"),
        (subprocess.run(["sha256sum", "-c", "--strict", name + ".sha256"], cwd=dist).returncode == 0, "checksum"),
        (pathlib.Path(again, name).read_bytes() == (dist / name).read_bytes(), "made again: other bytes")] if not ok]
sys.exit("\n".join("FAIL: " + f for f in faults) or print(f"{name}: {len(z.namelist())} files, all checks passed"))
