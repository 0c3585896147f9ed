"""The same scenario on the simulated Windows 9x system: tools/simrun runs
the installer on the scenario's image with the simulated stand-ins, and the
registry and files it leaves are compared with what the Wine run left.

Both runs start from the same image, so their changes must be equal: the
same keys added and removed, the same values with the same types and bytes,
the same INF files, backups and driver copy. A difference is a fault of the
simulator or a place where Wine does not behave like Windows 9x.

Where Wine is known to differ from Windows 9x, and how the comparison deals
with it:

- Registry text: Wine keeps REG_SZ values as UTF-16 and hands them to the
  "A" functions with a terminating zero whatever size they were written
  with; Windows 9x stores the text up to its first zero byte and one zero
  byte after it (strlen + 1 bytes, whatever size it was given); the
  simulator keeps the bytes as written. Both sides are brought to one
  form (a REG_SZ gets its terminating zero when it lacks one), so that only
  the text counts. The installer always writes its texts with their zero, so
  in practice the form changes nothing.
- Private-profile writes: Wine's WritePrivateProfileString writes the whole
  file back in its own normal form (CRLF lines, no blank lines, no blanks
  around "="). The simulator keeps the file's other lines as they are and
  lays out what it adds as Windows 9x does: a new key after its section's
  last line, a new section at the end after a blank line (Wine writes
  none), and a file that ended without a line end still ends without one
  (Wine's normal form ends every line). Whether Windows 9x keeps every
  other byte of the file is not on record; the simulator assumes it does.
  The sample INF files are in Wine's normal form, end with a line end and
  have the "Strings" section the display name goes into, so both writers
  give the same bytes; an image with blank lines, other line ends, no final
  line end or no "Strings" section would show a difference here that is
  Wine's, not a fault.
- Private-profile reads of an open file: Windows 95/98 answer
  GetPrivateProfileString with the default when another handle has the
  file open, unless every such handle only reads and shares reading alone;
  Wine, like the NT family, reads through any handle that shares reading.
  The simulator answers as Windows 9x does. No scenario holds a file open,
  so the two never meet here.
- Names ending in dots or blanks: Windows 98 drops the dots and blanks
  every name of a path ends in ("X..\\Y" is X\\Y, "INF \\IRMINI.INF" is
  INF\\IRMINI.INF); the NT family refuses a folder name inside a path that
  ends in two dots or a blank ("X..\\Y", "X \\Y"; Wine's conformance test
  takes either answer). The simulator drops them as Windows 98 does. No
  scenario uses such a name.
- Key deletion: RegDeleteKey removes a key with its subkeys on Windows 9x,
  and in Wine only when the program runs in Windows 98 mode (the NT family
  refuses a key that has subkeys). The Wine runs set that mode for
  NLSETUP.EXE (winerun.WINE98_DEFAULTS); the simulator deletes like 9x.
- Wine's recursive deletion is faulty: in Windows 98 mode its RegDeleteKeyA
  (Wine 8, dlls/kernelbase/registry.c) does not reset the name length
  between its enumeration calls and leaves subkeys behind when a key has
  several. The program never relies on it: it deletes depth first itself,
  so each RegDeleteKeyA it makes meets a key without subkeys. The german
  scenario gives the transport it removes several subkeys, one two levels
  down, and checks that all of it goes.
- Private-profile cache: Windows 95/98/Me keep the most recently used
  profile file in a cache, and a WritePrivateProfileString change reaches
  the disk only when the cache is flushed (or another profile file is
  used); other processes and file calls meanwhile see the old file. Wine
  writes through at once. The simulator models the cache (and writes an
  unflushed copy back when the program ends), so only the simulated runs
  can show a missing flush; under Wine, relay tracing shows the flush calls
  themselves.
- Subkey order: Windows 9x enumerates a key's subkeys in the order its
  registry file keeps them (a list; a key added later goes after its
  siblings), which is the order of a regedit export; Wine, like the NT
  family, enumerates them sorted by name. The simulator enumerates in the
  image's listing order. Registry contents are compared as sets of keys and
  values, so the order alone is no difference; but where the image lists a
  key out of sorted order, the installer may look at other subkeys under
  Wine than on Windows 9x (it looks only at the first ten and deletes the
  first match), and the two runs may then differ in what they remove. The
  scenarios' images list the subkeys the installer looks at sorted, so
  both runs remove the same keys.
- Drives without their medium: on Windows 9x a file call on a CD-ROM or
  floppy drive without its disc shows the critical-error box (retry or
  cancel) and waits for the user, unless the process's error mode holds
  SEM_FAILCRITICALERRORS; Wine only records the error mode and fails the
  call quietly, and its drives are host folders that are always there. The
  simulator models drives by kind (a CD-ROM with its disc is read-only) and
  ends a run where the box would wait, so only simulated runs can show a
  missing error mode. The scenarios' images have fixed drives only.
- Deleting an open file: Windows 95/98 delete a file that another program
  holds open; Wine, like the NT family, refuses with a sharing violation.
  The simulator deletes as 9x does. No scenario holds a file open, so the
  two never meet here.
- Focus across threads: SetFocus reaches only windows of the caller's
  thread or of a thread whose input it has attached; Wine and the
  simulator both keep that rule. The stand-in tools never attach their
  input to the installer's (the real tools do not), so the focus on the
  wizard's list shows that the program attached its own.
- The collector's case (the case scenarios): Wine answers GetVersionExA
  with Windows 98's version only for programs given that version
  (winerun.WINE98_DEFAULTS names NLDIAG.EXE too); drive C: is a Unix folder
  that Wine reports as a fixed disk with its medium. The case holds the
  subkeys in Wine's sorted order, and the image made from it keeps that
  order, so the prediction looks at the same subkeys as the Wine run; on
  Windows 9x the case holds the PC's own order in the same way.
- Keys Wine makes for itself (its own device classes under
  ...\\Services\\Class, for instance) are in the Wine prefix before the run
  and not in the image. So the image's keys are compared with Wine's
  registry before the run, and then the changes of both runs: equal
  changes on an equally seeded registry mean equal registries after.
"""

