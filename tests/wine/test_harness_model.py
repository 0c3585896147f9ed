"""Checks of the Wine harness's own reading and modelling: the registry
export parser and the INF edit model that the scenarios' expectations rest
on. Run: python3 -m unittest discover -s tests/wine -p 'test_*.py'"""

import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import expectations as ex  # noqa: E402
import regfile  # noqa: E402
import run_wine_tests  # noqa: E402
import scenarios  # noqa: E402
import simcompare  # noqa: E402
import winerun  # noqa: E402
from checks import FileBytes, LogSequence, RegValue  # noqa: E402


def export(text):
    return b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le")


class RegistryExportTest(unittest.TestCase):
    def test_values_come_back_as_the_a_functions_read_them(self):
        keys = regfile.parse_export(export(
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\Enum\\Root\\Net\\0000]\n"
            '@="Ger\u00e4te \\"neu\\" C:\\\\X"\n'
            '"CompatibleIDs"=hex(7):49,00,52,00,00,00,00,00\n'
            '"Bin"=hex:01,02,\\\n  03\n'
            '"Flags"=dword:00000014\n\n'))
        key = keys["enum\\root\\net\\0000"]
        self.assertEqual(key.path, "Enum\\Root\\Net\\0000")
        self.assertEqual(key.values[""].type, regfile.REG_SZ)
        self.assertEqual(key.values[""].data, b'Ger\xe4te "neu" C:\\X\x00')
        self.assertEqual(key.values["compatibleids"].data, b"IR\x00\x00")
        self.assertEqual(key.values["compatibleids"].type, regfile.REG_MULTI_SZ)
        self.assertEqual(key.values["bin"].data, b"\x01\x02\x03")
        self.assertEqual(key.values["flags"].data, b"\x14\x00\x00\x00")

    def test_render_reads_back_the_same(self):
        text = ("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n"
                '"S"="x\\\\y"\n"B"=hex:00\n"M"=hex(7):61,00,00\n\n')
        first = regfile.parse_export(text.encode("cp1252"))
        again = regfile.parse_export(("REGEDIT4\n\n" + "\n".join(
            regfile.render(first))).encode("cp1252"))
        self.assertEqual(regfile.render(first), regfile.render(again))

    def test_a_value_check_compares_type_and_bytes(self):
        keys = regfile.parse_export(export(
            '[HKEY_LOCAL_MACHINE\\K]\n"Port"="0"\n"Bin"=hex:30,00\n'))

        class Result:
            registry_after = keys
        self.assertTrue(RegValue("K", "Port", regfile.REG_SZ, "0").evaluate(Result)[0])
        self.assertFalse(RegValue("K", "Bin", regfile.REG_SZ, "0").evaluate(Result)[0])
        self.assertFalse(RegValue("K", "Port", regfile.REG_SZ, "00").evaluate(Result)[0])
        self.assertFalse(RegValue("K", "Gone", regfile.REG_SZ, "0").evaluate(Result)[0])


