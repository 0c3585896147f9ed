"""The end-to-end scenarios: which system image, which user locale, how the
stand-in tools behave, and what the run must leave behind."""

import os
from dataclasses import dataclass, field

import expectations as ex
from checks import ExitCode, FileAbsent, FileBytes, LogCount, LogGap, LogSequence

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


def user_locale(lcid):
    """The run's user locale as the stand-in tools saw it."""
    return LogSequence("user locale 0x%04X" % lcid,
                       [r"^installer start lcid=0x%04X " % lcid])


def german_full(image):
    return [ExitCode(0), user_locale(0x0407)] + ex.full_run_checks(image, german=True)


def english_full(image):
    return [ExitCode(0), user_locale(0x0409)] + ex.full_run_checks(image, german=False)


def austrian_full(image):
    return [ExitCode(0), user_locale(0x0C07)] + ex.full_run_checks(image, german=True)


def german_dialog_variants(image):
    """Late wizard, a second installer dialog, a slowly growing list, a
    panel that needs three OKs: the same installation results."""
    checks = german_full(image)
    checks = [c for c in checks if not (
        isinstance(c, LogSequence) and c.title.startswith("network panel"))
        and not (isinstance(c, LogCount) and c.pattern.pattern == r"^panel command")]
    checks += ex.panel_conversation("Netzwerk", presses=3)
    checks.append(ex.RepaintedAfterPress())
    checks += [
        LogSequence("second installer dialog left alone", [
            r"^installer command dialog wp=0x00003024 ",
            r"^installer dialog n=2",
            r"^installer end code=0",
        ]),
        LogSequence("wizard hidden before anything is typed", [
            r"^wizard dialog hwnd=", r"^wizard hide ", r"^wizard keydown ctl=1551 ",
        ]),
        # The list page comes 2.5 s after the forward press: the installer
        # keeps looking for the list and types once it is there.
        LogGap(r"^wizard command dialog wp=0x00003024 ", r"^wizard focus ctl=1580",
               2400),
    ]
    return checks


def german_silent_tools(image):
    """Tools that give the installer nothing to press: an installer dialog
    without a forward button, a wizard that ends at once without a window, a
    network dialog without a title. Nothing is pressed or typed, and the run
    still completes: port entries written, network entries removed."""
    checks = [ExitCode(0)]
    checks += ex.virtual_port_checks(True)
    checks.append(ex.AdapterPort(True))
    checks += ex.removal_checks(True)
    checks += [
        LogCount(r" command ", 0),
        LogCount(r" (keydown|char|keyup|itemcount) ", 0),
        LogSequence("every tool started and ended by itself", [
            r"^installer dialog n=1",
            r"^installer end code=0",
            r"^wizard exit without window",
            r'^panel dialog title=""',
            r"^panel end code=0",
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
             GERMAN_IMAGE, "de_AT.UTF-8", austrian_full),
    Scenario("german-dialog-variants",
             "late wizard and list page, second installer dialog, slow list, stubborn panel",
             GERMAN_IMAGE, "de_DE.UTF-8", german_dialog_variants,
             standin="installer=twice,wizard=late+slowpage,grow=2500,panel=stubborn"),
    Scenario("german-second-run", "backups of an earlier run are restored first",
             GERMAN_IMAGE, "de_DE.UTF-8", german_second_run,
             setup={"extra_files_from": earlier_run_files}),
    Scenario("german-no-tools", "no rundll32 at all: the run ends after the wizard",
             GERMAN_IMAGE, "de_DE.UTF-8", german_without_tools,
             setup={"place_standin": False, "remove_system_rundll": True}),
    Scenario("english-stale-temp", "a leftover NL-TEMP.INF costs the second edit",
             GERMAN_IMAGE, "en_US.UTF-8", english_stale_temp_file,
             setup={"extra_files": {ex.scratch("NL-TEMP.INF"): b"stale\r\n"}}),
    Scenario("german-silent-tools", "nothing to press in any tool's dialog",
             GERMAN_IMAGE, "de_DE.UTF-8", german_silent_tools,
             standin="installer=noforward,wizard=exit,panel=notitle"),
    Scenario("german-wizard-no-lists", "the wizard's lists never appear",
             GERMAN_IMAGE, "de_DE.UTF-8", german_wizard_without_lists,
             standin="wizard=no1580"),
]
