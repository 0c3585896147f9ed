"""What a complete installation run leaves behind, computed from the system
image it started from: the edited INF files, the registry entries and the
dialog conversation. Scenarios combine these into their checks."""

import os
import re

import regfile
from checks import (Check, FileBytes, LogCount, LogGap, LogSequence, ProfileWrites,
                    RegKeyExists, RegValue, RegValueNames, log_events)

SCRATCH = "C:\\WINDOWS\\INF"
SOURCE = "C:\\WINDOWS\\OPTIONS\\CABS"
PROGRAM_DIR = "C:\\NLSETUP"
HARDWARE_ID = "USB\\VID_1B4E&PID_0430"
DISPLAY_NAME = "Norvik Lumens NL-470 USB Infrared Adapter"
CLASS_KEY = "System\\CurrentControlSet\\Services\\Class\\Infrared"
NET_CLASS = "System\\CurrentControlSet\\Services\\Class\\Net"
NETTRANS_CLASS = "System\\CurrentControlSet\\Services\\Class\\NetTrans"
ROOT_NET = "Enum\\Root\\Net"

# The INF edits: (number, file, German only, search, replacement).
INF_EDITS = [
    (1, "IRMINI.INF", False, "irmini.sys", "nl-430.sys"),
    (2, "IRMINI.INF", False, "InfraredTransceiverType,type,,enum",
     "InfraredTransceiverType,type,,%GenericInfraredPort%"),
    (3, "IRMINI.INF", True, "DeviceID=IRMINI", "DeviceID=" + HARDWARE_ID),
    (4, "IRMINI.INF", True, "HKR,Ndi,DeviceID,,IRMINI",
     "HKR,Ndi,DeviceID,," + HARDWARE_ID),
    (5, "IRMINI.INF", True, "HKR,,AdapterName,0,IRMINI",
     "HKR,,AdapterName,0," + HARDWARE_ID),
    (6, "IRMINI.INF", True, "HKR,NDIS,LogDriverName,0,IRMINI",
     "HKR,NDIS,LogDriverName,0," + HARDWARE_ID),
    (7, "IRMINI.INF", True, "HKR,Ndi\\Install,,0,IRMINI",
     "HKR,Ndi\\Install,,0," + HARDWARE_ID),
    (8, "IRMINI.INF", True,
     "AddReg=IRMINI_AddReg, IRMINI_NonPnP_AddReg, IRMINI.reg",
     "AddReg=IRMINI_AddReg, IRMINI.reg"),
    (9, "INFRARED.INF", False, "irmini.sys", "nl-430.sys"),
    (10, "IRMINI.INF", True, "%StandardExpl%=IRMINI_Install,IRMINI",
     "%StandardExpl%=IRMINI_Install," + HARDWARE_ID),
]


def scratch(name):
    return SCRATCH + "\\" + name


# ---- INF files ----

def fold_case(data):
    return bytes(b - 32 if 97 <= b <= 122 else b for b in data)


def replace_ignoring_case(data, search, replacement):
    """Every occurrence of search (ASCII letters compared without case),
    scanned left to right, replaced; the replacement is not scanned again."""
    search_b, replacement_b = search.encode("cp1252"), replacement.encode("cp1252")
    folded, wanted = fold_case(data), fold_case(search_b)
    out, at = bytearray(), 0
    while True:
        hit = folded.find(wanted, at)
        if hit < 0:
            out += data[at:]
            return bytes(out)
        out += data[at:hit] + replacement_b
        at = hit + len(wanted)


def write_profile_key(data, section, key, value):
    """The file as Wine's private-profile writer leaves it after setting
    section/key, for a file already in its normal form (CRLF lines, no blank
    lines): an existing key is replaced where it stands, a new one goes after
    the section's last line, a missing section is added at the end."""
    lines = data.decode("cp1252").split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    section_at = next((i for i, l in enumerate(lines)
                       if l.strip().lower() == "[%s]" % section.lower()), None)
    if section_at is None:
        lines += ["[%s]" % section, "%s=%s" % (key, value)]
    else:
        end = section_at + 1
        while end < len(lines) and not lines[end].startswith("["):
            end += 1
        for i in range(section_at + 1, end):
            name = lines[i].split("=", 1)[0].strip()
            if name.lower() == key.lower():
                lines[i] = "%s=%s" % (name, value)
                break
        else:
            lines.insert(end, "%s=%s" % (key, value))
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")


