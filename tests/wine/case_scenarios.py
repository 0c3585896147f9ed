"""The scenarios in which NLDIAG.EXE collects the case before the program
runs: what the case must hold, and the PCs that differ from the sample in
what the case has to carry for the prediction to come out right."""

import expectations as ex
from checks import CaseHolds, ExitCode, FileBytes, LogCount, LogGap, LogSequence

DRIVER_BESIDE = ex.PROGRAM_DIR + "\\nl-430.sys"
DRIVER_COPY = ex.SOURCE + "\\nl-430.sys"


def case_facts(lcid):
    """What the case of a Windows 98 PC with the sample's files holds."""
    return [
        r"^NLDIAG case file 2$",
        r"^windows-version = 4\.10$",
        r"^windows-platform = 1$",
        r"^user-locale = 0x%04X$" % lcid,
        r"^SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup = present, 1 keys, ",
        r"^== file IRMINI\.INF\npath = C:\\WINDOWS\\INF\\IRMINI\.INF\nstate = present$",
        r"^nl-430\.sys = present, \d+ bytes, crc32 0x[0-9A-F]{8}$",
        r"^drive = C:\ntype = 3\nmedium = present\nfolder = present$",
        r"^== end$",
    ]


def german_case_after_run(image):
    """The case collected after a complete run shows what that run left
    (both backups, no temporary file), and simrun's before_run on its image
    finds every goal reached; the second run then restores the backups and
    ends as a first run, as predicted from the case."""
    return [ExitCode(0), CaseHolds("what the earlier run left", [
        r"^== file IRMINI\.BAK\npath = .*\nstate = present$",
        r"^== file INFRARED\.BAK\npath = .*\nstate = present$",
        r"^== file NL-TEMP\.INF\npath = .*\nstate = absent \(error 2\)$",
        r"^Enum\\INFRARED = present, ",
        r"^System\\CurrentControlSet\\Services\\Class\\Infrared = present, ",
        # The matching network entry is gone: the key and one subkey left.
        r"^Enum\\Root\\Net = present, 2 keys, ",
    ])] + [c for c in ex.full_run_checks(image, german=True)
           if not isinstance(c, (LogSequence, LogCount, LogGap, ex.SettledItemCount,
                                 ex.MatchingSubkeyRemoved))]


# ---- A driver file that is not the shipped one ----

def cut_driver(image):
    """The image's driver file cut to its first half, as a download cut
    short leaves it."""
    shipped = ex.image_file(ex.read_image_files(image), DRIVER_BESIDE)
    return shipped[:len(shipped) // 2]


def cut_driver_files(image):
    """The files beside the program on that PC (setup extra_files_from)."""
    return {DRIVER_BESIDE: cut_driver(image)}


def with_cut_driver_copied(checks, image):
    """The checks with the driver copy in SourcePath expected to hold the
    PC's cut-short bytes instead of the shipped ones."""
    kept = [c for c in checks if not (isinstance(c, FileBytes) and c.path == DRIVER_COPY)]
    return kept + [FileBytes(DRIVER_COPY, cut_driver(image))]


# ---- Setup values named in other letter cases ----

SETUP_KEY = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup"

# The Setup key's two values under other names, with the sample's data:
# the old names go, the new ones come (a value set under a name that
# differs only in case would keep the old name).
LOWERCASE_SETUP = (
    "[HKEY_LOCAL_MACHINE\\%s]\n" % SETUP_KEY +
    '"SetupScratchDir"=-\n'
    '"SourcePath"=-\n'
    '"setupscratchdir"="C:\\\\WINDOWS\\\\INF"\n'
    '"SOURCEPATH"="C:\\\\WINDOWS\\\\OPTIONS\\\\CABS\\\\"\n')

# The case shows the values under the names the PC gave them.
LOWERCASE_SETUP_IN_CASE = CaseHolds("the Setup values as the PC names them", [
    r'^"setupscratchdir"="C:\\\\WINDOWS\\\\INF"$',
    r'^"SOURCEPATH"="C:\\\\WINDOWS\\\\OPTIONS\\\\CABS\\\\"$',
])
