"""Runs NLSETUP.EXE under Wine on a system image and collects what it left.

A system image is a folder in the simulator's format: system.reg (REGEDIT4)
with the machine's registry, and drive_c/ with its files. Every run gets a
fresh 32-bit Wine prefix copied from a cached template, seeded from the image,
with NLSETUP.EXE and the stand-in rundll32.exe in C:\\NLSETUP\\.
"""

import fcntl
import hashlib
import os
import re
import shutil
import subprocess
import tempfile
import time
from dataclasses import dataclass, field

import regfile

PROGRAM_DIR = "NLSETUP"  # C:\NLSETUP\
STANDIN_LOG = "standin.log"

# Registry subtrees read back after a run (HKEY_LOCAL_MACHINE).
EXPORTED_KEYS = (
    "Enum",
    "System\\CurrentControlSet\\Services\\Class",
)

WINE98_DEFAULTS = (
    "[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\NLSETUP.EXE]\r\n"
    '"Version"="win98"\r\n\r\n'
    # The collector too, so that its case names Windows 98's version.
    "[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\NLDIAG.EXE]\r\n"
    '"Version"="win98"\r\n\r\n'
    # No window manager runs on the virtual display: windows left to one
    # would make every hide and destroy wait 2 s for it to answer.
    "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"
    '"Managed"="N"\r\n\r\n'
)


# Traces the program's Sleep calls for the wall-time account: Wine's relay
# tracing (WINEDEBUG=+pid,+relay, for the program's run only), narrowed to
# Sleep and GetProcessVersion, with the process on every line. Wine's own
# processes and the stand-in tools sleep too, so only the processes that
# poll other processes by GetProcessVersion, which the program alone does,
# are counted.
SLEEP_TRACE = ("KERNEL32.Sleep;KERNELBASE.Sleep;"
               "KERNEL32.GetProcessVersion;KERNELBASE.GetProcessVersion")
# Traces the program's private-profile writes, to show the display-name
# write and the two flushes of the 9x profile cache right after it (Wine
# writes through, so only the calls themselves can be seen here).
PROFILE_TRACE = "KERNEL32.WritePrivateProfileStringA"


def relay_trace_registry(setup):
    """The registry lines that narrow Wine's relay tracing to the calls the
    run traces; empty when it traces none."""
    functions = ([SLEEP_TRACE] if setup.trace_sleeps else []) + \
                ([PROFILE_TRACE] if setup.trace_profile else [])
    if not functions:
        return ""
    return ("[HKEY_CURRENT_USER\\Software\\Wine\\Debug]\r\n"
            '"RelayInclude"="%s"\r\n\r\n' % ";".join(functions))


RELAY_CALL = re.compile(r"^([0-9a-fA-F]+):[0-9a-fA-F]+:Call (?:KERNEL32|KERNELBASE)\."
                        r"(Sleep|GetProcessVersion)\(([0-9a-fA-F]+)\)", re.MULTILINE)


def traced_sleeps(output):
    """The arguments (ms) of the program's Sleep calls, in order, from
    relay-traced output."""
    calls = [(m.group(1), m.group(2), int(m.group(3), 16))
             for m in RELAY_CALL.finditer(output)]
    program = {pid for pid, name, _ in calls if name == "GetProcessVersion"}
    return [ms for pid, name, ms in calls if name == "Sleep" and pid in program]


PROFILE_CALL = re.compile(r"^[0-9a-fA-F]+:[0-9a-fA-F]+:Call KERNEL32\."
                          r"WritePrivateProfileStringA\((.*)\) ret=[0-9a-fA-F]+$",
                          re.MULTILINE)
# One argument as relay tracing shows a string: its address, then the text
# in quotes unless the pointer is null.
PROFILE_ARGUMENT = re.compile(r'([0-9a-fA-F]{8})(?: "((?:[^"\\]|\\.)*)")?')


def traced_profile_writes(output):
    """The program's WritePrivateProfileStringA calls, in order, from
    relay-traced output: (section, key, value, file) tuples, None for a
    null pointer."""
    return [tuple(None if int(address, 16) == 0 else re.sub(r"\\(.)", r"\1", text)
                  for address, text in PROFILE_ARGUMENT.findall(match.group(1)))
            for match in PROFILE_CALL.finditer(output)]