def apply_edits(data, file_name, numbers):
    for number, target, _, search, replacement in INF_EDITS:
        if target == file_name and number in numbers:
            data = replace_ignoring_case(data, search, replacement)
    return data


def expected_inf_files(image_files, german, reached_late_edit=True):
    """{C: path: bytes} of the INF files and their backups after a run that
    started from the image's unedited files."""
    irmini = image_files[scratch("IRMINI.INF")]
    infrared = image_files[scratch("INFRARED.INF")]
    early = [1, 2] + ([3, 4, 5, 6, 7, 8] if german else [])
    edited = apply_edits(irmini, "IRMINI.INF", early)
    edited = write_profile_key(edited, "Strings", "StandardExpl",
                               '"%s"' % DISPLAY_NAME)
    if german and reached_late_edit:
        edited = apply_edits(edited, "IRMINI.INF", [10])
    return {
        scratch("IRMINI.INF"): edited,
        scratch("IRMINI.BAK"): irmini,
        scratch("INFRARED.INF"): apply_edits(infrared, "INFRARED.INF", [9]),
        scratch("INFRARED.BAK"): infrared,
    }


def profile_string(data, section, key):
    """The value a private-profile reader gives, enclosing quotes dropped."""
    current = None
    for line in data.decode("cp1252").splitlines():
        line = line.strip()
        if line.startswith("[") and "]" in line:
            current = line[1:line.index("]")].strip().lower()
        elif current == section.lower() and "=" in line:
            name, value = line.split("=", 1)
            if name.strip().lower() == key.lower():
                value = value.strip()
                if len(value) >= 2 and value[0] == value[-1] == '"':
                    value = value[1:-1]
                return value
    return ""


def read_image_files(image):
    """The image's files under drive_c as {C: path: bytes}."""
    files = {}
    root = os.path.join(image, "drive_c")
    for folder, _, names in os.walk(root):
        for name in names:
            host = os.path.join(folder, name)
            rel = os.path.relpath(host, root).replace("/", "\\")
            with open(host, "rb") as f:
                files["C:\\" + rel.upper()] = f.read()
    return files


def image_file(files, path):
    return files.get(path.upper())


# ---- Registry ----

def class_key_checks(class_description):
    values = [
        ("", class_description),
        ("Installer", "infrared.dll"),
        ("Icon", "0"),
        ("SilentInstall", "1"),
        ("DevLoader", "*configmg"),
        ("Enumerator", "irenum.vxd"),
        ("PortDriver", "ircomm.vxd"),
        ("Link", "{6bdd1fc5-810f-11d0-bec7-08002be2092f}"),
    ]
    checks = [RegValue(CLASS_KEY, n, regfile.REG_SZ, v) for n, v in values]
    checks.append(RegValue(CLASS_KEY, "PortSubClass", regfile.REG_BINARY, b"\x00"))
    checks.append(RegValueNames(CLASS_KEY, [n for n, _ in values] + ["PortSubClass"]))
    checks.append(RegKeyExists("Enum\\INFRARED"))
    checks.append(RegValue("Enum\\INFRARED\\KnownDevices", "IRMINI",
                           regfile.REG_SZ, "IRMINI"))
    return checks


def port_node_values(kind, friendly, driver, port, description):
    return [
        ("Class", "Ports"), ("HardwareID", "Infrared\\" + kind),
        ("FriendlyName", friendly),
        ("ClassGUID", "{4d36e978-e325-11ce-bfc1-08002be10318}"),
        ("Driver", driver), ("PortName", port), ("DeviceDesc", description),
        ("Mfg", "Microsoft"),
    ]


