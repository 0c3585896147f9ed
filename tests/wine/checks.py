"""What a scenario expects of a run. Each check reads the RunResult and
answers (passed, detail)."""

import re

import regfile


def _short(data, limit=120):
    text = repr(data)
    return text if len(text) <= limit else text[:limit] + "..."


class Check:
    def paths(self):
        """C: paths whose content the check needs."""
        return ()

    def describe(self):
        raise NotImplementedError

    def evaluate(self, result):
        raise NotImplementedError


class ExitCode(Check):
    def __init__(self, code=0):
        self.code = code

    def describe(self):
        return "exit code %d" % self.code

    def evaluate(self, result):
        if result.exit_code is None:
            return False, "the program did not end: " + result.program_output
        return result.exit_code == self.code, "exit code %s" % result.exit_code


class RegValue(Check):
    """A value with its type and its bytes as the "A" functions read them
    (text with its terminating zero)."""

    def __init__(self, key, name, value_type, data):
        self.key, self.name, self.type = key, name, value_type
        self.data = data if isinstance(data, bytes) else regfile.ansi(data) + b"\0"

    def describe(self):
        return "value %s\\%s = %s %s" % (
            self.key, self.name or "@", regfile.TYPE_NAMES.get(self.type, self.type),
            _short(self.data))

    def evaluate(self, result):
        key = result.registry_after.get(self.key.lower())
        if key is None:
            return False, "key missing"
        value = key.values.get(self.name.lower())
        if value is None:
            return False, "value missing (key has: %s)" % (
                ", ".join(v.name or "@" for v in key.values.values()) or "none")
        if value.type != self.type or value.data != self.data:
            return False, "found %s %s" % (
                regfile.TYPE_NAMES.get(value.type, value.type), _short(value.data))
        return True, ""


class RegValueNames(Check):
    """The key holds exactly these values, no others."""

    def __init__(self, key, names):
        self.key, self.names = key, sorted(n.lower() for n in names)

    def describe(self):
        return "key %s holds only %s" % (self.key, _names(self.names))

    def evaluate(self, result):
        key = result.registry_after.get(self.key.lower())
        if key is None:
            return False, "key missing"
        found = sorted(key.values)
        return found == self.names, "holds %s" % _names(found)


def _names(names):
    return ", ".join(n or "@" for n in names) or "nothing"


class RegKeyExists(Check):
    def __init__(self, key, exists=True):
        self.key, self.exists = key, exists

    def describe(self):
        return "key %s %s" % (self.key, "exists" if self.exists else "is absent")

    def evaluate(self, result):
        present = self.key.lower() in result.registry_after
        return present == self.exists, "present" if present else "absent"


class RegUnchanged(Check):
    """The key and everything beneath it are as they were before the run."""

    def __init__(self, key):
        self.key = key

    def describe(self):
        return "subtree %s unchanged" % self.key

    def evaluate(self, result):
        def subtree(keys):
            base = self.key.lower()
            return regfile.render({p: k for p, k in keys.items()
                                   if p == base or p.startswith(base + "\\")})
        before = subtree(result.registry_before)
        after = subtree(result.registry_after)
        return before == after, "" if before == after else "changed"


class FileBytes(Check):
    def __init__(self, path, content):
        self.path, self.content = path, content

    def paths(self):
        return (self.path,)

    def describe(self):
        return "file %s holds %d expected bytes" % (self.path, len(self.content))

    def evaluate(self, result):
        found = result.files_after.get(self.path)
        if found is None:
            return False, "file missing"
        if found == self.content:
            return True, ""
        at = next((i for i, (a, b) in enumerate(zip(found, self.content))
                   if a != b), min(len(found), len(self.content)))
        return False, "differs at byte %d: found %s, expected %s" % (
            at, _short(found[max(0, at - 20):at + 40]),
            _short(self.content[max(0, at - 20):at + 40]))


