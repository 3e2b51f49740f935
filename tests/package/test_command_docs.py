"""The manual page and the bash completion against the command's own option definitions,
read from its --help, and --version against the build."""
import os
import re
import subprocess
import tempfile
import unittest

CLI = os.environ["CDMADIAG_CLI"]
SOURCE = os.environ["CDMADIAG_SOURCE_DIR"]
MAN_PAGE = os.path.join(SOURCE, "man", "cdmadiag.1")
COMPLETION = os.path.join(SOURCE, "completions", "cdmadiag")


def help_of(*command):
    """(subcommands, options) of a --help text; options map each name to its choices (or None)."""
    text = subprocess.run([CLI, *command, "--help"], check=True, capture_output=True, text=True).stdout
    subcommands, options, section = [], {}, None
    for line in text.splitlines():
        if line and not line.startswith(" "):
            section = line.rstrip(":")
            continue
        m = re.match(r"  (\S+)(?: (\S+))?", line)
        if not m:
            continue
        if section == "Subcommands":
            subcommands.append(m.group(1))
        elif section == "Options":
            kind = re.search(r":\{([^}]*)\}", m.group(2) or "")
            for name in m.group(1).split(","):
                options[name] = kind.group(1).split(",") if kind else None
    return subcommands, options


SUBCOMMANDS, TOP_OPTIONS = help_of()
SUB_OPTIONS = {sub: help_of(sub)[1] for sub in SUBCOMMANDS}


def roff_text(roff):
    """The page's words as a reader sees them: escapes and font changes gone."""
    text = re.sub(r"\\f[BIRP]", "", roff)
    text = text.replace("\\-", "-").replace("\\e", "\\")
    return re.sub(r"^\.(?:B|I|BI|BR|RB|IR|RI)\s+", "", text, flags=re.M).replace('"', "")


class ManPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(MAN_PAGE, encoding="utf-8") as f:
            page = f.read()
        # Sections by .SH heading, and the command sections by their .SS heading, which may
        # name several commands that share their options ("seconds, events").
        cls.sections = {m.group(1).strip('"'): roff_text(m.group(2))
                        for m in re.finditer(r"^\.SH (.+)\n((?:(?!^\.SH ).*\n)*)", page, re.M)}
        cls.commands = {}
        for m in re.finditer(r"^\.SS (.+)\n((?:(?!^\.S[HS] ).*\n)*)", page, re.M):
            for name in re.split(r"[ ,]+", m.group(1).strip('"')):
                cls.commands[name] = roff_text(m.group(2))

    def assert_mentions(self, text, word, where):
        if not re.search(rf"(?<![\w-]){re.escape(word)}(?![\w-])", text):
            self.fail(f"{word} missing from {where}")

    def test_every_subcommand_has_its_section(self):
        self.assertGreaterEqual(len(SUBCOMMANDS), 7)
        for sub in SUBCOMMANDS:
            self.assertIn(sub, self.commands, f".SS section for {sub}")

    def test_every_option_is_in_its_subcommand_section(self):
        for sub, options in SUB_OPTIONS.items():
            for name, choices in options.items():
                if name in TOP_OPTIONS:  # -h/--help: the OPTIONS section says every command takes it
                    continue
                with self.subTest(sub=sub, option=name):
                    self.assert_mentions(self.commands[sub], name, f"the {sub} section")
                    # Value lists (formats, input kinds) are spelt out; of the long one of
                    # --colour-by, the short keys, the measurement names being those of
                    # `cdmadiag measurements`.
                    for choice in choices or []:
                        if len(choices) <= 12 or "_" not in choice:
                            self.assert_mentions(self.commands[sub], choice, f"{name} in the {sub} section")

    def test_global_options_exit_codes_examples_files(self):
        for name in TOP_OPTIONS:
            self.assert_mentions(self.sections["OPTIONS"], name, "OPTIONS")
        for code in ("0", "1", "2", "130"):
            self.assertRegex(self.sections["EXIT STATUS"], rf"(?m)^\.TP\n{code}\n")
        for sub in SUBCOMMANDS:
            self.assert_mentions(self.sections["EXAMPLES"], f"cdmadiag {sub}", "EXAMPLES")
        self.assertIn("bash-completion/completions/cdmadiag", self.sections["FILES"])

    def test_page_renders_without_warnings(self):
        r = subprocess.run(["groff", "-man", "-ww", "-z", "-Tutf8", MAN_PAGE], capture_output=True, text=True)
        self.assertEqual((r.returncode, r.stderr), (0, ""))