def virtual_port_checks(written):
    """The hand-written port entries of a German run (or their absence)."""
    com = "Enum\\INFRARED\\COM\\ROOT&INFRARED&0000"
    lpt = "Enum\\INFRARED\\LPT\\ROOT&INFRARED&0000"
    if not written:
        return [RegKeyExists(com, False), RegKeyExists(lpt, False),
                RegKeyExists("Enum\\INFRARED\\VirtualPorts", False),
                RegKeyExists("Enum\\INFRARED\\Framer", False),
                NoValue("Enum\\INFRARED", "Installed")]
    checks = [RegValue("Enum\\INFRARED", "Installed", regfile.REG_BINARY, b"1\x00")]
    for key, values in (
            (com, port_node_values("COM", "Virtueller Infrarot-COM-Anschluss",
                                   "Infrared\\0001", "COM4",
                                   "Infrarot-COM-Anschluss")),
            (lpt, port_node_values("LPT", "Virtueller Infrarot-LPT-Anschluss",
                                   "Infrared\\0002", "LPT3",
                                   "Paralleler Infrarotanschluss (LPT)"))):
        checks += [RegValue(key, n, regfile.REG_SZ, v) for n, v in values]
        checks.append(RegValue(key, "Capabilities", regfile.REG_BINARY,
                               b"\x14\x00\x00\x00"))
        checks.append(RegValue(key, "ConfigFlags", regfile.REG_BINARY,
                               b"\x00\x00\x00\x00"))
    checks += [
        RegValue("Enum\\INFRARED\\VirtualPorts", "VirtualComPortName",
                 regfile.REG_SZ, "COM4"),
        RegValue("Enum\\INFRARED\\VirtualPorts", "VirtualLptPortName",
                 regfile.REG_SZ, "LPT3"),
        RegValue("Enum\\INFRARED\\Framer", "PortName", regfile.REG_SZ, "COM0"),
    ]
    return checks


class NoValue(Check):
    def __init__(self, key, name):
        self.key, self.name = key, name

    def describe(self):
        return "no value %s\\%s" % (self.key, self.name)

    def evaluate(self, result):
        key = result.registry_after.get(self.key.lower())
        present = key is not None and self.name.lower() in key.values
        return not present, "present" if present else ""


class AdapterPort(Check):
    """Among the network class instances 0000 to 0009, the first whose
    AdapterName is IRMINI (any case) carries Port "0" and its Ndi\\Params\\Port
    key's unnamed value "0" (when that key exists); no other instance gained
    a Port value. Without the entries (written=False) nothing gained one."""

    def __init__(self, written):
        self.written = written

    def describe(self):
        return "network adapter port number %s" % (
            "written to the first IRMINI adapter" if self.written else "untouched")

    def evaluate(self, result):
        chosen = None
        for n in range(10):
            key = result.registry_before.get(("%s\\000%d" % (NET_CLASS, n)).lower())
            if key is None:
                continue
            name = key.values.get("adaptername")
            if name is not None and text_of(name.data).upper() == "IRMINI":
                chosen = "%s\\000%d" % (NET_CLASS, n)
                break
        problems = []
        for path, before in result.registry_before.items():
            if not path.startswith(NET_CLASS.lower() + "\\"):
                continue
            after = result.registry_after.get(path)
            gained = after is not None and "port" in after.values \
                and "port" not in before.values
            if gained and (not self.written or path != (chosen or "").lower()):
                problems.append("%s gained Port" % before.path)
        if self.written and chosen is not None:
            after = result.registry_after.get(chosen.lower())
            port = after.values.get("port") if after else None
            if port is None or port.type != regfile.REG_SZ or port.data != b"0\x00":
                problems.append("%s Port is %r" % (chosen, port and port.data))
            sub = (chosen + "\\Ndi\\Params\\Port").lower()
            if sub in result.registry_before:
                value = result.registry_after.get(sub, regfile.Key(sub)).values.get("")
                if value is None or value.data != b"0\x00":
                    problems.append("%s\\Ndi\\Params\\Port @ is %r" % (
                        chosen, value and value.data))
        if self.written and chosen is None:
            problems.append("the image has no IRMINI adapter among 0000-0009")
        return not problems, "; ".join(problems)


def text_of(data):
    return data.split(b"\0", 1)[0].decode("cp1252", "replace")


