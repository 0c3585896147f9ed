#!/usr/bin/env python3
"""Runs NLSETUP.EXE under Wine in every scenario (or the named ones) and
checks what each run left. Exit status 0 when every check passed.

  run_wine_tests.py [--exe-dir DIR] [--simrun PATH] [--report] [--image DIR]
                    [NAME...]

--report prints, for each run, a readable account: the registry changes key
by key (simrun --compare-reg on the exported keys before and after, the same
account the simulator gives), the INF file diffs, the driver copy and the
stand-in tools' log of the dialog conversation.

Scenarios the simulated stand-ins can play are also run on the simulated
system (tools/simrun from a host build, see simcompare.py), and its
registry changes and files must equal the Wine run's. The German run traces
the program's Sleep calls and reports its wall time beside them.
"""

import argparse
import difflib
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # no cache files in the source tree

from checks import log_events  # noqa: E402
import expectations as ex  # noqa: E402
import regfile  # noqa: E402
import simcompare  # noqa: E402
import winerun  # noqa: E402
from scenarios import SCENARIOS, SOURCE_DIR  # noqa: E402

REPORT_FILES = [ex.scratch(n) for n in (
    "IRMINI.INF", "IRMINI.BAK", "INFRARED.INF", "INFRARED.BAK", "NL-TEMP.INF")] + [
    ex.SOURCE + "\\nl-430.sys"]


def ensure_display():
    """Re-runs this script under a virtual X display of its own, so that no
    dialog shows on a real one and runs do not depend on one."""
    if os.environ.get("NL_UNDER_XVFB"):
        return
    env = dict(os.environ, NL_UNDER_XVFB="1")
    command = ["xvfb-run", "-a", "-s", "-screen 0 1024x768x24",
               sys.executable, os.path.abspath(__file__)] + sys.argv[1:]
    sys.exit(subprocess.call(command, env=env))


def text_lines(data):
    if data is None:
        return ["(no file)"]
    return data.decode("cp1252", "replace").replace("\r\n", "\n").split("\n")


def registry_account(simrun, before, after):
    """simrun's key-by-key account of the changes from one set of keys to
    the other, each written out as a REGEDIT4 file."""
    if not simrun:
        return "(no account: simrun not found; build the host preset or give --simrun)"
    with tempfile.TemporaryDirectory(prefix="nl-account-") as work:
        paths = [os.path.join(work, name) for name in ("before.reg", "after.reg")]
        for path, keys in zip(paths, (before, after)):
            with open(path, "wb") as f:
                f.write(regfile.regedit4(keys))
        run = subprocess.run([simrun, "--compare-reg"] + paths, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, timeout=60)
    return run.stdout.decode("utf-8", "replace")


def print_report(result, simrun):
    print("  --- registry changes (HKEY_LOCAL_MACHINE\\Enum and ...\\Services\\Class)")
    account = registry_account(simrun, result.registry_before, result.registry_after)
    for line in account.rstrip("\n").split("\n"):
        print("  " + line)
    for path in REPORT_FILES:
        before, after = result.files_before.get(path), result.files_after.get(path)
        if before == after:
            state = "absent" if after is None else "unchanged, %d bytes" % len(after)
            print("  --- %s: %s" % (path, state))
            continue
        if path.lower().endswith(".sys"):
            print("  --- %s: %s" % (path, "absent" if after is None else
                                    "copied, %d bytes" % len(after)))
            continue
        print("  --- %s" % path)
        for line in difflib.unified_diff(text_lines(before), text_lines(after),
                                         "before", "after", lineterm="", n=1):
            print("  " + line)
    print("  --- stand-in log (ms pid role event)")
    for line in result.standin_log.splitlines() or ["(empty)"]:
        print("  " + line)


def print_time_account(result, sim):
    """The run's wall time beside the waits the program made: the Sleep
    calls traced under Wine, and the same scenario's virtual time in the
    simulator, where only the program's sleeps move the clock."""
    slept = sum(result.sleeps_ms) / 1000.0
    print("  time: program ran %.1f s under Wine; it slept %.1f s in %d Sleep calls; "
          "overhead %.1f s (%.0f%%)" % (
              result.program_seconds, slept, len(result.sleeps_ms),
              result.program_seconds - slept,
              100.0 * (result.program_seconds - slept) / slept if slept else 0.0))
    print("  time: sleeps in order: " + sleep_runs(result.sleeps_ms))
    # The stand-ins stamp their log with GetTickCount, which under Wine
    # reads the same monotonic clock as time.monotonic().
    stamps = [ms / 1000.0 for ms, _ in log_events(result.standin_log)]
    started, ended = result.program_span
    if stamps and started and ended and started <= stamps[0] and stamps[-1] <= ended:
        print("  time: from the program's start to the first tool's %.1f s; "
              "from the last tool's end to the program's %.1f s" % (
                  stamps[0] - started, ended - stamps[-1]))
    if sim is not None and sim.ok:
        print("  time: the simulated run of the same scenario slept %.1f s" % (
            sim.virtual_ms / 1000.0))