import json
import os
import re
import shutil
import subprocess
import tempfile
from dataclasses import dataclass, field

import regfile
import winerun
from checks import Check

# The files a run may write, compared byte for byte.
COMPARED_FILES = (
    "C:\\WINDOWS\\INF\\IRMINI.INF", "C:\\WINDOWS\\INF\\IRMINI.BAK",
    "C:\\WINDOWS\\INF\\INFRARED.INF", "C:\\WINDOWS\\INF\\INFRARED.BAK",
    "C:\\WINDOWS\\INF\\NL-TEMP.INF", "C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys",
)

# LC_ALL of a Wine run -> the user default locale of the simulated system.
LOCALE_IDS = {"de_DE": 0x0407, "de_AT": 0x0C07, "en_US": 0x0409}

# Stand-in options for tools that cannot be started at all (no rundll32).
NO_TOOLS = "installer=failstart,wizard=failstart,panel=failstart"


@dataclass
class SimOutcome:
    ok: bool
    problem: str = ""           # why the simulated run could not be used
    virtual_ms: int = 0         # the program's sleeps on the virtual clock
    registry_before: dict = field(default_factory=dict)
    registry_after: dict = field(default_factory=dict)
    files_after: dict = field(default_factory=dict)


def locale_id(locale):
    return LOCALE_IDS[locale.split(".")[0]]


def find_simrun(source_dir):
    """simrun from the host builds below NL_BUILD_ROOT (default build); the
    sanitizer build first, which the whole test suite builds afresh."""
    root = os.path.join(source_dir, os.environ.get("NL_BUILD_ROOT", "build"))
    for folder in ("host-asan", "host"):
        path = os.path.join(root, folder, "simrun")
        if os.access(path, os.X_OK):
            return path
    return None


def apply_reg_text(image_reg, extra):
    """The image's REGEDIT4 text with `extra` applied: deletion entries
    ("name"=-) remove the value's line from its key, everything else is
    appended (the simulator's import adds and replaces values)."""
    lines = image_reg.replace("\r\n", "\n").split("\n")
    appended = []
    key = None
    for line in extra.replace("\r\n", "\n").split("\n"):
        if line.startswith("[") and line.endswith("]"):
            key = line
            appended.append(line)
            continue
        deleted = re.match(r'^(@|"(?:[^"\\]|\\.)*")=-$', line)
        if deleted and key is not None:
            lines = _without_value(lines, key, deleted.group(1))
        else:
            appended.append(line)
    return "\n".join(lines).rstrip("\n") + "\n\n" + "\n".join(appended) + "\n"


def _without_value(lines, key, name):
    out, inside = [], False
    for line in lines:
        if line.startswith("["):
            inside = line.lower() == key.lower()
        elif inside and line.lower().startswith(name.lower() + "="):
            continue
        out.append(line)
    return out


def make_image(setup, folder):
    """A copy of the scenario's image with its extra files, removed files
    and extra registry lines, as the Wine run's prefix is seeded."""
    shutil.copytree(setup.image, folder)
    drive_c = os.path.join(folder, "drive_c")
    for path, content in setup.extra_files.items():
        host = winerun.find_case_insensitive(drive_c, path[3:])
        os.makedirs(os.path.dirname(host), exist_ok=True)
        with open(host, "wb") as f:
            f.write(content)
    for path in setup.removed_files:
        host = winerun.find_case_insensitive(drive_c, path[3:])
        if os.path.exists(host):
            os.remove(host)
    if setup.extra_reg:
        reg_path = os.path.join(folder, "system.reg")
        with open(reg_path, "rb") as f:
            text = f.read().decode("cp1252")
        with open(reg_path, "wb") as f:
            f.write(apply_reg_text(text, setup.extra_reg).encode("cp1252"))