class MatchingSubkeyRemoved(Check):
    """Of the first ten subkeys (in the registry's order) of `parent`, the
    first whose value `name` reads `wanted` (ASCII case ignored, up to the
    first zero byte) is gone with everything beneath it; all other subkeys
    stay. With removed=False the whole subtree is as it was."""

    def __init__(self, parent, name, wanted, removed=True):
        self.parent, self.name, self.wanted = parent, name, wanted
        self.removed = removed

    def describe(self):
        return "%s: subkey with %s=%s %s" % (
            self.parent, self.name, self.wanted,
            "removed" if self.removed else "kept")

    def evaluate(self, result):
        base = self.parent.lower() + "\\"
        children = sorted({p[len(base):].split("\\")[0]
                           for p in result.registry_before if p.startswith(base)})
        victim = None
        for child in children[:10]:
            key = result.registry_before.get(base + child)
            value = key.values.get(self.name.lower()) if key else None
            if value is not None and text_of(value.data).upper() == self.wanted.upper():
                victim = child
                break
        if self.removed and victim is None:
            return False, "the image has no such subkey to remove"
        problems = []
        for path, key in result.registry_before.items():
            if not path.startswith(base):
                continue
            gone = path not in result.registry_after
            should_go = self.removed and (path == base + victim or
                                          path.startswith(base + victim + "\\"))
            if gone != should_go:
                problems.append("%s %s" % (key.path, "gone" if gone else "still there"))
        return not problems, "; ".join(problems)


def removal_checks(removed):
    return [
        MatchingSubkeyRemoved(ROOT_NET, "CompatibleIDs", "IRMINI", removed),
        MatchingSubkeyRemoved(NET_CLASS, "AdapterName", HARDWARE_ID, removed),
        MatchingSubkeyRemoved(NETTRANS_CLASS, "DeviceVxDs", "IRDA.SYS", removed),
    ]


# ---- Dialog conversation ----

LETTERS = [("m", 0x32), ("i", 0x17), ("c", 0x2E), ("r", 0x13), ("o", 0x18),
           ("s", 0x1F), ("o", 0x18), ("f", 0x21), ("t", 0x14)]


def keystroke(role, control, key, char, scan):
    lparam = (scan << 16) + 1
    return [
        r"^%s keydown ctl=%d wp=0x%02X lp=0x%08X hwnd=" % (role, control, key, lparam),
        r"^%s char ctl=%d wp=0x%02X lp=0x%08X hwnd=" % (role, control, char, lparam),
        r"^%s keyup ctl=%d wp=0x%02X lp=0x%08X hwnd=" % (role, control, key,
                                                    lparam | 0xC0000000),
    ]


def user_press(role, control):
    """The log line of a press of the simulated user (the program's own
    presses are logged as commands)."""
    return r'^%s user press ctl=%d on "' % (role, control)


def installer_conversation(german):
    """The program advances the class installer on German systems; on
    others it presses nothing, and the user at the PC (user=clicks) goes
    on."""
    checks = [LogSequence("class installer started with its command line", [
        r"^installer start .*cmd=rundll32 sysdm\.cpl,InstallDevice_Rundll Infrared$",
        r"^installer dialog n=1",
    ])]
    if german:
        checks.append(LogSequence("class installer advanced once", [
            r"^installer command dialog wp=0x00003024 lp=0x[0-9A-F]+ names=ctl=12324 ",
            r"^installer end code=0",
        ]))
        checks.append(LogCount(r"^installer command", 1))
    else:
        checks.append(LogCount(r"^installer command", 0))
        checks.append(LogSequence("class installer advanced by the user", [
            user_press("installer", 12324), r"^installer end code=0"]))
    return checks


def wizard_conversation():
    sequence = [
        r"^wizard start .*cmd=rundll32 sysdm\.cpl,InstallDevice_Rundll$",
        r"^wizard dialog hwnd=",
        r"^wizard hide ",
    ]
    sequence += keystroke("wizard", 1551, 0x41, 0x61, 0x1E)
    sequence += [
        r"^wizard command dialog wp=0x00003024 lp=(0x[0-9A-F]+) names=ctl=12324 ",
        r"^wizard page n=2",
        r"^wizard focus ctl=1580 hwnd=",
    ]
    for letter, scan in LETTERS:
        sequence += keystroke("wizard", 1580, ord(letter), ord(letter), scan)
    sequence += [r"^wizard itemcount ctl=1581 wp=0 lp=0 result="] * 2
    for _ in range(6):
        sequence += keystroke("wizard", 1581, 0x28, 0x28, 0xD0)
    sequence += [
        r"^wizard command dialog wp=0x00003024 lp=0x[0-9A-F]+ names=ctl=12324 ",
        r"^wizard command dialog wp=0x00003025 lp=0x[0-9A-F]+ names=ctl=12324 ",
        r"^wizard finished",
        r"^wizard end code=0",
    ]
    return [
        LogSequence("hardware wizard stepped through", sequence),
        LogCount(r"^wizard keydown ctl=1581 wp=0x28 ", 6),
        LogCount(r"^wizard command", 3),
        LogGap(r"^wizard itemcount", r"^wizard itemcount", 900),
        SettledItemCount(),
    ]