def complete(*words, cwd=None):
    """COMPREPLY of the completion function for the command line words, the last being
    the word under the cursor."""
    script = (f'source "{COMPLETION}"; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _cdmadiag; '
              'printf "%s\\n" "${COMPREPLY[@]}"')
    r = subprocess.run(["bash", "--norc", "-c", script, "bash", CLI, *words],
                       capture_output=True, text=True, check=True, cwd=cwd)
    return sorted(filter(None, r.stdout.split("\n")))


class CompletionTest(unittest.TestCase):
    def test_registers_for_the_command(self):
        r = subprocess.run(["bash", "--norc", "-c", f'source "{COMPLETION}"; complete -p cdmadiag'],
                           capture_output=True, text=True, check=True)
        self.assertIn("-F _cdmadiag cdmadiag", r.stdout)

    def test_subcommands_and_options(self):
        self.assertEqual(complete(""), sorted(SUBCOMMANDS + list(TOP_OPTIONS)))
        self.assertEqual(complete("me"), ["measurements"])
        for sub, options in SUB_OPTIONS.items():
            with self.subTest(sub=sub):
                self.assertEqual(complete(sub, "-"), sorted(options))
                self.assertEqual(complete(sub, "-o", "x", "-"), sorted(options))

    def test_option_values(self):
        for sub, options in SUB_OPTIONS.items():
            for name, choices in options.items():
                if choices:
                    with self.subTest(sub=sub, option=name):
                        self.assertEqual(complete(sub, name, ""), sorted(choices))
        self.assertEqual(complete("decode", "--format", "=", "js"), ["jsonl"])
        self.assertEqual(complete("decode", "--format", "="), sorted(SUB_OPTIONS["decode"]["--format"]))
        self.assertEqual(complete("report", "--colour-by", "sin"), ["sinr"])
        self.assertEqual(complete("decode", "--since", ""), [])

    def test_file_arguments(self):
        with tempfile.TemporaryDirectory() as d:
            for name in ("drive one.qmdl", "drive.log.gz", "sites.csv"):
                open(os.path.join(d, name), "w").close()
            os.mkdir(os.path.join(d, "logs"))
            self.assertEqual(complete("decode", "dr", cwd=d), ["drive one.qmdl", "drive.log.gz"])
            self.assertEqual(complete("seconds", "--cells", "", cwd=d), ["logs", "sites.csv"])
            self.assertEqual(complete("report", "-o", "s", cwd=d), ["sites.csv"])
            self.assertEqual(complete("codes", "", cwd=d), [])


class VersionTest(unittest.TestCase):
    def test_version_and_revision(self):
        out = subprocess.run([CLI, "--version"], check=True, capture_output=True, text=True).stdout
        m = re.fullmatch(r"cdmadiag (\S+) \(git (\S+)\)\n", out)
        self.assertIsNotNone(m, out)
        self.assertEqual(m.group(1), os.environ["CDMADIAG_VERSION"])
        if subprocess.run(["git", "-C", SOURCE, "rev-parse"], capture_output=True).returncode != 0:
            self.assertEqual(m.group(2), "unknown")
            return
        # A commit of this checkout: not necessarily HEAD, the build may predate the last commit.
        rev = re.fullmatch(r"([0-9a-f]{7,})(-dirty)?", m.group(2))
        self.assertIsNotNone(rev, m.group(2))
        found = subprocess.run(["git", "-C", SOURCE, "cat-file", "-e", rev.group(1) + "^{commit}"], capture_output=True)
        self.assertEqual(found.returncode, 0, f"{rev.group(1)} is no commit of {SOURCE}")


if __name__ == "__main__":
    unittest.main()