def subtrees(keys):
    """The keys below the subtrees the Wine runs export."""
    wanted = [s.lower() for s in winerun.EXPORTED_KEYS]
    return {p: k for p, k in keys.items()
            if any(p == w or p.startswith(w + "\\") for w in wanted)}


def read_reg(path):
    with open(path, "rb") as f:
        return subtrees(regfile.parse_export(f.read()))


def run_simulated(simrun, setup, standin):
    """Runs simrun on the scenario's image; the outcome holds the exported
    subtrees before and after and the compared files after."""
    work = tempfile.mkdtemp(prefix="nl-sim-")
    try:
        image = os.path.join(work, "image")
        make_image(setup, image)
        return _simulate(simrun, image, locale_id(setup.locale), setup.runs, standin, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def _simulate(simrun, image, locale, runs, standin, work):
    """simrun on the image, with the locale given or (None) the image's own."""
    kept = os.path.join(work, "after")
    command = [simrun, "--image", image] + (
        ["--locale", hex(locale)] if locale is not None else []) + [
        "--runs", str(runs), "--keep", kept]
    if standin:
        command += ["--standin", standin]
    run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         timeout=120)
    output = run.stdout.decode("utf-8", "replace")
    # Exit 1 is a run that waited for the user or was ended under the program
    # (Windows restarted): its system is kept and compared all the same.
    if run.returncode not in (0, 1) or not os.path.isdir(kept):
        return SimOutcome(False, "simrun exit %d: %s" % (run.returncode, output[-400:]))
    ending = re.search(r"and (\d+) ms of virtual time", output)
    files = {}
    for path in COMPARED_FILES:
        host = winerun.find_case_insensitive(os.path.join(kept, "drive_c"), path[3:])
        files[path] = open(host, "rb").read() if os.path.isfile(host) else None
    return SimOutcome(True, "", int(ending.group(1)) if ending else 0,
                      read_reg(os.path.join(image, "system.reg")),
                      read_reg(os.path.join(kept, "system.reg")), files)


