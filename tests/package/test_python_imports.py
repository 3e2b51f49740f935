"""Importing the package from an interpreter without Debian's pandas or Dask says which
Debian packages to install, instead of failing somewhere inside."""
import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

PACKAGES = ("python3-pandas", "python3-dask", "python3-distributed", "/usr/bin/python3")


def import_error(python, module, env=None):
    """The last line of the failed import's traceback."""
    r = subprocess.run([python, "-c", f"import {module}"], capture_output=True, text=True,
                       env={**os.environ, **(env or {})})
    if r.returncode == 0:
        raise AssertionError(f"import {module} succeeded under {python}")
    return r.stderr.strip().splitlines()[-1]


class MissingDependencies(unittest.TestCase):
    def assert_guides(self, message, missing):
        self.assertTrue(message.startswith("ImportError: cdmadiag needs "), message)
        self.assertIn(missing, message)
        for p in PACKAGES:
            self.assertIn(p, message)

    def test_interpreter_without_debian_packages(self):
        # A virtual environment without the system's site packages: what pyenv's or any
        # other python3 sees.
        with tempfile.TemporaryDirectory() as d:
            subprocess.run([sys.executable, "-m", "venv", "--without-pip", d], check=True)
            python = os.path.join(d, "bin", "python")
            for module in ("cdmadiag", "cdmadiag.fleet"):
                with self.subTest(module=module):
                    self.assert_guides(import_error(python, module), "pandas")

    def test_fleet_without_dask(self):
        # Debian's interpreter with the Dask packages hidden by a finder that refuses them.
        with tempfile.TemporaryDirectory() as d:
            with open(os.path.join(d, "sitecustomize.py"), "w") as f:
                f.write(textwrap.dedent("""\
                    import sys
                    class Hide:
                        def find_spec(self, name, path=None, target=None):
                            if name.split(".")[0] in ("dask", "distributed"):
                                raise ModuleNotFoundError(f"No module named {name!r}", name=name)
                    sys.meta_path.insert(0, Hide())
                    """))
            env = {"PYTHONPATH": d + os.pathsep + os.environ["PYTHONPATH"]}
            subprocess.run([sys.executable, "-c", "import cdmadiag"], check=True, env={**os.environ, **env})
            self.assert_guides(import_error(sys.executable, "cdmadiag.fleet", env), "dask, distributed")

    def test_version_is_the_projects(self):
        out = subprocess.run([sys.executable, "-c", "import cdmadiag; print(cdmadiag.__version__)"],
                             capture_output=True, text=True, check=True).stdout
        self.assertEqual(out.strip(), os.environ["CDMADIAG_VERSION"])


if __name__ == "__main__":
    unittest.main()