class RunError(Exception):
    """The run could not be carried out (not a failed check)."""


def base_environment(prefix, locale="en_US.UTF-8"):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": prefix,
        "WINEARCH": "win32",
        "WINEDEBUG": "-all",
        # No Mono or Gecko installers: the runs need neither.
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "LC_ALL": locale,
        "LANG": locale,
    })
    env.pop("NL_STANDIN", None)
    env.pop("NL_STANDIN_LOG", None)
    return env


def wine(env, *args, timeout=120, cwd=None):
    """Runs a Wine command; its output comes back as the result's stdout.
    The output goes through a file, not a pipe: Wine's own processes and
    any the command starts inherit it, and a pipe would keep the call
    waiting until the last of them had ended."""
    with tempfile.TemporaryFile() as out:
        result = subprocess.run(["wine", *args], env=env, cwd=cwd, timeout=timeout,
                                stdout=out, stderr=subprocess.STDOUT)
        out.seek(0)
        result.stdout = out.read()
    return result


def stop_wineserver(env, kill=False):
    """Waits for the prefix's processes to end (or ends them with kill)."""
    if not kill:
        try:
            subprocess.run(["wineserver", "-w"], env=env, timeout=90,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            return
        except subprocess.TimeoutExpired:
            pass  # something hangs: end it
    subprocess.run(["wineserver", "-k"], env=env, timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wine_version():
    return subprocess.run(["wine", "--version"], stdout=subprocess.PIPE,
                          text=True).stdout.strip()


def ensure_template(cache_dir):
    """The initialised 32-bit prefix, made once and reused while the Wine
    version stays the same."""
    template = os.path.join(cache_dir, "prefix")
    marker = os.path.join(cache_dir, "wine-version")
    os.makedirs(cache_dir, exist_ok=True)
    with open(os.path.join(cache_dir, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        version = wine_version()
        if os.path.isdir(template) and os.path.exists(marker):
            with open(marker) as f:
                if f.read().strip() == version:
                    return template
        shutil.rmtree(template, ignore_errors=True)
        if os.path.exists(marker):
            os.remove(marker)
        env = base_environment(template)
        result = subprocess.run(["wineboot", "-i"], env=env, timeout=600,
                                stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)
        stop_wineserver(env)
        if result.returncode != 0 or not os.path.isdir(
                os.path.join(template, "drive_c", "windows")):
            raise RunError("wineboot failed:\n" + result.stdout.decode(
                "utf-8", "replace"))
        with open(marker, "w") as f:
            f.write(version + "\n")
        return template


def find_case_insensitive(root, relative):
    """Maps a Windows-style relative path onto an existing host path under
    root, matching each component without regard to case as Wine does.
    Components that do not exist keep their spelling."""
    path = root
    for part in [p for p in relative.replace("\\", "/").split("/") if p]:
        match = None
        if os.path.isdir(path):
            lowered = part.lower()
            for entry in os.listdir(path):
                if entry.lower() == lowered:
                    match = entry
                    break
        path = os.path.join(path, match or part)
    return path


def merge_tree(source, drive_c):
    """Copies the image's drive_c into the prefix's, merging folders whose
    names differ only in case (C:\\WINDOWS is Wine's drive_c/windows)."""
    for folder, _, files in os.walk(source):
        relative = os.path.relpath(folder, source)
        target = find_case_insensitive(drive_c, relative if relative != "." else "")
        os.makedirs(target, exist_ok=True)
        for name in files:
            shutil.copyfile(os.path.join(folder, name),
                            find_case_insensitive(target, name))


@dataclass
class RunSetup:
    """How one run is prepared."""
    image: str                      # folder with system.reg and drive_c/
    locale: str = "de_DE.UTF-8"     # LC_ALL of the run: the user's locale
    standin: str = ""               # NL_STANDIN options of the stand-in tools
    place_standin: bool = True      # put rundll32.exe beside the program
    remove_system_rundll: bool = False  # delete Wine's own rundll32.exe
    extra_reg: str = ""             # REGEDIT4 lines added to the image's
    extra_files: dict = field(default_factory=dict)   # C: path -> bytes
    removed_files: tuple = ()       # C: paths deleted before the run
    timeout: int = 180              # seconds for the program's run
    runs: int = 1                   # how often the program runs in a row
    trace_sleeps: bool = False      # record the program's Sleep calls
    trace_profile: bool = False     # record its WritePrivateProfileStringA calls
    collect_case: bool = False      # run NLDIAG.EXE /quiet before the program
    runs_before: int = 0            # program runs before the case is collected


@dataclass
class RunResult:
    exit_code: object       # int, or None when the program did not end
    seconds: float
    registry_before: dict   # key path (lower case) -> regfile.Key
    registry_after: dict
    files_before: dict      # C: path -> bytes, or None when absent
    files_after: dict
    standin_log: str
    program_output: str
    program_seconds: float = 0.0    # the program's own processes, start to end
    program_span: tuple = (0.0, 0.0)  # time.monotonic() at its start and end
    sleeps_ms: list = None          # its Sleep arguments, when traced
    profile_writes: list = None     # its profile writes, when traced
    case_file: bytes = None         # NLCASE.TXT as NLDIAG.EXE wrote it
    case_exit: object = None        # NLDIAG.EXE's exit code


def seed_registry(env, prefix, setup):
    with open(os.path.join(setup.image, "system.reg"), "rb") as f:
        image_reg = f.read().decode("cp1252")
    if not image_reg.startswith("REGEDIT4"):
        raise RunError("system image registry is not a REGEDIT4 file")
    text = image_reg.rstrip("\r\n") + "\n\n" + WINE98_DEFAULTS
    text += relay_trace_registry(setup)
    if setup.extra_reg:
        text += setup.extra_reg + "\n"
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    seed = os.path.join(prefix, "drive_c", "nl-seed.reg")
    with open(seed, "wb") as f:
        f.write(text.encode("cp1252"))
    result = wine(env, "regedit", "/S", "C:\\nl-seed.reg")
    os.remove(seed)
    if result.returncode != 0:
        raise RunError("regedit could not import the image's registry")


def export_registry(env, prefix):
    """The exported subtrees, parsed; a subtree that does not exist is
    simply missing."""
    keys = {}
    for subtree in EXPORTED_KEYS:
        target = os.path.join(prefix, "drive_c", "nl-export.reg")
        if os.path.exists(target):
            os.remove(target)
        wine(env, "regedit", "/E", "C:\\nl-export.reg",
             "HKEY_LOCAL_MACHINE\\" + subtree)
        if os.path.exists(target):
            with open(target, "rb") as f:
                keys.update(regfile.parse_export(f.read()))
            os.remove(target)
    return keys


def place_program(setup, drive_c, exe_dir):
    program_dir = find_case_insensitive(drive_c, PROGRAM_DIR)
    os.makedirs(program_dir, exist_ok=True)
    shutil.copyfile(os.path.join(exe_dir, "NLSETUP.EXE"),
                    os.path.join(program_dir, "NLSETUP.EXE"))
    if setup.collect_case:
        shutil.copyfile(os.path.join(exe_dir, "NLDIAG.EXE"),
                        os.path.join(program_dir, "NLDIAG.EXE"))
    if setup.place_standin:
        shutil.copyfile(os.path.join(exe_dir, "rundll32.exe"),
                        os.path.join(program_dir, "rundll32.exe"))
    if setup.remove_system_rundll:
        for folder in ("windows/system32", "windows"):
            path = find_case_insensitive(drive_c, folder + "/rundll32.exe")
            if os.path.exists(path):
                os.remove(path)


def run_program(setup, exe_dir, template, read_paths=()):
    """Carries out one run and returns what it left behind: the registry
    subtrees and the files named by read_paths (C: paths), before and after
    the program ran. The prefix is removed afterwards."""
    work = tempfile.mkdtemp(prefix="nl-wine-")
    prefix = os.path.join(work, "prefix")
    env = base_environment(prefix, setup.locale)
    try:
        subprocess.run(["cp", "-a", template, prefix], check=True)
        drive_c = os.path.join(prefix, "drive_c")
        seed_registry(env, prefix, setup)
        merge_tree(os.path.join(setup.image, "drive_c"), drive_c)
        place_program(setup, drive_c, exe_dir)
        for path, content in setup.extra_files.items():
            host = find_case_insensitive(drive_c, path[3:])
            os.makedirs(os.path.dirname(host), exist_ok=True)
            with open(host, "wb") as f:
                f.write(content)
        for path in setup.removed_files:
            host = find_case_insensitive(drive_c, path[3:])
            if os.path.exists(host):
                os.remove(host)

        def read_file(path):
            host = find_case_insensitive(drive_c, path[3:])
            if not os.path.isfile(host):
                return None
            with open(host, "rb") as f:
                return f.read()

        env_run = dict(env)
        if setup.standin:
            env_run["NL_STANDIN"] = setup.standin
        program_dir = find_case_insensitive(drive_c, PROGRAM_DIR)
        # Earlier runs whose traces the case must show, then the collector,
        # as a customer runs it before calling support.
        for _ in range(setup.runs_before):
            wine(env_run, "C:\\%s\\NLSETUP.EXE" % PROGRAM_DIR, timeout=setup.timeout,
                 cwd=program_dir)
            stop_wineserver(env)
        log_path = find_case_insensitive(program_dir, STANDIN_LOG)
        if setup.runs_before and os.path.exists(log_path):
            os.remove(log_path)  # the log tells of the measured run alone
        case_file, case_exit = None, None
        if setup.collect_case:
            collected = wine(env, "C:\\%s\\NLDIAG.EXE" % PROGRAM_DIR, "/quiet",
                             timeout=120, cwd=program_dir)
            stop_wineserver(env)
            case_exit = collected.returncode
            case_file = read_file("C:\\%s\\NLCASE.TXT" % PROGRAM_DIR)
            # A support engineer's copy of the case, to try the kit on it.
            keep = os.environ.get("NL_KEEP_CASES")
            if keep and case_file is not None:
                os.makedirs(keep, exist_ok=True)
                name = "%s-%d-%s.txt" % (setup.locale.split(".")[0], setup.runs_before,
                                         hashlib.sha1(repr(setup).encode()).hexdigest()[:6])
                with open(os.path.join(keep, name), "wb") as f:
                    f.write(case_file)

        files_before = {p: read_file(p) for p in read_paths}
        registry_before = export_registry(env, prefix)
        stop_wineserver(env)

        if setup.trace_sleeps or setup.trace_profile:
            env_run["WINEDEBUG"] = "+pid,+relay"
        started = time.monotonic()
        exit_code, output, program_seconds = None, "", 0.0
        span = [None, None]
        for _ in range(setup.runs):
            try:
                program_started = time.monotonic()
                span[0] = span[0] or program_started
                result = wine(env_run, "C:\\%s\\NLSETUP.EXE" % PROGRAM_DIR,
                              timeout=setup.timeout, cwd=program_dir)
                span[1] = time.monotonic()
                program_seconds += span[1] - program_started
                output += result.stdout.decode("utf-8", "replace")
                # The stand-in tools may outlive the program by a few seconds.
                stop_wineserver(env)
                # The first non-zero exit code of the runs is kept.
                if exit_code in (None, 0):
                    exit_code = result.returncode
            except subprocess.TimeoutExpired:
                exit_code = None
                output += "(no exit within %d s)" % setup.timeout
                stop_wineserver(env, kill=True)
                break
        seconds = time.monotonic() - started

        # The tools have ended (see above): nothing is left to wait for.
        registry_after = export_registry(env, prefix)
        log = read_file("C:\\%s\\%s" % (PROGRAM_DIR, STANDIN_LOG)) or b""
        return RunResult(exit_code, seconds, registry_before, registry_after,
                         files_before, {p: read_file(p) for p in read_paths},
                         log.decode("cp1252", "replace"), output, program_seconds,
                         tuple(span),
                         traced_sleeps(output) if setup.trace_sleeps else None,
                         traced_profile_writes(output) if setup.trace_profile else None,
                         case_file, case_exit)
    finally:
        try:
            stop_wineserver(env, kill=True)
        except (OSError, subprocess.SubprocessError):
            pass
        shutil.rmtree(work, ignore_errors=True)