def make_image_from_case(simrun, case_file, work):
    """simrun --make-image --case on the case: (image folder, None), or
    (None, why not)."""
    case_path, image = os.path.join(work, "NLCASE.TXT"), os.path.join(work, "image")
    with open(case_path, "wb") as f:
        f.write(case_file)
    made = subprocess.run([simrun, "--make-image", image, "--case", case_path],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    if made.returncode != 0:
        return None, "simrun --make-image --case exit %d: %s" % (
            made.returncode, made.stdout.decode("utf-8", "replace")[-600:])
    return image, None


def predict_from_case(simrun, case_file, standin):
    """What simrun predicts from a case NLDIAG.EXE wrote: the image made by
    simrun --make-image --case, run with the locale the case gives (the
    image's own, from its image.txt)."""
    work = tempfile.mkdtemp(prefix="nl-case-")
    try:
        image, problem = make_image_from_case(simrun, case_file, work)
        if image is None:
            return SimOutcome(False, problem)
        return _simulate(simrun, image, None, 1, standin, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def before_run_from_case(simrun, case_file):
    """simrun's before_run findings (JSON) on the image made from the case:
    (list of {goal, status, cause}, None) or (None, why not)."""
    work = tempfile.mkdtemp(prefix="nl-case-")
    try:
        image, problem = make_image_from_case(simrun, case_file, work)
        if image is None:
            return None, problem
        run = subprocess.run([simrun, "--image", image, "--json"], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, timeout=120)
        try:
            return json.loads(run.stdout.decode("utf-8"))["before_run"], None
        except (ValueError, KeyError) as error:
            return None, "simrun --json exit %d: %s (%s)" % (
                run.returncode, error, run.stderr.decode("utf-8", "replace")[-300:])
    finally:
        shutil.rmtree(work, ignore_errors=True)


def normal_form(key):
    """A key's values as comparable text lines (see the module comment)."""
    lines = []
    for name in sorted(key.values):
        value = key.values[name]
        data = value.data
        if value.type == regfile.REG_SZ and not data.endswith(b"\0"):
            data += b"\0"
        lines.append(regfile.describe(regfile.Value(value.name, value.type, data)))
    return lines


def changes(before, after):
    """{key path: value lines after, or None when the key went away} for
    every key the run added, removed or changed."""
    out = {}
    for path in set(before) | set(after):
        was = normal_form(before[path]) if path in before else None
        now = normal_form(after[path]) if path in after else None
        if was != now:
            out[path] = now
    return out


def differences(wine_result, sim):
    """Readable lines, one per difference between the two runs."""
    found = []
    # Both start from the image: its keys must have reached Wine's registry
    # as they stand in it, so that equal changes mean equal registries.
    wine_before = subtrees(wine_result.registry_before)
    for path in sorted(sim.registry_before):
        image = normal_form(sim.registry_before[path])
        seeded = normal_form(wine_before[path]) if path in wine_before else None
        if seeded != image:
            found.append("key %s: seeded into Wine as %s, the image has %s" % (
                path, _key_state(seeded), _key_state(image)))
    wine_changes = changes(wine_before, subtrees(wine_result.registry_after))
    sim_changes = changes(sim.registry_before, sim.registry_after)
    for path in sorted(set(wine_changes) | set(sim_changes)):
        in_wine, in_sim = path in wine_changes, path in sim_changes
        wine_now, sim_now = wine_changes.get(path), sim_changes.get(path)
        if in_wine and in_sim and wine_now == sim_now:
            continue
        if not in_sim:
            sim_now = normal_form(sim.registry_after[path]) \
                if path in sim.registry_after else None
            found.append("key %s: changed only under Wine (Wine %s, simulator %s)" % (
                path, _key_state(wine_now), _key_state(sim_now)))
        elif not in_wine:
            found.append("key %s: changed only in the simulator (simulator %s)" % (
                path, _key_state(sim_now)))
        else:
            found.append("key %s: Wine %s, simulator %s" % (
                path, _key_state(wine_now), _key_state(sim_now)))
    for path in COMPARED_FILES:
        wine_bytes, sim_bytes = wine_result.files_after.get(path), sim.files_after.get(path)
        if wine_bytes != sim_bytes:
            found.append("file %s: Wine %s, simulator %s%s" % (
                path, _file_state(wine_bytes), _file_state(sim_bytes),
                _first_difference(wine_bytes, sim_bytes)))
    return found


def _key_state(lines):
    if lines is None:
        return "absent"
    return "{%s}" % "; ".join(lines) if lines else "{no values}"


def _file_state(data):
    return "absent" if data is None else "%d bytes" % len(data)


def _first_difference(a, b):
    if a is None or b is None:
        return ""
    at = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
    return ", first difference at byte %d: %r / %r" % (at, a[at:at + 30], b[at:at + 30])


class SimulatorAgrees(Check):
    """The simulated run of the same scenario left the same registry changes
    and files as the Wine run."""

    def __init__(self, outcome):
        self.outcome = outcome

    def paths(self):
        return COMPARED_FILES

    def describe(self):
        return "simulated run left the same registry changes and files"

    def evaluate(self, result):
        if not self.outcome.ok:
            return False, self.outcome.problem
        found = differences(result, self.outcome)
        if not found:
            return True, "equal"
        return False, "%d differences:\n    %s" % (len(found), "\n    ".join(found))


class CasePredictionAgrees(Check):
    """NLDIAG.EXE collected the case in the Wine prefix before the program
    ran; simrun's image made from that case alone, run on the simulated
    system, predicted every registry change and file the Wine run left."""

    def __init__(self, simrun, standin):
        self.simrun, self.standin = simrun, standin

    def paths(self):
        return COMPARED_FILES

    def describe(self):
        return "the prediction from NLDIAG.EXE's case equals the outcome"

    def evaluate(self, result):
        if result.case_exit != 0 or result.case_file is None:
            return False, "NLDIAG.EXE exit %s, case file %s" % (
                result.case_exit, "missing" if result.case_file is None else "written")
        if not self.simrun:
            return False, "simrun not found: build the host preset or give --simrun"
        outcome = predict_from_case(self.simrun, result.case_file, self.standin)
        if not outcome.ok:
            return False, outcome.problem
        found = differences(result, outcome)
        if not found:
            return True, "equal"
        return False, "%d differences:\n    %s" % (len(found), "\n    ".join(found))


class CaseBeforeRunReached(Check):
    """The case NLDIAG.EXE collected after a complete run: simrun's
    before_run, on the image made from it, finds every goal the registry
    and files show already reached."""

    def __init__(self, simrun):
        self.simrun = simrun

    def describe(self):
        return "before_run on the image from the case: every goal reached"

    def evaluate(self, result):
        if result.case_file is None:
            return False, "no case file"
        if not self.simrun:
            return False, "simrun not found: build the host preset or give --simrun"
        goals, problem = before_run_from_case(self.simrun, result.case_file)
        if goals is None:
            return False, problem
        open_goals = ["%s %s: %s" % (g["goal"], g["status"], g.get("cause", ""))
                      for g in goals if g["status"] != "reached"]
        if not goals or open_goals:
            return False, "; ".join(open_goals) or "no goals"
        return True, "%d goals reached" % len(goals)