class InfModelTest(unittest.TestCase):
    def test_replacement_ignores_ascii_case_only_and_is_not_rescanned(self):
        self.assertEqual(ex.replace_ignoring_case(b"IRMINI.SYS irmini.sys", "irmini.sys",
                                                  "nl-430.sys"),
                         b"nl-430.sys nl-430.sys")
        self.assertEqual(ex.replace_ignoring_case(b"aaab", "aab", "X"), b"aX")
        self.assertEqual(ex.replace_ignoring_case(b"ab", "ab", "abab"), b"abab")
        self.assertEqual(ex.replace_ignoring_case(b"\xe4B", "\xc4b", "x"), b"\xe4B")
        self.assertEqual(ex.replace_ignoring_case(b"irmini.sy", "irmini.sys", "x"),
                         b"irmini.sy")

    def test_profile_write_replaces_in_place_or_appends_to_the_section(self):
        data = b"[A]\r\nk=1\r\n[Strings]\r\nMS=\"M\"\r\n[Z]\r\nz=2\r\n"
        self.assertEqual(ex.write_profile_key(data, "strings", "StandardExpl", '"N"'),
                         b"[A]\r\nk=1\r\n[Strings]\r\nMS=\"M\"\r\nStandardExpl=\"N\"\r\n"
                         b"[Z]\r\nz=2\r\n")
        self.assertEqual(ex.write_profile_key(data, "Strings", "ms", "x"),
                         b"[A]\r\nk=1\r\n[Strings]\r\nMS=x\r\n[Z]\r\nz=2\r\n")
        self.assertEqual(ex.write_profile_key(b"[A]\r\n", "Strings", "K", "v"),
                         b"[A]\r\n[Strings]\r\nK=v\r\n")

    def test_profile_read_drops_enclosing_quotes(self):
        data = b'[Strings]\r\nClass.Desc="Infrarotger\xe4te"\r\n'
        self.assertEqual(ex.profile_string(data, "strings", "class.desc"),
                         "Infrarotger\u00e4te")
        self.assertEqual(ex.profile_string(data, "Strings", "Other"), "")

    def test_german_edits_follow_the_table(self):
        irmini = (b"[M]\r\n%StandardExpl%=IRMINI_Install,IRMINI\r\n"
                  b"[R]\r\nDeviceID=IRMINI\r\n[Strings]\r\n")
        files = {ex.scratch("IRMINI.INF"): irmini,
                 ex.scratch("INFRARED.INF"): b"[F]\r\nirmini.sys\r\n"}
        german = ex.expected_inf_files(files, german=True)
        english = ex.expected_inf_files(files, german=False)
        self.assertIn(b"%StandardExpl%=IRMINI_Install,USB\\VID_1B4E&PID_0430",
                      german[ex.scratch("IRMINI.INF")])
        self.assertIn(b"DeviceID=USB\\VID_1B4E&PID_0430", german[ex.scratch("IRMINI.INF")])
        self.assertIn(b"DeviceID=IRMINI", english[ex.scratch("IRMINI.INF")])
        self.assertEqual(german[ex.scratch("IRMINI.BAK")], irmini)
        self.assertEqual(german[ex.scratch("INFRARED.INF")], b"[F]\r\nnl-430.sys\r\n")


class LogSequenceTest(unittest.TestCase):
    def test_lines_must_come_in_order(self):
        class Result:
            standin_log = ("10 1 wizard start\r\n20 1 wizard hide hwnd=0x1\r\n"
                           "30 1 wizard keydown ctl=1551\r\n")
        self.assertTrue(LogSequence("", [r"^wizard start", r"^wizard keydown"])
                        .evaluate(Result)[0])
        self.assertFalse(LogSequence("", [r"^wizard keydown", r"^wizard hide"])
                         .evaluate(Result)[0])


class UserPressTest(unittest.TestCase):
    LOG = ("10 1 installer start lcid=0x0409 options=\"\" cmd=rundll32 sysdm.cpl,"
           "InstallDevice_Rundll Infrared\r\n20 1 installer dialog n=1 hwnd=0x1\r\n"
           "%s\r\n40 1 installer end code=0\r\n")

    def passed(self, line):
        class Result:
            standin_log = self.LOG % line
        return all(c.evaluate(Result)[0] for c in ex.installer_conversation(german=False))

    def test_a_press_of_the_user_is_told_from_one_of_the_program(self):
        self.assertTrue(self.passed('30 1 installer user press ctl=12324 on "Hardware-Assistent"'))
        self.assertFalse(self.passed("30 1 installer command dialog wp=0x00003024 "
                                     "lp=0x00000002 names=ctl=12324 id=12324"))
        self.assertFalse(self.passed('30 1 installer user press ctl=2 on "Hardware-Assistent"'))


def reg4(text):
    return regfile.parse_export(("REGEDIT4\n\n" + text).encode("cp1252"))