class FileAbsent(Check):
    def __init__(self, path):
        self.path = path

    def paths(self):
        return (self.path,)

    def describe(self):
        return "file %s absent" % self.path

    def evaluate(self, result):
        found = result.files_after.get(self.path)
        return found is None, "" if found is None else "present (%d bytes)" % len(found)


class LogSequence(Check):
    """The stand-in log holds lines matching these patterns in this order
    (other lines may come between). Patterns match the text after the
    timestamp and process id: "<role> <event> ..."."""

    def __init__(self, title, patterns):
        self.title = title
        self.patterns = [re.compile(p) for p in patterns]

    def describe(self):
        return "dialog conversation: " + self.title

    def evaluate(self, result):
        events = log_events(result.standin_log)
        at = 0
        for pattern in self.patterns:
            while at < len(events) and not pattern.search(events[at][1]):
                at += 1
            if at == len(events):
                return False, "no line matching /%s/ after the earlier ones" % pattern.pattern
            at += 1
        return True, ""


class LogCount(Check):
    def __init__(self, pattern, count):
        self.pattern, self.count = re.compile(pattern), count

    def describe(self):
        return "%d log lines match /%s/" % (self.count, self.pattern.pattern)

    def evaluate(self, result):
        found = sum(1 for _, e in log_events(result.standin_log)
                    if self.pattern.search(e))
        return found == self.count, "%d lines" % found


class LogGap(Check):
    """At least min_ms pass between the first line matching `first` and the
    next line matching `then`."""

    def __init__(self, first, then, min_ms):
        self.first, self.then = re.compile(first), re.compile(then)
        self.min_ms = min_ms

    def describe(self):
        return "at least %d ms from /%s/ to /%s/" % (
            self.min_ms, self.first.pattern, self.then.pattern)

    def evaluate(self, result):
        events = log_events(result.standin_log)
        for i, (ms, text) in enumerate(events):
            if self.first.search(text):
                for later_ms, later in events[i + 1:]:
                    if self.then.search(later):
                        gap = later_ms - ms
                        return gap >= self.min_ms, "%d ms" % gap
                return False, "no line matching the second pattern"
        return False, "no line matching the first pattern"


def log_events(log):
    """(milliseconds, "<role> <event> ...") for every log line."""
    events = []
    for line in log.splitlines():
        parts = line.split(" ", 2)
        if len(parts) == 3 and parts[0].isdigit():
            events.append((int(parts[0]), parts[2]))
    return events


class ProfileWrites(Check):
    """The program's WritePrivateProfileStringA calls, as relay tracing saw
    them, are exactly these (section, key, value, file) tuples in this
    order, None standing for a null pointer."""

    def __init__(self, calls):
        self.calls = [tuple(call) for call in calls]

    def describe(self):
        return "profile writes: %s" % "; then ".join(
            "(%s)" % ", ".join("NULL" if a is None else a for a in call)
            for call in self.calls)

    def evaluate(self, result):
        if result.profile_writes is None:
            return False, "the run traced no profile writes"
        return result.profile_writes == self.calls, "traced: %s" % _short(
            result.profile_writes, 400)


class CaseHolds(Check):
    """NLCASE.TXT, as NLDIAG.EXE wrote it before the program ran, holds a
    line matching each pattern, and its lines end in CRLF."""

    def __init__(self, title, patterns):
        self.title = title
        self.patterns = [re.compile(p, re.MULTILINE) for p in patterns]

    def describe(self):
        return "case file: " + self.title

    def evaluate(self, result):
        if result.case_file is None:
            return False, "no case file"
        text = result.case_file.decode("cp1252", "replace")
        if "\n" in text.replace("\r\n", ""):
            return False, "a line ends without CR"
        lines = text.replace("\r\n", "\n")
        missing = [p.pattern for p in self.patterns if not p.search(lines)]
        return not missing, ("missing: " + "; ".join(missing)) if missing else "all there"