class SettledItemCount(Check):
    """The list-view was read in passes of two readings until a pass found
    no growth: the last two readings are equal, each earlier pass grew."""

    def describe(self):
        return "item count read until the list stopped growing"

    def evaluate(self, result):
        counts = [int(m.group(1)) for _, e in log_events(result.standin_log)
                  for m in [re.search(r"^wizard itemcount ctl=1581 .*result=(\d+)", e)]
                  if m]
        if len(counts) < 2 or len(counts) % 2:
            return False, "readings %s" % counts
        passes = [counts[i:i + 2] for i in range(0, len(counts), 2)]
        ok = passes[-1][1] <= passes[-1][0] and all(b > a for a, b in passes[:-1])
        return ok, "readings %s" % counts


def panel_conversation(title, presses=1):
    return [
        LogSequence("network panel confirmed", [
            r"^panel start .*cmd=rundll32\.exe shell32\.dll,Control_RunDLL Netcpl\.cpl$",
            r'^panel dialog title="%s"' % re.escape(title),
            r"^panel command dialog wp=0x00000001 lp=0x[0-9A-F]+ names=ctl=1 ",
            r"^panel closed presses=%d" % presses,
            r"^panel end code=0",
        ]),
        LogCount(r"^panel command", presses),
    ]


class RepaintedAfterPress(Check):
    """After each OK press that leaves the panel open, the panel is repainted
    without its background being erased. The first press is left out: the
    dialog's own first painting may still be pending then."""

    def describe(self):
        return "panel repainted without erasing after each further OK"

    def evaluate(self, result):
        lines = [e for _, e in log_events(result.standin_log)
                 if re.match(r"^panel (paint|erase|command|closed)", e)]
        presses = [i for i, e in enumerate(lines) if e.startswith("panel command")]
        checked = 0
        for press in presses[1:]:
            following = lines[press + 1] if press + 1 < len(lines) else "(nothing)"
            if following.startswith("panel closed"):
                continue
            if following != "panel paint":
                return False, "after a press came: " + following
            checked += 1
        return checked > 0, "%d presses followed by a repaint" % checked


def display_name_flushed():
    """The display-name write, and right after it the two flushes of the
    profile cache of Windows 95/98/Me: the file named, then none."""
    irmini = scratch("IRMINI.INF")
    return ProfileWrites([("Strings", "StandardExpl", '"%s"' % DISPLAY_NAME, irmini),
                          (None, None, None, irmini),
                          (None, None, None, None)])


def full_run_checks(image, german):
    """Everything a complete run on an unedited image must leave."""
    files = read_image_files(image)
    infrared = image_file(files, scratch("INFRARED.INF"))
    description = profile_string(infrared, "Strings", "Class.Desc") or "Infrared devices"
    expected = expected_inf_files({scratch(n): image_file(files, scratch(n))
                                   for n in ("IRMINI.INF", "INFRARED.INF")}, german)
    driver = image_file(files, PROGRAM_DIR + "\\nl-430.sys")
    checks = class_key_checks(description)
    checks += [FileBytes(path, content) for path, content in expected.items()]
    checks.append(FileBytes(SOURCE + "\\nl-430.sys", driver))
    checks += virtual_port_checks(german)
    checks.append(AdapterPort(german))
    checks += removal_checks(True)
    checks += installer_conversation(german)
    if german:
        checks += wizard_conversation()
    else:
        checks.append(LogCount(r"^wizard ", 0))
    checks += panel_conversation("Netzwerk" if german else "Network")
    return checks
