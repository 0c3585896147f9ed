"""The end-to-end scenarios: which system image, which user locale, how the
stand-in tools behave, and what the run must leave behind."""

import os
from dataclasses import dataclass, field

import expectations as ex
from checks import ExitCode, FileAbsent, FileBytes, LogCount, LogSequence

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
GERMAN_IMAGE = os.path.join(SOURCE_DIR, "samples", "de-win98")


@dataclass
class Scenario:
    name: str
    summary: str
    image: str
    locale: str
    checks: object                  # image -> list of checks
    standin: str = ""
    setup: dict = field(default_factory=dict)  # further RunSetup fields


def german_full(image):
    return [ExitCode(0)] + ex.full_run_checks(image, german=True)


def english_full(image):
    return [ExitCode(0)] + ex.full_run_checks(image, german=False)


def german_dialog_variants(image):
    """Late wizard, a second installer dialog, a slowly growing list, a
    panel that needs three OKs: the same installation results."""
    checks = german_full(image)
    checks = [c for c in checks if not (
        isinstance(c, LogSequence) and c.title.startswith("network panel"))
        and not (isinstance(c, LogCount) and c.pattern.pattern == r"^panel command")]
    checks += ex.panel_conversation("Netzwerk", presses=3)
    checks += [
        LogSequence("second installer dialog left alone", [
            r"^installer command dialog wp=0x00003024 ",
            r"^installer dialog n=2",
            r"^installer end code=0",
        ]),
        LogSequence("wizard hidden before anything is typed", [
            r"^wizard dialog hwnd=", r"^wizard hide ", r"^wizard keydown ctl=1551 ",
        ]),
    ]
    return checks


def german_second_run(image):
    """An earlier run left its backups and edited files: this run restores
    the backups first and so yields the same files as a first run."""
    return german_full(image)


def earlier_run_files(image):
    files = ex.read_image_files(image)
    edited = ex.expected_inf_files(
        {ex.scratch(n): ex.image_file(files, ex.scratch(n))
         for n in ("IRMINI.INF", "INFRARED.INF")}, german=True)
    return dict(edited)


def german_without_tools(image):
    """No rundll32 anywhere: neither the class installer nor the wizard can
    start, so the run ends after the wizard phase: files and class key are
    done, no port entries, no panel, the network entries stay."""
    files = ex.read_image_files(image)
    infrared = ex.image_file(files, ex.scratch("INFRARED.INF"))
    description = ex.profile_string(infrared, "Strings", "Class.Desc") \
        or "Infrared devices"
    expected = ex.expected_inf_files(
        {ex.scratch(n): ex.image_file(files, ex.scratch(n))
         for n in ("IRMINI.INF", "INFRARED.INF")}, german=True)
    checks = [ExitCode(0)] + ex.class_key_checks(description)
    checks += [FileBytes(p, c) for p, c in expected.items()]
    checks += ex.virtual_port_checks(False)
    checks.append(ex.AdapterPort(False))
    checks += ex.removal_checks(False)
    checks.append(LogCount(r".", 0))
    return checks


def english_stale_temp_file(image):
    """A temporary file left by an interrupted earlier run makes the second
    edit fail and go away; the other edits still apply."""
    files = ex.read_image_files(image)
    irmini = ex.image_file(files, ex.scratch("IRMINI.INF"))
    edited = ex.apply_edits(irmini, "IRMINI.INF", [1])
    edited = ex.write_profile_key(edited, "Strings", "StandardExpl",
                                  '"%s"' % ex.DISPLAY_NAME)
    return [
        ExitCode(0),
        FileBytes(ex.scratch("IRMINI.INF"), edited),
        FileBytes(ex.scratch("IRMINI.BAK"), irmini),
        FileAbsent(ex.scratch("NL-TEMP.INF")),
        FileBytes(ex.scratch("INFRARED.INF"), ex.apply_edits(
            ex.image_file(files, ex.scratch("INFRARED.INF")), "INFRARED.INF", [9])),
    ]


def german_wizard_without_lists(image):
    """The wizard's second page lacks the lists: typing stops there, the run
    waits for the wizard to end and then completes."""
    checks = [ExitCode(0)]
    checks += ex.virtual_port_checks(True)
    checks += ex.removal_checks(True)
    checks += [
        LogCount(r"^wizard keydown ctl=158", 0),
        LogCount(r"^wizard command", 1),
        LogSequence("wizard left to end by itself", [
            r"^wizard command dialog wp=0x00003024 ",
            r"^wizard end code=0",
            r"^panel command dialog wp=0x00000001 ",
        ]),
    ]
    return checks


SCENARIOS = [
    Scenario("german", "German user (de_DE): the complete installation",
             GERMAN_IMAGE, "de_DE.UTF-8", german_full),
    Scenario("english", "English user (en_US): no wizard, no port entries",
             GERMAN_IMAGE, "en_US.UTF-8", english_full),
    Scenario("austrian", "Austrian German user (de_AT) counts as German",
             GERMAN_IMAGE, "de_AT.UTF-8", german_full),
    Scenario("german-dialog-variants",
             "late wizard, second installer dialog, slow list, stubborn panel",
             GERMAN_IMAGE, "de_DE.UTF-8", german_dialog_variants,
             standin="installer=twice,wizard=late,grow=2500,panel=stubborn"),
    Scenario("german-second-run", "backups of an earlier run are restored first",
             GERMAN_IMAGE, "de_DE.UTF-8", german_second_run,
             setup={"extra_files_from": earlier_run_files}),
    Scenario("german-no-tools", "no rundll32 at all: the run ends after the wizard",
             GERMAN_IMAGE, "de_DE.UTF-8", german_without_tools,
             setup={"place_standin": False, "remove_system_rundll": True}),
    Scenario("english-stale-temp", "a leftover NL-TEMP.INF costs the second edit",
             GERMAN_IMAGE, "en_US.UTF-8", english_stale_temp_file,
             setup={"extra_files": {ex.scratch("NL-TEMP.INF"): b"stale\r\n"}}),
    Scenario("german-wizard-no-lists", "the wizard's lists never appear",
             GERMAN_IMAGE, "de_DE.UTF-8", german_wizard_without_lists,
             standin="wizard=no1580"),
]