class SimulatorComparisonTest(unittest.TestCase):
    IMAGE = ('[HKEY_LOCAL_MACHINE\\Enum\\Root\\Net\\0000]\n"Class"="Net"\n\n'
             '[HKEY_LOCAL_MACHINE\\Enum\\Root\\Net\\0000\\Sub]\n\n')
    AFTER = '[HKEY_LOCAL_MACHINE\\Enum\\INFRARED]\n"Installed"=hex:31,00\n\n'

    def outcome(self, after_text, files=None):
        return simcompare.SimOutcome(
            True, registry_before=simcompare.subtrees(reg4(self.IMAGE)),
            registry_after=simcompare.subtrees(reg4(after_text)),
            files_after=files or {})

    def wine(self, wine_before, wine_after, files=None):
        class Result:
            registry_before = reg4(wine_before)
            registry_after = reg4(wine_after)
            files_after = files or {}
        return Result

    def test_equal_changes_pass_whatever_else_the_prefix_holds(self):
        # Wine's prefix has keys of its own, before and after alike.
        own = '[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\{x}]\n"A"="1"\n\n'
        result = self.wine(self.IMAGE + own, self.AFTER + own)
        self.assertEqual(simcompare.differences(result, self.outcome(self.AFTER)), [])
        check = simcompare.SimulatorAgrees(self.outcome(self.AFTER))
        self.assertEqual(check.evaluate(result), (True, "equal"))

    def test_a_key_left_behind_or_a_value_of_another_type_is_a_difference(self):
        kept = self.AFTER + '[HKEY_LOCAL_MACHINE\\Enum\\Root\\Net\\0000\\Sub]\n\n'
        found = simcompare.differences(self.wine(self.IMAGE, kept), self.outcome(self.AFTER))
        self.assertEqual(len(found), 1)
        self.assertIn("enum\\root\\net\\0000\\sub", found[0])
        self.assertIn("only in the simulator", found[0])
        text = self.AFTER.replace("hex:31,00", 'hex(1):31,00')
        found = simcompare.differences(self.wine(self.IMAGE, text), self.outcome(self.AFTER))
        self.assertEqual(len(found), 1)
        self.assertIn("Installed", found[0])
        self.assertFalse(simcompare.SimulatorAgrees(self.outcome(self.AFTER)).evaluate(
            self.wine(self.IMAGE, text))[0])

    def test_an_image_key_seeded_differently_into_wine_is_a_difference(self):
        seeded = self.IMAGE.replace('"Class"="Net"', '"Class"="Other"')
        after = self.AFTER + seeded
        found = simcompare.differences(self.wine(seeded, after),
                                       self.outcome(self.AFTER + self.IMAGE))
        self.assertEqual(len(found), 1)
        self.assertIn("seeded into Wine", found[0])

    def test_text_without_its_zero_counts_as_the_same_text(self):
        with_zero = self.AFTER + '[HKEY_LOCAL_MACHINE\\Enum\\X]\n"T"=hex(1):41,00\n\n'
        without = self.AFTER + '[HKEY_LOCAL_MACHINE\\Enum\\X]\n"T"=hex(1):41\n\n'
        self.assertEqual(simcompare.differences(self.wine(self.IMAGE, with_zero),
                                                self.outcome(without)), [])
        other = self.AFTER + '[HKEY_LOCAL_MACHINE\\Enum\\X]\n"T"=hex(1):42\n\n'
        self.assertEqual(len(simcompare.differences(self.wine(self.IMAGE, with_zero),
                                                    self.outcome(other))), 1)

    def test_files_compared_byte_for_byte(self):
        path = simcompare.COMPARED_FILES[0]
        sim = self.outcome(self.AFTER, {path: b"a\r\nb\r\n"})
        same = self.wine(self.IMAGE, self.AFTER, {path: b"a\r\nb\r\n"})
        other = self.wine(self.IMAGE, self.AFTER, {path: b"a\r\nc\r\n"})
        missing = self.wine(self.IMAGE, self.AFTER, {})
        self.assertEqual(simcompare.differences(same, sim), [])
        self.assertIn("first difference at byte 3",
                      simcompare.differences(other, sim)[0])
        self.assertIn("Wine absent", simcompare.differences(missing, sim)[0])

    def test_a_failed_simulated_run_fails_the_check(self):
        check = simcompare.SimulatorAgrees(simcompare.SimOutcome(False, "simrun exit 2"))
        self.assertEqual(check.evaluate(self.wine(self.IMAGE, self.AFTER)),
                         (False, "simrun exit 2"))

    def test_registry_lines_of_a_scenario_applied_to_the_image(self):
        image = ('REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\S]\n"SourcePath"="C:\\\\X"\n'
                 '"Keep"="1"\n\n[HKEY_LOCAL_MACHINE\\T]\n"SourcePath"="2"\n')
        text = simcompare.apply_reg_text(
            image, '[HKEY_LOCAL_MACHINE\\S]\n"SourcePath"=-\n"New"="n"\n')
        keys = regfile.parse_export(text.encode("cp1252"))
        self.assertEqual(sorted(keys["s"].values), ["keep", "new"])
        self.assertIn("sourcepath", keys["t"].values)