def sleep_runs(sleeps):
    """"500 x3, 1000, 500 x2": the sleeps in order, repeats counted."""
    runs = []
    for ms in sleeps:
        if runs and runs[-1][0] == ms:
            runs[-1][1] += 1
        else:
            runs.append([ms, 1])
    return ", ".join("%d x%d" % (ms, n) if n > 1 else str(ms) for ms, n in runs) \
        or "none"


def run_scenario(scenario, args, template):
    image = args.image or scenario.image
    checks = scenario.checks(image)
    setup_fields = dict(scenario.setup)
    files_from = setup_fields.pop("extra_files_from", None)
    setup = winerun.RunSetup(image=image, locale=scenario.locale,
                             standin=scenario.standin, **setup_fields)
    if files_from is not None:
        setup.extra_files = dict(setup.extra_files, **files_from(image))
    sim = None
    if scenario.sim_standin is not None:
        if args.simrun:
            sim = simcompare.run_simulated(args.simrun, setup, scenario.sim_standin)
        else:
            sim = simcompare.SimOutcome(False, "simrun not found: build the host "
                                        "preset or give --simrun")
        checks = checks + [simcompare.SimulatorAgrees(sim)]
    if scenario.case_standin is not None:
        checks = checks + [simcompare.CasePredictionAgrees(args.simrun, scenario.case_standin)]
    if scenario.case_before_run:
        checks = checks + [simcompare.CaseBeforeRunReached(args.simrun)]
    paths = sorted({p for c in checks for p in c.paths()} | set(REPORT_FILES))
    result = winerun.run_program(setup, args.exe_dir, template, paths)
    failures = 0
    print("%s: %s (%s%s): exit %s after %.1f s" % (
        scenario.name, scenario.summary, scenario.locale,
        ", " + scenario.standin if scenario.standin else "",
        result.exit_code, result.seconds))
    if result.sleeps_ms is not None:
        print_time_account(result, sim)
    for check in checks:
        passed, detail = check.evaluate(result)
        if not passed:
            failures += 1
        if not passed or args.verbose:
            print("  %s %s%s" % ("ok  " if passed else "FAIL", check.describe(),
                                 ": " + detail if detail else ""))
    print("  %d of %d checks passed" % (len(checks) - failures, len(checks)))
    if args.report or (failures and args.report_failures):
        print_report(result, args.simrun)
    return failures == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--exe-dir", default=os.path.join(SOURCE_DIR, "build", "windows"),
                        help="folder with NLSETUP.EXE, NLDIAG.EXE and rundll32.exe")
    parser.add_argument("--cache", default=os.path.join(SOURCE_DIR, "build", "wine-template"),
                        help="where the initialised Wine prefix is kept")
    parser.add_argument("--simrun", help="the simulator's simrun (default: from the "
                        "host-asan or host build below NL_BUILD_ROOT)")
    parser.add_argument("--image", help="system image instead of each scenario's own")
    parser.add_argument("--report", action="store_true", help="print every run's account")
    parser.add_argument("--report-failures", action="store_true",
                        help="print the account of runs with failed checks")
    parser.add_argument("--verbose", action="store_true", help="list passed checks too")
    parser.add_argument("--list", action="store_true", help="list the scenarios")
    parser.add_argument("names", nargs="*", help="scenarios to run (default: all)")
    args = parser.parse_args()
    args.exe_dir = os.path.abspath(args.exe_dir)
    args.cache = os.path.abspath(args.cache)
    if args.image:
        args.image = os.path.abspath(args.image)
    args.simrun = os.path.abspath(args.simrun) if args.simrun \
        else simcompare.find_simrun(SOURCE_DIR)

    if args.list:
        for s in SCENARIOS:
            print("%-26s %s" % (s.name, s.summary))
        return 0
    unknown = set(args.names) - {s.name for s in SCENARIOS}
    if unknown:
        parser.error("unknown scenario: " + ", ".join(sorted(unknown)))
    chosen = [s for s in SCENARIOS if not args.names or s.name in args.names]
    needed = ["NLSETUP.EXE", "rundll32.exe"] + (
        ["NLDIAG.EXE"] if any(s.setup.get("collect_case") for s in chosen) else [])
    for name in needed:
        if not os.path.isfile(os.path.join(args.exe_dir, name)):
            parser.error("%s not found in %s (build the windows preset)" % (name, args.exe_dir))
    ensure_display()

    started = time.monotonic()
    try:
        template = winerun.ensure_template(args.cache)
    except winerun.RunError as error:
        print("Wine runs: no Wine prefix: %s" % error)
        return 1
    failed = []
    for scenario in chosen:
        try:
            if not run_scenario(scenario, args, template):
                failed.append(scenario.name)
        except (winerun.RunError, subprocess.SubprocessError, OSError) as error:
            print("%s: could not run: %s" % (scenario.name, error))
            failed.append(scenario.name)
        sys.stdout.flush()
    print("Wine runs: %d of %d scenarios passed in %.0f s%s" % (
        len(chosen) - len(failed), len(chosen), time.monotonic() - started,
        (": failed " + ", ".join(failed)) if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