class CaseScenarioImageTest(unittest.TestCase):
    """The PCs of the case scenarios, laid out as the runs seed them."""

    def made_image(self, name):
        scenario = next(s for s in scenarios.SCENARIOS if s.name == name)
        fields = dict(scenario.setup)
        files_from = fields.pop("extra_files_from", None)
        setup = winerun.RunSetup(image=scenario.image, locale=scenario.locale, **fields)
        if files_from is not None:
            setup.extra_files = dict(setup.extra_files, **files_from(scenario.image))
        work = tempfile.mkdtemp(prefix="nl-model-")
        self.addCleanup(shutil.rmtree, work)
        image = os.path.join(work, "image")
        simcompare.make_image(setup, image)
        return scenario, image

    def test_the_driver_beside_the_program_is_cut_short_and_its_copy_expected(self):
        scenario, image = self.made_image("german-case-other-driver")
        with open(os.path.join(scenario.image, "drive_c", "NLSETUP", "nl-430.sys"), "rb") as f:
            shipped = f.read()
        with open(os.path.join(image, "drive_c", "NLSETUP", "nl-430.sys"), "rb") as f:
            placed = f.read()
        self.assertEqual(placed, shipped[:len(shipped) // 2])
        copy = ex.SOURCE + "\\nl-430.sys"
        expected = [c.content for c in scenario.checks(scenario.image)
                    if isinstance(c, FileBytes) and c.path == copy]
        self.assertEqual(expected, [placed])

    def test_the_setup_values_are_renamed_with_their_data(self):
        renamed = {"setupscratchdir": "setupscratchdir", "sourcepath": "SOURCEPATH"}

        def setup_lines(folder):
            # Each line of the two values, whatever case their names have.
            with open(os.path.join(folder, "system.reg"), "rb") as f:
                lines = f.read().decode("cp1252").splitlines()
            return sorted(l.split("=", 1) for l in lines
                          if l.split("=", 1)[0].strip('"').lower() in renamed)
        scenario, image = self.made_image("german-case-lowercase-setup")
        before = setup_lines(scenario.image)
        self.assertEqual(len(before), 2)
        self.assertEqual(setup_lines(image), sorted(
            ['"%s"' % renamed[name.strip('"').lower()], data] for name, data in before))


class TimeAccountTest(unittest.TestCase):
    def test_only_the_polling_process_sleeps_are_counted(self):
        output = ("0038:0058:Call KERNEL32.Sleep(0000000a) ret=004074d5\n"
                  "0020:0024:Call KERNEL32.Sleep(000001f4) ret=00403cd7\n"
                  "0020:0024:Ret  KERNEL32.Sleep() retval=00000000 ret=00403cd7\n"
                  "0020:0024:Call KERNEL32.GetProcessVersion(00000104) ret=00403c00\n"
                  "0020:0024:Call KERNELBASE.Sleep(000003e8) ret=00404349\n"
                  "0038:0058:Call KERNEL32.Sleep(0000000a) ret=004074d5\n")
        self.assertEqual(winerun.traced_sleeps(output), [500, 1000])
        self.assertEqual(winerun.traced_sleeps("no trace\n"), [])

    def test_profile_writes_read_with_null_pointers_and_escapes(self):
        # Lines as Wine 8 traced a German run.
        output = (
            '0020:0024:trace:relay:load_list L"RelayInclude" = '
            'L"KERNEL32.WritePrivateProfileStringA"\n'
            '0020:0024:Call KERNEL32.WritePrivateProfileStringA(00405743 "Strings",'
            '00405736 "StandardExpl",00405780 "\\"Norvik NL-470\\"",'
            '0068fc64 "C:\\\\WINDOWS\\\\INF\\\\IRMINI.INF") ret=00401759\n'
            '0020:0024:Ret  KERNEL32.WritePrivateProfileStringA() retval=00000001 ret=00401759\n'
            '0020:0024:Call KERNEL32.WritePrivateProfileStringA(00000000,00000000,'
            '00000000,00000000) ret=0040178f\n')
        self.assertEqual(winerun.traced_profile_writes(output), [
            ("Strings", "StandardExpl", '"Norvik NL-470"', "C:\\WINDOWS\\INF\\IRMINI.INF"),
            (None, None, None, None)])

    def test_sleeps_listed_with_repeats_counted(self):
        self.assertEqual(run_wine_tests.sleep_runs([500, 500, 1000, 500]),
                         "500 x2, 1000, 500")
        self.assertEqual(run_wine_tests.sleep_runs([]), "none")


if __name__ == "__main__":
    unittest.main()
